#pragma once
// Export Log for spreadsheets: the columns named in words, CSV (UTF-8 with a byte-order mark,
// formula-like texts behind an apostrophe) or an Excel workbook (typed cells), and the checks on
// the chosen file.

#include "log/log_commands.h"
#include "tzdbf.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace qm {

enum class ExportKind { Text, Date, Money };

struct ExportColumn {
    const char* field;   // the log's field
    const char* heading; // "Tracking Number"
    ExportKind kind;
};
// Tracking number, date, addressee lines, city, state, ZIP, the money, comment, reference.
const std::vector<ExportColumn>& LogExportColumns();

// What an export takes from the log: the entries of `range` (all when not given), the voided
// ones only when `includeVoided`, then with a last column "Voided" ("Yes" for them).
struct ExportScope {
    std::optional<DateRange> range;
    bool includeVoided = false;
};

// The headings of the export's columns, "Voided" last when the scope includes them.
QStringList ExportHeadings(const ExportScope& scope);

// What an export wrote: its rows, and the voided entries of the range it left out.
struct ExportCount {
    int written = 0;
    int voidedLeftOut = 0;
};

// The entries of the open log in `scope` in record order: per column the trimmed text (for a
// date column the stored date's ISO text), "Voided" last when the scope includes them.
// Returns the count of voided entries of the range left out.
int ForEachExportRow(table::TTzDbf& log, const ExportScope& scope,
                     const std::function<void(const QStringList& cells)>& row);

// A text cell that a spreadsheet would take for a formula ("=", "+", "-", "@", tab, carriage
// return first) with a leading apostrophe; any other text unchanged.
QString GuardedText(const QString& text);

// True for a name ending in ".xlsx" (any case).
bool IsWorkbookName(const QString& fileName);
// The chosen name with ".xlsx" or ".csv" added when it has no extension.
QString WithExportSuffix(const QString& fileName, bool workbook);

// The workbook: one sheet "Mailing Log", bold frozen header row, ZIP and texts as text, money
// as numbers with two decimals, the date as a date, columns as wide as their texts. All or
// nothing, like WriteLogCsv.
ExportCount WriteLogXlsx(table::TTzDbf& log, const QString& path, const ExportScope& scope);

// WriteLogXlsx for a ".xlsx" name, WriteLogCsv otherwise.
ExportCount WriteLogExport(table::TTzDbf& log, const QString& path, const ExportScope& scope);

} // namespace qm
