#include "app/pictures.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace qm {

QPixmap ProductLogo(QSize size) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width();
    // A narrow picture carries the word mark below the envelope, a wide one beside it.
    const bool below = w < 3 * size.height();
    const qreal h = below ? size.height() * 0.7 : size.height();
    // An envelope with a quill laid across it.
    const QRectF env(below ? (w - h * 1.25) / 2 : 2, h * 0.18, h * 1.25, h * 0.72);
    p.setPen(QPen(QColor(0, 64, 0), 1.5));
    p.setBrush(QColor(250, 248, 235));
    p.drawRect(env);
    QPainterPath flap;
    flap.moveTo(env.topLeft());
    flap.lineTo(env.center().x(), env.top() + env.height() * 0.55);
    flap.lineTo(env.topRight());
    p.drawPath(flap);
    QPainterPath quill;
    quill.moveTo(env.left() + env.width() * 0.15, env.bottom() + 2);
    quill.cubicTo(env.left() + env.width() * 0.5, h * 0.35, env.right(), h * 0.1,
                  env.right() + h * 0.35, 1);
    quill.cubicTo(env.right() - h * 0.05, h * 0.35, env.left() + env.width() * 0.55, h * 0.6,
                  env.left() + env.width() * 0.15, env.bottom() + 2);
    p.setBrush(QColor(0, 110, 60));
    p.setPen(QPen(QColor(0, 64, 0), 1));
    p.drawPath(quill);
    // The word mark.
    QFont f(QStringLiteral("Liberation Serif"));
    f.setBold(true);
    f.setItalic(true);
    p.setPen(QColor(0, 100, 0));
    if (below) {
        f.setPixelSize(std::max(8, static_cast<int>(size.height() * 0.3)));
        p.setFont(f);
        p.drawText(QRectF(0, h, w, size.height() - h), Qt::AlignCenter,
                   QStringLiteral("Quillmark"));
    } else {
        f.setPixelSize(static_cast<int>(h * 0.55));
        p.setFont(f);
        const QRectF text(env.right() + h * 0.4, 0, w - env.right() - h * 0.4, h);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quillmark"));
    }
    return pm;
}

QPixmap CompanyPicture(QSize size) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height();
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(20, 40, 110));
    g.setColorAt(1, QColor(10, 20, 70));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, w, h), 6, 6);
    // A lark's wing over a field line.
    p.setPen(QPen(QColor(240, 200, 60), 2));
    QPainterPath wing;
    wing.moveTo(h * 0.25, h * 0.7);
    wing.quadTo(h * 0.55, h * 0.15, h * 0.95, h * 0.4);
    wing.quadTo(h * 0.6, h * 0.45, h * 0.25, h * 0.7);
    p.setBrush(QColor(240, 200, 60));
    p.drawPath(wing);
    p.drawLine(QPointF(h * 0.15, h * 0.82), QPointF(h * 1.1, h * 0.82));
    QFont f(QStringLiteral("Liberation Sans"));
    f.setBold(true);
    const QString name = QStringLiteral("LARKFIELD FORMS");
    const QRectF box(h * 1.2, 0, w - h * 1.3, h);
    int px = static_cast<int>(h * 0.42);
    f.setPixelSize(px);
    while (px > 6 && QFontMetrics(f).horizontalAdvance(name) > box.width()) f.setPixelSize(--px);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, name);
    return pm;
}

} // namespace qm
