#include "print/postnet_reader.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace qm {

namespace {

constexpr int kInk = 128; // grey values below this are ink

// Five bars per digit, first bar first, 1 a full bar (weights 7 4 2 1 0; 0 is 7 + 4).
// Written out here rather than taken from the encoder: the check must not share a mistake
// with the drawing it checks.
constexpr unsigned char kDigitBars[10] = {0b11000, 0b00011, 0b00101, 0b00110, 0b01001,
                                          0b01010, 0b01100, 0b10001, 0b10010, 0b10100};

struct Bar {
    int left = 0, right = 0; // columns, inclusive
    int top = 0, bottom = 0; // ink rows of its middle column, inclusive
    bool full = false;
    int Centre2() const { return left + right; } // twice the centre, to stay in integers
    int Height() const { return bottom - top + 1; }
};

PostnetReading Problem(const char* text) {
    PostnetReading r;
    r.problem = QString::fromLatin1(text);
    return r;
}

int Median(std::vector<int> values) {
    std::nth_element(values.begin(), values.begin() + long(values.size() / 2), values.end());
    return values[values.size() / 2];
}

} // namespace

PostnetReading ReadPostnet(const QImage& source, const QRect& region) {
    const QImage image = source.format() == QImage::Format_Grayscale8
                             ? source
                             : source.convertToFormat(QImage::Format_Grayscale8);
    if (region.isEmpty() || !image.rect().contains(region))
        return Problem("it lies partly off the page");
    const int width = region.width(), height = region.height();

    // Ink per column: one pass over the rows.
    std::vector<int> ink(size_t(width), 0);
    for (int y = region.top(); y <= region.bottom(); ++y) {
        const uchar* row = image.constScanLine(y) + region.left();
        for (int x = 0; x < width; ++x) ink[size_t(x)] += row[x] < kInk;
    }

    // Bars: runs of columns with ink.
    std::vector<Bar> bars;
    for (int x = 0; x < width;) {
        if (!ink[size_t(x)]) {
            ++x;
            continue;
        }
        Bar bar;
        bar.left = x;
        while (x < width && ink[size_t(x)]) ++x;
        bar.right = x - 1;
        bars.push_back(bar);
    }
    if (bars.empty()) return Problem("there are no bars");
    if (bars.front().left == 0 || bars.back().right == width - 1)
        return Problem("its bars reach the edge of its place");

    // Each bar's ink along its middle column must be one solid stretch.
    for (Bar& bar : bars) {
        const int x = region.left() + (bar.left + bar.right) / 2;
        int top = -1, bottom = -1, count = 0;
        for (int y = 0; y < height; ++y) {
            if (image.constScanLine(region.top() + y)[x] >= kInk) continue;
            if (top < 0) top = y;
            bottom = y;
            ++count;
        }
        if (count != bottom - top + 1) return Problem("a bar is broken");
        bar.top = top;
        bar.bottom = bottom;
    }

    // Full bars and half bars: nothing in between.
    int fullHeight = 0;
    for (const Bar& bar : bars) fullHeight = std::max(fullHeight, bar.Height());
    for (Bar& bar : bars) {
        const int h = bar.Height();
        if (5 * h >= 4 * fullHeight)
            bar.full = true;
        else if (20 * h < 7 * fullHeight || 20 * h > 13 * fullHeight)
            return Problem("a bar is neither a full bar nor a half bar");
    }

    // Bars equally spaced: a missing, added or moved bar breaks the rhythm.
    if (bars.size() < 2) return Problem("a bar is missing");
    std::vector<int> pitches, widths;
    for (size_t i = 1; i < bars.size(); ++i)
        pitches.push_back(bars[i].Centre2() - bars[i - 1].Centre2());
    for (const Bar& bar : bars) widths.push_back(bar.right - bar.left + 1);
    const int pitch = Median(pitches), barWidth = Median(widths);
    for (int p : pitches)
        if (4 * p < 3 * pitch || 4 * p > 5 * pitch)
            return Problem("a bar is missing or out of place");
    for (int w : widths)
        if (2 * w < barWidth || w > 2 * barWidth) return Problem("a bar is too thin or too wide");

    // Orientation: half bars share the full bars' baseline (upright) or their top (turned).
    std::vector<int> fullTops, fullBottoms;
    for (const Bar& bar : bars)
        if (bar.full) {
            fullTops.push_back(bar.top);
            fullBottoms.push_back(bar.bottom);
        }
    const int top = Median(fullTops), bottom = Median(fullBottoms);
    const int slack = std::max(1, fullHeight / 8);
    bool upright = true, turned = true;
    for (const Bar& bar : bars) {
        const bool onTop = std::abs(bar.top - top) <= slack;
        const bool onBottom = std::abs(bar.bottom - bottom) <= slack;
        if (bar.full && !(onTop && onBottom)) upright = turned = false;
        if (!bar.full) {
            upright = upright && onBottom;
            turned = turned && onTop;
        }
    }
    if (upright == turned) return Problem("its bars do not stand on one line");
    if (turned) std::reverse(bars.begin(), bars.end());

    // Frame bar, five bars a digit (the last digit is the check digit), frame bar.
    if (bars.size() < 12 || (bars.size() - 2) % 5 != 0)
        return Problem("a bar is missing or one too many");
    if (!bars.front().full || !bars.back().full) return Problem("a frame bar is not a full bar");
    QString digits;
    int sum = 0;
    for (size_t i = 1; i + 1 < bars.size(); i += 5) {
        unsigned pattern = 0;
        for (size_t b = 0; b < 5; ++b) pattern = (pattern << 1) | unsigned(bars[i + b].full);
        const auto* found = std::find(std::begin(kDigitBars), std::end(kDigitBars), pattern);
        if (found == std::end(kDigitBars)) return Problem("a digit cannot be read");
        const int digit = int(found - std::begin(kDigitBars));
        sum += digit;
        digits += QChar(u'0' + digit);
    }
    if (sum % 10 != 0) return Problem("its check digit does not match");
    PostnetReading r;
    r.ok = true;
    r.digits = digits.left(digits.size() - 1);
    return r;
}

} // namespace qm
