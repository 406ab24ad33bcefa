// Mailer numbers of both numbering modes.
#include "core/integer.h"
#include "numbers/mailer_numbers.h"

#include <gtest/gtest.h>

using namespace qm;

TEST(AdvanceNumber, BarcodeModeStepsTheSerial) {
    struct Case {
        const char* from;
        const char* to;
    };
    for (const Case c : {Case{"0000000", "0000001"}, Case{"0000041", "0000042"},
                         Case{"9999999", "0000001"}, Case{"41", "0000042"}}) {
        GlobalVariables g;
        g.SerialNum = QString::fromLatin1(c.from);
        AdvanceNumber(g);
        EXPECT_EQ(g.SerialNum, QString::fromLatin1(c.to)) << c.from;
    }
}

TEST(AdvanceNumber, NonIntegerSerialChangesNothing) {
    for (bool barcode : {true, false}) {
        GlobalVariables g;
        g.PrintBarCode = barcode;
        g.SerialNum = QString();
        g.MailerNum = QStringLiteral("71000000000abcdefg00");
        const GlobalVariables before = g;
        try {
            AdvanceNumber(g);
            FAIL() << "no conversion error";
        } catch (const ConversionError& e) {
            EXPECT_NE(std::string(e.what()).find("is not a valid integer value"),
                      std::string::npos);
        }
        EXPECT_EQ(g.SerialNum, before.SerialNum);
        EXPECT_EQ(g.MailerNum, before.MailerNum);
    }
}

TEST(AdvanceNumber, PreNumberedReadsEachStoredForm) {
    GlobalVariables g;
    g.PrintBarCode = false;
    ASSERT_EQ(g.MailerNum, QStringLiteral("71000000000000000000"));
    AdvanceNumber(g);
    EXPECT_EQ(g.MailerNum, QStringLiteral("420000009214700000000000000010"));
    AdvanceNumber(g); // the 30-character form: the serial steps again
    EXPECT_EQ(g.MailerNum, QStringLiteral("420000009214700000000000000027"));
    // A 22-digit tracking number keeps its ID.
    g.MailerNum = QStringLiteral("9214712345678900000015");
    AdvanceNumber(g);
    EXPECT_EQ(g.MailerNum, QStringLiteral("420000009214712345678900000022"));
    EXPECT_EQ(g.MailerNum.size(), 30);
    // Counting down wraps below 0 to 9999999.
    g.Increment = false;
    g.MailerNum = MailerNumFromTracking(QStringLiteral("9214712345678900000012"));
    AdvanceNumber(g);
    EXPECT_EQ(SplitMailerNum(g.MailerNum).serial, QStringLiteral("0000000"));
    AdvanceNumber(g);
    EXPECT_EQ(SplitMailerNum(g.MailerNum).serial, QStringLiteral("9999999"));
    StepBackNumber(g); // against the direction: up from 9999999 wraps to 0000001
    EXPECT_EQ(SplitMailerNum(g.MailerNum).serial, QStringLiteral("0000001"));
}

TEST(MailerNum, FormsAndTrackingDigits) {
    struct Case {
        const char* stored;
        const char* id;
        const char* serial;
    };
    for (const Case c : {Case{"71000000000000000000", "000000000", "0000000"},
                         Case{"71123456789000004200", "123456789", "0000042"},
                         Case{"9214712345678900000015", "123456789", "0000001"},
                         Case{"420000009214712345678900000015", "123456789", "0000001"}}) {
        const MailerNumberParts p = SplitMailerNum(QString::fromLatin1(c.stored));
        EXPECT_EQ(p.id, QString::fromLatin1(c.id)) << c.stored;
        EXPECT_EQ(p.serial, QString::fromLatin1(c.serial)) << c.stored;
    }
    EXPECT_EQ(TrackingDigits(QStringLiteral("420000009214712345678900000015")),
              QStringLiteral("9214712345678900000015"));
    EXPECT_EQ(TrackingDigits(QStringLiteral("9214712345678900000015")),
              QStringLiteral("9214712345678900000015"));
    EXPECT_EQ(TrackingDigits(QStringLiteral("71000000000000000000")).size(), 22);
    EXPECT_EQ(MailerNumFromTracking(QStringLiteral("9214712345678900000015")),
              QStringLiteral("420000009214712345678900000015"));
}

// A pre-numbered mailer carries its number as printed on it: stepping keeps its prefix and
// ID, and only a number with a right check digit is taken.
TEST(MailerNum, PreNumberedKeepsTheTypedPrefix) {
    GlobalVariables g;
    g.PrintBarCode = false;
    g.MailerNum = MailerNumFromTracking(QStringLiteral("9407112345678900000509"));
    AdvanceNumber(g);
    EXPECT_EQ(g.MailerNum, QStringLiteral("420000009407112345678900000516"));
    StepBackNumber(g);
    EXPECT_EQ(g.MailerNum, QStringLiteral("420000009407112345678900000509"));
    struct Case {
        const char* tracking;
        bool right;
    };
    for (const Case c :
         {Case{"9407112345678900000509", true}, Case{"9214712345678900000015", true},
          Case{"9214712345678900000503", true}, Case{"9407112345678900000508", false},
          Case{"9214712345678900000016", false}, Case{"921471234567890000001", false},
          Case{"92147123456789000000x5", false}, Case{"", false}})
        EXPECT_EQ(TrackingCheckDigitRight(QString::fromLatin1(c.tracking)), c.right) << c.tracking;
}

TEST(MailerNum, ModesAndUnsetCustomerIds) {
    GlobalVariables g;
    g.Increment = false;
    SetBarcodeMode(g, false);
    EXPECT_FALSE(g.PrintBarCode);
    EXPECT_TRUE(g.Increment) << "pre-numbered mode always counts up again";
    SetBarcodeMode(g, true);
    EXPECT_TRUE(g.PrintBarCode);
    for (const char* unset : {"00-000-0000", "000000000", "", "0-0"})
        EXPECT_TRUE(CustomerIdUnset(QString::fromLatin1(unset))) << unset;
    for (const char* set : {"123456789", "000000001", "00-000-0010"})
        EXPECT_FALSE(CustomerIdUnset(QString::fromLatin1(set))) << set;
}
