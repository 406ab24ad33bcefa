#include "log/firm_book.h"

#include "core/short_date.h"
#include "log/log_csv.h"
#include "log/report_document.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

constexpr double kMargin = 0.5; // inches on every side
constexpr double kPageW = 11, kPageH = 8.5;
constexpr double kPoints = 8; // the book's text
constexpr double kLine = kPoints * 1.3 / 72.0;
constexpr double kGap = 0.06; // inches between a column's text and the next column
constexpr double kBoxHeight = 0.75;

struct Column {
    double width;
    const char* heading;
};
// Line, article number, addressee, then the money columns in BookMoney order.
constexpr Column kColumns[] = {
    {0.45, "Line"},
    {2.0, "Article Number"},
    {3.55, "Name and Address of Addressee"},
    {0.8, "Postage"},
    {0.8, "Certified Fee"},
    {0.8, "Return Receipt Fee"},
    {0.8, "Restricted Delivery Fee"},
    {0.8, "Total Postage and Fees"},
};
constexpr int kMoneyColumn0 = 3;

const char* const kBoxes[] = {
    "Total Number of Pieces Listed by Sender", "Total Number of Pieces Received at Post Office",
    "Postmark and Date of Receipt", "Postmaster, Per (Name of receiving employee)"};

double ColumnX(int column) {
    double x = kMargin;
    for (int i = 0; i < column; ++i) x += kColumns[i].width;
    return x;
}

QString Digits(const QString& s) {
    QString d;
    for (QChar c : s)
        if (c.isDigit()) d += c;
    while (d.size() > 1 && d.startsWith(u'0')) d.remove(0, 1);
    return d;
}

QString Pieces(int n) {
    return n == 1 ? QStringLiteral("1 piece") : QStringLiteral("%1 pieces").arg(n);
}

} // namespace

bool ArticleNumberLess(const QString& a, const QString& b) {
    const QString da = Digits(a), db = Digits(b);
    if (da.size() != db.size()) return da.size() < db.size();
    return da < db;
}

QList<BookPiece> ReadBookPieces(table::TTzDbf& log, const DateRange& range, int* voided) {
    auto field = [&log](const char* name) { return log.FieldIndex(name); };
    const int date = field("rdate");
    const int number = field("mailernum");
    const int name[4] = {field("sentname0"), field("sentname1"), field("sentname2"),
                         field("sentname3")};
    const int city = field("city"), state = field("state"), zip = field("zip");
    const int money[kBookMoneyColumns] = {field("postage"), field("certified"), field("return"),
                                          field("restricted"), field("total")};
    QList<BookPiece> pieces;
    if (voided) *voided = 0;
    if (date < 0) return pieces;
    std::vector<std::string> values;
    bool deleted = false;
    auto text = [&values](int i) {
        return i < 0 ? QString() : QString::fromStdString(values[size_t(i)]).trimmed();
    };
    const uint32_t count = log.RecCount();
    for (uint32_t n = 1; n <= count; ++n) {
        log.PeekRecord(n, values, deleted);
        if (!range.Contains(LogDate(values[size_t(date)]))) continue;
        if (deleted) {
            if (voided) ++*voided;
            continue;
        }
        BookPiece p;
        p.article = text(number);
        p.lines[0] = text(name[0]);
        QStringList more;
        for (int i = 1; i < 4; ++i)
            if (!text(name[i]).isEmpty()) more << text(name[i]);
        p.lines[1] = more.join(QStringLiteral(", "));
        const QString place = text(city);
        const QString stateZip = (text(state) + u' ' + text(zip)).trimmed();
        p.lines[2] =
            place.isEmpty() ? stateZip : (stateZip.isEmpty() ? place : place + u' ' + stateZip);
        for (int i = 0; i < kBookMoneyColumns; ++i) p.money[size_t(i)] = text(money[i]);
        p.restricted = CountedCents(p.money[kBookRestricted]) > 0;
        p.record = n;
        pieces.append(p);
    }
    std::stable_sort(pieces.begin(), pieces.end(), [](const BookPiece& a, const BookPiece& b) {
        return ArticleNumberLess(a.article, b.article);
    });
    return pieces;
}

QString BookMailedText(const DateRange& range) {
    if (range.from == range.to) return QStringLiteral("Date Mailed: ") + ShortDateText(range.from);
    return QStringLiteral("Mailed from %1 to %2")
        .arg(ShortDateText(range.from), ShortDateText(range.to));
}

