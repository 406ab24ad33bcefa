// Our POSTNET reader: symbols drawn by our encoder and by zint read back as their digits,
// both ways up; removed, shortened or swapped bars are refused.
#include "barcode/barcode_bmp.h"
#include "print/postnet_reader.h"

#include <gtest/gtest.h>
#include <zint.h>

#include <functional>
#include <memory>

using namespace qm;

namespace {

// The symbol on a grey page with a margin of `margin` pixels: its place on that page.
struct Placed {
    QImage page;
    QRect place;
};

Placed OnPage(const QImage& symbol, int margin = 7) {
    const QImage grey = symbol.convertToFormat(QImage::Format_Grayscale8);
    Placed p{QImage(grey.width() + 2 * margin + 5, grey.height() + 2 * margin,
                    QImage::Format_Grayscale8),
             QRect(QPoint(margin, margin), grey.size())};
    p.page.fill(255);
    for (int y = 0; y < grey.height(); ++y)
        std::copy_n(grey.constScanLine(y), grey.width(), p.page.scanLine(margin + y) + margin);
    return p;
}

QImage Ours(const QString& digits, int scale, int height, TbcRotate rotate) {
    TBarcodeBmp bmp;
    bmp.SetBarcodeType(bcPOSTNET);
    bmp.SetHeight(height);
    bmp.SetScale(scale);
    bmp.SetRotate(rotate);
    bmp.SetBarcodeText(digits);
    return bmp.Bitmap();
}

// zint's POSTNET raster (its own check digit), `rotate` 0 or 180 degrees.
QImage Zint(const QString& digits, int rotate) {
    std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> s(ZBarcode_Create(), ZBarcode_Delete);
    s->symbology = BARCODE_POSTNET;
    s->scale = 2.0f;
    s->whitespace_width = 10;
    const QByteArray data = digits.toLatin1();
    const int error = ZBarcode_Encode_and_Buffer(
        s.get(), reinterpret_cast<const unsigned char*>(data.constData()), int(data.size()),
        rotate);
    EXPECT_LT(error, ZINT_ERROR) << s->errtxt;
    if (error >= ZINT_ERROR) return {};
    QImage image(s->bitmap_width, s->bitmap_height, QImage::Format_Grayscale8);
    for (int y = 0; y < s->bitmap_height; ++y)
        for (int x = 0; x < s->bitmap_width; ++x)
            image.scanLine(y)[x] = s->bitmap[3 * (y * s->bitmap_width + x)];
    return image;
}

TEST(PostnetReader, ReadsSymbolsOfOurEncoderAndOfZintBothWaysUp) {
    const struct Case {
        const char* digits;
        int scale, height; // scale 7 and 14: the 300 and 600 dpi mailer
    } cases[] = {
        {"45459", 7, 42}, {"627011234", 14, 84}, {"12345678901", 2, 14},
        {"0", 1, 10},     {"99999", 3, 21},
    };
    for (const Case& c : cases) {
        const QString digits = QString::fromLatin1(c.digits);
        for (const TbcRotate rotate : {bcNoRotate, bcRotate180}) {
            const Placed p = OnPage(Ours(digits, c.scale, c.height, rotate));
            const PostnetReading read = ReadPostnet(p.page, p.place);
            EXPECT_TRUE(read.ok) << c.digits << " turned " << rotate << ": "
                                 << read.problem.toStdString();
            EXPECT_EQ(read.digits.toStdString(), c.digits) << c.digits << " turned " << rotate;
        }
        for (const int angle : {0, 180}) {
            const Placed p = OnPage(Zint(digits, angle));
            const PostnetReading read = ReadPostnet(p.page, p.place);
            EXPECT_TRUE(read.ok) << "zint " << c.digits << " at " << angle << ": "
                                 << read.problem.toStdString();
            EXPECT_EQ(read.digits.toStdString(), c.digits)
                << "zint " << c.digits << " at " << angle;
        }
    }
}

TEST(PostnetReader, RefusesDamagedSymbols) {
    // "45459" at the 600-dpi mailer's size, upright: frame bar at x 140, then bars every
    // 28 pixels, 14 wide; full bars rows 0 to 83, half bars rows 42 to 83.
    const int unit = 14, height = 84;
    const auto barX = [&](int bar) { return 10 * unit + 2 * unit * bar; };
    const auto paint = [](QImage& img, int x, int y, int w, int h, uchar grey) {
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col) img.scanLine(row)[col] = grey;
    };
    const struct Case {
        const char* why;
        std::function<void(QImage&)> damage;
        const char* problem;
    } cases[] = {
        {"a bar whited out", [&](QImage& i) { paint(i, barX(3), 0, unit, height, 255); },
         "a bar is missing or out of place"},
        {"a full bar cut to a half bar (digit 4 becomes 00001, no digit)",
         [&](QImage& i) { paint(i, barX(1 + 5 * 0 + 1), 0, unit, height / 2, 255); },
         "a digit cannot be read"},
        {"the first digit's bars swapped into another digit (4 to 2): the check digit catches it",
         [&](QImage& i) {
             // 4 is 01001, 2 is 00101: the second bar turns half, the third full.
             paint(i, barX(2), 0, unit, height / 2, 255);
             paint(i, barX(3), 0, unit, height / 2, 0);
         },
         "its check digit does not match"},
        {"a gap cut across a full bar", [&](QImage& i) { paint(i, barX(0), 20, unit, 3, 255); },
         "a bar is broken"},
        {"the tops of all bars whited out",
         [&](QImage& i) { paint(i, 0, 0, i.width(), height / 4, 255); },
         "a bar is neither a full bar nor a half bar"},
        {"a speck of ink in the quiet zone", [&](QImage& i) { paint(i, 2 * unit, 40, 2, 2, 0); },
         "a bar is neither a full bar nor a half bar"},
    };
    const QImage clean = Ours(QStringLiteral("45459"), unit, height, bcNoRotate)
                             .convertToFormat(QImage::Format_Grayscale8);
    ASSERT_EQ(clean.pixel(barX(0), 0), qRgb(0, 0, 0));
    ASSERT_EQ(clean.pixel(barX(1), 0), qRgb(255, 255, 255)); // 4 = 01001: first bar half
    ASSERT_EQ(clean.pixel(barX(2), 0), qRgb(0, 0, 0));
    for (const Case& c : cases) {
        QImage damaged = clean;
        c.damage(damaged);
        const Placed p = OnPage(damaged);
        const PostnetReading read = ReadPostnet(p.page, p.place);
        EXPECT_FALSE(read.ok) << c.why << " read as " << read.digits.toStdString();
        EXPECT_EQ(read.problem.toStdString(), c.problem) << c.why;
    }
}

} // namespace
