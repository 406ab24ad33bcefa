#include "log/firm_book.h"

#include "core/short_date.h"
#include "log/book_table.h"
#include "log/log_csv.h"
#include "log/report_document.h"

#include <QFontMetricsF>
#include <QHash>
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
constexpr double kGap = 0.06;         // inches between a column's text and the next column
constexpr double kBand = 3.2 * kLine; // the row of a piece of up to three address lines
constexpr double kBoxGap = 0.1;       // inches between the boxes at the foot
constexpr double kCountBoxHeight = 0.6;
constexpr double kStampBoxHeight = 0.9;
// Below the pieces: page totals, book totals or the page that follows, then two rows of boxes.
constexpr double kFootHeight =
    0.4 * kLine + 2 * kLine + 0.15 + kCountBoxHeight + kBoxGap + kStampBoxHeight;

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

// The first row of boxes: the sender's count of the page, then the receiving post office's.
const char* const kCountBoxes[] = {"Total Number of Pieces Listed by Sender",
                                   "Total Number of Pieces Received at Post Office",
                                   "Postmaster, Per (Name of receiving employee)"};
// The second row: the post office's postmark, and the stamp of a certificate of mailing.
const char* const kPostmarkBox = "Postmark and Date of Receipt";
const char* const kStampBox =
    "Affix stamp here (if issued as a certificate of mailing or for additional copies of this "
    "bill)";

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

namespace {

// The fields of the log a book piece is read from.
class BookPieceReader {
public:
    explicit BookPieceReader(table::TTzDbf& log)
        : date_(log.FieldIndex("rdate")),
          number_(log.FieldIndex("mailernum")), name_{log.FieldIndex("sentname0"),
                                                      log.FieldIndex("sentname1"),
                                                      log.FieldIndex("sentname2"),
                                                      log.FieldIndex("sentname3")},
          city_(log.FieldIndex("city")), state_(log.FieldIndex("state")),
          zip_(log.FieldIndex("zip")), money_{log.FieldIndex("postage"),
                                              log.FieldIndex("certified"), log.FieldIndex("return"),
                                              log.FieldIndex("restricted"),
                                              log.FieldIndex("total")} {}

    bool Usable() const { return date_ >= 0; }
    QDate Date(const std::vector<std::string>& values) const {
        return date_ < 0 ? QDate() : LogDate(values[size_t(date_)]);
    }
    QString Number(const std::vector<std::string>& values) const { return Text(values, number_); }

    BookPiece Piece(const std::vector<std::string>& values, uint32_t record) const {
        BookPiece p;
        p.article = Text(values, number_);
        p.lines << Text(values, name_[0]);
        for (int i = 1; i < 4; ++i)
            if (!Text(values, name_[i]).isEmpty()) p.lines << Text(values, name_[i]);
        const QString place = Text(values, city_);
        const QString stateZip = (Text(values, state_) + u' ' + Text(values, zip_)).trimmed();
        p.lines << (place.isEmpty() ? stateZip
                                    : (stateZip.isEmpty() ? place : place + u' ' + stateZip));
        for (int i = 0; i < kBookMoneyColumns; ++i) p.money[size_t(i)] = Text(values, money_[i]);
        p.restricted = CountedCents(p.money[kBookRestricted]) > 0;
        p.record = record;
        p.mailed = Date(values);
        return p;
    }

private:
    static QString Text(const std::vector<std::string>& values, int i) {
        return i < 0 ? QString() : QString::fromStdString(values[size_t(i)]).trimmed();
    }
    int date_, number_;
    int name_[4];
    int city_, state_, zip_;
    int money_[kBookMoneyColumns];
};

void SortByArticle(QList<BookPiece>& pieces) {
    std::stable_sort(pieces.begin(), pieces.end(), [](const BookPiece& a, const BookPiece& b) {
        return ArticleNumberLess(a.article, b.article);
    });
}

// The live entries `take` accepts; `voided` counts the voided ones it accepts.
template <class Take> QList<BookPiece> ReadLivePieces(table::TTzDbf& log, int* voided, Take take) {
    const BookPieceReader reader(log);
    QList<BookPiece> pieces;
    if (voided) *voided = 0;
    if (!reader.Usable()) return pieces;
    std::vector<std::string> values;
    bool deleted = false;
    const uint32_t count = log.RecCount();
    for (uint32_t n = 1; n <= count; ++n) {
        log.PeekRecord(n, values, deleted);
        if (!take(reader, values)) continue;
        if (deleted) {
            if (voided) ++*voided;
            continue;
        }
        pieces.append(reader.Piece(values, n));
    }
    SortByArticle(pieces);
    return pieces;
}

} // namespace

