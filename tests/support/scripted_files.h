#pragma once
// The windows' file dialogs answered by script (installed with SetFileChoiceOverride): each
// call takes the next answer, an empty one when none is left (the dialog cancelled).
#include "app/file_choice.h"

#include <QString>
#include <QStringList>

#include <deque>

namespace qm::test {

class ScriptedFiles : public FileChoice {
public:
    std::deque<QString> answers;
    QStringList proposed; // the names the save dialogs proposed
    QString OpenFile(QWidget*, const QString&, const QString&, const QString&,
                     const QString&) override {
        return Next();
    }
    QString SaveFile(QWidget*, const QString&, const QString&, const QString& name,
                     const QString&) override {
        proposed << name;
        return Next();
    }

private:
    QString Next() {
        if (answers.empty()) return {};
        QString a = answers.front();
        answers.pop_front();
        return a;
    }
};

} // namespace qm::test