FirmBookDocument::FirmBookDocument(BookHeading heading, QList<BookPiece> pieces)
    : heading_(std::move(heading)), pieces_(std::move(pieces)) {
    // Title, sender block (caption and five lines), column headings of two lines.
    bodyTop_ = kMargin + 1.8 * kLine + 6.4 * kLine + 2 * kLine + 0.6 * kLine;
    // Page totals, book totals and the boxes of the receiving post office.
    const double bodyBottom = kPageH - kMargin - (0.4 * kLine + 2 * kLine + 0.15 + kBoxHeight);
    band_ = 3.2 * kLine;
    linesPerPage_ = std::max(1, int(std::floor((bodyBottom - bodyTop_) / band_ + 1e-9)));
}

QPageLayout FirmBookDocument::PageLayout() const {
    return QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0));
}

int FirmBookDocument::PageCount() const {
    return std::max(1, int((pieces_.size() + linesPerPage_ - 1) / linesPerPage_));
}

QRectF FirmBookDocument::UnusedLinesArea() const {
    const int onLast = int(pieces_.size()) - (PageCount() - 1) * linesPerPage_;
    if (onLast >= linesPerPage_) return {};
    const double top = bodyTop_ + onLast * band_;
    return QRectF(QPointF(kMargin, top),
                  QPointF(kPageW - kMargin, bodyTop_ + linesPerPage_ * band_));
}

