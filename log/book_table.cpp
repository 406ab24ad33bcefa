#include "log/book_table.h"

#include "core/clock.h"
#include "core/data_folder.h"
#include "core/error.h"
#include "log/log_file_read.h"
#include "log/log_structure_check.h"
#include "log/log_table.h"

#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace qm {

using table::TTzDbf;

namespace {

QString Text(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

QDate DateOf(const std::string& engineText) {
    table::TDate d;
    if (table::IsBlankDateText(engineText) || !table::ParseEngineDate(engineText, d)) return {};
    return QDate(d.year, d.month, d.day);
}

QString LeftAsItIs() {
    return QStringLiteral(" It was left as it is; restore it from a backup or repair it with a "
                          "dBase tool, then make the book again.");
}

Error Damaged(const QString& path, const QString& what) {
    return Error(QStringLiteral("The book table %1 is damaged: %2.").arg(path, what) +
                 LeftAsItIs());
}

// Opens the table at `path` (creating it when `create` and missing) and checks its file and
// fields; nullptr when it is missing and not to be created.
std::unique_ptr<TTzDbf> OpenChecked(const QString& path, bool create) {
    const QFileInfo info(path);
    const bool existed = info.exists() || info.isSymLink();
    if (!existed && !create) return nullptr;
    // A link planted in its place could send the books' records into another file.
    if (info.isSymLink() || (existed && !info.isFile()))
        throw Error(QStringLiteral("The book table %1 is a link or not a plain file.").arg(path) +
                    LeftAsItIs());
    auto t = MakeSharedReportTable("TzDbfBooks", path, BookFieldLines());
    t->SetCreateIfNotFound(create && !existed);
    t->SetWriteThrough(true);
    try {
        t->Open();
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("The book table %1 cannot be opened: %2").arg(path, Text(e)) +
                    (existed ? LeftAsItIs() : QString()));
    }
    if (!t->Active())
        throw Error(QStringLiteral("The book table %1 cannot be opened.").arg(path) +
                    (existed ? LeftAsItIs() : QString()));
    if (const QString fault = FieldShapeFault(*t, BookFieldLines(), QStringLiteral("a book table"));
        !fault.isEmpty())
        throw Damaged(path, fault);
    // The engine reads a number leniently; a book number must be digits as a book wrote it.
    struct NumberCheck : LogFileVisitor {
        table::TFieldDef field;
        std::optional<QString> fault;
        void Header(std::string_view, uint64_t) override {}
        void Record(uint64_t n, std::string_view record) override {
            if (fault || record[0] == '*') return;
            if (size_t(field.offset) + size_t(field.width) > record.size()) return;
            const QString text =
                QString::fromLatin1(record.substr(size_t(field.offset), size_t(field.width)));
            bool ok = false;
            const QString trimmed = text.trimmed();
            const bool digits =
                !trimmed.isEmpty() &&
                std::all_of(trimmed.begin(), trimmed.end(), [](QChar c) { return c.isDigit(); });
            if (!digits || trimmed.toInt(&ok) < 1 || !ok)
                fault =
                    QStringLiteral("record %1 holds \"%2\" as its book number").arg(n).arg(trimmed);
        }
        void Tail(std::string_view) override {}
    } numbers;
    numbers.field = t->FieldDef(t->FieldIndex("bookno"));
    std::optional<LogDamage> damage;
    try {
        damage = ReadCheckedLog(*t, &numbers);
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("The book table %1 cannot be read: %2").arg(path, Text(e)));
    }
    if (damage) throw Damaged(path, QString::fromStdString(damage->what));
    if (numbers.fault) throw Damaged(path, *numbers.fault);
    return t;
}

// Every live record of the open table; throws a damage error for a book number no book could
// have left.
BookList ReadAll(TTzDbf& t, const QString& path) {
    const int bookno = t.FieldIndex("bookno"), bdate = t.FieldIndex("bdate");
    const int btime = t.FieldIndex("btime"), mailernum = t.FieldIndex("mailernum");
    BookList books;
    std::vector<std::string> values;
    bool deleted = false;
    const uint32_t count = t.RecCount();
    for (uint32_t n = 1; n <= count; ++n) {
        t.PeekRecord(n, values, deleted);
        if (deleted) continue;
        const QString numberText = QString::fromStdString(values[size_t(bookno)]).trimmed();
        bool ok = false;
        const int number = numberText.toInt(&ok);
        if (!ok || number < 1)
            throw Damaged(
                path,
                QStringLiteral("record %1 holds \"%2\" as its book number").arg(n).arg(numberText));
        const QString piece = QString::fromStdString(values[size_t(mailernum)]).trimmed();
        // A log entry without a number (edited by hand) is listed as it was: blank.
        RecordedBook& book = books[number];
        if (book.number == 0) {
            book.number = number;
            book.date = DateOf(values[size_t(bdate)]);
            book.time = QString::fromStdString(values[size_t(btime)]).trimmed();
        }
        book.mailernums << piece;
    }
    return books;
}

