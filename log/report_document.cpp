#include "log/report_document.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

constexpr double kColumnGap = 0.08; // inches between a column's text and the next column

QFont DeviceFont(const ReportLayout& l, double scale, bool bold, QPaintDevice* device) {
    QFont f(l.fontFamily);
    f.setPointSizeF(l.fontPoints * scale);
    f.setBold(bold);
    return QFont(f, device);
}

} // namespace

long long MoneyCents(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) return 0;
    const double cents = v * 100;
    if (cents >= double(kMaxCents)) return kMaxCents;
    if (cents <= -double(kMaxCents)) return -kMaxCents;
    return std::llround(cents);
}

bool IsWrittenMoneyText(const QString& text) {
    static const QRegularExpression money(QStringLiteral("^\\d+\\.\\d\\d$"));
    const QString t = text.trimmed();
    return t.isEmpty() || money.match(t).hasMatch();
}

long long CountedCents(const QString& text) {
    return IsWrittenMoneyText(text) ? MoneyCents(text) : 0;
}

long long AddCents(long long total, long long cents) {
    // Both within kMaxCents: the sum cannot overflow before it is bounded.
    return std::clamp(std::clamp(total, -kMaxCents, kMaxCents) +
                          std::clamp(cents, -kMaxCents, kMaxCents),
                      -kMaxCents, kMaxCents);
}

QString CentsText(long long cents) {
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    const unsigned long long a = cents < 0 ? 0ull - static_cast<unsigned long long>(cents)
                                           : static_cast<unsigned long long>(cents);
    return sign + QString::number(a / 100) + u'.' +
           QString::number(a % 100).rightJustified(2, u'0');
}

ReportDocument::ReportDocument(const ReportLayout& layout, ReportSource& source,
                               QMap<QString, QString> params)
    : layout_(layout), source_(source), params_(std::move(params)) {
    if (layout_.landscape) std::swap(pageW_, pageH_);
    const double m = layout_.margin;
    lh_ = layout_.fontPoints * 1.3 / 72.0;
    const int lines = layout_.Lines();
    bodyTop_ = m + 1.6 * lh_ + layout_.headers.size() * lh_ + 0.5 * lh_ + lines * lh_ + 0.3 * lh_;
    double bottom = 0;
    if (!layout_.pageFooter.isEmpty()) bottom += 0.5 * lh_ + layout_.pageFooter.size() * lh_;
    double boxH = 0;
    for (const ReportBox& b : layout_.boxes) boxH = std::max(boxH, b.height);
    if (boxH > 0) bottom += 0.15 + boxH;
    bodyBottom_ = pageH_ - m - bottom;
    band_ = lines * lh_ + (lines > 1 ? 0.25 * lh_ : 0);
    rowsPerPage_ = std::max(1, int(std::floor((bodyBottom_ - bodyTop_) / band_ + 1e-9)));
    footerH_ = layout_.footer.isEmpty() ? 0 : 0.5 * lh_ + layout_.footer.size() * lh_;
}

