// The alignment test page: the blocks' crosses move by the alignment's dots, the rulers do not.
#include "print/alignment_test_page.h"
#include "print/page.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace qm;

namespace {

constexpr int kDpi = 600;

QImage Render(int leftRight, int topBottom) {
    ImagePageTarget target(kDpi, kDpi);
    PrintAlignmentTestPage(leftRight, topBottom, BasePrintFont(), target);
    EXPECT_EQ(target.DocumentsEnded(), 1);
    return target.Image().copy();
}

bool Ink(const QImage& page, int x, int y) {
    return qGray(page.pixel(x, y)) < 128;
}

// The cross nearest to (x, y) inches: the first column and the first row with the most ink in
// a window reaching just past the cross's arms (a tenth of an inch) around it.
QPoint CrossNear(const QImage& page, double x, double y) {
    const int reach = kDpi * 12 / 100;
    const QRect window(int(x * kDpi) - reach, int(y * kDpi) - reach, 2 * reach, 2 * reach);
    QPoint best;
    int bestColumn = -1, bestRow = -1;
    for (int cx = window.left(); cx <= window.right(); ++cx) {
        int n = 0;
        for (int cy = window.top(); cy <= window.bottom(); ++cy) n += Ink(page, cx, cy);
        if (n > bestColumn) bestColumn = n, best.setX(cx);
    }
    for (int cy = window.top(); cy <= window.bottom(); ++cy) {
        int n = 0;
        for (int cx = window.left(); cx <= window.right(); ++cx) n += Ink(page, cx, cy);
        if (n > bestRow) bestRow = n, best.setY(cy);
    }
    return best;
}

QImage TopRuler(const QImage& page) {
    return page.copy(QRect(int(0.3 * kDpi), int(0.2 * kDpi), int(7.9 * kDpi), int(0.4 * kDpi)));
}

} // namespace

TEST(AlignmentTestPage, CrossesMoveByTheAlignmentAndTheRulerStays) {
    const QImage plain = Render(0, 0);
    const FormBlock& zip = FormBlocks()[15]; // the sender's ZIP barcode: apart from the others
    ASSERT_EQ(zip.name, QStringLiteral("Sender's ZIP barcode"));
    const QPoint home = CrossNear(plain, zip.anchorX, zip.anchorY);
    // Where a mailer puts the block: the anchor's own dot, give or take the pen.
    EXPECT_NEAR(home.x(), zip.anchorX * kDpi, 4);
    EXPECT_NEAR(home.y(), zip.anchorY * kDpi, 4);

    struct Case {
        int leftRight, topBottom;
    } cases[] = {{5, -3}, {-10, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leftRight);
        const QImage moved = Render(c.leftRight, c.topBottom);
        const QPoint there = CrossNear(moved, zip.anchorX, zip.anchorY);
        EXPECT_EQ(there - home, QPoint(6 * c.leftRight, 6 * c.topBottom)); // six dots a unit
        EXPECT_EQ(TopRuler(moved), TopRuler(plain));
    }
    // The ruler has its ticks: ink at the one-inch tick, none between the ticks.
    EXPECT_TRUE(Ink(plain, kDpi, int(0.3 * kDpi)));
    EXPECT_FALSE(Ink(plain, kDpi + kDpi / 40, int(0.27 * kDpi)));
}