void FirmBookDocument::RenderPage(QPainter& p, int page) {
    QPaintDevice* dev = p.device();
    const double dx = dev->logicalDpiX(), dy = dev->logicalDpiY();
    auto X = [dx](double in) { return in * dx; };
    auto Y = [dy](double in) { return in * dy; };
    auto font = [dev](double points, bool bold) {
        QFont f(QStringLiteral("Arial"));
        f.setPointSizeF(points);
        f.setBold(bold);
        return QFont(f, dev);
    };
    const QFont plain = font(kPoints, false), bold = font(kPoints, true);
    const QFont title = font(kPoints * 1.4, true), count = font(kPoints * 2, true);
    const double right = kPageW - kMargin;
    p.save();
    p.setPen(QPen(Qt::black, std::max(1.0, dy / 150)));

    auto text = [&](double x, double y, double w, double h, int flags, const QString& s,
                    const QFont& f) {
        p.setFont(f);
        QString shown = s;
        if (!(flags & Qt::TextWordWrap)) {
            flags |= Qt::TextSingleLine;
            shown = QFontMetricsF(f, dev).elidedText(s, Qt::ElideRight, X(w));
        }
        p.drawText(QRectF(X(x), Y(y), X(w), Y(h)), flags | Qt::AlignVCenter, shown);
    };
    auto rule = [&](double y) { p.drawLine(QPointF(X(kMargin), Y(y)), QPointF(X(right), Y(y))); };

    // Title and page number.
    double y = kMargin;
    text(kMargin, y, right - kMargin, 1.6 * kLine, Qt::AlignHCenter,
         QStringLiteral("Firm Mailing Book for Accountable Mail"), title);
    text(kMargin, y, right - kMargin, 1.6 * kLine, Qt::AlignRight,
         QStringLiteral("Page %1 of %2").arg(page + 1).arg(PageCount()), plain);
    y += 1.8 * kLine;

    // The sender on the left, the kind of mail and the date on the right.
    text(kMargin, y, 4.5, kLine, Qt::AlignLeft, QStringLiteral("Name and Address of Sender"), bold);
    text(6.0, y, right - 6.0, kLine, Qt::AlignLeft, QStringLiteral("Kind of Mail: Certified Mail"),
         bold);
    text(6.0, y + kLine, right - 6.0, kLine, Qt::AlignLeft, heading_.mailed, plain);
    text(6.0, y + 2 * kLine, right - 6.0, kLine, Qt::AlignLeft,
         QStringLiteral("Restricted Delivery is marked beside the article number."), plain);
    double sy = y + kLine;
    for (const QString& line : heading_.sender) {
        if (line.trimmed().isEmpty()) continue;
        text(kMargin, sy, 4.5, kLine, Qt::AlignLeft, line.trimmed(), plain);
        sy += kLine;
    }
    y += 6.4 * kLine;

    // Column headings.
    for (int c = 0; c < int(std::size(kColumns)); ++c) {
        const bool money = c == 0 || c >= kMoneyColumn0;
        text(ColumnX(c), y, kColumns[c].width - kGap, 2 * kLine,
             (money ? Qt::AlignRight : Qt::AlignLeft) | Qt::TextWordWrap,
             QString::fromLatin1(kColumns[c].heading), bold);
    }
    y += 2 * kLine;
    rule(y + 0.2 * kLine);

    // The pieces of this page.
    const int total = int(pieces_.size());
    const int first = std::min(total, page * linesPerPage_);
    const int end = std::min(total, first + linesPerPage_);
    std::array<long long, kBookMoneyColumns> pageSums{};
    y = bodyTop_;
    for (int i = first; i < end; ++i) {
        const BookPiece& piece = pieces_[i];
        text(ColumnX(0), y, kColumns[0].width - kGap, kLine, Qt::AlignRight, QString::number(i + 1),
             plain);
        text(ColumnX(1), y, kColumns[1].width - kGap, kLine, Qt::AlignLeft, piece.article, plain);
        if (piece.restricted)
            text(ColumnX(1), y + kLine, kColumns[1].width - kGap, kLine, Qt::AlignLeft,
                 QStringLiteral("Certified Mail, Restricted Delivery"), plain);
        for (int l = 0; l < 3; ++l)
            text(ColumnX(2), y + l * kLine, kColumns[2].width - kGap, kLine, Qt::AlignLeft,
                 piece.lines[size_t(l)], plain);
        for (int m = 0; m < kBookMoneyColumns; ++m) {
            const int c = kMoneyColumn0 + m;
            text(ColumnX(c), y, kColumns[c].width - kGap, kLine, Qt::AlignRight,
                 piece.money[size_t(m)], plain);
            pageSums[size_t(m)] += CountedCents(piece.money[size_t(m)]);
        }
        y += band_;
    }

    // Unused lines of the last page: one diagonal line through them.
    const bool last = page == PageCount() - 1;
    if (last) {
        const QRectF unused = UnusedLinesArea();
        if (!unused.isEmpty())
            p.drawLine(QPointF(X(unused.left()), Y(unused.top())),
                       QPointF(X(unused.right()), Y(unused.bottom())));
    }

    // The totals of the page, and of the book on its last page.
    y = bodyTop_ + linesPerPage_ * band_;
    rule(y + 0.2 * kLine);
    y += 0.4 * kLine;
    auto sums = [&](double at, const QString& label, const std::array<long long, 5>& cents) {
        text(ColumnX(2), at, kColumns[2].width - kGap, kLine, Qt::AlignLeft, label, bold);
        for (int m = 0; m < kBookMoneyColumns; ++m) {
            const int c = kMoneyColumn0 + m;
            text(ColumnX(c), at, kColumns[c].width - kGap, kLine, Qt::AlignRight,
                 CentsText(cents[size_t(m)]), bold);
        }
    };
    sums(y, QStringLiteral("Totals on this page (%1)").arg(Pieces(end - first)), pageSums);
    y += kLine;
    if (!last) {
        text(ColumnX(2), y, kColumns[2].width, kLine, Qt::AlignLeft,
             QStringLiteral("Continued on page %1").arg(page + 2), plain);
        p.restore();
        return;
    }
    std::array<long long, kBookMoneyColumns> bookSums{};
    for (const BookPiece& piece : pieces_)
        for (int m = 0; m < kBookMoneyColumns; ++m)
            bookSums[size_t(m)] += CountedCents(piece.money[size_t(m)]);
    sums(y, QStringLiteral("Totals of this book (%1)").arg(Pieces(total)), bookSums);
    y += kLine + 0.15;

    // The boxes: the sender's count, and the rest for the receiving post office.
    const QFontMetricsF metrics(plain, dev);
    double widths[std::size(kBoxes)];
    double sum = 0;
    for (size_t b = 0; b < std::size(kBoxes); ++b) {
        widths[b] = metrics.horizontalAdvance(QString::fromLatin1(kBoxes[b])) / dx + 0.2;
        sum += widths[b];
    }
    const double gap = 0.15;
    const double spare = (right - kMargin) - sum - gap * (std::size(kBoxes) - 1);
    double x = kMargin;
    for (size_t b = 0; b < std::size(kBoxes); ++b) {
        const double w = widths[b] + std::max(0.0, spare / std::size(kBoxes));
        p.drawRect(QRectF(X(x), Y(y), X(w), Y(kBoxHeight)));
        text(x + 0.05, y + 0.03, w - 0.1, kLine, Qt::AlignLeft, QString::fromLatin1(kBoxes[b]),
             plain);
        if (b == 0)
            text(x + 0.05, y + kLine + 0.1, w - 0.1, kBoxHeight - kLine - 0.15, Qt::AlignHCenter,
                 QString::number(total), count);
        x += w + gap;
    }
    p.restore();
}

} // namespace qm
