#include "log/log_commands.h"

#include "core/clock.h"
#include "core/error.h"
#include "core/output_target.h"
#include "core/short_date.h"
#include "core/whole_file.h"
#include "log/book_table.h"
#include "log/firm_book.h"
#include "log/log_csv.h"
#include "log/log_export.h"
#include "log/log_source.h"
#include "log/log_structure_check.h"
#include "log/log_table.h"
#include "log/money_check.h"
#include "log/report_document.h"
#include "log/report_layout.h"
#include "log/report_print.h"
#include "log/shared_log.h"
#include "log/voided_pieces.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPrinter>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace qm {

using table::TTzDbf;

namespace {

// Closes a table at the end of a command in every case, back in shared mode. A failure while
// closing after an error must not hide that error.
class TableCloser {
public:
    explicit TableCloser(TTzDbf& t) : t_(t) {}
    ~TableCloser() {
        table::TReportingOff quiet;
        try {
            t_.Close();
            t_.SetExclusive(false);
        } catch (const std::exception&) {
            // the command has reported its own failure already
        }
    }
    TableCloser(const TableCloser&) = delete;
    TableCloser& operator=(const TableCloser&) = delete;

private:
    TTzDbf& t_;
};

QString Text(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

const ReportLayout& FindLayout(const ReportProject& project, const QString& name,
                               const QString& projectPath) {
    const ReportLayout* layout = project.Find(name);
    if (!layout)
        throw ReportProjectError(QStringLiteral("The report project %1 has no report \"%2\".")
                                     .arg(projectPath, name)
                                     .toStdString());
    return *layout;
}

// Saves the log's records into `archive` before the log is emptied; throws Error with the
// reason when that did not happen completely, so nothing may be deleted.
void ArchiveLog(TTzDbf& log, const QString& logPath, const QString& archive, uint32_t count) {
    const QFileInfo target(archive);
    if (target.exists() && target.canonicalFilePath() == QFileInfo(logPath).canonicalFilePath()) {
        throw Error(QStringLiteral("%1 is the mailing log itself; choose another file to save the "
                                   "report in. Nothing was deleted.")
                        .arg(archive));
    }
    if (!target.exists() && !target.isSymLink()) {
        // A copy checked to its last byte: a full disk must not leave a short archive behind a
        // cleared log.
        QFile source(logPath);
        QByteArray bytes;
        if (source.open(QIODevice::ReadOnly)) bytes = source.readAll();
        if (!source.isOpen() || source.error() != QFileDevice::NoError) {
            throw Error(
                QStringLiteral("The report could not be saved in %1: %2. Nothing was deleted.")
                    .arg(archive, source.errorString()));
        }
        try {
            WriteWholeFile(archive, bytes);
        } catch (const WholeFileError& e) {
            throw Error(
                QStringLiteral("The report could not be saved in %1: %2 Nothing was deleted.")
                    .arg(archive, e.Reason()));
        }
        return;
    }
    TTzDbf saved("TzDbfArchive");
    TableCloser closer(saved);
    try {
        saved.SetDbfFileName(archive.toStdString());
        saved.SetCreateIfNotFound(false);
        saved.SetTableLanguage(log.TableLanguage());
        saved.SetHideDeletedRecs(false);
        saved.Open();
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("%1 is not a saved mailing log (%2). Nothing was deleted.")
                        .arg(archive, Text(e)));
    }
    QString why;
    if (!IsLogShaped(saved, &why)) {
        throw Error(QStringLiteral("%1 is not a saved mailing log: %2. Nothing was deleted.")
                        .arg(archive, why));
    }
    uint32_t before = 0;
    {
        table::TTableLock lock(saved, table::TTableLock::Append);
        if (!lock.Held()) {
            throw Error(
                QStringLiteral("%1 is in use by another user. Nothing was deleted.").arg(archive));
        }
        before = saved.RecCount();
        saved.AppendFrom(logPath.toStdString());
    }
    if (saved.RecCount() != before + count) {
        throw Error(QStringLiteral("Not every entry of the report reached %1. Nothing was deleted.")
                        .arg(archive));
    }
}

// `range` with an open end set to the first or last day of the log's live entries; an open end
// of an empty log becomes the other end.
DateRange ResolvedRange(TTzDbf& log, DateRange range) {
    if (range.from.isValid() && range.to.isValid()) return range;
    QDate first, last;
    if (const int field = log.FieldIndex("rdate"); field >= 0) {
        std::vector<std::string> values;
        bool deleted = false;
        for (uint32_t n = 1; n <= log.RecCount(); ++n) {
            log.PeekRecord(n, values, deleted);
            const QDate d = LogDate(values[size_t(field)]);
            if (deleted || !d.isValid()) continue;
            if (!first.isValid() || d < first) first = d;
            if (!last.isValid() || d > last) last = d;
        }
    }
    if (!range.from.isValid()) range.from = first.isValid() ? first : range.to;
    if (!range.to.isValid()) range.to = last.isValid() ? last : range.from;
    // Past the last entry (or before the first): a range of one day, and nothing in it.
    if (range.to < range.from) {
        if (!first.isValid() || range.from > last)
            range.to = range.from;
        else
            range.from = range.to;
    }
    return range;
}

// Names the money texts of `records` that the totals leave out (money_check.h).
void WarnUncounted(LogUi& ui, TTzDbf& log, const std::vector<uint32_t>& records) {
    const QStringList uncounted = UncountedMoney(log, records);
    if (!uncounted.isEmpty()) ui.Warning(uncounted.join(u'\n'));
}

} // namespace

