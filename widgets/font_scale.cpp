#include "widgets/font_scale.h"

#include <QFontMetricsF>
#include <QLayout>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace qm {
namespace {

// Metrics of the reference font the pixel designs were made for.
constexpr double kReferenceHeight = 14.0;
const QString kSample = QStringLiteral("The quick brown fox jumps over the lazy dog 0123456789");
constexpr double kReferenceSampleWidth = 350.0;

} // namespace

double FontScale(const QFont& font) {
    const QFontMetricsF fm(font);
    return std::max({1.0, fm.height() / kReferenceHeight,
                     fm.horizontalAdvance(kSample) / kReferenceSampleWidth});
}

int Scaled(int pixels, double scale) {
    return static_cast<int>(std::ceil(pixels * scale - 1e-9));
}

QRect Scaled(const QRect& rect, double scale) {
    // Edges scale, so neighbours that touched still touch and never overlap.
    const int left = static_cast<int>(std::lround(rect.left() * scale));
    const int top = static_cast<int>(std::lround(rect.top() * scale));
    const int right = static_cast<int>(std::lround((rect.left() + rect.width()) * scale));
    const int bottom = static_cast<int>(std::lround((rect.top() + rect.height()) * scale));
    return QRect(left, top, right - left, bottom - top);
}

void ScaleChildGeometry(QWidget* root, double scale) {
    if (scale == 1.0) return;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->isWindow()) continue;
        const QWidget* parent = w->parentWidget();
        if (parent->layout() != nullptr) continue;
        // Only the plain children of the hand-placed tree: compound controls place their own.
        if (parent != root && !root->isAncestorOf(parent)) continue;
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
        w->setGeometry(Scaled(w->geometry(), scale));
    }
}

int MemoHeightForLines(const QPlainTextEdit* memo, int lines) {
    const QFontMetricsF fm(memo->font());
    const double margin = memo->document()->documentMargin();
    const QMargins frame = memo->contentsMargins();
    return static_cast<int>(std::ceil(lines * fm.lineSpacing() + 2 * margin)) + frame.top() +
           frame.bottom();
}

} // namespace qm