QList<BookPiece> ReadBookPieces(table::TTzDbf& log, const DateRange& range, int* voided) {
    return ReadLivePieces(log, voided, [&range](const BookPieceReader& reader, const auto& values) {
        return range.Contains(reader.Date(values));
    });
}

QList<BookPiece> ReadUnlistedPieces(table::TTzDbf& log, const QSet<QString>& listed, int* voided) {
    return ReadLivePieces(log, voided,
                          [&listed](const BookPieceReader& reader, const auto& values) {
                              return !listed.contains(NumberDigits(reader.Number(values)));
                          });
}

QList<BookPiece> ReadListedPieces(table::TTzDbf& log, const QStringList& numbers,
                                  QStringList& missing) {
    const BookPieceReader reader(log);
    QHash<QString, BookPiece> live, voided;
    std::vector<std::string> values;
    bool deleted = false;
    QSet<QString> wanted;
    for (const QString& number : numbers) wanted.insert(NumberDigits(number));
    const uint32_t count = log.RecCount();
    for (uint32_t n = 1; n <= count; ++n) {
        log.PeekRecord(n, values, deleted);
        const QString digits = NumberDigits(reader.Number(values));
        if (!wanted.contains(digits)) continue;
        (deleted ? voided : live).insert(digits, reader.Piece(values, n)); // the newest wins
    }
    QList<BookPiece> pieces;
    missing.clear();
    for (const QString& number : numbers) {
        const QString digits = NumberDigits(number);
        if (live.contains(digits))
            pieces.append(live.value(digits));
        else if (voided.contains(digits))
            pieces.append(voided.value(digits));
        else
            missing << number.trimmed();
    }
    SortByArticle(pieces);
    return pieces;
}

DateRange MailedRange(const QList<BookPiece>& pieces) {
    DateRange range;
    for (const BookPiece& p : pieces) {
        if (!p.mailed.isValid()) continue;
        if (!range.from.isValid() || p.mailed < range.from) range.from = p.mailed;
        if (!range.to.isValid() || p.mailed > range.to) range.to = p.mailed;
    }
    return range;
}

QString BookNumberText(const BookHeading& heading) {
    if (heading.number <= 0) return {};
    const QString text = QStringLiteral("Book No. %1").arg(heading.number);
    return heading.made.isValid() ? text + QStringLiteral(" of ") + ShortDateText(heading.made)
                                  : text;
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
    bodyBottom_ = kPageH - kMargin - kFootHeight;
    linesPerPage_ = std::max(1, int(std::floor((bodyBottom_ - bodyTop_) / kBand + 1e-9)));
    // Whole pieces only: a piece that does not fit below the last one starts the next page.
    pageStarts_ << 0;
    double used = 0;
    for (int i = 0; i < pieces_.size(); ++i) {
        const double band = Band(pieces_[i]);
        if (used > 0 && used + band > bodyBottom_ - bodyTop_ + 1e-9) {
            pageStarts_ << i;
            used = 0;
        }
        used += band;
    }
}

double FirmBookDocument::Band(const BookPiece& piece) const {
    const qsizetype lines = std::max<qsizetype>(piece.lines.size(), piece.restricted ? 2 : 1);
    return std::max(kBand, (double(lines) + 0.2) * kLine);
}

QPageLayout FirmBookDocument::PageLayout() const {
    return QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0));
}

int FirmBookDocument::PageCount() const {
    return int(pageStarts_.size());
}

