// The print request built from the entry fields and the settings.
#include "entry/entry_fields.h"

#include <gtest/gtest.h>

using namespace qm;

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
