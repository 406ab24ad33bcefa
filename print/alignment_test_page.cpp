#include "print/alignment_test_page.h"

#include "print/page.h"

#include <QPainter>
#include <QPen>

#include <cmath>

namespace qm {

namespace {

// Lines turned by 180 degrees run from their anchor toward the left edge and stand above it.
constexpr double kLine = 0.13;

FormBlock Turned(const char* name, double x, double firstY, double lastY, double width) {
    return {QString::fromLatin1(name), x, firstY,
            QRectF(QPointF(x - width, std::min(firstY, lastY) - kLine),
                   QPointF(x, std::max(firstY, lastY)))};
}

// Lines turned by 270 degrees run from their anchor toward the bottom edge.
FormBlock Upright(const char* name, double firstX, double lastX, double y) {
    return {QString::fromLatin1(name), firstX, y,
            QRectF(QPointF(std::min(firstX, lastX) - kLine, y),
                   QPointF(std::max(firstX, lastX), 10.75))};
}

FormBlock Symbol(const char* name, double x, double y, double width, double height) {
    return {QString::fromLatin1(name), x, y, QRectF(x, y, width, height)};
}

// A ruler's tick at `hundredths` of an inch: longest at whole inches, longer every tenth.
double TickLength(int hundredths) {
    return hundredths % 100 == 0 ? 0.2 : (hundredths % 10 == 0 ? 0.12 : 0.06);
}

} // namespace

const std::vector<FormBlock>& FormBlocks() {
    static const std::vector<FormBlock> blocks = {
        Turned("Sender", 7.5, 4.65, 4.05, 2.4),
        Turned("RE", 7.5, 3.95, 3.95, 2.4),
        Turned("Sender (receipt card)", 7.55, 3.0, 2.4, 2.4),
        Turned("Addressee", 7.1, 6.7, 6.1, 2.4),
        Turned("Addressee (receipt card)", 7.55, 2.0, 1.4, 2.4),
        Turned("Extra label", 2.8, 6.6, 6.0, 2.4),
        Upright("Sender (side)", 4.3, 3.7, 3.8),
        Upright("RE and comment (side)", 8.21, 8.06, 3.8),
        Turned("Receipt: sender, RE, comment", 1.45, 2.88, 2.68, 1.1),
        Turned("Receipt: addressee", 1.45, 2.13, 1.73, 1.1),
        Turned("Receipt: fees", 1.45, 1.43, 1.13, 1.15),
        Turned("Receipt: total", 1.4, 0.98, 0.98, 1.1),
        Symbol("Tracking barcode", 0.62, 4.1, 2.5, 0.6),
        Symbol("Sender's barcode", 4.7, 5.0, 2.5, 0.6),
        Symbol("Sender's short barcode", 5.2, 0.8, 2.5, 0.3),
        Symbol("Sender's ZIP barcode", 5.3, 3.55, 1.2, 0.15),
        Symbol("Extra label ZIP barcode", 1.08, 5.63, 1.2, 0.15),
    };
    return blocks;
}

void PrintAlignmentTestPage(int leftRight, int topBottom, const QFont& fontSource,
                            PageTarget& target) {
    target.SetDocumentTitle(QStringLiteral("Alignment test page"));
    PrintPage page(target);
    page.SetAlignment(leftRight, topBottom);
    page.PreparePage(fontSource);
    const PageMetrics& m = page.Metrics();
    QPainter& p = page.Painter();
    p.setBackgroundMode(Qt::TransparentMode);
    QFont small = fontSource;
    small.setPixelSize(std::max(1, m.resolutionY / 14));
    p.setFont(small);
    const int line = std::max(1, m.resolutionX / 150);
    p.setPen(QPen(Qt::black, line));

    // Rulers on the paper itself: a tick every 0.05 inch, longer every 0.1 and labelled in
    // hundredths every inch.
    const auto paperX = [&](double inch) { return InchToDot(inch, m.offsetX, m.resolutionX, 0); };
    const auto paperY = [&](double inch) { return InchToDot(inch, m.offsetY, m.resolutionY, 0); };
    for (int h = 25; h <= 825; h += 5) {
        const int x = paperX(h / 100.0);
        p.drawLine(x, paperY(0.25), x, paperY(0.25 + TickLength(h)));
        if (h % 100 == 0) p.drawText(x + line * 2, paperY(0.55), QString::number(h));
    }
    for (int h = 25; h <= 1075; h += 5) {
        const int y = paperY(h / 100.0);
        p.drawLine(paperX(0.25), y, paperX(0.25 + TickLength(h)), y);
        if (h % 100 == 0) p.drawText(paperX(0.5), y + m.resolutionY / 28, QString::number(h));
    }

    // The blocks, where a mailer with this alignment puts them.
    const int arm = m.resolutionX / 10;
    for (const FormBlock& b : FormBlocks()) {
        const QRect area(QPoint(page.InchToDotX(b.area.left()), page.InchToDotY(b.area.top())),
                         QPoint(page.InchToDotX(b.area.right()), page.InchToDotY(b.area.bottom())));
        p.setPen(QPen(Qt::black, line, Qt::DashLine));
        p.drawRect(area);
        p.setPen(QPen(Qt::black, line));
        const int x = page.InchToDotX(b.anchorX), y = page.InchToDotY(b.anchorY);
        p.drawLine(x - arm, y, x + arm, y);
        p.drawLine(x, y - arm, x, y + arm);
        p.drawText(area.left() + line * 3, area.bottom() - line * 3, b.name);
    }
    p.drawText(paperX(1.0), paperY(10.6),
               QStringLiteral("Alignment test page: left/right %1, top/bottom %2 (1/100 inch). "
                              "Hold against a mailer; the crosses mark where each block begins.")
                   .arg(leftRight)
                   .arg(topBottom));
    page.EndDoc();
}

} // namespace qm
