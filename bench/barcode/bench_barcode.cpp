// Builds and renders 10,000 mailer (GS1-128) and 10,000 POSTNET symbols with
// TBarcodeBmp, and the same data with libzint (encode and rasterise), at the
// sizes the form prints at 300 dots per inch. Prints the times and
// "ratio <what> <ours/zint>".

#include <QGuiApplication>

#include <zint.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "barcode/barcode_bmp.h"
#include "numbers/barcode_data.h"

namespace {

constexpr int kSymbols = 10000;
constexpr int kRounds = 3; // best of, to damp noise from other work on the machine

// 300 dpi: module of three whole dots (the widest that keeps the symbol within 2.5
// inches), bars 0.75 inch; POSTNET unit 23/1000 inch, 0.14 inch.
constexpr int kMailerScale = 3;
constexpr int kMailerHeight = 225;
constexpr int kPostnetScale = 7;
constexpr int kPostnetHeight = 42;

struct Piece {
    QString serial;
    QString zip;        // five digits, for the mailer
    QString flag;       // "T" or "F"
    QString postnetZip; // five digits or ZIP+4 without the hyphen
};

std::vector<Piece> MakePieces() {
    std::vector<Piece> pieces;
    pieces.reserve(kSymbols);
    for (int i = 0; i < kSymbols; ++i) {
        const QString zip = QString::number(10000 + (i * 7919) % 89999);
        pieces.push_back({QString::number(i + 1), zip, i % 2 ? "F" : "T",
                          i % 3 ? zip + QString::number(1000 + i % 9000) : zip});
    }
    return pieces;
}

double BestSeconds(const std::function<long()>& run) {
    double best = 1e30;
    for (int r = 0; r < kRounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const long check = run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (check <= 0) throw std::runtime_error("benchmark produced no pixels");
        best = std::min(best, took.count());
    }
    return best;
}

struct Size {
    int w = 0, h = 0;
};
Size oursMailerSize, zintMailerSize, oursPostnetSize, zintPostnetSize;

long OursMailer(const std::vector<Piece>& pieces) {
    long pixels = 0;
    for (const Piece& p : pieces) {
        const QString data = qm::BuildBarcodeData("123456789", p.serial, p.zip, p.flag);
        qm::TBarcodeBmp bmp;
        bmp.BeginLoading();
        bmp.SetScale(kMailerScale);
        bmp.SetHeight(kMailerHeight);
        bmp.SetInterpret(false);
        bmp.SetBarcodeType(qm::bcEAN128);
        bmp.SetBarcodeText(QChar(qm::kFnc1Char) + data.left(8) + QChar(qm::kFnc1Char) +
                           data.mid(8));
        bmp.EndLoading();
        pixels += bmp.Bitmap().width();
        oursMailerSize = {bmp.Bitmap().width(), bmp.Bitmap().height()};
    }
    return pixels;
}

long ZintMailer(const std::vector<Piece>& pieces) {
    long pixels = 0;
    for (const Piece& p : pieces) {
        const QString data = qm::BuildBarcodeData("123456789", p.serial, p.zip, p.flag);
        const std::string text = ("[420]" + data.mid(3, 5) + "[92]" + data.mid(10)).toStdString();
        zint_symbol* symbol = ZBarcode_Create();
        symbol->symbology = BARCODE_GS1_128;
        symbol->scale = kMailerScale / 2.0f; // zint rasterises 2 pixels per module at scale 1
        symbol->height = float(kMailerHeight) / kMailerScale;
        symbol->whitespace_width = 10;
        symbol->show_hrt = 0;
        const int err = ZBarcode_Encode_and_Buffer(
            symbol, reinterpret_cast<const unsigned char*>(text.data()), int(text.size()), 0);
        if (err >= ZINT_ERROR) throw std::runtime_error(std::string("zint: ") + symbol->errtxt);
        pixels += symbol->bitmap_width;
        zintMailerSize = {symbol->bitmap_width, symbol->bitmap_height};
        ZBarcode_Delete(symbol);
    }
    return pixels;
}

long OursPostnet(const std::vector<Piece>& pieces) {
    long pixels = 0;
    for (const Piece& p : pieces) {
        qm::TBarcodeBmp bmp;
        bmp.BeginLoading();
        bmp.SetBarcodeType(qm::bcPOSTNET);
        bmp.SetInterpret(true);
        bmp.SetHeight(kPostnetHeight);
        bmp.SetScale(kPostnetScale);
        bmp.SetRotate(qm::bcRotate180);
        bmp.SetBarcodeText(p.zip);
        bmp.EndLoading();
        pixels += bmp.Bitmap().width();
        oursPostnetSize = {bmp.Bitmap().width(), bmp.Bitmap().height()};
    }
    return pixels;
}

long ZintPostnet(const std::vector<Piece>& pieces) {
    long pixels = 0;
    for (const Piece& p : pieces) {
        const std::string text = p.zip.toStdString();
        zint_symbol* symbol = ZBarcode_Create();
        symbol->symbology = BARCODE_POSTNET;
        symbol->scale = kPostnetScale / 2.0f;
        symbol->height = float(kPostnetHeight) / kPostnetScale;
        symbol->whitespace_width = 10;
        const int err = ZBarcode_Encode_and_Buffer(
            symbol, reinterpret_cast<const unsigned char*>(text.data()), int(text.size()), 180);
        if (err >= ZINT_ERROR) throw std::runtime_error(std::string("zint: ") + symbol->errtxt);
        pixels += symbol->bitmap_width;
        zintPostnetSize = {symbol->bitmap_width, symbol->bitmap_height};
        ZBarcode_Delete(symbol);
    }
    return pixels;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        const std::vector<Piece> pieces = MakePieces();
        const double oursMailer = BestSeconds([&] { return OursMailer(pieces); });
        const double zintMailer = BestSeconds([&] { return ZintMailer(pieces); });
        const double oursPostnet = BestSeconds([&] { return OursPostnet(pieces); });
        const double zintPostnet = BestSeconds([&] { return ZintPostnet(pieces); });
        std::printf("mailer  GS1-128 x %d, last %dx%d (zint %dx%d): ours %.3f s, zint %.3f s\n",
                    kSymbols, oursMailerSize.w, oursMailerSize.h, zintMailerSize.w,
                    zintMailerSize.h, oursMailer, zintMailer);
        std::printf("POSTNET x %d, last %dx%d (zint %dx%d), half turn: ours %.3f s, zint %.3f s\n",
                    kSymbols, oursPostnetSize.w, oursPostnetSize.h, zintPostnetSize.w,
                    zintPostnetSize.h, oursPostnet, zintPostnet);
        std::printf("ratio mailer-vs-zint %.3f\n", oursMailer / zintMailer);
        std::printf("ratio postnet-vs-zint %.3f\n", oursPostnet / zintPostnet);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_barcode: %s\n", e.what());
        return 1;
    }
    return 0;
}
