#include "log/report_print.h"

#include <QPainter>

#include <stdexcept>

namespace qm {

void PreparePrinter(QPrinter& printer, const PagedDocument& document) {
    printer.setFullPage(true);
    printer.setPageLayout(document.PageLayout());
    printer.setDocName(QStringLiteral("ReportPrinter Report"));
}

bool PrintReport(PagedDocument& document, QPrinter& printer, ReportProgress& progress) {
    const int pages = document.PageCount();
    if (!progress.Step(QStringLiteral("Generating page %1").arg(1))) return false;
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString where = printer.outputFileName().isEmpty()
                                  ? QStringLiteral("the printer %1").arg(printer.printerName())
                                  : printer.outputFileName();
        throw std::runtime_error(
            QStringLiteral("The report cannot be printed: %1 cannot be opened.")
                .arg(where)
                .toStdString());
    }
    for (int page = 0; page < pages; ++page) {
        if (page > 0) {
            if (!progress.Step(QStringLiteral("Generating page %1").arg(page + 1))) {
                printer.abort();
                return false;
            }
            printer.newPage();
        }
        if (!progress.Step(QStringLiteral("Printing page %1").arg(page + 1))) {
            printer.abort();
            return false;
        }
        document.RenderPage(painter, page);
    }
    if (!painter.end())
        throw std::runtime_error("The report could not be finished on the printer.");
    return true;
}

} // namespace qm