QString MyTimeText(const QDateTime& now) {
    return QStringLiteral("Date Printed: ") + ShortDateText(now.date()) + u' ' +
           QLocale::system().toString(now.time(), QLocale::LongFormat);
}

void RunLogReport(LogUi& ui, const QString& logPath, const QString& projectPath, LogOrder order,
                  ReportDestination destination, LogReport report) {
    try {
        SharedLogUse use(logPath);
        TTzDbf* const log = &use.Table();
        RequireSoundLog(*log);
        int voided = 0;
        LogSequence sequence = WithoutVoided(*log, ApplyLogOrder(*log, order), voided);
        if (sequence.count == 0) {
            ui.Error(QStringLiteral("Report is empty."));
            return;
        }
        const ReportProject project = LoadReportProject(projectPath);
        const QString name = report == LogReport::FullDetail ? QStringLiteral("FullDetail")
                                                             : QStringLiteral("ShortDetail");
        const ReportLayout& layout = FindLayout(project, name, projectPath);
        LogSource source(*log, std::move(sequence));
        ReportDocument document(layout, source,
                                {{QStringLiteral("MyTime"), MyTimeText(CurrentDateTime())}});
        if (voided > 0) ui.Note(VoidedLeftOutText(voided));
        std::vector<uint32_t> records;
        for (int i = 0; i < source.RowCount(); ++i) records.push_back(source.RecordOf(i));
        WarnUncounted(ui, *log, records);
        OutputReport(ui, document, destination == ReportDestination::Preview);
    } catch (const std::exception& e) {
        ui.Error(Text(e));
    }
}

void ClearLog(LogUi& ui, const QString& logPath) {
    try {
        SharedLogUse use(logPath);
        TTzDbf* const log = &use.Table();
        const uint32_t count = log->RecCount();
        if (count == 0) {
            ui.Error(QStringLiteral("Report is already empty."));
            return;
        }
        const LogUi::SaveAnswer answer = ui.AskSaveLog();
        if (answer == LogUi::SaveAnswer::Cancel) return;
        if (answer == LogUi::SaveAnswer::Yes) {
            const QString archive = ui.ChooseArchiveFile();
            if (!archive.isEmpty()) ArchiveLog(*log, logPath, archive, count);
        }
        std::optional<ExclusiveLogUse> exclusive;
        try {
            exclusive.emplace(*log);
        } catch (const std::exception& e) {
            ui.Error(Text(e) + QStringLiteral("\n\nThe report was not cleared."));
            return;
        }
        // Entries printed by another copy between the archive and the exclusive open would be
        // deleted unsaved.
        if (log->RecCount() != count) {
            ui.Error(QStringLiteral("Mail pieces were logged while the report was being saved. "
                                    "The report was not cleared; clear it again."));
            return;
        }
        log->GoTop();
        for (uint32_t i = 0; i < count; ++i) {
            log->DeleteRec();
            log->Next();
        }
        log->Pack();
    } catch (const std::exception& e) {
        ui.Error(Text(e));
    }
}

