#include "barcode/postnet.h"

#include <gtest/gtest.h>

#include <string>

#include "oracle.h"

namespace qm {
namespace {

using test::RecordingCanvas;
using test::Rect;

// Bars as 'F' (full) and 'H' (half), as drawn with unit 1 and height h.
std::string OurBars(const std::string& digits, int h = 10) {
    RecordingCanvas canvas;
    DrawPostnet(canvas, 0, 0, digits, 1, h);
    std::string bars;
    for (const Rect& r : canvas.rects) bars += r.h == h ? 'F' : 'H';
    return bars;
}

std::string ZintBars(const std::string& digits) {
    const auto rows = test::ZintDump("POSTNET", QString::fromStdString(digits), 10000);
    EXPECT_EQ(rows.size(), 2u) << "zint dump of " << digits;
    if (rows.size() != 2) return {};
    std::string bars;
    for (size_t i = 0; i < rows[1].size(); ++i)
        if (rows[1][i] == '1') bars += rows[0][i] == '1' ? 'F' : 'H';
    return bars;
}

TEST(PostnetCheckDigit, Cases) {
    const struct {
        const char* digits;
        int check;
    } cases[] = {
        {"12345", 5},     {"55555", 5},       {"91", 0}, {"0", 0},
        {"123456789", 5}, {"12345678901", 4}, {"9", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(PostnetCheckDigit(c.digits), c.check) << c.digits;
}

TEST(DrawPostnet, DigitCodes) {
    // Frame bar, the digit, its check digit, frame bar.
    const struct {
        const char* digit;
        const char* bars;
    } cases[] = {
        {"0", "F"
              "FFHHH"
              "FFHHH"
              "F"},
        {"1", "F"
              "HHHFF"
              "FHFHH"
              "F"},
        {"2", "F"
              "HHFHF"
              "FHHFH"
              "F"},
        {"3", "F"
              "HHFFH"
              "FHHHF"
              "F"},
        {"4", "F"
              "HFHHF"
              "HFFHH"
              "F"},
        {"5", "F"
              "HFHFH"
              "HFHFH"
              "F"},
        {"6", "F"
              "HFFHH"
              "HFHHF"
              "F"},
        {"7", "F"
              "FHHHF"
              "HHFFH"
              "F"},
        {"8", "F"
              "FHHFH"
              "HHFHF"
              "F"},
        {"9", "F"
              "FHFHH"
              "HHHFF"
              "F"},
    };
    for (const auto& c : cases) EXPECT_EQ(OurBars(c.digit), c.bars) << c.digit;
}

TEST(DrawPostnet, BarsAgreeWithZint) {
    for (const std::string digits : {"12345", "00000", "98765", "55555", "123456789", "000000000",
                                     "902105555", "12345678901", "99999999999", "20500000001"}) {
        SCOPED_TRACE(digits);
        const std::string ours = OurBars(digits);
        EXPECT_EQ(ours.size(), 5 * (digits.size() + 1) + 2);
        EXPECT_EQ(ours, ZintBars(digits));
    }
}

TEST(DrawPostnet, GeometryOfBarsAndGaps) {
    RecordingCanvas canvas;
    DrawPostnet(canvas, 20, 3, "1", 2, 11);
    // Frame at 20; digit 1 (HHHFF) from 24 in steps of 4; check 9 (FHFHH); frame.
    const std::vector<Rect> expected = {
        {20, 3, 2, 11}, {24, 8, 2, 6},  {28, 8, 2, 6},  {32, 8, 2, 6},
        {36, 3, 2, 11}, {40, 3, 2, 11}, {44, 3, 2, 11}, {48, 8, 2, 6},
        {52, 3, 2, 11}, {56, 8, 2, 6},  {60, 8, 2, 6},  {64, 3, 2, 11},
    };
    EXPECT_EQ(canvas.rects, expected);
    // Last bar ends at the symbol's width: 10 × (n + 1) + 3 units from the left edge.
    EXPECT_EQ(canvas.rects.back().x + 2, 20 + 2 * PostnetSymbolUnits(1));
}

TEST(DrawPostnet, NonDigitEndsWithoutClosingFrame) {
    EXPECT_EQ(OurBars("1x2"), "F"
                              "HHHFF");
}

TEST(PostnetSymbolUnits, WidthsWithQuietZones) {
    EXPECT_EQ(PostnetSymbolUnits(5) + 20, 83);
    EXPECT_EQ(PostnetSymbolUnits(9) + 20, 123);
    EXPECT_EQ(PostnetSymbolUnits(11) + 20, 143);
}

} // namespace
} // namespace qm
