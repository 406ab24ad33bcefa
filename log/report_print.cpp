#include "log/report_print.h"

#include "core/error.h"
#include "core/output_target.h"
#include "core/whole_file.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <stdexcept>

namespace qm {

void PreparePrinter(QPrinter& printer, const PagedDocument& document) {
    printer.setFullPage(true);
    printer.setPageLayout(document.PageLayout());
    printer.setDocName(QStringLiteral("ReportPrinter Report"));
}

bool ChooseReportOutput(LogUi& ui, const PagedDocument& document, QPrinter& printer) {
    PreparePrinter(printer, document);
    if (!ui.ChooseOutput(printer)) return false;
    // The print dialog sets the paper to the queue's default; the pages are laid out for Letter.
    PreparePrinter(printer, document);
    return true;
}

bool PrintToChosenOutput(LogUi& ui, PagedDocument& document, QPrinter& printer) {
    const std::unique_ptr<ReportProgress> status = ui.Status();
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return PrintReportToFile(document, printer, *status);
    return PrintReport(document, printer, *status);
}

bool OutputReport(LogUi& ui, PagedDocument& document, bool preview) {
    if (preview) return ui.Preview(document);
    QPrinter printer(QPrinter::HighResolution);
    if (!ChooseReportOutput(ui, document, printer)) return false;
    return PrintToChosenOutput(ui, document, printer);
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

bool PrintReportToFile(PagedDocument& document, QPrinter& printer, ReportProgress& progress) {
    const QString target = printer.outputFileName();
    if (const QString refused = OutputTargetRefusal(target); !refused.isEmpty())
        throw Error(refused + QStringLiteral(" Nothing was written."));
    // The printer writes by name: into a folder only we can enter, then the bytes are saved
    // under the chosen name as a whole.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw Error(QStringLiteral("%1 could not be written: no temporary folder for the PDF (%2).")
                        .arg(target, scratch.errorString()));
    printer.setOutputFileName(scratch.filePath(QStringLiteral("report.pdf")));
    struct Restore {
        QPrinter& printer;
        const QString& name;
        ~Restore() { printer.setOutputFileName(name); }
    } restore{printer, target};
    if (!PrintReport(document, printer, progress)) return false;
    QFile built(printer.outputFileName());
    if (!built.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("%1 could not be written: %2").arg(target, built.errorString()));
    const QByteArray bytes = built.readAll();
    if (built.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("%1 could not be written: %2").arg(target, built.errorString()));
    WriteWholeFile(target, bytes);
    return true;
}

} // namespace qm
