#pragma once
// The mailing log: Reports/report3.dbf under the program folder, one record per printed piece.
//
//   LogEntry e = LogEntryOf(request, fields, barcodeData);
//   if (QString error = AppendLogEntry(LogTablePath(), e); !error.isEmpty()) warn(error);

#include "piece/piece_log.h"
#include "piece/print_request.h"
#include "tzdbf.h"

#include <QDate>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qm {

// DataFolder() + "Reports/report3.dbf".
QString LogTablePath();

// The field list from which a missing log is created, exactly as written.
const std::vector<std::string>& LogFieldLines();

// A persistent field object of the log: name in upper case, type and size, in the order the
// dataset presents them (MAILERNUM last, unlike the file, which has it ninth).
struct LogFieldObject {
    const char* component; // "TzDbfReportSENTNAME0"
    const char* name;      // "SENTNAME0"
    char type;             // 'C' text, 'D' date
    int size;              // characters of a text field, 0 for the date
};
const std::vector<LogFieldObject>& LogFieldObjects();

// A table component for the log at `path`, set up as the main window's TzDbfReport (the program
// opens it through SharedLogUse, log/shared_log.h, once per process):
// deleted records shown, OEM text, shared, created from the field list when missing.
std::unique_ptr<table::TTzDbf> MakeLogTable(const QString& path);

// A table of the Reports folder set up as the log is: deleted records shown, OEM text, shared,
// created from `fields` when missing.
std::unique_ptr<table::TTzDbf> MakeSharedReportTable(const char* name, const QString& path,
                                                     const std::vector<std::string>& fields);

// Fills a new record of the open `table` with `fill` and appends it under the append lock.
// Returns an empty text on success, `lockedMessage` when another copy holds the lock; throws
// the engine's error.
QString AppendLockedRecord(table::TTzDbf& table, const QString& lockedMessage,
                           const std::function<void(table::TTzDbf&)>& fill);

// Opens `table`, fills a new record with `fill` and appends it under the append lock, then
// closes the table. Returns an empty text on success, `lockedMessage` when another copy holds
// the lock, otherwise the engine's error text; the table is closed in every case.
QString AppendLockedRecord(std::unique_ptr<table::TTzDbf> table, const QString& lockedMessage,
                           const std::function<void(table::TTzDbf&)>& fill);

// What differs between the fields of `table` (open) and `fields` (field lines, as tables are
// created from) by name, type and width, in words naming `kind` ("a mailing log"); empty when
// nothing does.
QString FieldShapeFault(const table::TTzDbf& table, const std::vector<std::string>& fields,
                        const QString& kind);

// True when `table` (open) has the log's sixteen fields by name, type and width; otherwise
// `why` says what differs.
bool IsLogShaped(const table::TTzDbf& table, QString* why = nullptr);

// The texts of one log entry, as stored (each cut to its field's width by the engine).
struct LogEntry {
    std::array<QString, 4> addressee; // lines 1 to 4 as typed, before the city line moves up
    QString city;
    QString state;
    QString zip;
    QString mailernum; // the grouped tracking number
    QString postage;
    QString certified;
    QString restricted;
    QString returnFee;
    QString total;
    QString comments;
    QString re;
};

// The grouped number stored in `mailernum`: characters 9-12, 13-16, 17-20, 21-24, 25-28 and
// 29-30 of the barcode data text, joined by single blanks; 27 characters for a 30-character text.
QString LogMailerNumber(const QString& barcodeData);

// The log entry of a printed piece: the addressee lines as typed (before the city line moves
// up), the trimmed city and state and the normalised ZIP from the entry fields; the fees, total,
// comment and reference as the request printed them on the receipt.
LogEntry LogEntryOf(const PrintRequest& request, const EntryFields& fields,
                    const QString& barcodeData);

// Appends `entry` with today's date (the engine's clock), or the day `printed` when the piece
// printed earlier, to the log at `path` through the process's shared log (log/shared_log.h),
// creating the table when missing, under the append lock. Returns an empty text on success,
// otherwise what went wrong (the lock refused, or the engine's error text).
QString AppendLogEntry(const QString& path, const LogEntry& entry, const QDate& printed = {});

// The log step of a print run: the entry of the printed piece appended to the log beside the
// program; empty on success, otherwise the error text (see NotLoggedMessage).
QString AppendPrintedPiece(const PrintRequest& request, const EntryFields& fields,
                           const QString& barcodeData);

// The mailing log beside the program as the print run's log step; each piece joins the
// process's shared log for its append, so nothing of the run stays open between pieces. Its
// journal is the print journal beside the log (log/print_journal.h).
class MailingLog : public PieceLog {
public:
    QString Append(const PrintRequest& request, const EntryFields& fields,
                   const QString& barcodeData) override {
        return AppendPrintedPiece(request, fields, barcodeData);
    }
    QString Journal(const PrintRequest& request, const EntryFields& fields,
                    const QString& barcodeData) override;
    QString Unjournal(const QString& barcodeData) override;
    void Close() noexcept override {}
};

} // namespace qm
