#pragma once
// Entry points of the "&Report" menu for the main window: each runs one command over the
// mailing log beside the program, with the windows of log_dialogs.h.

#include "log/log_commands.h"

class QAction;
class QWidget;

namespace qm {

// Quill3.rav: the data folder's own copy, else the shipped one (ReportProjectFile()).
QString ReportProjectPath();

// The order of the checked sort item; the record order when none is checked.
LogOrder CheckedLogOrder(const QAction* byMailerNumber, const QAction* byName,
                         const QAction* byDate, const QAction* byZipCode);

void RunLogReportCommand(QWidget* parent, LogOrder order, ReportDestination destination,
                         LogReport report);
void RunClearLogCommand(QWidget* parent);
void RunFirmMailingBookCommand(QWidget* parent);
void RunExportLogCommand(QWidget* parent);

} // namespace qm
