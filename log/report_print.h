#pragma once
// Printing a laid-out report page by page, with progress and cancel.

#include "log/log_commands.h"
#include "log/paged_document.h"

#include <QPrinter>

namespace qm {

// Sets the printer up for the document: Letter, its orientation, full page, the job title.
void PreparePrinter(QPrinter& printer, const PagedDocument& document);

// "Output Options" (LogUi::ChooseOutput) for the document; false when cancelled.
bool ChooseReportOutput(LogUi& ui, const PagedDocument& document, QPrinter& printer);

// Prints the document to the printer ChooseReportOutput set up, with the "Report Status"
// window: a PDF file through PrintReportToFile, else PrintReport. False when cancelled; throws
// as they do.
bool PrintToChosenOutput(LogUi& ui, PagedDocument& document, QPrinter& printer);

// The preview (LogUi::Preview), or Output Options and the print. True when the document was
// printed or saved, from the preview too.
bool OutputReport(LogUi& ui, PagedDocument& document, bool preview);

// Prints every page ("Generating page %p", "Printing page %p" through `progress`). Returns
// false when the user cancelled (the job is aborted); throws std::runtime_error when the
// printer cannot be started.
bool PrintReport(PagedDocument& document, QPrinter& printer, ReportProgress& progress);

// The same for a printer that writes a PDF file: the output name is checked first
// (OutputTargetRefusal) and the file is replaced whole once every page is written, so a
// cancelled or failed run, or a full disk, leaves an existing file as it was. Throws Error.
bool PrintReportToFile(PagedDocument& document, QPrinter& printer, ReportProgress& progress);

} // namespace qm
