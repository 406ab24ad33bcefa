#pragma once
// A POSTNET reader for rendered pages. zxing-cpp reads no postal height-modulated codes,
// so this small reader of our own reads the bars from the image: their places along the
// symbol, their heights (full or half) and the check digit. It reads an upright symbol
// (half bars standing on the common baseline) left to right and one turned by 180 degrees
// (half bars hanging from the common top) right to left.

#include <QImage>
#include <QRect>
#include <QString>

namespace qm {

struct PostnetReading {
    bool ok = false;
    QString digits;  // when ok: the digits without the check digit
    QString problem; // otherwise: why the symbol cannot be read, for the user
};

// Reads the one POSTNET symbol inside `region` of an 8-bit grey image (other formats are
// converted first): a pixel darker than mid-grey is ink. The region holds the symbol with
// its quiet zones and nothing else.
PostnetReading ReadPostnet(const QImage& image, const QRect& region);

} // namespace qm