void CloseQuietly(TTzDbf& t) {
    table::TReportingOff quiet;
    try {
        if (t.Active()) t.Close();
    } catch (const std::exception&) {
        // the caller reports its own outcome
    }
}

} // namespace

QString BookTablePath() {
    return DataFolder() + QStringLiteral("Reports/books.dbf");
}

QString BookTablePathBeside(const QString& logPath) {
    return QFileInfo(logPath).absolutePath() + QStringLiteral("/books.dbf");
}

const std::vector<std::string>& BookFieldLines() {
    static const std::vector<std::string> lines = {"bookno, N, 6, 0", "bdate, D, 8, 0",
                                                   "btime, C, 8, 0", "mailernum, C, 35, 0"};
    return lines;
}

QString NumberDigits(const QString& number) {
    QString digits;
    for (const QChar c : number)
        if (c.isDigit()) digits += c;
    return digits;
}

QSet<QString> ListedNumbers(const BookList& books) {
    QSet<QString> listed;
    for (const auto& [number, book] : books)
        for (const QString& piece : book.mailernums) listed.insert(NumberDigits(piece));
    return listed;
}

BookList ReadBooks(const QString& path) {
    const std::unique_ptr<TTzDbf> t = OpenChecked(path, false);
    if (!t) return {};
    struct Closer {
        TTzDbf& t;
        ~Closer() { CloseQuietly(t); }
    } closer{*t};
    try {
        // A book another copy is appending is read whole or not at all.
        table::TTableLock lock(*t, table::TTableLock::Append);
        if (!lock.Held())
            throw Error(QStringLiteral("The book table %1 is locked by another user; try again.")
                            .arg(path));
        return ReadAll(*t, path);
    } catch (const Error&) {
        throw;
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("The book table %1 cannot be read: %2").arg(path, Text(e)));
    }
}

BookRecording::BookRecording(const QString& path) : path_(path) {
    table_ = OpenChecked(path, true);
    try {
        lock_ = std::make_unique<table::TTableLock>(*table_, table::TTableLock::Append);
        if (!lock_->Held())
            throw Error(QStringLiteral("The book table %1 is locked by another user; try again.")
                            .arg(path));
        books_ = ReadAll(*table_, path);
    } catch (const Error&) {
        lock_.reset();
        CloseQuietly(*table_);
        throw;
    } catch (const std::exception& e) {
        lock_.reset();
        CloseQuietly(*table_);
        throw Error(QStringLiteral("The book table %1 cannot be read: %2").arg(path, Text(e)));
    }
}

BookRecording::~BookRecording() {
    lock_.reset();
    CloseQuietly(*table_);
}

void BookRecording::Append(int number, const QStringList& mailernums) {
    const std::string date = table::FormatEngineDate(table::Today());
    const std::string time =
        CurrentDateTime().time().toString(QStringLiteral("HH:mm:ss")).toStdString();
    std::vector<uint32_t> written;
    try {
        for (const QString& piece : mailernums) {
            table_->ClearRecord();
            table_->SetField("bookno", std::to_string(number));
            table_->SetField("bdate", date);
            table_->SetField("btime", time);
            table_->SetField("mailernum", piece.trimmed().toStdString());
            table_->AppendRec();
            written.push_back(table_->RecNo());
        }
    } catch (const std::exception& e) {
        QString text = QStringLiteral("Book No. %1 could not be recorded in %2: %3")
                           .arg(number)
                           .arg(path_, Text(e));
        if (const int left = Withdraw(written); left == 0)
            text += QStringLiteral(" Nothing of it is kept there: destroy the printed book and "
                                   "make it again once the table can be written.");
        else
            text += QStringLiteral(" %1 of its records could not be taken back and list pieces "
                                   "as book No. %2; restore the table from a backup or repair "
                                   "it with a dBase tool.")
                        .arg(left)
                        .arg(number);
        throw Error(text);
    }
    RecordedBook& book = books_[number];
    book.number = number;
    book.date = DateOf(date);
    book.time = QString::fromStdString(time);
    book.mailernums << mailernums;
    // Closed here, so a failure to finish the file is told rather than lost on the way out.
    lock_.reset();
    try {
        table_->Close();
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("Book No. %1 is recorded in %2, but the table could not be "
                                   "closed: %3")
                        .arg(number)
                        .arg(path_, Text(e)));
    }
}

int BookRecording::Withdraw(const std::vector<uint32_t>& written) {
    int left = int(written.size());
    if (left == 0) return 0;
    try {
        table_->Cancel(); // the record being filled is not written over another
        lock_.reset();
        for (const uint32_t n : written) {
            table_->SetRecNo(n);
            table::TTableLock record(*table_, table::TTableLock::Record);
            if (!record.Held()) continue;
            table_->DeleteRec();
            --left;
        }
    } catch (const std::exception&) {
        // the records not marked yet stay; `left` counts them for the caller's message
    }
    return left;
}

} // namespace qm
