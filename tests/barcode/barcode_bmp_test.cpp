#include "barcode/barcode_bmp.h"

#include <QFontInfo>
#include <QPointer>
#include <QVariant>

#include <gtest/gtest.h>

#include "barcode/code128.h"
#include "oracle.h"

namespace qm {
namespace {

using test::RowBits;

const QString kMailerText =
    QChar(202) + QString("42012345") + QChar(202) + "9214712345678900000015";

bool OnlyTwoColours(const QImage& image) {
    if (image.format() != QImage::Format_Indexed8 || image.colorCount() != 2) return false;
    if (image.color(0) != qRgb(255, 255, 255) || image.color(1) != qRgb(0, 0, 0)) return false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelIndex(x, y) > 1) return false;
    return true;
}

bool AllWhite(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        if (RowBits(image, y).find('1') != std::string::npos) return false;
    return true;
}

TEST(TBarcodeBmp, Defaults) {
    TBarcodeBmp bmp;
    EXPECT_EQ(bmp.Height(), 50);
    EXPECT_EQ(bmp.Scale(), 1);
    EXPECT_TRUE(bmp.Interpret());
    EXPECT_EQ(bmp.BarcodeType(), bcCode128);
    EXPECT_EQ(bmp.Rotate(), bcNoRotate);
    EXPECT_TRUE(bmp.BarcodeText().isEmpty());
    EXPECT_EQ(bmp.Bitmap().size(), QSize(20, 50));
    EXPECT_TRUE(OnlyTwoColours(bmp.Bitmap()));
    EXPECT_TRUE(AllWhite(bmp.Bitmap()));
    EXPECT_EQ(bmp.Font().family(), "Courier New");
}

TEST(TBarcodeBmp, CourierNewIsLiberationMono) {
    TBarcodeBmp bmp;
    EXPECT_EQ(QFontInfo(bmp.Font()).family(), "Liberation Mono");
}

TEST(TBarcodeBmp, OwnerFreesTheComponent) {
    auto* owner = new QObject;
    QPointer<TBarcodeBmp> bmp = new TBarcodeBmp(owner);
    delete owner;
    EXPECT_TRUE(bmp.isNull());
}

TEST(TBarcodeBmp, EmptyTextIsWhite20ModulesWide) {
    for (const auto type : {bcCode128, bcEAN128, bcPOSTNET}) {
        TBarcodeBmp bmp;
        bmp.SetBarcodeType(type);
        bmp.SetScale(3);
        bmp.SetHeight(40);
        bmp.SetBarcodeText("");
        EXPECT_EQ(bmp.Bitmap().size(), QSize(60, 40));
        EXPECT_TRUE(AllWhite(bmp.Bitmap()));
    }
}

struct FilterCase {
    TBarCodeType type;
    QString in;
    QString out;
};

TEST(FilterBarcodeText, PerType) {
    const QString latin =
        QString("a\x01") + QChar(128) + QChar(129) + QChar(202) + QChar(0x20ac) + QChar(0) + "Z";
    const FilterCase cases[] = {
        {bcCode128, latin, QString("a\x01") + QChar(128) + "Z"},
        {bcCode39Ext, latin, QString("a\x01") + QChar(128) + "Z"},
        {bcCode93, latin, QString("a\x01") + QChar(128) + "Z"},
        {bcEAN128, latin, QString("a\x01") + QChar(128) + QChar(202) + "Z"},
        {bcCode39, "ab-12 *x?", "AB-12 *X"},
        {bcUPCA, "12a345678901234", "12345678901"},
        {bcInt2of5, "1-2-3-4-5-6-7-8-9-0-1-2-3", "1234567890123"},
        {bcEAN13, "12345678901234", "123456789012"},
        {bcEAN8, "ab1234567", "ab12345"},
        {bcPOSTNET, "123456789012345", "12345678901"},
        {bcPOSTNET, "12345-6789", "123456789"},
        {bcUPCE, "12345678", "123456"},
        {bcUPC2ext, "x123", "12"},
        {bcUPC5ext, "ab1234", "ab123"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilterBarcodeText(c.type, c.in), c.out) << BarCodeTypeName(c.type);
}

TEST(TBarcodeBmp, TypeChangeFiltersTheStoredTextAgain) {
    TBarcodeBmp bmp;
    bmp.SetBarcodeType(bcPOSTNET);
    bmp.SetBarcodeText("12ab34cd5");
    EXPECT_EQ(bmp.BarcodeText(), "12345");
    bmp.SetBarcodeType(bcCode128);
    EXPECT_EQ(bmp.BarcodeText(), "12345");

    bmp.SetBarcodeType(bcEAN128);
    bmp.SetBarcodeText(kMailerText);
    EXPECT_EQ(bmp.BarcodeText(), kMailerText) << "the FNC1 marker stays under EAN-128";
    bmp.SetBarcodeType(bcCode128);
    EXPECT_EQ(bmp.BarcodeText(), "420123459214712345678900000015");
}

struct SizeCase {
    const char* why;
    TBarCodeType type;
    QString text;
    int scale;
    int height;
    bool interpret;
    TbcRotate rotate;
    QSize size;
};

TEST(TBarcodeBmp, BitmapSizes) {
    const SizeCase cases[] = {
        {"1 to 5 as Code 128: N 7", bcCode128, "12345", 1, 50, true, bcNoRotate, {99, 50}},
        {"1 to 8 as EAN-128: N 8", bcEAN128, "12345678", 2, 30, false, bcNoRotate, {220, 30}},
        {"mailer text with the separator: N 20",
         bcEAN128,
         kMailerText,
         1,
         50,
         false,
         bcNoRotate,
         {242, 50}},
        {"mailer at scale 3 quarter turn",
         bcEAN128,
         kMailerText,
         3,
         60,
         false,
         bcRotate90,
         {60, 726}},
        {"19 symbol characters at scale 3 quarter turn",
         bcEAN128,
         "420123459214712345678900000015",
         3,
         60,
         false,
         bcRotate90,
         {60, 693}},
        {"half turn keeps the size", bcEAN128, kMailerText, 4, 225, false, bcRotate180, {968, 225}},
        {"three quarter turn", bcCode128, "12345", 2, 40, true, bcRotate270, {40, 198}},
        {"POSTNET 5 digits", bcPOSTNET, "12345", 1, 10, true, bcNoRotate, {83, 10}},
        {"POSTNET ZIP+4", bcPOSTNET, "12345-6789", 7, 42, true, bcRotate180, {861, 42}},
        {"POSTNET 11 digits", bcPOSTNET, "12345678901", 1, 10, true, bcNoRotate, {143, 10}},
        {"POSTNET 15 digits keeps 11",
         bcPOSTNET,
         "123456789012345",
         1,
         10,
         true,
         bcNoRotate,
         {143, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TBarcodeBmp bmp;
        bmp.SetScale(c.scale);
        bmp.SetHeight(c.height);
        bmp.SetInterpret(c.interpret);
        bmp.SetBarcodeType(c.type);
        bmp.SetBarcodeText(c.text);
        bmp.SetRotate(c.rotate);
        EXPECT_EQ(bmp.Bitmap().size(), c.size);
        EXPECT_EQ(bmp.Height(), c.height);
        EXPECT_TRUE(OnlyTwoColours(bmp.Bitmap()));
    }
}

TEST(TBarcodeBmp, Code128BarsQuietZonesAndTextReserve) {
    TBarcodeBmp bmp;
    bmp.SetScale(2);
    bmp.SetHeight(40);
    bmp.SetInterpret(false);
    bmp.SetBarcodeText("12345");
    std::string modules;
    for (int v : EncodeCode128("12345", false))
        for (int m = Code128Modules(v) - 1; m >= 0; --m)
            modules += ((Code128Pattern(v) >> m) & 1) ? "11" : "00";
    const std::string expected = std::string(20, '0') + modules + std::string(20, '0');
    for (int row : {0, 20, 39}) EXPECT_EQ(RowBits(bmp.Bitmap(), row), expected) << row;

    bmp.SetInterpret(true); // bars end 5 × Scale above the bottom; the text cell is opaque
    EXPECT_EQ(RowBits(bmp.Bitmap(), 0), expected);
    EXPECT_EQ(bmp.Bitmap().pixelIndex(20, 29), 1);
    EXPECT_EQ(bmp.Bitmap().pixelIndex(20, 30), 0) << "first bar is left of the text";
    EXPECT_EQ(bmp.Font().pointSize(), 16);
    EXPECT_TRUE(OnlyTwoColours(bmp.Bitmap()));
    int textPixels = 0;
    for (int y = 30; y < 40; ++y)
        for (int x = 0; x < bmp.Bitmap().width(); ++x) textPixels += bmp.Bitmap().pixelIndex(x, y);
    EXPECT_GT(textPixels, 20) << "readable text drawn under the bars";
}

TEST(TBarcodeBmp, HeightBelowTheTextReserveDrawsNoBars) {
    TBarcodeBmp bmp;
    bmp.SetBarcodeText("ABC");
    bmp.SetHeight(5); // reserve is 5 × Scale: bars of height 0, text clipped at the top
    EXPECT_EQ(bmp.Bitmap().size(), QSize(88, 5));
    EXPECT_TRUE(OnlyTwoColours(bmp.Bitmap()));
    EXPECT_EQ(bmp.Bitmap().pixelIndex(10, 0), 0) << "no start bar";
    bmp.SetHeight(1);
    EXPECT_EQ(bmp.Bitmap().size(), QSize(88, 1));
}

TEST(TBarcodeBmp, ReadableTextLeavesOutTheFnc1Markers) {
    // Same digits, same width of text: the markers are not shown as characters.
    auto textColumns = [](TBarCodeType type, const QString& text) {
        TBarcodeBmp bmp;
        bmp.SetScale(2);
        bmp.SetHeight(80);
        bmp.SetBarcodeType(type);
        bmp.SetBarcodeText(text);
        const QImage& image = bmp.Bitmap();
        int first = image.width(), last = -1;
        for (int y = 70; y < 80; ++y) // below the bars only the text is black
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelIndex(x, y) == 1)
                    first = std::min(first, x), last = std::max(last, x);
        return last - first;
    };
    const int plain = textColumns(bcEAN128, "12345678");
    EXPECT_GT(plain, 40);
    EXPECT_EQ(textColumns(bcEAN128, QChar(202) + QString("1234") + QChar(202) + "5678"), plain);
}

TEST(TBarcodeBmp, PostnetBarsIgnoreInterpret) {
    TBarcodeBmp bmp;
    bmp.SetBarcodeType(bcPOSTNET);
    bmp.SetScale(2);
    bmp.SetHeight(21);
    bmp.SetInterpret(true);
    bmp.SetBarcodeText("1");
    // Frame F, digit 1 HHHFF, check 9 FHFHH, frame F; bar then gap, 2 pixels each.
    std::string full = std::string(20, '0') + "11";
    std::string half = full;
    for (char bar : std::string("HHHFF"
                                "FHFHH")) {
        full += bar == 'F' ? "0011" : "0000";
        half += "0011";
    }
    full += "0011" + std::string(20, '0');
    half += "0011" + std::string(20, '0');
    EXPECT_EQ(bmp.Bitmap().width(), 2 * 43);
    EXPECT_EQ(RowBits(bmp.Bitmap(), 0), full);
    EXPECT_EQ(RowBits(bmp.Bitmap(), 9), full);
    EXPECT_EQ(RowBits(bmp.Bitmap(), 10), half) << "half bars from H div 2 down";
    EXPECT_EQ(RowBits(bmp.Bitmap(), 20), half);
}

// Every turn is a pixel copy of the unturned symbol, whichever way the bitmap is
// drawn (bars only or with readable text).
TEST(TBarcodeBmp, RotationsArePixelCopies) {
    struct Case {
        TBarCodeType type;
        bool interpret;
        int scale, height;
        const char* text;
    };
    const Case cases[] = {
        {bcCode128, true, 2, 50, "Ab12"},       // readable text: no symmetry hides a fault
        {bcCode128, false, 3, 31, "Ab12"},      // bars only
        {bcPOSTNET, true, 2, 21, "45459"},      // odd height: the half bars start at 10
        {bcPOSTNET, false, 7, 42, "454591234"}, // ZIP+4 at the size of the form
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << BarCodeTypeName(c.type) << " " << c.text);
        TBarcodeBmp bmp;
        bmp.SetBarcodeType(c.type);
        bmp.SetInterpret(c.interpret);
        bmp.SetScale(c.scale);
        bmp.SetHeight(c.height);
        bmp.SetBarcodeText(QString::fromLatin1(c.text));
        const QImage src = bmp.Bitmap();
        const int w = src.width(), h = src.height();
        ASSERT_EQ(h, c.height);
        for (const auto rotate : {bcRotate90, bcRotate180, bcRotate270, bcRotate90}) {
            SCOPED_TRACE(int(rotate));
            bmp.SetRotate(rotate);
            const QImage& dst = bmp.Bitmap();
            ASSERT_EQ(dst.size(), rotate == bcRotate180 ? QSize(w, h) : QSize(h, w));
            EXPECT_EQ(dst.colorTable(), src.colorTable());
            int mismatches = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const QPoint to = rotate == bcRotate90    ? QPoint(h - 1 - y, x)
                                      : rotate == bcRotate180 ? QPoint(w - 1 - x, h - 1 - y)
                                                              : QPoint(y, w - 1 - x);
                    mismatches += dst.pixelIndex(to) != src.pixelIndex(x, y);
                }
            EXPECT_EQ(mismatches, 0);
        }
        bmp.SetRotate(bcNoRotate);
        EXPECT_EQ(bmp.Bitmap(), src) << "rotations do not add up";
    }
}

TEST(TBarcodeBmp, TypesNotBuiltAreRefusedAndChangeNothing) {
    for (const auto type : {bcCode39, bcCode39Ext, bcUPCA, bcInt2of5, bcCode93, bcEAN13, bcEAN8,
                            bcUPCE, bcUPC2ext, bcUPC5ext}) {
        TBarcodeBmp bmp;
        bmp.SetBarcodeType(bcEAN128);
        bmp.SetBarcodeText(kMailerText);
        const QImage before = bmp.Bitmap();
        try {
            bmp.SetBarcodeType(type);
            ADD_FAILURE() << "no error for " << BarCodeTypeName(type);
        } catch (const BarcodeError& e) {
            EXPECT_NE(std::string(e.what()).find(BarCodeTypeName(type)), std::string::npos)
                << e.what();
            EXPECT_NE(std::string(e.what()).find("not supported"), std::string::npos) << e.what();
        }
        EXPECT_EQ(bmp.BarcodeType(), bcEAN128);
        EXPECT_EQ(bmp.BarcodeText(), kMailerText);
        EXPECT_EQ(bmp.Bitmap(), before);
    }
    TBarcodeBmp bmp;
    EXPECT_THROW(bmp.setProperty("BarcodeType", QVariant(13)), BarcodeError);
    EXPECT_EQ(bmp.BarcodeType(), bcCode128);
}

TEST(TBarcodeBmp, BadSettingsAreRefusedAndChangeNothing) {
    TBarcodeBmp bmp;
    bmp.SetBarcodeText("ABC");
    const QImage before = bmp.Bitmap();
    EXPECT_THROW(bmp.SetScale(0), BarcodeError);
    EXPECT_THROW(bmp.SetHeight(0), BarcodeError);
    EXPECT_THROW(bmp.SetHeight(-5), BarcodeError);
    EXPECT_THROW(bmp.SetRotate(static_cast<TbcRotate>(4)), BarcodeError);
    EXPECT_THROW(bmp.SetScale(1000), BarcodeError) << "bitmap too wide";
    EXPECT_THROW(bmp.SetBarcodeText(QString("AB") + QChar(128)), BarcodeError)
        << "128 would be FNC3";
    EXPECT_EQ(bmp.Scale(), 1);
    EXPECT_EQ(bmp.Height(), 50);
    EXPECT_EQ(bmp.Rotate(), bcNoRotate);
    EXPECT_EQ(bmp.BarcodeText(), "ABC");
    EXPECT_EQ(bmp.Bitmap(), before);
}

TEST(TBarcodeBmp, LoadingDefersRendering) {
    TBarcodeBmp bmp;
    bmp.BeginLoading();
    bmp.SetScale(2);
    bmp.SetBarcodeText("12345");
    EXPECT_EQ(bmp.Bitmap().size(), QSize(20, 50));
    bmp.EndLoading();
    EXPECT_EQ(bmp.Bitmap().size(), QSize(198, 50));
}

TEST(TBarcodeBmp, FontSetting) {
    TBarcodeBmp bmp;
    bmp.SetBarcodeText("ABC");
    bmp.SetFont(static_cast<const QFont*>(nullptr));
    EXPECT_EQ(bmp.Font().family(), "Courier New");
    QFont sans("Liberation Sans");
    bmp.SetFont(&sans);
    EXPECT_EQ(bmp.Font().family(), "Liberation Sans");
    EXPECT_EQ(bmp.Font().pointSize(), 8) << "size follows Scale when the text is drawn";
}

} // namespace
} // namespace qm
