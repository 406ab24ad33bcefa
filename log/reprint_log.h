#pragma once
// Reprints of logged pieces: Reports/reprints.dbf beside the mailing log, one record per
// reprint (tracking number, date, time, reason). The mailing log itself keeps one record per
// piece, however often it is printed.
#include "log/log_table.h"
#include "piece/entry_fields.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace qm {

// DataFolder() + "Reports/reprints.dbf".
QString ReprintTablePath();

// The field list from which a missing reprints table is created.
const std::vector<std::string>& ReprintFieldLines();

// Appends a reprint of the piece `mailernum` (the grouped number as the log keeps it) with
// the engine's date and the program clock's time, creating the table when missing, under the
// append lock. Returns an empty text on success, otherwise what went wrong.
QString AppendReprint(const QString& path, const QString& mailernum, const QString& reason);

// The log entry whose tracking number is `number` (blanks ignored), the newest when it was
// logged twice; nullopt when the log holds no such piece or does not exist. Throws qm::Error
// when the log cannot be read.
std::optional<LogEntry> FindLoggedPiece(const QString& logPath, const QString& number);

// The entry form of a logged piece as a reprint prints it: the logged addressee, city, state,
// ZIP, fees, total, comment and reference, and the current sender lines.
EntryFields ReprintFieldsOf(const LogEntry& logged, const std::array<QString, 5>& senderLabels);

} // namespace qm
