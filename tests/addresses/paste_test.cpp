// Pasting an address: clipboard texts and what reaches the address fields.
#include <gtest/gtest.h>

#include "addresses/paste_address.h"

namespace qm::addresses {
namespace {

struct PasteCase {
    const char* what;
    QString clip;
    bool filled;
    QStringList lines;
    QString city, state, zip;
};

TEST(Paste, ClipboardTexts) {
    const QString crlf = "\r\n";
    const PasteCase cases[] = {
        {"three lines, no end",
         "John Smith\r\n12 Main St\r\nSpringfield, IL 62704",
         true,
         {"John Smith", "12 Main St"},
         "Springfield",
         "IL",
         "62704"},
        {"LF CR separators",
         "A\n\rB\n\rDover, DE 19901\n\r",
         true,
         {"A", "B"},
         "Dover",
         "DE",
         "19901"},
        {"ZIP+4",
         "A\r\nSpringfield, IL   62704-1234",
         true,
         {"A"},
         "Springfield",
         "IL",
         "62704-1234"},
        {"hyphen in the city",
         "A\r\nWilkes-Barre, PA 18701",
         true,
         {"A"},
         "Wilkes-Bar",
         "re",
         "ilkes-Barr"},
        {"blanks after the ZIP", "A\r\nDover, DE 19901  ", true, {"A"}, "Dover, DE", "19", "901  "},
        {"lone LF, no end: one city line",
         "A\nDover, DE 19901",
         true,
         {},
         "A\nDover",
         "DE",
         "19901"},
        {"lone LF at the end: no line", "A\nDover, DE 19901\n", false, {}, "", "", ""},
        {"lone CR at the end: no line", "Dover, DE 19901\r", false, {}, "", "", ""},
        {"empty line kept",
         "A\r\n\r\nB\r\nDover, DE 19901",
         true,
         {"A", "", "B"},
         "Dover",
         "DE",
         "19901"},
        {"single line", "Dover, DE 19901", true, {}, "Dover", "DE", "19901"},
        {"six address lines, four used",
         "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\nDover, DE 19901",
         true,
         {"1", "2", "3", "4"},
         "Dover",
         "DE",
         "19901"},
        {"blanks and commas before the state", ", IL 62704", true, {}, "", "IL", "62704"},
        {"only blanks before the ZIP", "   62704", true, {}, "", "  ", "62704"},
        {"short line", "IL", true, {}, "", "IL", "IL"},
        {"empty", "", false, {}, "", "", ""},
    };
    for (const PasteCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto got = SplitPastedAddress(c.clip);
        ASSERT_EQ(got.has_value(), c.filled);
        if (!got) continue;
        EXPECT_EQ(got->lines, c.lines);
        EXPECT_EQ(got->city, c.city);
        EXPECT_EQ(got->state, c.state);
        EXPECT_EQ(got->zip, c.zip);
    }
}

TEST(Paste, MemoText) {
    EXPECT_EQ(PastedMemoText({}), "");
    EXPECT_EQ(PastedMemoText({"a"}), "a\r\n");
    EXPECT_EQ(PastedMemoText({"a", "b", "c"}), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(PastedMemoText({"a", "b", "c", "d"}), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(PastedMemoText({"a", "b", "c", "d", "e"}), "a\r\nb\r\nc\r\nd");
}

} // namespace
} // namespace qm::addresses
