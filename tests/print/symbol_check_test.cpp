// The symbol check: every symbol of a rendered mailer reads back as the data noted for it,
// and a page with bars removed from one symbol is refused with that symbol's name.
#include "decode.h"
#include "ink.h"
#include "mailer_fixture.h"
#include "print/mailer.h"
#include "print/page.h"
#include "print/symbol_check.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

using namespace qm;
using namespace qm::test;

namespace {

const QString kT = QStringLiteral("the tracking barcode with the addressee's ZIP code");
const QString kFTall = QStringLiteral("the tall barcode with the sender's ZIP code");
const QString kFShort = QStringLiteral("the short barcode with the sender's ZIP code");
const QString kSenderZip = QStringLiteral("the sender's ZIP barcode");
const QString kLabelZip = QStringLiteral("the addressee's ZIP barcode on the extra label");

struct Rendered {
    QImage image;
    std::vector<DrawnSymbol> symbols;
};

Rendered Render(const PrintRequest& r, bool barcodeMode, int dpi, int offX = 0, int offY = 0) {
    ImagePageTarget target(dpi, dpi, offX, offY);
    Rendered page;
    PrintMailer(r, barcodeMode, BasePrintFont(), target, &page.symbols);
    page.image = target.Image();
    return page;
}

QStringList Names(const std::vector<DrawnSymbol>& symbols) {
    QStringList names;
    for (const DrawnSymbol& s : symbols) names << s.name;
    return names;
}

// Whites out the part of a rectangle between the given fractions of its width (columns)
// or of its height (rows): bars removed from the printed symbol.
enum class Band { Columns, Rows };
void WhiteOut(QImage& image, const QRect& r, Band band, double from, double to) {
    const QRect part = band == Band::Columns ? QRect(r.left() + int(r.width() * from), r.top(),
                                                     int(r.width() * (to - from)), r.height())
                                             : QRect(r.left(), r.top() + int(r.height() * from),
                                                     r.width(), int(r.height() * (to - from)));
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x) image.scanLine(y)[x] = 255;
}

TEST(SymbolCheck, EverySymbolOfAMailerReadsBackAsItsData) {
    // The data each symbol must carry, as the mailer's numbers make it.
    const QString gs = QStringLiteral("\x1d");
    const QString t9 = QStringLiteral("9214712345678900000015");
    const QString f9 = QStringLiteral("9290912345678900000019");
    const struct Case {
        int dpi, offX, offY, leftRight, topBottom;
        bool barcodeMode;
        const char* addresseeZip;
        const char* senderZip;
        QStringList names;
        QStringList data;
        const char* why;
    } cases[] = {
        {300,
         0,
         0,
         0,
         0,
         true,
         "62701",
         "45459",
         {kT, kFTall, kFShort, kSenderZip, kLabelZip},
         {"42062701" + gs + t9, "42045459" + gs + f9, "42045459" + gs + f9, "45459", "62701"},
         "a 300-dpi printer: the narrowest modules"},
        {600,
         0,
         0,
         0,
         0,
         true,
         "62701-1234",
         "45459-0001",
         {kT, kFTall, kFShort, kSenderZip, kLabelZip},
         {"42062701" + gs + t9, "42045459" + gs + f9, "42045459" + gs + f9, "454590001",
          "627011234"},
         "ZIP+4: the longer POSTNET symbols at their own places"},
        {600,
         75,
         90,
         12,
         -7,
         true,
         "62701",
         "45459",
         {kT, kFTall, kFShort, kSenderZip, kLabelZip},
         {"42062701" + gs + t9, "42045459" + gs + f9, "42045459" + gs + f9, "45459", "62701"},
         "a printer's unprintable margin and the user's alignment move every symbol"},
        {600,
         0,
         0,
         0,
         0,
         false,
         "62701",
         "45459",
         {kSenderZip, kLabelZip},
         {"45459", "62701"},
         "pre-numbered forms: only the ZIP symbols are printed"},
    };
    for (const Case& c : cases) {
        PrintRequest r = SamplePrintRequest();
        r.leftRight = c.leftRight;
        r.topBottom = c.topBottom;
        r.addresseeZip = QString::fromLatin1(c.addresseeZip);
        r.senderZip = QString::fromLatin1(c.senderZip);
        r.mailerNumber = QStringLiteral("420000009214712345678900000015");
        const Rendered page = Render(r, c.barcodeMode, c.dpi, c.offX, c.offY);
        EXPECT_EQ(Names(page.symbols).join(" | ").toStdString(), c.names.join(" | ").toStdString())
            << c.why;
        QStringList data;
        for (const DrawnSymbol& s : page.symbols) data << s.data;
        EXPECT_EQ(data.join(" | ").toStdString(), c.data.join(" | ").toStdString()) << c.why;
        const std::optional<SymbolFailure> failure = CheckSymbols(page.image, page.symbols);
        EXPECT_FALSE(failure) << c.why << ": " << (failure ? failure->Message().toStdString() : "");
    }
}