namespace {

QString Unlisted(int n) {
    return n == 1 ? QStringLiteral("1 piece") : QStringLiteral("%1 pieces").arg(n);
}

// A new book (the pieces of no book yet) or a book of a date range: printed or saved, it is
// recorded under the next number. Printed directly, the book table's lock is held from the
// choice of number and pieces to the record, and what the user is told waits until it is
// released; from the preview, the record first checks that no other copy recorded a book
// meanwhile.
void MakeBook(LogUi& ui, const QString& logPath, const QString& booksPath,
              const std::array<QString, 5>& sender, const BookChoice& choice) {
    const bool fresh = choice.kind == BookChoice::Kind::New;
    QPrinter printer(QPrinter::HighResolution);
    // Output Options before the lock; every book has the same page layout.
    if (!choice.preview && !ChooseReportOutput(ui, FirmBookDocument({}, {}), printer)) return;
    SharedLogUse use(logPath);
    TTzDbf* const log = &use.Table();
    RequireSoundLog(*log);
    const DateRange range = fresh ? DateRange{} : ResolvedRange(*log, choice.range);
    auto recording = std::make_unique<BookRecording>(booksPath);
    int voided = 0;
    QList<BookPiece> pieces =
        fresh ? ReadUnlistedPieces(*log, ListedNumbers(recording->Books()), &voided)
              : ReadBookPieces(*log, range, &voided);
    if (pieces.isEmpty()) {
        recording.reset();
        QString text = fresh ? QStringLiteral("No mail pieces to list: all logged pieces are in "
                                              "a book already.")
                             : QStringLiteral("No mail pieces were logged from %1 to %2.")
                                   .arg(ShortDateText(range.from), ShortDateText(range.to));
        if (voided > 0) text += u' ' + VoidedLeftOutText(voided) + u'.';
        ui.Information(text);
        return;
    }
    std::vector<uint32_t> records;
    QStringList numbers;
    for (const BookPiece& p : pieces) {
        records.push_back(p.record);
        numbers << p.article;
    }
    const QStringList uncounted = UncountedMoney(*log, records);
    const auto tell = [&] {
        if (voided > 0) ui.Note(VoidedLeftOutText(voided));
        if (!uncounted.isEmpty()) ui.Warning(uncounted.join(u'\n'));
    };
    const int number = recording->NextNumber();
    // The heading before the pieces move into the document.
    BookHeading heading{sender, BookMailedText(fresh ? MailedRange(pieces) : range), number,
                        CurrentDate()};
    FirmBookDocument document(std::move(heading), std::move(pieces));
    if (!choice.preview) {
        if (PrintToChosenOutput(ui, document, printer)) recording->Append(number, numbers);
        recording.reset();
        tell();
        return;
    }
    // Not locked while the user reads the notes and looks at the preview.
    recording.reset();
    tell();
    if (!ui.Preview(document)) return;
    BookRecording again(booksPath);
    const QSet<QString> listed = ListedNumbers(again.Books());
    const bool taken = std::any_of(numbers.begin(), numbers.end(), [&listed](const QString& n) {
        return listed.contains(NumberDigits(n));
    });
    if (again.NextNumber() != number || taken)
        throw Error(QStringLiteral("Book No. %1 was not recorded in %2: another copy of the "
                                   "program recorded a book while this one was in the preview. "
                                   "Destroy the printed book and make it again.")
                        .arg(number)
                        .arg(booksPath));
    again.Append(number, numbers);
}

// A recorded book printed again as it was: its pieces, its number and its date. Nothing is
// recorded.
void ReprintBook(LogUi& ui, const QString& logPath, const QString& booksPath,
                 const std::array<QString, 5>& sender, const BookChoice& choice) {
    const BookList books = ReadBooks(booksPath);
    const auto it = books.find(choice.number);
    if (it == books.end()) {
        ui.Error(books.empty()
                     ? QStringLiteral("No firm mailing book is recorded in %1 yet.").arg(booksPath)
                     : QStringLiteral("There is no book No. %1 in %2; the last book is No. %3.")
                           .arg(choice.number)
                           .arg(booksPath)
                           .arg(books.rbegin()->first));
        return;
    }
    const RecordedBook& book = it->second;
    SharedLogUse use(logPath);
    TTzDbf* const log = &use.Table();
    RequireSoundLog(*log);
    QStringList missing;
    QList<BookPiece> pieces = ReadListedPieces(*log, book.mailernums, missing);
    if (!missing.isEmpty()) {
        ui.Error(QStringLiteral("Book No. %1 cannot be printed again: the mailing log %2 no "
                                "longer holds %3 of its %4: %5. Nothing was printed.")
                     .arg(book.number)
                     .arg(logPath, Unlisted(int(missing.size())),
                          Unlisted(int(book.mailernums.size())),
                          missing.join(QStringLiteral(", "))));
        return;
    }
    std::vector<uint32_t> records;
    for (const BookPiece& p : pieces) records.push_back(p.record);
    WarnUncounted(ui, *log, records);
    BookHeading heading{sender, BookMailedText(MailedRange(pieces)), book.number, book.date};
    FirmBookDocument document(std::move(heading), std::move(pieces));
    OutputReport(ui, document, choice.preview);
}

} // namespace

