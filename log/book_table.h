#pragma once
// The firm mailing books made so far: Reports/books.dbf beside the mailing log. One record per
// piece a book listed (BOOKNO N 6, BDATE D, BTIME C 8, MAILERNUM C 35 as the log keeps the
// number): a book of any size fits fixed-width dBase records, every dBase reader lists a book
// by filtering on its number, and "was this piece in a book" is a look-up of the number.
// Books are numbered 1, 2, ... per data folder. The next number and the new book's records are
// taken under the table's append lock, so two copies making a book at once get two numbers and
// never list a piece twice. A table that is not sound is reported with its path and left as it
// is; it is never written over or created anew.
//
//   BookRecording books(BookTablePath());   // opened, checked and locked
//   const int n = books.NextNumber();
//   ... print book n ...
//   books.Append(n, numbers);

#include "tzdbf.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qm {

// DataFolder() + "Reports/books.dbf".
QString BookTablePath();
// books.dbf in the folder of the mailing log at `logPath`.
QString BookTablePathBeside(const QString& logPath);

// The field list from which a missing books table is created.
const std::vector<std::string>& BookFieldLines();

// A logged tracking number reduced to its digits: the key by which books and log are matched.
QString NumberDigits(const QString& number);

struct RecordedBook {
    int number = 0;
    QDate date;             // the day it was made
    QString time;           // "HH:mm:ss"
    QStringList mailernums; // as recorded, in record order
};

// Every recorded book, by number.
using BookList = std::map<int, RecordedBook>;

// The digits of every tracking number any book listed.
QSet<QString> ListedNumbers(const BookList& books);

// The books recorded at `path`; none when there is no table. Read under the append lock.
// Throws Error naming the file when it cannot be read or is damaged.
BookList ReadBooks(const QString& path);

// The books table open for a new book, holding its append lock from construction to
// destruction. Creates a missing table. Throws Error naming the file when it cannot be opened,
// is damaged or is locked by another copy past the engine's wait.
class BookRecording {
public:
    explicit BookRecording(const QString& path);
    ~BookRecording();
    BookRecording(const BookRecording&) = delete;
    BookRecording& operator=(const BookRecording&) = delete;

    const BookList& Books() const { return books_; }
    int NextNumber() const { return books_.empty() ? 1 : books_.rbegin()->first + 1; }
    // Appends one record per number for book `number`, dated with the engine's date and the
    // program clock's time, then releases the lock and closes the table. A book that cannot be
    // recorded whole is taken back (its records marked deleted, which every reader skips).
    // Throws Error naming the file and what is left of the book there.
    void Append(int number, const QStringList& mailernums);

private:
    // Marks the records `written` deleted, releasing the append lock; returns how many stay.
    int Withdraw(const std::vector<uint32_t>& written);

    QString path_;
    std::unique_ptr<table::TTzDbf> table_;
    std::unique_ptr<table::TTableLock> lock_;
    BookList books_;
};

} // namespace qm
