#pragma once
// The windows of the log commands: message boxes, file dialogs, "Output Options", "Report
// Preview", "Report Status", the book's and the date range dialogs, behind LogUi.

#include "log/log_commands.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QVBoxLayout;

namespace qm {

// The export save dialog starts in the folder used last; before any, the log's folder. The
// archive dialog of Clear always starts in the log's folder.
class WidgetLogUi : public LogUi {
public:
    explicit WidgetLogUi(QWidget* parent) : parent_(parent) {}

    void Error(const QString& text) override;
    void Warning(const QString& text) override;
    void Information(const QString& text) override;
    SaveAnswer AskSaveLog() override;
    QString ChooseArchiveFile() override;
    bool ChooseOutput(QPrinter& printer) override;
    bool Preview(PagedDocument& document) override;
    std::unique_ptr<ReportProgress> Status() override;
    bool ChooseBook(BookChoice& choice) override;
    bool ChooseExport(ExportChoice& choice) override;

private:
    QWidget* parent_;
};

// The export's date range: it counts only when the check box "Only the mail pieces logged" is
// checked.
class TF_DateRange : public QDialog {
    Q_OBJECT
public:
    TF_DateRange(const QString& title, const DateRange& initial, QWidget* parent = nullptr);

    DateRange Range() const;
    bool RangeChosen() const;
    // Adds the check box "Include voided pieces" (unchecked) above the buttons.
    void AddVoidedChoice();
    bool VoidedChosen() const; // false without the check box

private:
    QVBoxLayout* layout_ = nullptr;
    QCheckBox* cbRange_;
    QCheckBox* cbVoided_ = nullptr;
    QDateEdit* editFrom_;
    QDateEdit* editTo_;
};

} // namespace qm
