#include "entry/money.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

QString Blanks(int n) {
    return QString(n, u' ');
}

TEST(FormatMoney, BlanksByMagnitudeAndAtLeastTwoDecimals) {
    const struct {
        double v;
        QString expected;
    } cases[] = {
        {0.39, Blanks(10) + "0.39"},
        {2.4, Blanks(10) + "2.40"},
        {12.5, Blanks(8) + "12.50"},
        {0, Blanks(10) + "0.00"},
        {-0.0, Blanks(10) + "0.00"},
        {3, Blanks(10) + "3.00"},
        {2.456, Blanks(10) + "2.456"},
        {0.1 + 0.2, Blanks(10) + "0.30"}, // 15 significant digits hide the binary error
        {9.99, Blanks(10) + "9.99"},
        {10, Blanks(8) + "10.00"},
        {99.5, Blanks(8) + "99.50"},
        {100, Blanks(6) + "100.00"},
        {999.99, Blanks(6) + "999.99"},
        {1000, Blanks(5) + "1000.00"}, // five, not four
        {10000, Blanks(3) + "10000.00"},
        {100000, Blanks(1) + "100000.00"},
        {-2, Blanks(10) + "-2.00"}, // negatives count as below 10
        // Plain decimals only, never an exponent.
        {1234567890123456.0, Blanks(1) + "1234567890123456.00"},
        {1e15, Blanks(1) + "1000000000000000.00"},
        {1e20, Blanks(1) + "100000000000000000000.00"},
        {123456789012345.67, Blanks(1) + "123456789012346.00"}, // 15 significant digits
        {0.00001, Blanks(10) + "0.00001"},
        {1.5e-7, Blanks(10) + "0.00000015"},
        {0.39 + 2.4 + 1.85, Blanks(10) + "4.64"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatMoney(c.v), c.expected) << c.v;
}

// What one exit handler writes, a second reads back and writes unchanged.
TEST(FormatMoney, ReadsBackToTheSameText) {
    for (double v :
         {0.39, 2.456, 12.5, 99999999999.99, 1234567890123456.0, 1e20, 1e308, 0.00001, 1.0 / 3}) {
        const QString once = FormatMoney(v);
        EXPECT_FALSE(once.contains(u'e')) << once.toStdString();
        const auto back = ParseMoney(once);
        ASSERT_TRUE(back.has_value()) << once.toStdString();
        EXPECT_EQ(FormatMoney(*back), once);
    }
    EXPECT_EQ(FormatMoney(1e308).size(), 1 + 309 + 3);
}

TEST(ParseMoney, BlanksAroundAllowedPointOnly) {
    EXPECT_EQ(ParseMoney("  2.4 "), 2.4);
    EXPECT_EQ(ParseMoney("3"), 3.0);
    EXPECT_EQ(ParseMoney("-2"), -2.0);
    for (const char* bad : {"", " ", "abc", "2,40", "1.2.3", "inf", "nan", "$3"})
        EXPECT_FALSE(ParseMoney(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(RecalcFees, FormatsTheFeeAndTotalsTheShownFees) {
    const struct {
        const char* text;
        FeeTexts fields;
        QString field;
        QString total;
    } cases[] = {
        // Leaving the postage field after typing 2.4: the total takes the typed text.
        {"2.4",
         {"2.4", "          2.40", "", "          1.85"},
         Blanks(10) + "2.40",
         Blanks(10) + "6.65"},
        {"12.5", {"12.5", "", "", ""}, Blanks(8) + "12.50", Blanks(8) + "12.50"},
        {"3", {"3", "", "", ""}, Blanks(10) + "3.00", Blanks(10) + "3.00"},
        {"2.456", {"2.456", "", "", ""}, Blanks(10) + "2.456", Blanks(10) + "2.456"},
        // A zero fee shows as a blank and adds nothing.
        {"0", {"0", "          2.40", "", ""}, " ", Blanks(10) + "2.40"},
        // Restricted delivery counts like the other fees.
        {"3.50",
         {"          0.39", "          2.40", "3.50", "          1.85"},
         Blanks(10) + "3.50",
         Blanks(10) + "8.14"},
        // Nothing usable anywhere: the total still shows.
        {"", {"", " ", "", "x"}, " ", Blanks(10) + "0.00"},
        // A vanishing number is no fee, and no refusal either.
        {"1e-400", {"1e-400", "", "", ""}, " ", Blanks(10) + "0.00"},
    };
    for (const auto& c : cases) {
        const RecalcResult r = RecalcFees(QString::fromLatin1(c.text), c.fields);
        EXPECT_EQ(r.fieldText, c.field) << c.text;
        EXPECT_EQ(r.totalText, c.total) << c.text;
        EXPECT_TRUE(r.refusal.isEmpty()) << c.text;
    }
}

// A fee that is not money, or whose money text would not fit the receipt and the log's 15
// places, is refused with a message naming it; the field keeps the typed text and the total
// leaves it out.
TEST(RecalcFees, RefusesFeesTooLargeForTheirText) {
    const QString fee99 = Blanks(1) + "99999999999.99";
    ASSERT_EQ(fee99.size(), kMoneyTextWidth);
    const struct {
        const char* text;
        FeeTexts fields;
        bool refused;
        QString field;
        QString total;
    } cases[] = {
        {"1e308", {"1e308", "          2.40", "", ""}, true, "1e308", Blanks(10) + "2.40"},
        {"1e309", {"1e309", "          2.40", "", ""}, true, "1e309", Blanks(10) + "2.40"},
        {"+1e400", {"+1e400", "", "", ""}, true, "+1e400", Blanks(10) + "0.00"},
        {"123456789012345",
         {"123456789012345", "", "", ""},
         true,
         "123456789012345",
         Blanks(10) + "0.00"},
        {"2.4567", {"2.4567", "          2.40", "", ""}, true, "2.4567", Blanks(10) + "2.40"},
        // Not money at all: letters, a negative amount.
        {"0.39f", {"0.39f", "          2.40", "", ""}, true, "0.39f", Blanks(10) + "2.40"},
        {"abc", {"abc", "          2.40", "", ""}, true, "abc", Blanks(10) + "2.40"},
        {"-2", {"-2", "          2.40", "", ""}, true, "-2", Blanks(10) + "2.40"},
        {"99999999999.99", {"99999999999.99", "", "", ""}, false, fee99, fee99},
        {"2.456", {"2.456", "", "", ""}, false, Blanks(10) + "2.456", Blanks(10) + "2.456"},
        // Each fee fits, but the total would not: the fee being left is refused.
        {"99999999999", {fee99, "99999999999", "", ""}, true, "99999999999", fee99},
    };
    for (const auto& c : cases) {
        const RecalcResult r = RecalcFees(QString::fromLatin1(c.text), c.fields);
        EXPECT_EQ(!r.refusal.isEmpty(), c.refused) << c.text;
        if (c.refused) {
            EXPECT_TRUE(r.refusal.contains(QString::fromLatin1(c.text))) << c.text;
        }
        EXPECT_EQ(r.fieldText, c.field) << c.text;
        EXPECT_EQ(r.totalText, c.total) << c.text;
    }
    // The print counts exactly the fees the fields keep.
    EXPECT_EQ(CountedFee("1e308"), 0.0);
    EXPECT_EQ(CountedFee("99999999999.99"), 99999999999.99);
}

} // namespace
} // namespace qm
