// The barcode check per mailer page: reading the five symbols of a rendered 600-dpi page
// back (three GS1-128 through zxing-cpp, two POSTNET through our reader) against rendering
// that page into an image. Also shown: 300 and 1200 dpi (a PDF file is printed at 1200), and
// the render of the check's own page, which leaves out the texts away from the symbols.
#include "print/mailer.h"
#include "print/page.h"
#include "print/symbol_check.h"
#include "tests/print/mailer_fixture.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace qm;

namespace {

constexpr int kPages = 100;
constexpr int kChecksPerPage = 20; // the check is short: repeat it for a steady clock
constexpr double kBudgetMs = 5.0;

PrintRequest Request(int i) {
    PrintRequest r = test::SamplePrintRequest();
    r.addresseeLines[0] = QStringLiteral("Addressee %1").arg(i);
    r.addresseeZip = QString::number(10000 + 997 * i % 89999);
    r.serial = QString::number(i + 1).rightJustified(7, QLatin1Char('0'));
    return r;
}

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Times {
    double renderMs = 0;      // the whole page, as the printer gets it
    double proofRenderMs = 0; // the check's own page: only what can reach a symbol
    double checkMs = 0;       // reading the symbols back from the page
    int symbols = 0;
};

Times Measure(int dpi) {
    ImagePageTarget page(dpi, dpi, dpi / 8, dpi / 8); // a printer's quarter-inch margins
    ImagePageTarget proof(dpi, dpi, dpi / 8, dpi / 8);
    proof.SetSymbolsOnly(true);
    std::vector<DrawnSymbol> symbols;
    PrintMailer(Request(0), true, BasePrintFont(), page, &symbols); // warm the font caches
    PrintMailer(Request(0), true, BasePrintFont(), proof, &symbols);
    Times t;
    for (int i = 0; i < kPages; ++i) {
        const auto start = std::chrono::steady_clock::now();
        PrintMailer(Request(i), true, BasePrintFont(), proof, &symbols);
        const auto proofRendered = std::chrono::steady_clock::now();
        PrintMailer(Request(i), true, BasePrintFont(), page, &symbols);
        const auto rendered = std::chrono::steady_clock::now();
        for (int k = 0; k < kChecksPerPage; ++k)
            if (const auto failure = CheckSymbols(page.Image(), symbols)) {
                std::fprintf(stderr, "page %d refused: %s\n", i,
                             failure->Message().toUtf8().constData());
                std::exit(1);
            }
        const auto checked = std::chrono::steady_clock::now();
        t.proofRenderMs += Ms(proofRendered - start);
        t.renderMs += Ms(rendered - proofRendered);
        t.checkMs += Ms(checked - rendered) / kChecksPerPage;
        t.symbols += int(symbols.size());
    }
    t.renderMs /= kPages;
    t.proofRenderMs /= kPages;
    t.checkMs /= kPages;
    return t;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterPrintFonts();

    std::printf("pages %d, each checked %d times\n", kPages, kChecksPerPage);
    Times at600;
    for (const int dpi : {300, 600, 1200}) {
        const Times t = Measure(dpi);
        std::printf("%4d dpi: render %.2f ms a page, check %.3f ms a page (%d symbols, %.3f ms "
                    "a symbol); the check's own page (symbols only) %.2f ms\n",
                    dpi, t.renderMs, t.checkMs, t.symbols / kPages, t.checkMs * kPages / t.symbols,
                    t.proofRenderMs);
        if (dpi == 600) at600 = t;
    }
    std::printf("budget of the check: %.1f ms a page\n", kBudgetMs);
    std::printf("ratio verify-vs-budget %.4f\n", at600.checkMs / kBudgetMs);
    std::printf("ratio verify-vs-render %.4f\n", at600.checkMs / at600.renderMs);
    return 0;
}
