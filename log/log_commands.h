#pragma once
// The "&Report" menu's commands over the mailing log. They talk to the user through LogUi, so
// the windows stay thin and tests run the commands with scripted answers.

#include "log/log_order.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class QPrinter;

namespace qm {

class PagedDocument;

// Step by step progress of a report run; Step returns false once the user cancels.
class ReportProgress {
public:
    virtual ~ReportProgress() = default;
    virtual bool Step(const QString& text) = 0;
};

// Both ends inclusive. A command given an open end (an invalid date) reads it as the first or
// the last day of the log's entries.
struct DateRange {
    QDate from;
    QDate to;
    bool Contains(const QDate& d) const { return d.isValid() && d >= from && d <= to; }
};

// The export the user chose: the file, the optional range and whether voided pieces join it.
struct ExportChoice {
    QString fileName;
    std::optional<DateRange> range;
    bool includeVoided = false;
};

// The firm mailing book the user chose: the pieces of no book yet, the pieces of a date range,
// or a book made before, printed again; and whether to preview it (else print).
struct BookChoice {
    enum class Kind { New, Range, Previous };
    Kind kind = Kind::New;
    DateRange range;
    int number = 0; // the book printed again (Previous)
    bool preview = true;
    // Offered with the choice: the live pieces no book lists yet, and the last book's number
    // (0 when there is none).
    int unlisted = 0;
    int lastBook = 0;
};

// What a command asks the user and shows.
class LogUi {
public:
    virtual ~LogUi() = default;
    virtual void Error(const QString& text) = 0;
    virtual void Warning(const QString& text) = 0;
    virtual void Information(const QString& text) = 0;
    // A remark on an output that is still whole ("1 voided piece left out"); a window shows it
    // as information.
    virtual void Note(const QString& text) { Information(text); }
    enum class SaveAnswer { Yes, No, Cancel };
    // "Do you wish to save the data in the report?"
    virtual SaveAnswer AskSaveLog() = 0;
    // The archive file; empty when the save dialog is cancelled.
    virtual QString ChooseArchiveFile() = 0;
    // "Output Options" for a printed report: sets up `printer`; false when cancelled.
    virtual bool ChooseOutput(QPrinter& printer) = 0;
    // "Report Preview" of the document, until the user closes it. True when the user printed
    // it or saved it as a PDF file from the preview.
    virtual bool Preview(PagedDocument& document) = 0;
    // The "Report Status" window while a report is printed.
    virtual std::unique_ptr<ReportProgress> Status() = 0;
    // The firm mailing book to make, starting from `choice` (its range today's); false when
    // cancelled.
    virtual bool ChooseBook(BookChoice& choice) = 0;
    // Export: the file, the optional range and the voided pieces; false when cancelled.
    virtual bool ChooseExport(ExportChoice& choice) = 0;
};

enum class ReportDestination { Preview = 0, Printer = 1 };
enum class LogReport { FullDetail = 0, ShortDetail = 1 };

// "Date Printed: " + the date in the short date of core/short_date.h and the time in the
// system's long time format.
QString MyTimeText(const QDateTime& now);

// The report, the firm mailing book and the export read the log only when its structure is
// sound (log_structure_check.h); a damaged log is shown as an error and nothing is output.

// The log report: "Report is empty." for an empty log, else the report in `order` to the
// preview or the printer, its "MyTime" read from the clock of core/clock.h. The project is
// read for every run; its errors are shown.
void RunLogReport(LogUi& ui, const QString& logPath, const QString& projectPath, LogOrder order,
                  ReportDestination destination, LogReport report);

// "&Clear": optionally archives the log (a copy, or appended to an existing archive), then
// empties it under exclusive access. Nothing is deleted unless the archive step succeeded, and
// the log is left unchanged when another copy of the program has it open.
void ClearLog(LogUi& ui, const QString& logPath);

// Voided pieces (voided_pieces.h) are left out of the reports, the book and, unless the user
// asks for them, the export; how many is noted (LogUi::Note; the export's closing message
// "Export Done." has it on a line of its own).

// "Firm Mailing Book...": the pieces of no book yet, of a date range, or of a book made before,
// with the sender block of the settings at the top of every page (see firm_book.h). A new or
// range book printed or saved (also from the preview) is recorded under the next number in
// books.dbf beside the log (book_table.h); a book printed again records nothing.
void RunFirmMailingBook(LogUi& ui, const QString& logPath, const std::array<QString, 5>& sender);

// "Export Log...": the log, or a date range of it, as CSV or, for a name ending in ".xlsx", as
// an Excel workbook (log_export.h). Refuses to write over the log or any dBase table.
void RunExportLog(LogUi& ui, const QString& logPath);

} // namespace qm