TEST(SymbolCheck, APageOfSymbolsOnlyHasTheFullPagesSymbols) {
    // The check's page leaves out the texts away from the symbols: inside every symbol's
    // place it is the page the printer gets, dot for dot, and the address blocks are blank.
    PrintRequest r = SamplePrintRequest();
    r.leftRight = 9;
    r.topBottom = -4;
    for (const bool barcodeMode : {true, false}) {
        ImagePageTarget full(600, 600, 75, 90), symbolsOnly(600, 600, 75, 90);
        symbolsOnly.SetSymbolsOnly(true);
        std::vector<DrawnSymbol> fullSymbols, onlySymbols;
        PrintMailer(r, barcodeMode, BasePrintFont(), full, &fullSymbols);
        PrintMailer(r, barcodeMode, BasePrintFont(), symbolsOnly, &onlySymbols);
        ASSERT_EQ(onlySymbols.size(), fullSymbols.size());
        for (size_t i = 0; i < fullSymbols.size(); ++i) {
            EXPECT_EQ(onlySymbols[i].dots, fullSymbols[i].dots);
            EXPECT_EQ(symbolsOnly.Image().copy(fullSymbols[i].dots),
                      full.Image().copy(fullSymbols[i].dots))
                << fullSymbols[i].name.toStdString();
        }
        // Addressee block 1 (x 7.1 leftward, y 6.1 to 6.7): ink on the full page only.
        const QRect block(600 * 4 - 75, 600 * 6 - 90, 600 * 3, 600 * 3 / 4);
        EXPECT_FALSE(InkBox(full.Image(), block).isNull());
        EXPECT_TRUE(InkBox(symbolsOnly.Image(), block).isNull());
        EXPECT_FALSE(CheckSymbols(symbolsOnly.Image(), onlySymbols));
    }
}

TEST(SymbolCheck, ZbarReadsTheNotedDataFromEachNotedRectangle) {
    // A second opinion on the rectangles and the data noted for the 128-type symbols: zbar
    // finds exactly that data inside exactly that rectangle of the page.
    const Rendered page = Render(SamplePrintRequest(), true, 600, 75, 90);
    QTemporaryDir dir;
    int checked = 0;
    for (const DrawnSymbol& s : page.symbols) {
        if (s.kind != SymbolKind::Gs1_128) continue;
        ++checked;
        QImage crop(s.dots.size() + QSize(40, 40), QImage::Format_Grayscale8);
        crop.fill(255); // a margin around the symbol, as a scanner sees the paper
        for (int y = 0; y < s.dots.height(); ++y)
            std::copy_n(page.image.constScanLine(s.dots.top() + y) + s.dots.left(), s.dots.width(),
                        crop.scanLine(20 + y) + 20);
        EXPECT_EQ(DecodeSymbols(crop).join(" | ").toStdString(), s.data.toStdString())
            << s.name.toStdString();
    }
    EXPECT_EQ(checked, 3);
}

TEST(SymbolCheck, BarsRemovedFromOneSymbolRefuseThePageNamingIt) {
    const PrintRequest r = SamplePrintRequest();
    const struct Case {
        int symbol; // index in drawing order
        Band band;
        double from, to;
        const char* reason; // the start of what the message says after the name
        const char* why;
    } cases[] = {
        {0, Band::Columns, 0.45, 0.49, "could not be read back", "a band of bars gone"},
        {1, Band::Rows, 0.40, 0.60, "could not be read back", "a strip across the symbol"},
        {2, Band::Columns, 0.70, 0.72, "could not be read back", "a bar or two gone"},
        {3, Band::Columns, 0.50, 0.53, "could not be read back (a bar is missing",
         "a POSTNET bar gone"},
        {4, Band::Rows, 0.0, 0.3, "could not be read back (a bar is neither",
         "the tops of the full bars gone"},
    };
    for (const int dpi : {300, 600}) {
        const Rendered clean = Render(r, true, dpi, 30, 45);
        ASSERT_EQ(clean.symbols.size(), 5u);
        for (const Case& c : cases) {
            QImage damaged = clean.image;
            const DrawnSymbol& target = clean.symbols[size_t(c.symbol)];
            WhiteOut(damaged, target.dots, c.band, c.from, c.to);
            const std::optional<SymbolFailure> failure = CheckSymbols(damaged, clean.symbols);
            ASSERT_TRUE(failure) << dpi << " dpi: " << c.why;
            EXPECT_EQ(failure->symbol.name.toStdString(), target.name.toStdString())
                << dpi << " dpi: " << c.why;
            EXPECT_TRUE(failure->reason.startsWith(QLatin1String(c.reason)))
                << dpi << " dpi: " << c.why << ": " << failure->reason.toStdString();
            QString name = target.name;
            name[0] = name[0].toUpper();
            EXPECT_TRUE(failure->Message().startsWith(name + QLatin1Char(' ')))
                << failure->Message().toStdString();
        }
    }
}

TEST(SymbolCheck, ASymbolCarryingOtherDataIsRefused) {
    // A symbol that reads well but not as what it must carry: the other kind's tracking
    // number, another ZIP code.
    const Rendered page = Render(SamplePrintRequest(), true, 300);
    ASSERT_EQ(page.symbols.size(), 5u);
    std::vector<DrawnSymbol> wrongT = page.symbols;
    wrongT[0].data = page.symbols[1].data;
    std::optional<SymbolFailure> failure = CheckSymbols(page.image, wrongT);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Message().toStdString(),
              "The tracking barcode with the addressee's ZIP code reads as \"42062701 "
              "9214712345678900000015\" instead of \"42045459 9290912345678900000019\".");
    std::vector<DrawnSymbol> wrongZip = page.symbols;
    wrongZip[3].data = QStringLiteral("45458");
    failure = CheckSymbols(page.image, wrongZip);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Message().toStdString(),
              "The sender's ZIP barcode reads as \"45459\" instead of \"45458\".");
}

TEST(SymbolCheck, ASymbolPushedOffThePageIsRefused) {
    // An alignment far to the left puts the tracking symbol's left end off the printable
    // area: it would not print whole.
    PrintRequest r = SamplePrintRequest();
    r.leftRight = -70;
    const Rendered page = Render(r, true, 300);
    const std::optional<SymbolFailure> failure = CheckSymbols(page.image, page.symbols);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Message().toStdString(),
              "The tracking barcode with the addressee's ZIP code lies partly off the printable "
              "area of the page.");
}

} // namespace
