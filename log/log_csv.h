#pragma once
// The log as a CSV file for spreadsheets: a byte-order mark, a header row naming the columns in
// words (log_export.h), one row per entry in record order, UTF-8, texts trimmed and behind an
// apostrophe where a spreadsheet would take them for a formula, dates as YYYY-MM-DD, quotes
// where needed.

#include "log/log_commands.h"
#include "log/log_export.h"
#include "tzdbf.h"

#include <QString>

#include <optional>

namespace qm {

// One CSV field, quoted when it holds a comma, a quote or a line break.
QString CsvField(const QString& text);

// Writes the entries of `scope` to `path`, all or nothing: the file is replaced only when every
// row was written. Throws std::runtime_error naming the file on failure.
ExportCount WriteLogCsv(table::TTzDbf& log, const QString& path, const ExportScope& scope);

// The date of a stored date text of the engine; invalid for an empty date.
QDate LogDate(const std::string& engineText);

} // namespace qm
