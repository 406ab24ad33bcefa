// The mailer layout: a printed mailer read back from page images and from a PDF.
#include "decode.h"
#include "ink.h"
#include "mailer_fixture.h"
#include "numbers/barcode_data.h"
#include "print/mailer.h"
#include "print/mailer_barcodes.h"
#include "print/page.h"

#include <QFontMetrics>
#include <QPrinter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace qm;
using namespace qm::test;

namespace {

const QString kDataT = QStringLiteral("420627019214712345678900000015");
const QString kDataF = QStringLiteral("420454599290912345678900000019");
const QString kGs = QStringLiteral("\x1d");
// Anti-aliased glyph edges may reach a few dots past the text cell.
constexpr int kFringe = 3;

QString Decoded(const QString& data) {
    return data.left(8) + kGs + data.mid(8);
}

// A printed sheet and how paper inches map onto its pixels.
struct Sheet {
    QImage image;
    int dpi;
    int offsetX = 0, offsetY = 0; // printable area in dots from the paper edge
    int alignX = 0, alignY = 0;   // alignment in dots: 1/100 inch a unit
    int X(double inch) const {
        return alignX + int(std::trunc((inch - double(offsetX) / dpi) * dpi));
    }
    int Y(double inch) const {
        return alignY + int(std::trunc((inch - double(offsetY) / dpi) * dpi));
    }
    int D(double inches) const { return int(std::lround(inches * dpi)); }
    // Pixel rectangle of a paper rectangle given in inches.
    QRect Area(double x0, double y0, double x1, double y1) const {
        return QRect(QPoint(X(x0), Y(y0)), QPoint(X(x1), Y(y1)));
    }
};

Sheet PrintToImage(const PrintRequest& r, bool barcodeMode, int dpi, int offX = 0, int offY = 0,
                   QString* result = nullptr) {
    ImagePageTarget target(dpi, dpi, offX, offY);
    const QString data = PrintMailer(r, barcodeMode, BasePrintFont(), target);
    if (result) *result = data;
    Sheet s{target.Image(), dpi, offX, offY};
    s.alignX = r.leftRight * dpi / 100;
    s.alignY = r.topBottom * dpi / 100;
    return s;
}

// The three 128-type symbols, each decoded from its own part of the sheet.
void ExpectMailerSymbols(const Sheet& s) {
    const double m = 0.25; // quiet zone around a symbol
    EXPECT_EQ(DecodeSymbols(s.image.copy(s.Area(0.62 - m, 4.1 - 0.05, 3.12 + m, 4.85 + 0.05))),
              QStringList{Decoded(kDataT)})
        << "T symbol";
    EXPECT_EQ(DecodeSymbols(s.image.copy(s.Area(4.7 - m, 5.0 - 0.05, 7.2 + m, 5.75 + 0.05))),
              QStringList{Decoded(kDataF)})
        << "tall F symbol";
    EXPECT_EQ(DecodeSymbols(s.image.copy(s.Area(5.2 - m, 0.8 - 0.05, 7.7 + m, 1.2 + 0.05))),
              QStringList{Decoded(kDataF)})
        << "short F symbol";
}

// A text turned by 180 degrees drawn at (x, y): its ink ends near x and lies above y.
void ExpectText1800At(const Sheet& s, double x, double y, double maxWidth, double cellHeight,
                      const char* what) {
    const QRect window(QPoint(s.X(x) - s.D(maxWidth), s.Y(y) - s.D(cellHeight)),
                       QPoint(s.X(x) + kFringe, s.Y(y) + kFringe));
    const QRect ink = InkBox(s.image, window);
    ASSERT_FALSE(ink.isNull()) << what;
    EXPECT_GE(ink.right(), s.X(x) - s.D(0.03)) << what;
    EXPECT_LE(ink.right(), s.X(x) + kFringe) << what;
    EXPECT_LE(ink.bottom(), s.Y(y) + kFringe) << what;
    EXPECT_GE(ink.bottom(), s.Y(y) - s.D(0.05)) << what;
}

// A text turned by 270 degrees at (x, y): it runs down from y, its tops toward x.
void ExpectText2700At(const Sheet& s, double x, double y, double maxWidth, double cellHeight,
                      const char* what) {
    const QRect window(QPoint(s.X(x) - s.D(cellHeight), s.Y(y) - kFringe),
                       QPoint(s.X(x) + kFringe, s.Y(y) + s.D(maxWidth)));
    const QRect ink = InkBox(s.image, window);
    ASSERT_FALSE(ink.isNull()) << what;
    EXPECT_LE(ink.right(), s.X(x) + kFringe) << what;
    EXPECT_GE(ink.right(), s.X(x) - s.D(0.05)) << what;
    EXPECT_GE(ink.top(), s.Y(y) - kFringe) << what;
    EXPECT_LE(ink.top(), s.Y(y) + s.D(0.03)) << what;
}

// A right-aligned receipt text: as read upside down it ends at x 0.3, which is the
// left edge of its ink on the sheet.
QRect AmountInk(const Sheet& s, double y, double cellHeight) {
    return InkBox(s.image, QRect(QPoint(s.X(0.3) - kFringe, s.Y(y) - s.D(cellHeight)),
                                 QPoint(s.X(1.0), s.Y(y) + kFringe)));
}

void ExpectTextRows(const Sheet& s) {
    ExpectText1800At(s, 7.5, 4.65, 3.0, 0.12, "sender block 1, line 1");
    ExpectText1800At(s, 7.55, 2.85, 3.0, 0.12, "sender block 2, line 2");
    ExpectText1800At(s, 7.1, 6.7, 3.0, 0.12, "addressee block 1, line 1");
    ExpectText1800At(s, 7.55, 1.7, 3.0, 0.12, "addressee block 2, city line");
    ExpectText1800At(s, 2.8, 6.6, 2.6, 0.12, "extra label, line 1");
    ExpectText1800At(s, 7.5, 3.95, 2.0, 0.12, "reference");
    ExpectText2700At(s, 4.3, 3.8, 3.0, 0.12, "vertical sender block");
    ExpectText2700At(s, 8.21, 3.8, 3.0, 0.12, "vertical reference");
    ExpectText1800At(s, 1.45, 2.88, 1.2, 0.08, "receipt sender");
    ExpectText1800At(s, 1.45, 1.43, 1.0, 0.08, "caption Postage");
    ExpectText1800At(s, 1.3, 3.3, 1.0, 0.1, "RECEIPT");
    ExpectText1800At(s, 1.4, 0.78, 1.4, 0.1, "POSTMARK OR DATE");
    for (double y : {1.43, 1.33, 1.23}) {
        const QRect ink = AmountInk(s, y, 0.08);
        ASSERT_FALSE(ink.isNull()) << "amount at " << y;
        EXPECT_GE(ink.left(), s.X(0.3) - kFringe) << "amount at " << y;
        EXPECT_LE(ink.left(), s.X(0.3) + s.D(0.02)) << "amount at " << y;
    }
    const QRect total = AmountInk(s, 0.98, 0.1);
    ASSERT_FALSE(total.isNull());
    EXPECT_LE(total.left(), s.X(0.3) + s.D(0.02));
    EXPECT_GE(total.left(), s.X(0.3) - kFringe);
}

} // namespace

