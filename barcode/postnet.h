#pragma once
// POSTNET, the postal service's height-modulated bar code for ZIP codes.

#include <string_view>

#include "barcode/bar_canvas.h"

namespace qm {

// Check digit: the digit that brings the sum of all digits to a multiple of 10.
// Characters other than digits do not count.
int PostnetCheckDigit(std::string_view digits);

// Number of units of a POSTNET symbol of n digits, without quiet zones:
// frame bar, (n + 1) digits of ten units, gap, frame bar.
inline int PostnetSymbolUnits(int n) {
    return 10 * (n + 1) + 3;
}

// Draws the bars of the digits and their check digit: frame bar, five bars a
// digit (weights 7 4 2 1 0, two of them full), frame bar; bars and gaps `unit`
// pixels wide, full bars barHeight high, half bars the lower part from
// barHeight / 2 down. A non-digit ends the drawing there without the closing
// frame bar.
void DrawPostnet(BarCanvas& canvas, int x, int y, std::string_view digits, int unit, int barHeight);

} // namespace qm