void RunFirmMailingBook(LogUi& ui, const QString& logPath, const std::array<QString, 5>& sender) {
    if (std::all_of(sender.begin(), sender.end(),
                    [](const QString& line) { return line.trimmed().isEmpty(); })) {
        ui.Error(QStringLiteral("The firm mailing book needs the sender's name and address; "
                                "enter them under Options, Your Name & Address first."));
        return;
    }
    const QString booksPath = BookTablePathBeside(logPath);
    BookChoice choice;
    const QDate day = CurrentDate();
    choice.range = DateRange{day, day};
    try {
        const BookList books = ReadBooks(booksPath);
        choice.lastBook = books.empty() ? 0 : books.rbegin()->first;
        SharedLogUse use(logPath);
        RequireSoundLog(use.Table());
        choice.unlisted = int(ReadUnlistedPieces(use.Table(), ListedNumbers(books)).size());
    } catch (const std::exception& e) {
        ui.Error(Text(e));
        return;
    }
    if (!ui.ChooseBook(choice)) return;
    try {
        if (choice.kind == BookChoice::Kind::Previous)
            ReprintBook(ui, logPath, booksPath, sender, choice);
        else
            MakeBook(ui, logPath, booksPath, sender, choice);
    } catch (const std::exception& e) {
        ui.Error(Text(e));
    }
}

void RunExportLog(LogUi& ui, const QString& logPath) {
    ExportChoice choice;
    if (!ui.ChooseExport(choice)) return;
    const QString refused = OutputTargetRefusal(choice.fileName);
    if (!refused.isEmpty()) {
        ui.Error(QStringLiteral("Error on export: ") + refused);
        return;
    }
    ExportCount count;
    try {
        SharedLogUse use(logPath);
        TTzDbf* const log = &use.Table();
        RequireSoundLog(*log);
        if (choice.range) choice.range = ResolvedRange(*log, *choice.range);
        count = WriteLogExport(*log, choice.fileName, {choice.range, choice.includeVoided});
    } catch (const std::exception& e) {
        ui.Error(QStringLiteral("Error on export: ") + Text(e));
        return;
    }
    QString done = QStringLiteral("Export Done.");
    if (count.voidedLeftOut > 0) done += u'\n' + VoidedLeftOutText(count.voidedLeftOut);
    ui.Information(done);
}

} // namespace qm