QRectF FirmBookDocument::UnusedLinesArea() const {
    double top = bodyTop_;
    for (int i = pageStarts_.last(); i < pieces_.size(); ++i) top += Band(pieces_[i]);
    if (bodyBottom_ - top < kBand - 1e-9) return {};
    return QRectF(QPointF(kMargin, top), QPointF(kPageW - kMargin, bodyBottom_));
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
    // An address line whole: condensed when wider than its column, never cut.
    auto whole = [&](double x, double y, double w, const QString& s) {
        QFont f = plain;
        const double wide = QFontMetricsF(f, dev).horizontalAdvance(s);
        if (wide > X(w)) f.setStretch(std::max(1, int(std::floor(100 * X(w) / wide))));
        p.setFont(f);
        p.drawText(QRectF(X(x), Y(y), X(w), Y(kLine)),
                   Qt::TextSingleLine | Qt::AlignLeft | Qt::AlignVCenter, s);
    };
    auto rule = [&](double y) { p.drawLine(QPointF(X(kMargin), Y(y)), QPointF(X(right), Y(y))); };

    // Title and page number.
    double y = kMargin;
    text(kMargin, y, right - kMargin, 1.6 * kLine, Qt::AlignHCenter,
         QStringLiteral("Firm Mailing Book for Accountable Mail"), title);
    text(kMargin, y, right - kMargin, 1.6 * kLine, Qt::AlignRight,
         QStringLiteral("Page %1 of %2").arg(page + 1).arg(PageCount()), plain);
    text(kMargin, y, 4.5, 1.6 * kLine, Qt::AlignLeft, BookNumberText(heading_), bold);
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
    const int first = pageStarts_[page];
    const int end = page + 1 < pageStarts_.size() ? pageStarts_[page + 1] : total;
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
        for (int l = 0; l < piece.lines.size(); ++l)
            whole(ColumnX(2), y + l * kLine, kColumns[2].width - kGap, piece.lines[l]);
        for (int m = 0; m < kBookMoneyColumns; ++m) {
            const int c = kMoneyColumn0 + m;
            text(ColumnX(c), y, kColumns[c].width - kGap, kLine, Qt::AlignRight,
                 piece.money[size_t(m)], plain);
            pageSums[size_t(m)] += CountedCents(piece.money[size_t(m)]);
        }
        y += Band(piece);
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
    y = bodyBottom_;
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
    if (last) {
        std::array<long long, kBookMoneyColumns> bookSums{};
        for (const BookPiece& piece : pieces_)
            for (int m = 0; m < kBookMoneyColumns; ++m)
                bookSums[size_t(m)] += CountedCents(piece.money[size_t(m)]);
        sums(y, QStringLiteral("Totals of this book (%1)").arg(Pieces(total)), bookSums);
    } else {
        text(ColumnX(2), y, kColumns[2].width, kLine, Qt::AlignLeft,
             QStringLiteral("Continued on page %1").arg(page + 2), plain);
    }
    y += kLine + 0.15;

    // First row: the sender's count of this page, then the receiving post office's boxes, each
    // as wide as its caption and the spare width shared out.
    const QFontMetricsF metrics(plain, dev);
    const double width = right - kMargin;
    double widths[std::size(kCountBoxes)];
    double sum = 0;
    for (size_t b = 0; b < std::size(kCountBoxes); ++b) {
        widths[b] = metrics.horizontalAdvance(QString::fromLatin1(kCountBoxes[b])) / dx + 0.2;
        sum += widths[b];
    }
    const double spare = width - sum - kBoxGap * (std::size(kCountBoxes) - 1);
    double x = kMargin;
    for (size_t b = 0; b < std::size(kCountBoxes); ++b) {
        const double w = widths[b] + std::max(0.0, spare / std::size(kCountBoxes));
        p.drawRect(QRectF(X(x), Y(y), X(w), Y(kCountBoxHeight)));
        text(x + 0.05, y + 0.03, w - 0.1, kLine, Qt::AlignLeft, QString::fromLatin1(kCountBoxes[b]),
             plain);
        if (b == 0)
            text(x + 0.05, y + kLine + 0.05, w - 0.1, kCountBoxHeight - kLine - 0.1,
                 Qt::AlignHCenter, QString::number(end - first), count);
        x += w + kBoxGap;
    }
    y += kCountBoxHeight + kBoxGap;

    // Second row: the postmark and the stamp box, halves of the width.
    const double half = (width - kBoxGap) / 2;
    const double stampX = kMargin + half + kBoxGap;
    p.drawRect(QRectF(X(kMargin), Y(y), X(half), Y(kStampBoxHeight)));
    text(kMargin + 0.05, y + 0.03, half - 0.1, kLine, Qt::AlignLeft,
         QString::fromLatin1(kPostmarkBox), plain);
    p.drawRect(QRectF(X(stampX), Y(y), X(half), Y(kStampBoxHeight)));
    p.setFont(plain);
    p.drawText(QRectF(X(stampX + 0.05), Y(y + 0.03), X(half - 0.1), Y(kStampBoxHeight - 0.06)),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromLatin1(kStampBox));
    p.restore();
}

} // namespace qm
