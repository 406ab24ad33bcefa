#pragma once
// The dialogs of the print runs, shown over a window.
#include "entry/print_run.h"

class QWidget;

namespace qm {

class WindowDialogs : public RunDialogs {
public:
    explicit WindowDialogs(QWidget* parent) : parent_(parent) {}
    bool EditNumbers(GlobalVariables& g, bool fromPrintRun) override;
    bool EditPrePrint(QString& custId, QString& serialNum, int& labelCount) override;
    bool AskYesNo(const QString& question, bool yesIsDefault) override;
    void Refuse(const QString& message) override;
    void Inform(const QString& message) override;
    void ShowError(const QString& message) override;
    void Warn(const QString& message) override;
    int Choose(const QString& question, const QStringList& buttons, int defaultButton) override;

private:
    QWidget* parent_;
};

} // namespace qm
