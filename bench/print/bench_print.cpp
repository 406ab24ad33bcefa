// Mailers per second: 200 mailers rendered into a 600-dpi page image and into one PDF,
// compared with an office laser printer of 40 pages a minute (1.5 s a page).
#include "print/mailer.h"
#include "print/page.h"
#include "tests/print/mailer_fixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <memory>

using namespace qm;

namespace {

constexpr int kMailers = 200;
constexpr double kPrinterMsPerPage = 1500.0;

// Every mailer as one page of the same PDF file.
class PdfBookTarget : public PageTarget {
public:
    explicit PdfBookTarget(const QString& file) : printer_(QPrinter::HighResolution) {
        printer_.setPageSize(QPageSize(QPageSize::Letter));
        printer_.setOutputFormat(QPrinter::PdfFormat);
        printer_.setOutputFileName(file);
    }
    QPainter& BeginDoc() override {
        if (!painter_) {
            painter_ = std::make_unique<QPainter>();
            if (!painter_->begin(&printer_)) throw PrintError("cannot open the PDF file");
            painter_->setRenderHint(QPainter::LosslessImageRendering, true);
        } else {
            printer_.newPage();
        }
        painter_->save();
        return *painter_;
    }
    void EndDoc() override { painter_->restore(); }
    void AbortDoc() noexcept override {}
    void Finish() {
        if (painter_) painter_->end();
        painter_.reset();
    }
    int ResolutionX() const override { return printer_.logicalDpiX(); }
    int ResolutionY() const override { return printer_.logicalDpiY(); }
    int PhysicalOffsetX() const override {
        return int(printer_.pageRect(QPrinter::DevicePixel).left());
    }
    int PhysicalOffsetY() const override {
        return int(printer_.pageRect(QPrinter::DevicePixel).top());
    }

private:
    QPrinter printer_;
    std::unique_ptr<QPainter> painter_;
};

// The test suite's sample piece, with addressee, reference and serial varied per mailer.
PrintRequest Request(int i) {
    PrintRequest r = test::SamplePrintRequest();
    r.addresseeLines[0] = QStringLiteral("Addressee %1").arg(i);
    r.addresseeLines[1] = QStringLiteral("%1 Main St").arg(i + 10);
    r.reference = QStringLiteral("Invoice %1").arg(i);
    r.serial = QString::number(i + 1).rightJustified(7, QLatin1Char('0'));
    return r;
}

template <class F> double MsPerMailer(F&& printAll) {
    const auto start = std::chrono::steady_clock::now();
    printAll();
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count() / kMailers;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterPrintFonts();

    ImagePageTarget image(600, 600, 0, 0);
    PrintMailer(Request(0), true, BasePrintFont(), image); // warm the font caches
    const double imageMs = MsPerMailer([&] {
        for (int i = 0; i < kMailers; ++i) PrintMailer(Request(i), true, BasePrintFont(), image);
    });

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("mailers.pdf"));
    PdfBookTarget book(pdf);
    const double pdfMs = MsPerMailer([&] {
        for (int i = 0; i < kMailers; ++i) PrintMailer(Request(i), true, BasePrintFont(), book);
        book.Finish();
    });

    std::printf("mailers %d\n", kMailers);
    std::printf("image 600 dpi: %.2f ms per mailer\n", imageMs);
    std::printf("pdf: %.2f ms per mailer (%lld bytes)\n", pdfMs,
                static_cast<long long>(QFileInfo(pdf).size()));
    std::printf("printer at 40 pages a minute: %.0f ms per page\n", kPrinterMsPerPage);
    std::printf("ratio image-vs-printer %.4f\n", imageMs / kPrinterMsPerPage);
    std::printf("ratio pdf-vs-printer %.4f\n", pdfMs / kPrinterMsPerPage);
    return 0;
}