QPageLayout ReportDocument::PageLayout() const {
    return QPageLayout(QPageSize(QPageSize::Letter),
                       layout_.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

int ReportDocument::PageCount() const {
    const int rows = source_.RowCount();
    const int pages = std::max(1, (rows + rowsPerPage_ - 1) / rowsPerPage_);
    const int lastRows = rows - (pages - 1) * rowsPerPage_;
    if (footerH_ > 0 && bodyTop_ + lastRows * band_ + footerH_ > bodyBottom_ + 1e-9)
        return pages + 1;
    return pages;
}

QString ReportDocument::Header(const QString& text) const {
    QString out = text;
    for (auto it = params_.constBegin(); it != params_.constEnd(); ++it)
        out.replace(u'{' + it.key() + u'}', it.value());
    return out;
}

QString ReportDocument::CellText(const ReportColumn& c, int row) {
    QStringList groups;
    for (const QStringList& group : c.fields) {
        QStringList parts;
        for (const QString& field : group) {
            const QString v =
                field == u"#" ? QString::number(row + 1) : source_.Value(row, field).trimmed();
            if (!v.isEmpty()) parts << v;
        }
        if (!parts.isEmpty()) groups << parts.join(u' ');
    }
    return groups.join(QStringLiteral(", "));
}

QString ReportDocument::TotalText(const ReportTotal& t, int first, int end) {
    if (!t.sum) return t.text.arg(end - first);
    long long cents = 0;
    for (int row = first; row < end; ++row)
        cents = AddCents(cents, CountedCents(source_.Value(row, t.field)));
    return t.text.arg(CentsText(cents));
}

void ReportDocument::RenderPage(QPainter& p, int page) {
    ++rendered_;
    QPaintDevice* dev = p.device();
    const double dx = dev->logicalDpiX(), dy = dev->logicalDpiY();
    auto X = [dx](double in) { return in * dx; };
    auto Y = [dy](double in) { return in * dy; };
    const double m = layout_.margin;
    const double right = pageW_ - m;
    const QFont plain = DeviceFont(layout_, 1, false, dev);
    const QFont bold = DeviceFont(layout_, 1, true, dev);
    const QFont title = DeviceFont(layout_, 1.4, true, dev);
    p.save();
    p.setPen(QPen(Qt::black, std::max(1.0, dy / 150)));

    auto text = [&](double x, double y, double w, double h, int flags, const QString& s,
                    const QFont& f) {
        p.setFont(f);
        const QString shown = QFontMetricsF(f, dev).elidedText(s, Qt::ElideRight, X(w));
        p.drawText(QRectF(X(x), Y(y), X(w), Y(h)), flags | Qt::AlignVCenter | Qt::TextSingleLine,
                   shown);
    };

    // Page header: title, page number, header lines, column headings.
    double y = m;
    text(m, y, right - m, 1.6 * lh_, Qt::AlignHCenter, layout_.title, title);
    text(m, y, right - m, 1.6 * lh_, Qt::AlignRight,
         QStringLiteral("Page %1 of %2").arg(page + 1).arg(PageCount()), plain);
    y += 1.6 * lh_;
    for (const QString& h : layout_.headers) {
        text(m, y, right - m, lh_, Qt::AlignLeft, Header(h), plain);
        y += lh_;
    }
    y += 0.5 * lh_;
    const int lines = layout_.Lines();
    for (int line = 1; line <= lines; ++line) {
        double x = m;
        for (const ReportColumn& c : layout_.columns) {
            if (c.line != line) continue;
            text(x, y, c.width - kColumnGap, lh_, c.right ? Qt::AlignRight : Qt::AlignLeft,
                 c.heading, bold);
            x += c.width;
        }
        y += lh_;
    }
    p.drawLine(QPointF(X(m), Y(y + 0.1 * lh_)), QPointF(X(right), Y(y + 0.1 * lh_)));

    // Entries of this page.
    const int rows = source_.RowCount();
    const int first = std::min(rows, page * rowsPerPage_);
    const int end = std::min(rows, first + rowsPerPage_);
    y = bodyTop_;
    for (int row = first; row < end; ++row) {
        for (int line = 1; line <= lines; ++line) {
            double x = m;
            for (const ReportColumn& c : layout_.columns) {
                if (c.line != line) continue;
                text(x, y + (line - 1) * lh_, c.width - kColumnGap, lh_,
                     c.right ? Qt::AlignRight : Qt::AlignLeft, CellText(c, row), plain);
                x += c.width;
            }
        }
        y += band_;
    }

    // The count and sums after the last entry.
    if (page == PageCount() - 1 && !layout_.footer.isEmpty()) {
        if (!footerTexts_) {
            QStringList texts;
            for (const ReportTotal& t : layout_.footer) texts << TotalText(t, 0, rows);
            footerTexts_ = texts;
        }
        y += 0.2 * lh_;
        p.drawLine(QPointF(X(m), Y(y)), QPointF(X(right), Y(y)));
        y += 0.3 * lh_;
        for (const QString& t : *footerTexts_) {
            text(m, y, right - m, lh_, Qt::AlignLeft, t, bold);
            y += lh_;
        }
    }

    // Page totals and the boxes at the foot of every page.
    y = bodyBottom_;
    if (!layout_.pageFooter.isEmpty()) {
        y += 0.25 * lh_;
        p.drawLine(QPointF(X(m), Y(y)), QPointF(X(right), Y(y)));
        y += 0.25 * lh_;
        for (const ReportTotal& t : layout_.pageFooter) {
            text(m, y, right - m, lh_, Qt::AlignLeft, TotalText(t, first, end), bold);
            y += lh_;
        }
    }
    if (!layout_.boxes.isEmpty()) {
        y += 0.15;
        double x = m;
        for (const ReportBox& b : layout_.boxes) {
            p.drawRect(QRectF(X(x), Y(y), X(b.width), Y(b.height)));
            text(x + 0.05, y, b.width - 0.1, lh_, Qt::AlignLeft, b.caption, plain);
            x += b.width + 0.2;
        }
    }
    p.restore();
}

QImage PagedDocument::RenderPageImage(int page, double dpi) {
    const QSizeF inches = PageLayout().fullRect(QPageLayout::Inch).size();
    QImage image(int(std::lround(inches.width() * dpi)), int(std::lround(inches.height() * dpi)),
                 QImage::Format_RGB32);
    const int dpm = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    RenderPage(p, page);
    return image;
}

} // namespace qm
