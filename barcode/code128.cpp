#include "barcode/code128.h"

#include <array>
#include <string>

namespace qm {

namespace {

// Bar and space widths of each value (ISO/IEC 15417 Table 1), bar first.
// clang-format off
constexpr std::array<const char*, 107> kWidths = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
};
// clang-format on

constexpr std::array<std::uint16_t, 107> MakePatterns() {
    std::array<std::uint16_t, 107> patterns{};
    for (std::size_t v = 0; v < kWidths.size(); ++v) {
        std::uint16_t bits = 0;
        bool dark = true;
        for (const char* w = kWidths[v]; *w != '\0'; ++w, dark = !dark)
            for (int m = 0; m < *w - '0'; ++m) bits = std::uint16_t((bits << 1) | (dark ? 1 : 0));
        patterns[v] = bits;
    }
    return patterns;
}

constexpr std::array<std::uint16_t, 107> kPatterns = MakePatterns();

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
// Characters only set B has: the lowercase letters and ` { | } ~ DEL (codes 96
// to 127). Set A holds control characters at those values instead.
bool NeedsSetB(unsigned char c) {
    return c >= 96 && c <= 127;
}
bool IsControl(unsigned char c) {
    return c < 32;
}

// Length of the run of digits starting at index i.
std::size_t DigitRun(std::string_view text, std::size_t i) {
    std::size_t n = 0;
    while (i + n < text.size() && IsDigit(static_cast<unsigned char>(text[i + n]))) ++n;
    return n;
}

int ValueInSet(CodeSet set, unsigned char c) {
    if (set == CodeSet::A && IsControl(c)) return c + 64;
    return c - 32;
}

} // namespace

CodeSet ChooseCodeSet(std::string_view text) {
    if (DigitRun(text, 0) >= 4) return CodeSet::C;
    for (unsigned char c : text) {
        if (IsControl(c)) return CodeSet::A;
        if (NeedsSetB(c)) return CodeSet::B;
    }
    return CodeSet::B;
}

Code128Sequence EncodeCode128(std::string_view text, bool gs1) {
    if (gs1 && !text.empty() && static_cast<unsigned char>(text.front()) == kFnc1Byte)
        text.remove_prefix(1); // the FNC1 after the start character
    if (text.empty()) throw BarcodeError("Code 128: there is no text to encode");
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool fnc1 = gs1 && c == kFnc1Byte;
        // 128 would come out as FNC3 (value 96), which carries no character.
        if (!fnc1 && (c == 0 || c > 127))
            throw BarcodeError("Code 128: character code " + std::to_string(c) + " at position " +
                               std::to_string(i + 1) + " cannot be encoded");
    }

    Code128Sequence seq;
    seq.reserve(text.size() + 8);
    CodeSet set = ChooseCodeSet(text);
    seq.push_back(set == CodeSet::A   ? kCode128StartA
                  : set == CodeSet::B ? kCode128StartB
                                      : kCode128StartC);
    if (gs1) seq.push_back(kCode128Fnc1);

    const std::size_t n = text.size();
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    auto isFnc1 = [&](std::size_t i) { return gs1 && at(i) == kFnc1Byte; };
    std::size_t p = 0;
    bool shifted = false;
    while (p < n) {
        if (isFnc1(p)) {
            seq.push_back(kCode128Fnc1);
            p += 1;
        } else if (set == CodeSet::C) {
            seq.push_back(std::uint8_t(10 * (at(p) - '0') + (at(p + 1) - '0')));
            p += 2;
        } else {
            seq.push_back(std::uint8_t(ValueInSet(set, at(p))));
            p += 1;
        }
        if (p >= n) break;
        if (shifted) {
            shifted = false;
            set = set == CodeSet::A ? CodeSet::B : CodeSet::A;
        }
        const unsigned char c = at(p);
        if (set != CodeSet::C) {
            const std::size_t run = DigitRun(text, p);
            if (run >= 4 && run % 2 == 0) {
                seq.push_back(kCode128CodeC);
                set = CodeSet::C;
                continue;
            }
        }
        if (set == CodeSet::B && IsControl(c)) {
            if (p + 1 < n && NeedsSetB(at(p + 1))) {
                seq.push_back(kCode128Shift);
                shifted = true;
            } else {
                seq.push_back(kCode128CodeA);
            }
            set = CodeSet::A;
        } else if (set == CodeSet::A && NeedsSetB(c)) {
            if (p + 1 < n && IsControl(at(p + 1))) {
                seq.push_back(kCode128Shift);
                shifted = true;
            } else {
                seq.push_back(kCode128CodeB);
            }
            set = CodeSet::B;
        } else if (set == CodeSet::C) {
            const bool pair = p + 1 < n && IsDigit(c) && IsDigit(at(p + 1));
            if (!pair && !isFnc1(p)) {
                if (ChooseCodeSet(text.substr(p)) == CodeSet::A) {
                    seq.push_back(kCode128CodeA);
                    set = CodeSet::A;
                } else {
                    seq.push_back(kCode128CodeB);
                    set = CodeSet::B;
                }
            }
        }
    }

    int check = seq.front();
    for (std::size_t k = 1; k < seq.size(); ++k) check = int((check + k * seq[k]) % 103);
    seq.push_back(std::uint8_t(check));
    seq.push_back(kCode128Stop);
    return seq;
}

std::uint16_t Code128Pattern(int value) {
    return value >= 0 && value <= kCode128Stop ? kPatterns[std::size_t(value)] : 0;
}

int Code128Modules(int value) {
    return value == kCode128Stop ? 13 : 11;
}

void DrawCode128(BarCanvas& canvas, int x, int y, const Code128Sequence& seq, int moduleWidth,
                 int barHeight) {
    // Dark modules next to each other form one bar; each bar is filled once.
    int barStart = -1;
    for (std::uint8_t value : seq) {
        if (value > kCode128Stop) break;
        const int modules = Code128Modules(value);
        const std::uint16_t pattern = kPatterns[value];
        for (int m = modules - 1; m >= 0; --m, x += moduleWidth) {
            const bool dark = (pattern >> m) & 1;
            if (dark && barStart < 0) barStart = x;
            if (!dark && barStart >= 0) {
                canvas.FillBlack(barStart, y, x - barStart, barHeight);
                barStart = -1;
            }
        }
    }
    if (barStart >= 0) canvas.FillBlack(barStart, y, x - barStart, barHeight);
}

} // namespace qm