TEST(Mailer, FormTextHelpers) {
    // Every letter in capitals, one for one; the micro sign and ß have no capital of their own.
    EXPECT_EQ(UpperLetters(QStringLiteral("José Muñoz, Müller street 5ß, façade ÿ")),
              QStringLiteral("JOSÉ MUÑOZ, MÜLLER STREET 5ß, FAÇADE Ÿ"));
    EXPECT_EQ(UpperLetters(QStringLiteral("5 µm")), QStringLiteral("5 µM"));
    EXPECT_EQ(TrimForm(QStringLiteral("\t  12.40 \r\n")), QStringLiteral("12.40"));
    EXPECT_EQ(TrimForm(QStringLiteral(" ")), QString());
    struct Case {
        const char* in;
        const char* out;
    };
    for (const Case c :
         {Case{"62701", "62701"}, Case{"1234", "01234"}, Case{"", "00000"},
          Case{"12345-6789", "12345"}, Case{"12a45", "00000"}, Case{"123  -    ", "00000"}})
        EXPECT_EQ(FiveDigitZip(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(Mailer, SymbolSizesFollowResolution) {
    const MailerSymbolSizes s600 = SymbolSizesFor(600, 600);
    EXPECT_EQ(s600.codeHeight, 450);
    EXPECT_EQ(s600.codeShortHeight, 240);
    EXPECT_EQ(s600.codeWidth, 1500);
    EXPECT_EQ(s600.zipScale, 14);
    EXPECT_EQ(s600.zipHeight, 84);
    const MailerSymbolSizes s300 = SymbolSizesFor(300, 300);
    EXPECT_EQ(s300.codeHeight, 225);
    EXPECT_EQ(s300.codeWidth, 750);
    EXPECT_EQ(MailerSymbolText(kDataT), QChar(202) + kDataT.left(8) + QChar(202) + kDataT.mid(8));
}

TEST(Mailer, PrintedAt600DpiDecodesAndPlacesEveryRow) {
    QString result;
    const Sheet s = PrintToImage(SamplePrintRequest(), true, 600, 0, 0, &result);
    EXPECT_EQ(result, kDataT);
    ExpectMailerSymbols(s);
    ExpectTextRows(s);
    // The tall symbols are 0.75 inch high, the short one 0.4 inch, all 2.5 inches wide.
    const QRect t = InkBox(s.image, s.Area(0.5, 4.05, 3.3, 4.95));
    EXPECT_EQ(t.height(), 450);
    EXPECT_NEAR(t.left(), s.X(0.62), 9 * 11) << "quiet zone of 10 modules";
    const QRect shortF = InkBox(s.image, s.Area(5.1, 0.79, 7.8, 1.3));
    EXPECT_EQ(shortF.top(), s.Y(0.8));
    EXPECT_EQ(shortF.height(), 240);
}

// Without a ZIP a symbol carries the tracking number alone: "420 00000" would route the
// piece to a ZIP that does not exist. The log keeps the data string as always.
TEST(Mailer, WithoutAZipTheSymbolCarriesTheTrackingNumberAlone) {
    struct Case {
        const char* name;
        const char* addresseeZip;
        const char* senderZip;
        QString readT, readF;
    };
    const QString trackingT = kDataT.mid(8);
    const QString trackingF = kDataF.mid(8);
    const Case cases[] = {
        {"no addressee ZIP", "", "45459", trackingT, Decoded(kDataF)},
        {"no ZIP at all", "", "", trackingT, trackingF},
        {"no sender ZIP", "62701", "", Decoded(kDataT), trackingF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrintRequest r = SamplePrintRequest();
        r.addresseeZip = QString::fromLatin1(c.addresseeZip);
        r.senderZip = QString::fromLatin1(c.senderZip);
        QString result;
        const Sheet s = PrintToImage(r, true, 600, 0, 0, &result);
        EXPECT_EQ(result, QStringLiteral("420") +
                              QString::fromLatin1(c.addresseeZip).leftJustified(5, u'0') +
                              trackingT);
        const double m = 0.25;
        EXPECT_EQ(DecodeSymbols(s.image.copy(s.Area(0.62 - m, 4.1 - 0.05, 3.12 + m, 4.85 + 0.05))),
                  QStringList{c.readT});
        EXPECT_EQ(DecodeSymbols(s.image.copy(s.Area(4.7 - m, 5.0 - 0.05, 7.2 + m, 5.75 + 0.05))),
                  QStringList{c.readF});
        EXPECT_EQ(DecodeSymbols(s.image.copy(s.Area(5.2 - m, 0.8 - 0.05, 7.7 + m, 1.2 + 0.05))),
                  QStringList{c.readF});
    }
}

TEST(Mailer, AlignmentOffsetsAndPrinterMarginsMoveEverything) {
    struct Case {
        int dpi, offX, offY;
        int lr, tb;
    };
    for (const Case c :
         {Case{300, 0, 0, 0, 0}, Case{300, 30, 60, 5, -7}, Case{600, 100, 100, -10, 15}}) {
        PrintRequest r = SamplePrintRequest();
        r.leftRight = c.lr;
        r.topBottom = c.tb;
        SCOPED_TRACE(::testing::Message() << c.dpi << " dpi, offsets " << c.offX << "/" << c.offY
                                          << ", alignment " << c.lr << "/" << c.tb);
        const Sheet s = PrintToImage(r, true, c.dpi, c.offX, c.offY);
        ExpectMailerSymbols(s);
        ExpectTextRows(s);
    }
}

TEST(Mailer, AmountsOfDifferentLengthsEndAtTheSamePlace) {
    PrintRequest r = SamplePrintRequest();
    r.postage = QStringLiteral("          2.40");
    r.certFee = QStringLiteral("        12.40");
    const Sheet s = PrintToImage(r, true, 600);
    const QRect a = AmountInk(s, 1.43, 0.08);
    const QRect b = AmountInk(s, 1.33, 0.08);
    EXPECT_NEAR(a.left(), b.left(), 3);
    EXPECT_GT(b.right(), a.right() + s.D(0.02)) << "the longer amount reaches further";
    // Restricted delivery off: the caption prints, the amount does not.
    EXPECT_TRUE(AmountInk(s, 1.13, 0.08).isNull());
    ExpectText1800At(s, 1.45, 1.13, 1.0, 0.08, "caption Restricted");
}

// A tracking number of 27 characters in OCR-A advances 0.6 em a character: at 11
// points the T row at x 3.08 starts at 0.605 inch, above the symbol under it, and
// stays whole on a printer whose printable area starts 0.25 inch from the edge.
TEST(Mailer, TrackingNumbersKeepTheFormPitch) {
    struct Row {
        double x, y;
        int points;
        bool vertical;
        const char* what;
    };
    const Row rows[] = {
        {3.08, 4.02, 11, false, "T row under the T symbol"},
        {7.2, 4.92, 11, false, "F row over the tall F symbol"},
        {7.6, 0.78, 10, false, "F row over the short F symbol"},
        {7.7, 0.45, 10, false, "T row at the bottom edge"},
        {7.91, 3.8, 10, true, "vertical T row"},
    };
    for (int dpi : {300, 600}) {
        const Sheet s = PrintToImage(SamplePrintRequest(), true, dpi, dpi / 4, dpi / 4);
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << dpi << " dpi, " << row.what);
            const double em = std::lround(row.points * dpi / 72.0); // the font's pixel size
            const double advance = 27 * 0.6 * em;
            const int cell = int(em * 1.3);
            QRect ink;
            int start, end; // along the text: where its first and last characters lie
            if (row.vertical) {
                ink = InkBox(s.image, QRect(QPoint(s.X(row.x) - cell, s.Y(row.y) - kFringe),
                                            QPoint(s.X(row.x) + kFringe, s.Y(row.y) + s.D(2.6))));
                start = ink.top() - s.Y(row.y);
                end = ink.bottom() - s.Y(row.y);
            } else {
                ink = InkBox(s.image, QRect(QPoint(s.X(row.x) - s.D(2.6), s.Y(row.y) - cell),
                                            QPoint(s.X(row.x) + kFringe, s.Y(row.y) - 2)));
                start = s.X(row.x) - ink.right();
                end = s.X(row.x) - ink.left();
            }
            ASSERT_FALSE(ink.isNull());
            EXPECT_GE(start, -kFringe);
            EXPECT_LE(start, 0.6 * em) << "first character in the first pitch cell";
            EXPECT_GT(end, advance - 0.6 * em) << "last character in the 27th pitch cell";
            EXPECT_LE(end, advance + kFringe);
        }
        // Row 1 starts at 0.605 inch: inside the printable area, right of 0.55.
        const QRect t = InkBox(s.image, s.Area(0.26, 3.8, 3.1, 4.0));
        EXPECT_GE(t.left(), s.X(0.55)) << dpi << " dpi";
    }
}

// Symbols and tracking numbers alone on a page: what no text of the form may erase.
QImage SymbolsAndNumbersOnly(const PrintRequest& r, int dpi) {
    ImagePageTarget target(dpi, dpi);
    PrintPage page(target);
    page.SetAlignment(r.leftRight, r.topBottom);
    page.PreparePage(BasePrintFont());
    DrawMailerBarcodes(page, kDataT, kDataF);
    DrawZipBarcodes(page, r.senderZip, r.addresseeZip, r.extraLabel);
    page.EndDoc();
    return target.Image();
}

// Dark pixels of `kept` that are no longer dark on the printed sheet.
int ErasedPixels(const QImage& kept, const QImage& sheet) {
    int erased = 0;
    for (int y = 0; y < kept.height(); ++y) {
        const uchar* k = kept.constScanLine(y);
        const uchar* p = sheet.constScanLine(y);
        for (int x = 0; x < kept.width(); ++x) erased += k[x] < 128 && p[x] >= 128;
    }
    return erased;
}

TEST(Mailer, NoTextCoversASymbolOrATrackingDigit) {
    const QString longLine =
        QStringLiteral("MAXIMILIAN OVERBECK-WHITFIELD JR 4455 NORTHWESTERN BOULEVARD");
    ASSERT_EQ(longLine.size(), 60);
    PrintRequest longLines = SamplePrintRequest();
    for (QString& line : longLines.senderLines) line = longLine;
    for (QString& line : longLines.addresseeLines) line = longLine;
    longLines.reference = longLine;
    longLines.comment = longLine;
    struct Case {
        PrintRequest r;
        const char* what;
    };
    for (const Case& c :
         {Case{SamplePrintRequest(), "sample mailer"}, Case{longLines, "60-character lines"}}) {
        for (int dpi : {300, 600}) {
            SCOPED_TRACE(::testing::Message() << c.what << ", " << dpi << " dpi");
            const Sheet s = PrintToImage(c.r, true, dpi);
            EXPECT_EQ(ErasedPixels(SymbolsAndNumbersOnly(c.r, dpi), s.image), 0);
            ExpectMailerSymbols(s);
        }
    }
    // The long sender lines do run up to the T symbol: the check above has teeth.
    const Sheet s = PrintToImage(longLines, true, 600);
    EXPECT_FALSE(InkBox(s.image, s.Area(3.05, 4.37, 3.3, 4.5)).isNull());
}

// Every bar and space of the 128-type symbols is the same whole number of dots a
// module, the largest whose symbol (quiet zones included) fits 2.5 inches.
TEST(Mailer, BarsAndSpacesAreWholeModulesOfDots) {
    struct Symbol {
        double x, y, height;
        const char* what;
    };
    const Symbol symbols[] = {
        {0.62, 4.1, 0.75, "T symbol"},
        {4.7, 5.0, 0.75, "tall F symbol"},
        {5.2, 0.8, 0.4, "short F symbol"},
    };
    for (int dpi : {300, 600, 1200}) {
        const Sheet s = PrintToImage(SamplePrintRequest(), true, dpi);
        for (const Symbol& sym : symbols) {
            SCOPED_TRACE(::testing::Message() << dpi << " dpi, " << sym.what);
            std::vector<int> previous;
            for (double f : {0.2, 0.5, 0.8}) {
                const int y = s.Y(sym.y + sym.height * f);
                const uchar* row = s.image.constScanLine(y);
                std::vector<int> runs; // bar, space, bar, ... from the first bar to the last
                for (int x = s.X(sym.x - 0.05), end = s.X(sym.x + 2.55); x < end; ++x) {
                    const bool dark = row[x] < 128;
                    if (runs.empty()) {
                        if (dark) runs.push_back(1);
                    } else if (dark == (runs.size() % 2 == 1)) {
                        ++runs.back();
                    } else {
                        runs.push_back(1);
                    }
                }
                ASSERT_GT(runs.size(), 50u);
                if (runs.size() % 2 == 0) runs.pop_back(); // the trailing quiet zone
                if (!previous.empty()) {
                    EXPECT_EQ(runs, previous) << "rows differ";
                }
                previous = runs;
            }
            const int module = *std::min_element(previous.begin(), previous.end());
            int modules = 20; // quiet zones of ten modules on either side
            for (int run : previous) {
                EXPECT_EQ(run % module, 0) << "run of " << run << " dots, module " << module;
                modules += run / module;
            }
            EXPECT_LE(modules * module, s.D(2.5));
            EXPECT_GT(modules * (module + 1), s.D(2.5)) << "a wider whole module would fit";
            EXPECT_GE(module, dpi / 100) << "about 10 mil";
        }
        ExpectMailerSymbols(s);
    }
}

// One alignment step is 1/100 inch at any resolution.
TEST(Mailer, FortyAlignmentStepsMoveThePrintFourTenthsOfAnInch) {
    for (int dpi : {300, 600, 1200}) {
        const QRect base = InkBox(PrintToImage(SamplePrintRequest(), true, dpi).image,
                                  Sheet{{}, dpi}.Area(0.3, 4.15, 3.4, 4.8));
        struct Move {
            int lr, tb;
            double dx, dy;
        };
        for (const Move m :
             {Move{40, 0, 0.4, 0}, Move{0, 40, 0, 0.4}, Move{-40, -40, -0.4, -0.4}}) {
            SCOPED_TRACE(::testing::Message() << dpi << " dpi, " << m.lr << "/" << m.tb);
            PrintRequest r = SamplePrintRequest();
            r.leftRight = m.lr;
            r.topBottom = m.tb;
            const QImage page = PrintToImage(r, true, dpi).image;
            const Sheet at{{}, dpi};
            const QRect moved =
                InkBox(page, at.Area(0.3 + m.dx, 4.15 + m.dy, 3.4 + m.dx, 4.8 + m.dy));
            ASSERT_FALSE(moved.isNull());
            EXPECT_NEAR(double(moved.left() - base.left()) / dpi, m.dx, 0.01);
            EXPECT_NEAR(double(moved.top() - base.top()) / dpi, m.dy, 0.01);
        }
    }
}

TEST(Mailer, PdfRasterisedDecodesAndPlacesRows) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("mailer.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    PrinterPageTarget target(printer);
    EXPECT_EQ(PrintMailer(SamplePrintRequest(), true, BasePrintFont(), target), kDataT);
    const QImage page = RasterisePdf(pdf, 600);
    ASSERT_EQ(page.size(), QSize(5100, 6600));
    Sheet s{page, 600};
    ExpectMailerSymbols(s);
    ExpectTextRows(s);
}

TEST(Mailer, PreNumberedModePrintsNoCodeSymbols) {
    PrintRequest r = SamplePrintRequest();
    r.mailerNumber = QStringLiteral("420000009214712345678900000015");
    r.serial.clear();
    QString result;
    const Sheet s = PrintToImage(r, false, 600, 0, 0, &result);
    EXPECT_EQ(result, r.mailerNumber);
    EXPECT_TRUE(DecodeSymbols(s.image).isEmpty());
    EXPECT_TRUE(InkBox(s.image, s.Area(0.7, 4.15, 3.0, 4.8)).isNull()) << "no T symbol";
    EXPECT_TRUE(InkBox(s.image, s.Area(4.8, 5.05, 7.0, 5.7)).isNull()) << "no F symbol";
    EXPECT_FALSE(InkBox(s.image, s.Area(5.3, 3.55, 7.0, 3.69)).isNull()) << "sender ZIP symbol";
    EXPECT_FALSE(InkBox(s.image, s.Area(1.08, 5.63, 3.0, 5.77)).isNull()) << "extra label ZIP";
    ExpectTextRows(s);
}

// The POSTNET symbols: natural size, at the place chosen by the ZIP's length.
TEST(Mailer, ZipSymbolsAndExtraLabelFollowTheSettings) {
    struct Case {
        const char* senderZip;
        const char* addresseeZip;
        const char* printExtra;
        const char* extraLabel;
        double senderX;
        double extraX; // 0: no extra label symbol
        bool extraLines;
        bool senderLinesOnLabel;
    };
    const Case cases[] = {
        {"45459", "62701", "Yes", "Addressed To", 5.3, 1.08, true, false},
        {"45459-1234", "62701-4321", "Yes", "Addressed To", 4.5, 0.15, true, false},
        {"45459", "62701", "Yes", "Your Name and Address", 5.3, 0, true, true},
        {"45459", "62701", "No", "Addressed To", 5.3, 0, false, false},
        {"45459", "62701", "yes", "Addressed To", 5.3, 0, false, false},
    };
    for (const Case& c : cases) {
        PrintRequest r = SamplePrintRequest();
        r.senderZip = QString::fromLatin1(c.senderZip);
        r.addresseeZip = QString::fromLatin1(c.addresseeZip);
        r.extraLabel =
            ExtraLabelOf(QString::fromLatin1(c.printExtra), QString::fromLatin1(c.extraLabel));
        SCOPED_TRACE(::testing::Message() << c.senderZip << " " << c.addresseeZip << " "
                                          << c.printExtra << " " << c.extraLabel);
        const Sheet s = PrintToImage(r, true, 600);
        // Sender ZIP symbol: 84 dots high, its top-left corner at (x, 3.55).
        const QRect sender = InkBox(s.image, s.Area(4.3, 3.5, 7.3, 3.75));
        ASSERT_FALSE(sender.isNull());
        EXPECT_EQ(sender.height(), 84);
        EXPECT_NEAR(sender.left(), s.X(c.senderX) + 10 * 14, 2 * 14);
        const QRect extra = InkBox(s.image, s.Area(0.05, 5.58, 2.75, 5.8));
        if (c.extraX > 0) {
            ASSERT_FALSE(extra.isNull());
            EXPECT_EQ(extra.height(), 84);
            EXPECT_NEAR(extra.left(), s.X(c.extraX) + 10 * 14, 2 * 14);
        } else {
            EXPECT_TRUE(extra.isNull());
        }
        const QRect lines = InkBox(s.image, s.Area(0.1, 5.9, 2.85, 6.65));
        EXPECT_EQ(!lines.isNull(), c.extraLines);
        if (c.extraLines) {
            // Whose first line the label carries: compare with the other blocks.
            const QRect sender1 = InkBox(s.image, s.Area(4.4, 4.53, 7.52, 4.66));
            const QRect addressee1 = InkBox(s.image, s.Area(3.6, 6.58, 7.12, 6.71));
            const QRect label1 = InkBox(s.image, s.Area(0.1, 6.48, 2.82, 6.61));
            EXPECT_EQ(label1.width(), c.senderLinesOnLabel ? sender1.width() : addressee1.width());
        }
    }
}

// An image page whose printer reports no resolution once the document is open.
class NoResolutionPage : public ImagePageTarget {
public:
    using ImagePageTarget::ImagePageTarget;
    int ResolutionX() const override { return broken ? 0 : ImagePageTarget::ResolutionX(); }
    bool broken = true;
};

TEST(Mailer, PrinterErrorPropagatesAndLeavesNoDocumentOpen) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat); // and no file: nowhere to print
    PrinterPageTarget target(printer);
    EXPECT_THROW(PrintMailer(SamplePrintRequest(), true, BasePrintFont(), target), PrintError);
    NoResolutionPage image(300, 300);
    EXPECT_THROW(PrintMailer(SamplePrintRequest(), true, BasePrintFont(), image), PrintError);
    EXPECT_EQ(image.DocumentsEnded(), 0);
    image.broken = false;
    EXPECT_NO_THROW(PrintMailer(SamplePrintRequest(), true, BasePrintFont(), image));
    EXPECT_EQ(image.DocumentsEnded(), 1);
}

