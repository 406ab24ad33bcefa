#include "barcode/postnet.h"

#include <string>

namespace qm {

namespace {

// Five bars per digit, first bar first; 1 is a full bar. Weights 7 4 2 1 0,
// the two full bars add up to the digit, 0 being 7 + 4.
// clang-format off
constexpr unsigned char kDigitBars[10] = {
    0b11000, 0b00011, 0b00101, 0b00110, 0b01001,
    0b01010, 0b01100, 0b10001, 0b10010, 0b10100,
};
// clang-format on

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

int PostnetCheckDigit(std::string_view digits) {
    int sum = 0;
    for (char c : digits)
        if (IsDigit(c)) sum += c - '0';
    return (10 - sum % 10) % 10;
}

void DrawPostnet(BarCanvas& canvas, int x, int y, std::string_view digits, int unit,
                 int barHeight) {
    const int halfTop = y + barHeight / 2;
    const int halfHeight = barHeight - barHeight / 2;
    auto drawDigit = [&](int d) {
        for (int b = 4; b >= 0; --b) {
            x += unit;
            if ((kDigitBars[d] >> b) & 1)
                canvas.FillBlack(x, y, unit, barHeight);
            else
                canvas.FillBlack(x, halfTop, unit, halfHeight);
            x += unit;
        }
    };

    canvas.FillBlack(x, y, unit, barHeight);
    x += unit;
    for (char c : digits) {
        if (!IsDigit(c)) return;
        drawDigit(c - '0');
    }
    drawDigit(PostnetCheckDigit(digits));
    x += unit;
    canvas.FillBlack(x, y, unit, barHeight);
}

} // namespace qm
