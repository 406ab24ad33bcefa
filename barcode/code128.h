#pragma once
// Code 128 (ISO/IEC 15417) and GS1-128: code-set choice, symbol sequence, bars.
//
// Texts are byte strings whose bytes are character codes (ISO 8859-1): the
// component's filter has left only codes 1 to 128 and, for GS1-128, the FNC1
// marker 202.

#include <cstdint>
#include <string_view>
#include <vector>

#include "barcode/bar_canvas.h"
#include "barcode/barcode_types.h"

namespace qm {

enum class CodeSet { A, B, C };

inline constexpr int kCode128Shift = 98;
inline constexpr int kCode128CodeC = 99;
inline constexpr int kCode128CodeB = 100;
inline constexpr int kCode128CodeA = 101;
inline constexpr int kCode128Fnc1 = 102;
inline constexpr int kCode128StartA = 103;
inline constexpr int kCode128StartB = 104;
inline constexpr int kCode128StartC = 105;
inline constexpr int kCode128Stop = 106;
inline constexpr unsigned char kFnc1Byte = 202;

using Code128Sequence = std::vector<std::uint8_t>;

// Code set a text (or the rest of one) begins in: C for four or more leading
// digits, else A or B by whichever of a control character (below 32) or a
// character of set B alone (lowercase letters and ` { | } ~ DEL, 96 to 127)
// comes first, B when there is neither.
CodeSet ChooseCodeSet(std::string_view text);

// Symbol sequence: start, FNC1 when gs1, data with code changes and Shifts,
// check value, Stop. With gs1 set, byte 202 is an FNC1 marker: a leading one
// is the FNC1 after the start, later ones are encoded as FNC1 (102) in place.
// Other characters must have codes 1 to 127. Throws BarcodeError for an empty
// text or a character without a value of its own (0, 128 and above: 128 would
// be FNC3).
Code128Sequence EncodeCode128(std::string_view text, bool gs1);

// Bar/space pattern of a value: bit 10 (bit 12 for Stop) is the first module,
// 1 dark. Values 0 to 105 have 11 modules, Stop 13. Returns 0 outside 0 to 106.
std::uint16_t Code128Pattern(int value);
int Code128Modules(int value);

// Modules of the whole symbol without quiet zones: 11 × N + 2.
inline int Code128SymbolModules(const Code128Sequence& seq) {
    return 11 * int(seq.size()) + 2;
}

// Draws the sequence with its left edge at x and top at y, each module
// moduleWidth pixels wide and barHeight high. Stops at a value outside 0 to 106.
void DrawCode128(BarCanvas& canvas, int x, int y, const Code128Sequence& seq, int moduleWidth,
                 int barHeight);

} // namespace qm
