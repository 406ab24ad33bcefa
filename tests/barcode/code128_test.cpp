#include "barcode/code128.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "oracle.h"

namespace qm {
namespace {

using test::RecordingCanvas;
using test::Rect;

// Modules of a value as '0'/'1', first module first.
std::string PatternBits(int value) {
    std::string bits;
    const int modules = Code128Modules(value);
    for (int m = modules - 1; m >= 0; --m) bits += ((Code128Pattern(value) >> m) & 1) ? '1' : '0';
    return bits;
}

std::string Modules(const Code128Sequence& seq) {
    std::string bits;
    for (auto v : seq) bits += PatternBits(v);
    return bits;
}

TEST(Code128Patterns, EveryValueHasThreeBarsAndThreeSpacesOfOneToFourModules) {
    std::set<std::uint16_t> seen;
    for (int v = 0; v <= kCode128Stop; ++v) {
        SCOPED_TRACE(v);
        const std::string bits = PatternBits(v);
        ASSERT_EQ(bits.size(), v == kCode128Stop ? 13u : 11u);
        EXPECT_EQ(bits.front(), '1');
        EXPECT_EQ(bits.back(), v == kCode128Stop ? '1' : '0');
        int elements = 1, width = 1, dark = 0;
        for (size_t i = 1; i <= bits.size(); ++i) {
            if (i < bits.size() && bits[i] == bits[i - 1]) {
                ++width;
                continue;
            }
            EXPECT_LE(width, 4);
            if (bits[i - 1] == '1') dark += width;
            if (i < bits.size()) ++elements;
            width = 1;
        }
        EXPECT_EQ(elements, v == kCode128Stop ? 7 : 6);
        EXPECT_EQ(dark % 2, 0) << "even parity of the bars";
        EXPECT_TRUE(seen.insert(Code128Pattern(v)).second) << "duplicate pattern";
    }
    EXPECT_EQ(Code128Pattern(107), 0);
    EXPECT_EQ(Code128Pattern(-1), 0);
}

TEST(Code128Patterns, KnownEntries) {
    const struct {
        int value;
        const char* bits;
    } cases[] = {
        {0, "11011001100"},   {99, "10111011110"},  {100, "10111101110"},
        {101, "11101011110"}, {102, "11110101110"}, {103, "11010000100"},
        {104, "11010010000"}, {105, "11010011100"}, {106, "1100011101011"},
    };
    for (const auto& c : cases) EXPECT_EQ(PatternBits(c.value), c.bits) << c.value;
}

TEST(ChooseCodeSet, Cases) {
    const struct {
        const char* text;
        CodeSet set;
    } cases[] = {
        {"1234", CodeSet::C},
        {"12345", CodeSet::C},
        {"123A", CodeSet::B},
        {"123", CodeSet::B},
        {"ABC", CodeSet::B},
        {"", CodeSet::B},
        {"A\x01"
         "b",
         CodeSet::A},
        {"Ab\x01", CodeSet::B},
        {"AB\x1f", CodeSet::A},
        {"AB`\x01", CodeSet::B},
        {"AB{", CodeSet::B},
        {"\x7f\x01", CodeSet::B},
        {"\t", CodeSet::A},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseCodeSet(c.text), c.set) << '"' << c.text << '"';
}

struct EncodeCase {
    const char* why;
    std::string text;
    bool gs1;
    Code128Sequence expected;
};

const std::string kMailerT = "\xCA"
                             "42012345"
                             "\xCA"
                             "9214712345678900000015";
const std::string kMailerF = "\xCA"
                             "42012345"
                             "\xCA"
                             "9290912345678900000019";

const EncodeCase kEncodeCases[] = {
    {"odd digit run leaves C for B before the last digit",
     "12345",
     false,
     {105, 12, 34, 100, 21, 54, 106}},
    {"GS1-128 eight digits", "12345678", true, {105, 102, 12, 34, 56, 78, 20, 106}},
    {"digit run shorter than 4 stays in B", "AB12", false, {104, 33, 34, 17, 18, 19, 106}},
    {"B to C and back", "Ab1234cd", false, {104, 33, 66, 99, 12, 34, 100, 67, 68, 28, 106}},
    {"mailer T: FNC1 after the ZIP element", kMailerT, true, {105, 102, 42, 1,  23,  45, 102,
                                                              92,  14,  71, 23, 45,  67, 89,
                                                              0,   0,   0,  15, 100, 106}},
    {"mailer F", kMailerF, true, {105, 102, 42, 1,  23, 45, 102, 92, 90, 91,
                                  23,  45,  67, 89, 0,  0,  0,   19, 29, 106}},
    {"four digits then a letter start in C", "1234A", false, {105, 12, 34, 100, 33, 102, 106}},
    {"three digits then a letter start in B", "123A", false, {104, 17, 18, 19, 33, 37, 106}},
    {"control character after C goes to A", "1234\x01", false, {105, 12, 34, 101, 65, 27, 106}},
    {"control then lowercase in B costs one Shift",
     "a\x01"
     "b",
     false,
     {104, 65, 98, 65, 66, 0, 106}},
    {"lowercase then control in A costs one Shift",
     "\x01"
     "a\x02",
     false,
     {103, 65, 98, 65, 66, 102, 106}},
    {"two control characters change to A", "a\x01\x02", false, {104, 65, 101, 65, 66, 6, 106}},
    {"odd run: one digit in B, then C", "A12345", false, {104, 33, 17, 99, 23, 45, 64, 106}},
    {"FNC1 inside set B",
     "\xCA"
     "AB"
     "\xCA"
     "12",
     true,
     {104, 102, 33, 34, 102, 17, 18, 48, 106}},
    {"FNC1 after an odd run",
     "\xCA"
     "12345"
     "\xCA"
     "67",
     true,
     {105, 102, 12, 34, 100, 21, 102, 22, 23, 37, 106}},
    {"GS1 text without a leading marker", "12345678", true, {105, 102, 12, 34, 56, 78, 20, 106}},
    {"grave accent is a set B character", "\x01`", false, {103, 65, 100, 64, 45, 106}},
};

TEST(EncodeCode128, Cases) {
    for (const auto& c : kEncodeCases) {
        SCOPED_TRACE(c.why);
        const Code128Sequence seq = EncodeCode128(c.text, c.gs1);
        EXPECT_EQ(std::vector<int>(seq.begin(), seq.end()),
                  std::vector<int>(c.expected.begin(), c.expected.end()));
    }
}

TEST(EncodeCode128, MailerSymbolIs20CharactersAnd242ModulesWithQuietZones) {
    const Code128Sequence seq = EncodeCode128(kMailerT, true);
    EXPECT_EQ(seq.size(), 20u);
    EXPECT_EQ(Code128SymbolModules(seq) + 20, 242);
}

TEST(EncodeCode128, MailerModulesMatchZint) {
    for (const auto& [text, zintData] :
         {std::pair{kMailerT, QString("[420]12345[92]14712345678900000015")},
          std::pair{kMailerF, QString("[420]12345[92]90912345678900000019")}}) {
        const Code128Sequence seq = EncodeCode128(text, true);
        const std::string ours = Modules(seq);
        const auto rows = test::ZintDump("GS1_128", zintData, int(ours.size()));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(ours, rows[0]) << zintData.toStdString();
    }
}

TEST(EncodeCode128, RefusesWhatItCannotCarry) {
    const struct {
        const char* why;
        std::string text;
        bool gs1;
    } cases[] = {
        {"empty", "", false},
        {"only the leading FNC1", "\xCA", true},
        {"code 128 would be FNC3", "AB\x80", false},
        {"code 0", std::string("A\0B", 3), false},
        {"FNC1 marker in plain Code 128",
         "A\xCA"
         "B",
         false},
        {"above 128", "A\xE9", true},
    };
    for (const auto& c : cases) EXPECT_THROW(EncodeCode128(c.text, c.gs1), BarcodeError) << c.why;
}

TEST(DrawCode128, JoinsDarkModulesIntoBars) {
    // Start B then Stop: 11010010000 1100011101011
    RecordingCanvas canvas;
    DrawCode128(canvas, 30, 5, {104, 106}, 3, 40);
    const std::vector<Rect> expected = {{30, 5, 6, 40}, {39, 5, 3, 40}, {48, 5, 3, 40},
                                        {63, 5, 6, 40}, {78, 5, 9, 40}, {90, 5, 3, 40},
                                        {96, 5, 6, 40}};
    EXPECT_EQ(canvas.rects, expected);
}

TEST(DrawCode128, StopsAtAValueOutOfRange) {
    RecordingCanvas canvas;
    DrawCode128(canvas, 0, 0, {104, 200, 106}, 1, 10);
    const std::vector<Rect> expected = {{0, 0, 2, 10}, {3, 0, 1, 10}, {6, 0, 1, 10}};
    EXPECT_EQ(canvas.rects, expected);
}

} // namespace
} // namespace qm
