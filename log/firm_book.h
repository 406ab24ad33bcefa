#pragma once
// The firm mailing book: the list of accountable pieces a sender hands to the post office with
// the mail, laid out as the post office's firm mailing book asks. Every page is a sheet of its
// own: the sender's name and address and the kind of mail, the pieces in numerical order of
// their article numbers (line, article number, every logged address line whole on a line of
// its own, postage and every fee; a piece is never split across pages), the page's totals of
// each money column, the number of pieces the sender lists on it, the boxes the receiving post
// office fills in and the stamp box. The last page adds the book's totals, and its unused lines
// are struck through with one diagonal line.

#include "log/log_commands.h"
#include "log/paged_document.h"
#include "tzdbf.h"

#include <QDate>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>

namespace qm {

// The money columns of the book, in their order on the page.
enum BookMoney { kBookPostage, kBookCertified, kBookReturn, kBookRestricted, kBookTotal };
constexpr int kBookMoneyColumns = 5;

struct BookPiece {
    QString article;   // the grouped number as logged
    QStringList lines; // the name, each further address line logged, then city, state and ZIP
    std::array<QString, kBookMoneyColumns> money; // texts as logged, trimmed; CountedCents sums
    bool restricted = false;                      // a restricted delivery fee was paid
    uint32_t record = 0;                          // the log record
    QDate mailed;                                 // the day it was logged
};

// Article numbers compared as numbers (digits only, leading zeros ignored).
bool ArticleNumberLess(const QString& a, const QString& b);

// The entries of the open log mailed within `range`, in numerical order of article number.
// Voided entries (voided_pieces.h) are left out; `voided`, when given, counts those of the range.
QList<BookPiece> ReadBookPieces(table::TTzDbf& log, const DateRange& range, int* voided = nullptr);

// The live entries of the open log whose tracking number (digits only) is not in `listed`, in
// numerical order of article number; `voided`, when given, counts the voided ones left out.
QList<BookPiece> ReadUnlistedPieces(table::TTzDbf& log, const QSet<QString>& listed,
                                    int* voided = nullptr);

// The entries of the open log with the tracking numbers `numbers` (the newest live entry of
// each, else the newest voided one), in numerical order of article number. `missing` gets the
// numbers the log no longer holds.
QList<BookPiece> ReadListedPieces(table::TTzDbf& log, const QStringList& numbers,
                                  QStringList& missing);

// The first and last day the pieces were logged.
DateRange MailedRange(const QList<BookPiece>& pieces);

struct BookHeading {
    std::array<QString, 5> sender; // the sender block of the settings
    QString mailed;                // "Date Mailed: ..." or "Mailed from ... to ..."
    int number = 0;                // the recorded book's number; 0 for none
    QDate made;                    // the day the book was recorded
};

// "Book No. 7 of 3/5/2008" (short date), "Book No. 7" without a day; empty for number 0.
QString BookNumberText(const BookHeading& heading);

// "Date Mailed: D" for one day, "Mailed from A to B" for a longer range (short dates).
QString BookMailedText(const DateRange& range);

class FirmBookDocument : public PagedDocument {
public:
    FirmBookDocument(BookHeading heading, QList<BookPiece> pieces);

    QPageLayout PageLayout() const override; // Letter landscape
    int PageCount() const override;
    void RenderPage(QPainter& painter, int page) override;

    // How many pieces of up to three address lines fill a page.
    int LinesPerPage() const { return linesPerPage_; }
    // Inches from the paper's corner: the area of the unused lines of the last page (empty
    // when less than one line is left).
    QRectF UnusedLinesArea() const;

private:
    double Band(const BookPiece& piece) const; // inches the piece's row takes

    BookHeading heading_;
    QList<BookPiece> pieces_;
    QList<int> pageStarts_; // the index of each page's first piece
    int linesPerPage_ = 1;
    double bodyTop_ = 0;
    double bodyBottom_ = 0;
};

} // namespace qm