// Thirty of the widest capitals on every line of every block (the sender's and the addressee's
// copies, the extra label, the vertical block and the receipt): with both alignments at 0,
// no ink lies in the sheet's outer quarter inch, at 300 and at 600 dots per inch; the blocks
// that had to shrink still print every character.
TEST(Mailer, WidestLinesStayAQuarterInchInsideThePage) {
    const QString w30(30, QLatin1Char('W'));
    for (const QString& extraLabel :
         {QStringLiteral("Addressed To"), QStringLiteral("Your Name and Address")}) {
        PrintRequest r = SamplePrintRequest();
        for (QString& line : r.senderLines) line = w30;
        for (QString& line : r.addresseeLines) line = w30;
        r.reference = QString(25, QLatin1Char('W'));
        r.comment = QString(35, QLatin1Char('W'));
        r.extraLabel = ExtraLabelOf(QStringLiteral("Yes"), extraLabel);
        for (const int dpi : {300, 600}) {
            SCOPED_TRACE(QStringLiteral("%1 dpi, %2").arg(dpi).arg(extraLabel).toStdString());
            const Sheet s = PrintToImage(r, true, dpi);
            const int margin = s.D(0.25);
            const QRect inside(margin, margin, s.image.width() - 2 * margin,
                               s.image.height() - 2 * margin);
            EXPECT_EQ(InkBox(s.image).united(inside), inside)
                << "ink box " << InkBox(s.image).x() << "," << InkBox(s.image).y() << " "
                << InkBox(s.image).width() << "x" << InkBox(s.image).height();
        }
    }
    // An ordinary address keeps the form's own size: the extra label's line of 20 capitals
    // is as wide as before.
    PrintRequest r = SamplePrintRequest();
    r.addresseeLines[0] = QStringLiteral("SPRINGFIELD SUITE 21");
    const Sheet s = PrintToImage(r, true, 300);
    const QRect line = InkBox(s.image, s.Area(0.25, 6.45, 2.8, 6.6));
    ASSERT_FALSE(line.isNull());
    EXPECT_NEAR(line.width(), 20 * 300 / 12, 300 / 12);
}

// Each mailer's print job carries its tracking number as its title; a pre-numbered mailer
// the number it was printed with.
TEST(Mailer, PrintJobTitleIsTheTrackingNumber) {
    ImagePageTarget target(100, 100);
    PrintMailer(SamplePrintRequest(), true, BasePrintFont(), target);
    PrintRequest pre = SamplePrintRequest();
    pre.mailerNumber = QStringLiteral("420000009214712345678900000015");
    PrintMailer(pre, false, BasePrintFont(), target);
    EXPECT_EQ(target.DocumentTitles(),
              (QStringList{QStringLiteral("Certified Mail 9214 7123 4567 8900 0000 15"),
                           QStringLiteral("Certified Mail 9214 7123 4567 8900 0000 15")}));
}
