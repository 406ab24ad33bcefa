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
    };
    for (const auto& c : cases) EXPECT_EQ(FormatMoney(c.v), c.expected) << c.v;
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
        // Unusable, zero and negative fees show as a blank and add nothing.
        {"abc", {"abc", "          2.40", "", ""}, " ", Blanks(10) + "2.40"},
        {"0", {"0", "          2.40", "", ""}, " ", Blanks(10) + "2.40"},
        {"-2", {"-2", "          2.40", "", ""}, " ", Blanks(10) + "2.40"},
        // Restricted delivery counts like the other fees.
        {"3.50",
         {"          0.39", "          2.40", "3.50", "          1.85"},
         Blanks(10) + "3.50",
         Blanks(10) + "8.14"},
        // Nothing usable anywhere: the total still shows.
        {"", {"", " ", "", "x"}, " ", Blanks(10) + "0.00"},
    };
    for (const auto& c : cases) {
        const RecalcResult r = RecalcFees(QString::fromLatin1(c.text), c.fields);
        EXPECT_EQ(r.fieldText, c.field) << c.text;
        EXPECT_EQ(r.totalText, c.total) << c.text;
    }
}

} // namespace
} // namespace qm
