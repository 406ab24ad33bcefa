#pragma once
// The open and save file dialogs of the address commands; tests put their own choice in place.
#include <QString>

class QWidget;

namespace qm {

class FileChoice {
public:
    virtual ~FileChoice() = default;
    // The chosen file, or an empty text when the user cancels. filter in Qt's form.
    // defaultSuffix is added to a typed name without one.
    virtual QString OpenFile(QWidget* parent, const QString& title, const QString& folder,
                             const QString& filter, const QString& defaultSuffix) = 0;
    virtual QString SaveFile(QWidget* parent, const QString& title, const QString& folder,
                             const QString& proposed, const QString& filter) = 0;
};

// The file dialogs in use: the override when one is set, else Qt's file dialogs.
FileChoice& ActiveFileChoice();
void SetFileChoiceOverride(FileChoice* choice);

} // namespace qm
