#include "log/ui/log_dialogs.h"

#include "core/clock.h"
#include "core/program_folder.h"
#include "log/log_export.h"
#include "log/log_table.h"
#include "log/report_print.h"
#include "log/ui/book_dialog.h"
#include "log/ui/range_buttons.h"
#include "log/ui/report_preview.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QVBoxLayout>

namespace qm {

namespace {

// The export dialog starts in the folder it was last given during this run.
QString& SaveFolder() {
    static QString folder;
    return folder;
}

QString LogFolder() {
    return QFileInfo(LogTablePath()).absolutePath();
}

} // namespace

namespace {

class StatusWindow : public ReportProgress {
public:
    explicit StatusWindow(QWidget* parent)
        : dialog_(QString(), QStringLiteral("Cancel"), 0, 0, parent) {
        dialog_.setObjectName(QStringLiteral("ReportStatus"));
        dialog_.setWindowTitle(QStringLiteral("Report Status"));
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(0);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.show();
    }
    bool Step(const QString& text) override {
        dialog_.setLabelText(text);
        QCoreApplication::processEvents();
        return !dialog_.wasCanceled();
    }

private:
    QProgressDialog dialog_;
};

} // namespace

void WidgetLogUi::Error(const QString& text) {
    QMessageBox::critical(parent_, ApplicationTitle(), text);
}

void WidgetLogUi::Warning(const QString& text) {
    QMessageBox::warning(parent_, ApplicationTitle(), text);
}

void WidgetLogUi::Information(const QString& text) {
    QMessageBox::information(parent_, ApplicationTitle(), text);
}

LogUi::SaveAnswer WidgetLogUi::AskSaveLog() {
    const int answer = QMessageBox::question(
        parent_, ApplicationTitle(), QStringLiteral("Do you wish to save the data in the report?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes) return SaveAnswer::Yes;
    if (answer == QMessageBox::No) return SaveAnswer::No;
    return SaveAnswer::Cancel;
}

QString WidgetLogUi::ChooseArchiveFile() {
    QFileDialog dialog(parent_, QString(), LogFolder());
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(
        {QStringLiteral("dBase tables (*.dbf)"), QStringLiteral("All files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("dbf"));
    // Appending to an earlier archive is the point: no question about replacing it.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString chosen = dialog.selectedFiles().first();
    if (QFileInfo(chosen).suffix().isEmpty()) chosen += QStringLiteral(".dbf");
    return chosen;
}

bool WidgetLogUi::ChooseOutput(QPrinter& printer) {
    QPrintDialog dialog(&printer, parent_);
    dialog.setWindowTitle(QStringLiteral("Output Options"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

bool WidgetLogUi::Preview(PagedDocument& document) {
    TF_ReportPreview preview(document, parent_);
    preview.SetPrintAction([&document, &preview] {
        WidgetLogUi over(&preview); // the print dialogs and messages over the preview
        QPrinter printer(QPrinter::HighResolution);
        try {
            return ChooseReportOutput(over, document, printer) &&
                   PrintToChosenOutput(over, document, printer);
        } catch (const std::exception& e) {
            over.Error(QString::fromUtf8(e.what()));
            return false;
        }
    });
    preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
    preview.exec();
    return preview.Printed();
}

std::unique_ptr<ReportProgress> WidgetLogUi::Status() {
    return std::make_unique<StatusWindow>(parent_);
}

bool WidgetLogUi::ChooseBook(BookChoice& choice) {
    TF_BookChoice dialog(choice, parent_);
    if (dialog.exec() != QDialog::Accepted) return false;
    choice = dialog.Choice();
    return true;
}

bool WidgetLogUi::ChooseExport(ExportChoice& choice) {
    const QDate today = CurrentDate();
    TF_DateRange dialog(QStringLiteral("Export Log"), DateRange{today, today}, parent_);
    dialog.AddVoidedChoice();
    if (dialog.exec() != QDialog::Accepted) return false;
    const QString csv = QStringLiteral("CSV files (*.csv)");
    const QString xlsx = QStringLiteral("Excel workbooks (*.xlsx)");
    QFileDialog save(parent_, QStringLiteral("Export Log"),
                     SaveFolder().isEmpty() ? LogFolder() : SaveFolder());
    save.setObjectName(QStringLiteral("ExportDialog"));
    save.setAcceptMode(QFileDialog::AcceptSave);
    save.setNameFilters({csv, xlsx});
    if (save.exec() != QDialog::Accepted || save.selectedFiles().isEmpty()) return false;
    SaveFolder() = save.directory().absolutePath();
    choice.fileName =
        WithExportSuffix(save.selectedFiles().first(), save.selectedNameFilter() == xlsx);
    choice.range.reset();
    if (dialog.RangeChosen()) choice.range = dialog.Range();
    choice.includeVoided = dialog.VoidedChosen();
    return true;
}

TF_DateRange::TF_DateRange(const QString& title, const DateRange& initial, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TF_DateRange"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    cbRange_ = new QCheckBox(QStringLiteral("Only the mail pieces logged"), this);
    cbRange_->setObjectName(QStringLiteral("cbRange"));
    layout->addWidget(cbRange_);
    auto* form = new QFormLayout;
    editFrom_ = new QDateEdit(initial.from, this);
    editFrom_->setObjectName(QStringLiteral("editFrom"));
    editFrom_->setCalendarPopup(true);
    editTo_ = new QDateEdit(initial.to, this);
    editTo_->setObjectName(QStringLiteral("editTo"));
    editTo_->setCalendarPopup(true);
    form->addRow(QStringLiteral("&From:"), editFrom_);
    form->addRow(QStringLiteral("&To:"), editTo_);
    layout->addLayout(form);
    auto enable = [this](bool on) {
        editFrom_->setEnabled(on);
        editTo_->setEnabled(on);
    };
    connect(cbRange_, &QCheckBox::toggled, this, enable);
    enable(false);
    layout_ = layout;
    layout->addLayout(RangeDialogButtons(
        *this, [this] { return editFrom_->isEnabled() && editFrom_->date() > editTo_->date(); }));
}

void TF_DateRange::AddVoidedChoice() {
    cbVoided_ = new QCheckBox(QStringLiteral("Include &voided pieces (marked in a column)"), this);
    cbVoided_->setObjectName(QStringLiteral("cbVoided"));
    // Above the buttons.
    layout_->insertWidget(layout_->count() - 1, cbVoided_);
}

bool TF_DateRange::VoidedChosen() const {
    return cbVoided_ && cbVoided_->isChecked();
}

DateRange TF_DateRange::Range() const {
    return DateRange{editFrom_->date(), editTo_->date()};
}

bool TF_DateRange::RangeChosen() const {
    return cbRange_->isChecked();
}

} // namespace qm
