// What we draw, read back by independent decoders.
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "barcode/barcode_bmp.h"
#include "numbers/barcode_data.h"
#include "oracle.h"

namespace qm {
namespace {

// The text the form's barcode placement hands to the component.
QString MailerText(const QString& data) {
    return QChar(kFnc1Char) + data.left(kBarcodeZipElementLength) + QChar(kFnc1Char) +
           data.mid(kBarcodeZipElementLength);
}

TEST(Decode, MailerSymbolInEveryRotationAndScale) {
    for (const auto& [flag, zip, serial] :
         {std::tuple{"T", "12345", "0000001"}, std::tuple{"F", "90210", "9999999"},
          std::tuple{"T", "00000", "0012345"}}) {
        const QString data = BuildBarcodeData("123456789", serial, zip, flag);
        const QByteArray expected = data.left(8).toLatin1() + '\x1d' + data.mid(8).toLatin1();
        for (int scale : {2, 3}) {
            for (const auto rotate : {bcNoRotate, bcRotate90, bcRotate180, bcRotate270}) {
                SCOPED_TRACE(testing::Message()
                             << data.toStdString() << " scale " << scale << " rotate " << rotate);
                TBarcodeBmp bmp;
                bmp.SetScale(scale);
                bmp.SetHeight(25 * scale);
                bmp.SetInterpret(false);
                bmp.SetBarcodeType(bcEAN128);
                bmp.SetBarcodeText(MailerText(data));
                bmp.SetRotate(rotate);
                EXPECT_EQ(
                    test::ZbarDecode(bmp.Bitmap(),
                                     QString("mailer-%1-%2-%3").arg(data).arg(scale).arg(rotate)),
                    expected);
            }
        }
    }
}

TEST(Decode, MailerSymbolIsGs1ToZxing) {
    const QString data = BuildBarcodeData("123456789", "0000001", "12345", "T");
    TBarcodeBmp bmp;
    bmp.SetScale(2);
    bmp.SetInterpret(false);
    bmp.SetBarcodeType(bcEAN128);
    bmp.SetBarcodeText(MailerText(data));
    const QString report = test::ZxingReport(bmp.Bitmap(), "mailer-zxing");
    EXPECT_TRUE(report.contains(QRegularExpression("Identifier: *\\]C1"))) << report.toStdString();
    // The separator after the ZIP element, before the tracking number.
    EXPECT_TRUE(
        report.contains(QRegularExpression("Bytes: *34 32 30 31 32 33 34 35 1D 39 32 31 34 37 31 "
                                           "32 33 34 35 36 37 38 39 30 30 30 30 30 30 31 35\\n")))
        << report.toStdString();
}

struct TextCase {
    const char* why;
    QByteArray text;
};

TEST(Decode, Code128TextsReadBackExactly) {
    QByteArray printable;
    for (int c = 32; c < 127; ++c) printable += char(c);
    QByteArray controls;
    for (int c = 1; c < 32; ++c) controls += char(c);
    controls += "_^";
    QByteArray pairs;
    for (int v = 0; v < 100; ++v) pairs += QByteArray::number(v).rightJustified(2, '0');
    const TextCase cases[] = {
        {"every printable character (set B)", printable},
        {"every control character (set A)", controls},
        {"every digit pair (set C)", pairs},
        {"B, C and back to B", "Ab1234cd"},
        {"C, then B for the odd digit", "12345"},
        {"C then A for a control character", QByteArray("1234\x01"
                                                        "AB")},
        {"Shift from B to A", QByteArray("ab\x09"
                                         "cd")},
        {"Shift from A to B", QByteArray("\x01"
                                         "a\x02\x03")},
        {"every change in one text", QByteArray("HELLO\x0d\x0a"
                                                "world 123456 x\x01"
                                                "y"
                                                "\x02\x03"
                                                "987654321`{|}~")},
        {"odd run then C", "A123456789"},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TBarcodeBmp bmp;
        bmp.SetScale(2);
        bmp.SetInterpret(true);
        bmp.SetBarcodeText(QString::fromLatin1(c.text));
        ASSERT_EQ(bmp.BarcodeText().toLatin1(), c.text);
        EXPECT_EQ(test::ZbarDecode(bmp.Bitmap(), QString("code128-%1").arg(i++)), c.text);
    }
}

} // namespace
} // namespace qm
