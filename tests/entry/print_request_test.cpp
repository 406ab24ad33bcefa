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

TEST(PrintRequest, SlotsFromFieldsAndSettings) {
    GlobalVariables g;
    g.Zip = QStringLiteral("45459");
    g.CustID = QStringLiteral("12-345-6789");
    g.SerialNum = QStringLiteral("0000042");
    g.LeftRight = -5;
    g.TopBottom = 12;
    const PrintRequest r = BuildPrintRequest(Fields(), g);
    EXPECT_EQ(r[0], QStringLiteral("Acme"));
    EXPECT_EQ(r[5], QStringLiteral("45459"));
    EXPECT_EQ(r[6], QStringLiteral("John Smith"));
    EXPECT_EQ(r[8], QStringLiteral("Springfield IL 62701")) << "city line moved up";
    EXPECT_EQ(r[10], QString());
    EXPECT_EQ(r[11], QStringLiteral("62701"));
    EXPECT_EQ(r[12], QStringLiteral("Invoice 77 and a referenc"));
    EXPECT_EQ(r[14], QStringLiteral("N"));
    EXPECT_EQ(r[15], QStringLiteral("123456789"));
    EXPECT_EQ(r[16], QStringLiteral("0000042"));
    EXPECT_EQ(r[17], QStringLiteral("          0.39"));
    EXPECT_EQ(r[20], QStringLiteral(" "));
    EXPECT_EQ(r[21], QStringLiteral("          4.64"));
    EXPECT_EQ(r[22], QStringLiteral("-5"));
    EXPECT_EQ(r[23], QStringLiteral("12"));
    EXPECT_EQ(r[24], QStringLiteral("Yes"));
    EXPECT_EQ(r[25], QStringLiteral("Addressed To"));
    EXPECT_EQ(r[26], QStringLiteral("-1"));
    EXPECT_EQ(r[27], QStringLiteral("-1"));
}

TEST(PrintRequest, MoveRuleAndModes) {
    GlobalVariables g;
    g.PrintBarCode = false;
    g.MailerNum = QStringLiteral("420000009214712345678900000015");
    EntryFields f = Fields();
    f.addresseeLines = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                        QStringLiteral("D")};
    PrintRequest r = BuildPrintRequest(f, g);
    EXPECT_EQ(r[9], QStringLiteral("D"));
    EXPECT_EQ(r[10], QStringLiteral("Springfield IL 62701"));
    EXPECT_EQ(r[15], g.MailerNum);
    EXPECT_EQ(r[16], QString());
    f.addresseeLines = {QStringLiteral(" "), QString(), QString(), QString()};
    f.city.clear();
    f.state.clear();
    f.zipText = QStringLiteral("     -    ");
    r = BuildPrintRequest(f, g);
    EXPECT_EQ(r[6], QStringLiteral("  ")) << "an empty city line is two blanks";
    EXPECT_EQ(r[11], QString());
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
    EXPECT_EQ(r[17], QStringLiteral(" "));
    EXPECT_EQ(r[20], QStringLiteral(" "));
    EXPECT_EQ(r[14], QStringLiteral("Y"));
    EXPECT_EQ(r[21], QStringLiteral("          4.25"));
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
