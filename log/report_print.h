#pragma once
// Printing a laid-out report page by page, with progress and cancel.

#include "log/log_commands.h"
#include "log/report_document.h"

#include <QPrinter>

namespace qm {

// Sets the printer up for the document: Letter, its orientation, full page, the job title.
void PreparePrinter(QPrinter& printer, const ReportDocument& document);

// Prints every page ("Generating page %p", "Printing page %p" through `progress`). Returns
// false when the user cancelled (the job is aborted); throws std::runtime_error when the
// printer cannot be started.
bool PrintReport(ReportDocument& document, QPrinter& printer, ReportProgress& progress);

} // namespace qm
