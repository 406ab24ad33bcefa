// Mailer numbers of both modes and the print request.
#include "core/integer.h"
#include "entry/entry_fields.h"
#include "entry/mailer_numbers.h"

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

namespace {
EntryFields Fields() {
    EntryFields f;
    f.senderLabels = {QStringLiteral("Acme"), QStringLiteral("1 Oak"), QStringLiteral("X OH 45459"),
                      QString(), QString()};
    f.addresseeLines = {QStringLiteral("John Smith"), QStringLiteral("12 Main St"), QString(),
                        QString()};
    f.city = QStringLiteral("Springfield");
    f.state = QStringLiteral("IL");
    f.zipText = QStringLiteral("62701-    ");
    f.re = QStringLiteral("Invoice 77 and a reference that is long");
    f.comment = QStringLiteral("Second notice");
    f.postage = QStringLiteral("          0.39");
    f.certFee = QStringLiteral("          2.40");
    f.returnFee = QStringLiteral("          1.85");
    f.restrictedFee = QString();
    f.total = QStringLiteral("          4.64");
    return f;
}
} // namespace

TEST(PrintRequest, MembersFromFieldsAndSettings) {
    GlobalVariables g;
    g.Zip = QStringLiteral("45459");
    g.CustID = QStringLiteral("12-345-6789");
    g.SerialNum = QStringLiteral("0000042");
    g.LeftRight = -5;
    g.TopBottom = 12;
    const PrintRequest r = BuildPrintRequest(Fields(), g);
    EXPECT_EQ(r.senderLines[0], QStringLiteral("Acme"));
    EXPECT_EQ(r.senderZip, QStringLiteral("45459"));
    EXPECT_EQ(r.addresseeLines[0], QStringLiteral("John Smith"));
    EXPECT_EQ(r.addresseeLines[2], QStringLiteral("Springfield IL 62701")) << "city line moved up";
    EXPECT_EQ(r.addresseeLines[4], QString());
    EXPECT_EQ(r.addresseeZip, QStringLiteral("62701"));
    EXPECT_EQ(r.reference, QStringLiteral("Invoice 77 and a referenc"));
    EXPECT_FALSE(r.restricted);
    EXPECT_EQ(r.customerId, QStringLiteral("123456789"));
    EXPECT_EQ(r.serial, QStringLiteral("0000042"));
    EXPECT_EQ(r.postage, QStringLiteral("          0.39"));
    EXPECT_EQ(r.restrictedFee, QStringLiteral(" "));
    EXPECT_EQ(r.total, QStringLiteral("          4.64"));
    EXPECT_EQ(r.leftRight, -5);
    EXPECT_EQ(r.topBottom, 12);
    EXPECT_EQ(r.extraLabel, ExtraLabel::Addressee);
}

// The extra label's settings are compared exactly, as the settings file stores them.
TEST(PrintRequest, ExtraLabelFromTheSettings) {
    struct Case {
        const char* print;
        const char* label;
        ExtraLabel expected;
    };
    for (const Case& c : {Case{"Yes", "Addressed To", ExtraLabel::Addressee},
                          Case{"Yes", "Your Name and Address", ExtraLabel::Sender},
                          Case{"Yes", "addressed to", ExtraLabel::Sender},
                          Case{"No", "Addressed To", ExtraLabel::None},
                          Case{"yes", "Addressed To", ExtraLabel::None}}) {
        GlobalVariables g;
        g.PrintExtraLabel = QString::fromLatin1(c.print);
        g.ExtraLabel = QString::fromLatin1(c.label);
        EXPECT_EQ(BuildPrintRequest(Fields(), g).extraLabel, c.expected)
            << c.print << " / " << c.label;
    }
}

TEST(PrintRequest, MoveRuleAndModes) {
    GlobalVariables g;
    g.PrintBarCode = false;
    g.MailerNum = QStringLiteral("420000009214712345678900000015");
    EntryFields f = Fields();
    f.addresseeLines = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                        QStringLiteral("D")};
    PrintRequest r = BuildPrintRequest(f, g);
    EXPECT_EQ(r.addresseeLines[3], QStringLiteral("D"));
    EXPECT_EQ(r.addresseeLines[4], QStringLiteral("Springfield IL 62701"));
    EXPECT_EQ(r.mailerNumber, g.MailerNum);
    EXPECT_EQ(r.serial, QString());
    f.addresseeLines = {QStringLiteral(" "), QString(), QString(), QString()};
    f.city.clear();
    f.state.clear();
    f.zipText = QStringLiteral("     -    ");
    r = BuildPrintRequest(f, g);
    EXPECT_EQ(r.addresseeLines[0], QStringLiteral("  ")) << "an empty city line is two blanks";
    EXPECT_EQ(r.addresseeZip, QString());
}

// The receipt's total is the sum of the fees it shows.
TEST(PrintRequest, TotalIsTheSumOfTheFeesShown) {
    GlobalVariables g;
    EntryFields f = Fields();
    f.postage = QStringLiteral("-2");           // not yet formatted: shows as a blank
    f.total = QStringLiteral("          2.25"); // 4.25 - 2 counted a negative fee
    f.restricted = true;
    f.restrictedFee = QStringLiteral("abc");
    const PrintRequest r = BuildPrintRequest(f, g);
    EXPECT_EQ(r.postage, QStringLiteral(" "));
    EXPECT_EQ(r.restrictedFee, QStringLiteral(" "));
    EXPECT_TRUE(r.restricted);
    EXPECT_EQ(r.total, QStringLiteral("          4.25"));
}

TEST(PrintRequest, AddresseeEmptyOnlyWithoutLinesCityAndZip) {
    EntryFields f;
    f.addresseeLines = {QStringLiteral(" "), QString(), QString(), QString()};
    f.zipText = QStringLiteral("     -    ");
    f.state = QStringLiteral("IL"); // a state alone addresses nobody
    EXPECT_TRUE(AddresseeEmpty(f));
    EntryFields line = f;
    line.addresseeLines[3] = QStringLiteral("John");
    EntryFields city = f;
    city.city = QStringLiteral("Springfield");
    EntryFields zip = f;
    zip.zipText = QStringLiteral("62701-    ");
    for (const EntryFields& filled : {line, city, zip}) EXPECT_FALSE(AddresseeEmpty(filled));
}
