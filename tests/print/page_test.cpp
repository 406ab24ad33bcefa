// Page geometry and drawing primitives, rendered into image pages and read back.
#include "core/integer.h"
#include "ink.h"
#include "print/page.h"

#include <QFileInfo>
#include <QFontInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qm;
using qm::test::InkBox;

TEST(InchToDot, TruncatesTowardZeroWithExtendedPrecision) {
    struct Case {
        double inch;
        double offset;
        int res;
        int align;
        int expected;
        const char* why;
    };
    const Case cases[] = {
        {0.25, 0.25, 600, 0, 0, "first printable dot"},
        {0.62, 0.25, 600, 0, 221, "0.62 lies just below 0.62: truncated, not rounded"},
        {0.62, 0.25, 600, 100, 821, "100 units are one inch at 600 dpi"},
        {1.0, 0.0, 300, 100, 600, "one inch more at 300 dpi: three dots a unit"},
        {1.0, 0.0, 600, 100, 1200, "one inch more at 600 dpi"},
        {1.0, 0.0, 1200, 40, 1680, "40 units are 0.40 inch at 1200 dpi"},
        {1.0, 0.0, 300, -7, 279, "negative alignment at 300 dpi"},
        {1.0, 0.0, 600, -5, 570, "negative alignment at 600 dpi"},
        {1.0, 0.0, 203, 1, 205, "2.03 dots round to 2"},
        {1.0, 0.0, 250, 1, 253, "2.5 dots round away from zero"},
        {1.0, 0.0, 250, -1, 247, "-2.5 dots round away from zero"},
        {0.25 - 0.4 / 600, 0.25, 600, 0, 0, "-0.4 dot truncates to 0"},
        {0.0, 0.25, 600, 0, -150, "left of the printable area"},
        {1.0, 0.0, 1200, 2000000000, INT32_MAX, "absurd alignment saturates"},
        {1.0, 0.0, 1200, -2000000000, INT32_MIN, "absurd alignment saturates below"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InchToDot(c.inch, c.offset, c.res, c.align), c.expected) << c.why;
}

TEST(InchToDot, PageUsesOffsetsAndAlignment) {
    ImagePageTarget target(600, 600, 150, 75);
    PrintPage page(target);
    page.SetAlignment(0, 0);
    page.PreparePage(BasePrintFont());
    EXPECT_DOUBLE_EQ(page.Metrics().offsetX, 0.25);
    EXPECT_DOUBLE_EQ(page.Metrics().offsetY, 0.125);
    EXPECT_EQ(page.InchToDotX(0.62), 221);
    EXPECT_EQ(page.InchToDotY(1.125), 600);
    page.SetAlignment(-5, 12);
    EXPECT_EQ(page.InchToDotX(0.25), -30);
    EXPECT_EQ(page.InchToDotY(0.125), 72);
    page.EndDoc();
}

TEST(StrToInt, AcceptsSignedDecimalOnly) {
    EXPECT_EQ(StrToInt(QStringLiteral("-999")), -999);
    EXPECT_EQ(StrToInt(QStringLiteral(" +12")), 12);
    EXPECT_EQ(StrToInt(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(StrToInt(QStringLiteral("-2147483648")), INT32_MIN);
    for (const char* bad : {"", "-", "1a", "2147483648", "1 ", "0x10"})
        EXPECT_FALSE(TryStrToInt(QString::fromLatin1(bad))) << bad;
}

TEST(RoundHalfEven, HalvesGoToEven) {
    EXPECT_EQ(RoundHalfEven(300.0 / 1000 * 15), 4);
    EXPECT_EQ(RoundHalfEven(5.5), 6);
    EXPECT_EQ(RoundHalfEven(13.8), 14);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
}

TEST(PageFont, HeightFollowsPointsAndVerticalResolution) {
    struct Case {
        int dpi;
        int points;
        int height;
    };
    for (const Case c : {Case{600, 10, -83}, Case{300, 8, -33}, Case{600, 6, -50},
                         Case{100, 9, -13} /* 12.5: halves away from zero */}) {
        ImagePageTarget target(c.dpi, c.dpi);
        PrintPage page(target);
        page.PreparePage(BasePrintFont());
        page.SetFontSize(c.points);
        EXPECT_EQ(page.FontHeight(), c.height) << c.points << " pt at " << c.dpi;
        EXPECT_EQ(page.QtFont().pixelSize(), -c.height);
        page.EndDoc();
    }
}

TEST(PageFont, RotatedFontKeepsSizeStyleAndCutsFace) {
    ImagePageTarget target(300, 300);
    PrintPage page(target);
    page.PreparePage(BasePrintFont());
    EXPECT_EQ(page.Metrics().baseFace, QStringLiteral("Arial"));
    page.SetFontBold(true);
    page.SetFontSize(8);
    page.SetRotatedFont(1800, QStringLiteral("Arial"));
    EXPECT_EQ(page.Font().escapement, 1800);
    EXPECT_EQ(page.QtFont().weight(), QFont::Bold);
    page.RestoreBaseFont();
    EXPECT_EQ(page.Font().escapement, 0);
    EXPECT_FALSE(page.Font().bold);
    EXPECT_EQ(page.Font().pointSize, 8);
    page.SetRotatedFont(2700, QStringLiteral("Arial"));
    EXPECT_EQ(page.QtFont().weight(), QFont::Normal);
    const QString longFace = QString(40, QLatin1Char('F'));
    page.SetRotatedFont(1800, longFace);
    EXPECT_EQ(page.Font().face, longFace.left(31));
    page.EndDoc();
}

TEST(PageFont, OcrFaceIsTheRegisteredOcrA) {
    ASSERT_TRUE(RegisterPrintFonts());
    const QFontInfo info(QFont(QStringLiteral("OCR A Extended")));
    EXPECT_EQ(info.family(), QStringLiteral("OCRA"));
    ImagePageTarget target(600, 600);
    PrintPage page(target);
    page.PreparePage(BasePrintFont());
    page.SetFontSize(10);
    page.SetRotatedFont(1800, QStringLiteral("OCR A Extended"));
    EXPECT_EQ(QFontInfo(page.QtFont()).family(), QStringLiteral("OCRA"));
    page.TextOut(1000, 1000, QStringLiteral("9214"));
    EXPECT_EQ(page.Painter().fontInfo().family(), QStringLiteral("OCRA"));
    page.EndDoc();
}

// The cell of a turned text: 1800 covers x-w..x, y-h..y; 2700 covers x-h..x, y..y+w.
TEST(PageText, RotatedCellsLieWhereTheReferencePointSays) {
    for (int dpi : {300, 600}) {
        ImagePageTarget target(dpi, dpi);
        PrintPage page(target);
        page.PreparePage(BasePrintFont());
        page.SetFontSize(10);
        const QString text = QStringLiteral("HHHH");

        page.SetRotatedFont(1800, QStringLiteral("Arial"));
        const int w = page.TextWidth(text);
        const int h = page.Painter().fontMetrics().height();
        page.TextOut(1000, 1000, text);
        const QRect a = InkBox(target.Image(), QRect(0, 0, 1500, 1500));
        ASSERT_FALSE(a.isNull());
        EXPECT_GE(a.left(), 1000 - w - 1);
        EXPECT_LE(a.right(), 1000);
        EXPECT_GE(a.top(), 1000 - h - 1);
        EXPECT_LE(a.bottom(), 1000);
        EXPECT_GT(a.width(), w * 3 / 4);

        page.SetRotatedFont(2700, QStringLiteral("Arial"));
        page.TextOut(2000, 2000, text);
        const QRect b = InkBox(target.Image(), QRect(1500, 1500, 1500, 1500));
        ASSERT_FALSE(b.isNull());
        EXPECT_GE(b.left(), 2000 - h - 1);
        EXPECT_LE(b.right(), 2000);
        EXPECT_GE(b.top(), 2000);
        EXPECT_LE(b.bottom(), 2000 + w);
        EXPECT_GT(b.height(), w * 3 / 4);
        page.EndDoc();
    }
}

TEST(PageText, CellIsFilledWhite) {
    ImagePageTarget target(300, 300);
    PrintPage page(target);
    page.PreparePage(BasePrintFont());
    page.Painter().fillRect(QRect(0, 0, 600, 600), Qt::black);
    page.SetFontSize(10);
    page.SetRotatedFont(1800, QStringLiteral("Arial"));
    const int w = page.TextWidth(QStringLiteral("I"));
    page.TextOut(300, 300, QStringLiteral("I"));
    const QImage& img = target.Image();
    int white = 0;
    for (int x = 300 - w; x < 300; ++x) white += qGray(img.pixel(x, 295)) > 200;
    EXPECT_GT(white, 0) << "the text cell is opaque";
    EXPECT_LT(qGray(img.pixel(310, 310)), 50) << "outside the cell stays black";
    page.EndDoc();
}

TEST(PageText, WidthIsMeasuredAlongTheText) {
    ImagePageTarget target(600, 600);
    PrintPage page(target);
    page.PreparePage(BasePrintFont());
    page.SetFontSize(6);
    page.SetRotatedFont(1800, QStringLiteral("Arial"));
    const int w1800 = page.TextWidth(QStringLiteral("12.40"));
    page.SetRotatedFont(2700, QStringLiteral("Arial"));
    EXPECT_EQ(page.TextWidth(QStringLiteral("12.40")), w1800);
    EXPECT_GT(w1800, page.TextWidth(QStringLiteral("2.40")));
    page.EndDoc();
}

TEST(PageBitmap, StretchesWithoutSmoothing) {
    ImagePageTarget target(300, 300);
    PrintPage page(target);
    page.PreparePage(BasePrintFont());
    QImage dot(1, 1, QImage::Format_Grayscale8);
    dot.fill(Qt::black);
    page.StretchBitmap(100, 100, 300, 300, dot);
    EXPECT_EQ(InkBox(target.Image()), QRect(100, 100, 300, 300));

    QImage bars(3, 1, QImage::Format_Indexed8);
    bars.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    bars.setPixel(0, 0, 1);
    bars.setPixel(1, 0, 0);
    bars.setPixel(2, 0, 1);
    page.StretchBitmap(1000, 1000, 900, 50, bars);
    EXPECT_EQ(qm::test::CountGrey(target.Image(), QRect(990, 990, 920, 70), 40, 215), 0)
        << "no grey edges";
    EXPECT_EQ(InkBox(target.Image(), QRect(1000, 1000, 300, 50)), QRect(1000, 1000, 300, 50));
    EXPECT_TRUE(InkBox(target.Image(), QRect(1300, 1000, 300, 50)).isNull());
    page.EndDoc();
}

TEST(PageDocument, UnendedDocumentIsAbandoned) {
    ImagePageTarget target(300, 300);
    {
        PrintPage page(target);
        page.PreparePage(BasePrintFont());
    }
    EXPECT_EQ(target.DocumentsEnded(), 0);
    PrintPage again(target); // a new document can begin
    again.EndDoc();
    EXPECT_EQ(target.DocumentsEnded(), 1);
}

TEST(Printer, PdfWithoutFileIsNoPrinter) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    EXPECT_TRUE(PrinterUnavailable(printer));
    PrinterPageTarget target(printer);
    EXPECT_THROW(target.BeginDoc(), PrintError);
}

TEST(Printer, CurrentPrinterIsUsLetter) {
    EXPECT_EQ(CurrentPrinter().pageLayout().pageSize().id(), QPageSize::Letter);
}

TEST(Printer, UnwritablePdfFileIsAnError) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QStringLiteral("/nonexistent-folder/x.pdf"));
    PrinterPageTarget target(printer);
    EXPECT_THROW(target.BeginDoc(), PrintError);
}

TEST(Printer, PdfPageHasLetterSizeAndOffsets) {
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("page.pdf")));
    PrinterPageTarget target(printer);
    PrintPage page(target);
    page.PreparePage(BasePrintFont());
    EXPECT_GT(page.Metrics().resolutionX, 0);
    EXPECT_GE(page.Metrics().offsetX, 0.0);
    page.EndDoc();
    EXPECT_GT(QFileInfo(dir.filePath(QStringLiteral("page.pdf"))).size(), 0);
}
