#include "log/ui/log_menu.h"

#include "core/companion_files.h"
#include "core/program_folder.h"
#include "core/sender.h"
#include "core/settings.h"
#include "log/log_table.h"
#include "log/ui/log_dialogs.h"

#include <QAction>

namespace qm {

QString ReportProjectPath() {
    return ReportProjectFile();
}

LogOrder CheckedLogOrder(const QAction* byMailerNumber, const QAction* byName,
                         const QAction* byDate, const QAction* byZipCode) {
    if (byMailerNumber && byMailerNumber->isChecked()) return LogOrder::MailerNumber;
    if (byName && byName->isChecked()) return LogOrder::Name;
    if (byDate && byDate->isChecked()) return LogOrder::Date;
    if (byZipCode && byZipCode->isChecked()) return LogOrder::ZipCode;
    return LogOrder::Record;
}

void RunLogReportCommand(QWidget* parent, LogOrder order, ReportDestination destination,
                         LogReport report) {
    WidgetLogUi ui(parent);
    RunLogReport(ui, LogTablePath(), ReportProjectPath(), order, destination, report);
}

void RunClearLogCommand(QWidget* parent) {
    WidgetLogUi ui(parent);
    ClearLog(ui, LogTablePath());
}

void RunFirmMailingBookCommand(QWidget* parent) {
    WidgetLogUi ui(parent);
    RunFirmMailingBook(ui, LogTablePath(), SenderLabelTexts(Globals()));
}

void RunExportLogCommand(QWidget* parent) {
    WidgetLogUi ui(parent);
    RunExportLog(ui, LogTablePath());
}

} // namespace qm
