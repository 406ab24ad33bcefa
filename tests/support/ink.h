#pragma once
// Reading ink back from a page image.
#include <QImage>
#include <QRect>

namespace qm::test {

// Bounding box of the dark pixels (grey below `threshold`) inside `region`; empty
// when the region holds no ink.
inline QRect InkBox(const QImage& image, QRect region = {}, int threshold = 128) {
    const QImage grey = image.format() == QImage::Format_Grayscale8
                            ? image
                            : image.convertToFormat(QImage::Format_Grayscale8);
    if (region.isNull()) region = grey.rect();
    region = region.intersected(grey.rect());
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = region.left(); x <= region.right(); ++x) {
            if (row[x] < threshold) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (left == INT_MAX) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// Count of pixels with a grey value strictly between the two limits.
inline int CountGrey(const QImage& image, QRect region, int low, int high) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    int n = 0;
    region = region.intersected(grey.rect());
    for (int y = region.top(); y <= region.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = region.left(); x <= region.right(); ++x) n += row[x] > low && row[x] < high;
    }
    return n;
}

} // namespace qm::test
