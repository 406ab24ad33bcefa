// Name-and-address text files: one address a line, seven comma-separated
// fields (four address lines, city, state, ZIP code). Export writes every
// field quoted in Windows-1252; import reads quoted and unquoted fields, each
// line as UTF-8 when it is valid UTF-8, else as Windows-1252. A line that does
// not hold seven fields, or whose city, state or ZIP code is longer than its
// column, is refused by number with the reason; the other lines are imported.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace qm::table {
class TTzDbf;
}

namespace qm::addresses {

using TImportFields = std::array<QString, 7>;

// The widths (in characters) of the character columns an imported line fills.
struct TAddressWidths {
    int city = 20;
    int state = 4;
    int zip = 10;
    bool operator==(const TAddressWidths&) const = default;
};

// The field list of a table the import creates (the address table format, with the
// widths of TAddressWidths{}).
QStringList AddressTableFields();

// Text of a name-and-address file, decided line by line: a line that is valid
// UTF-8 is read as UTF-8, any other as Windows-1252, so one stray byte changes
// only its own line. A byte-order mark at the start is dropped; the line ends
// (CR, LF) stay as they are.
QString DecodeNameAddressText(const QByteArray& bytes);
// Windows-1252 bytes; characters it cannot hold become '?'.
QByteArray EncodeNameAddressText(const QString& text);

// The lines of a text file: each ends at CR LF, CR or LF; a last line without
// an end counts, an empty text has no lines.
QStringList SplitTextFileLines(const QString& text);

// Leading and trailing blanks and control characters removed.
QString TrimValue(const QString& s);

// One line of the file as read: its seven fields, or why it has not seven.
struct TParsedLine {
    TImportFields fields; // all empty when refused
    QString refusal;      // empty when the line holds seven fields
    bool operator==(const TParsedLine&) const = default;
};

// The fields of one line (without its line end), its blanks at both ends
// trimmed and its control characters dropped. A field that starts with a
// double quote ends at the first double quote directly followed by a comma or
// the end of the line (two double quotes inside stand for one); any other
// field ends at the next comma. A line of other than seven fields is refused
// ("5 fields, 7 expected"; a comma at the end starts one more, empty field),
// and so is a line with a quoted field that no such quote ends ("a quote is
// not closed").
TParsedLine ParseImportLine(const QString& line);
// Memo lines of the first four fields: each field that is not empty after
// trimming, as read, followed by LF CR.
QStringList ImportMemoLines(const TImportFields& fields);

// One exported line with its CR LF: four memo lines (missing ones empty), city,
// state and ZIP code, each trimmed, without control characters, quotes
// doubled, in quotes.
QString FormatExportLine(const QStringList& memoLines, const QString& city, const QString& state,
                         const QString& zip);

// How many characters of the text code page 437 cannot hold.
int CountNotInOem(const QString& text);

// The first of ADDRESS, CITY, STATE, ZIP that the open table lacks (or is of
// the wrong kind), as a message; empty when the table has them all.
QString MissingAddressField(qm::table::TTzDbf& table);

// A line of the file that is not imported: its number (from 1, blank lines
// counted) and why.
struct TRefusedLine {
    int line = 0;
    QString reason; // "5 fields, 7 expected", "a quote is not closed", ...
    bool operator==(const TRefusedLine&) const = default;
};

// What an import did: the lines stored as records, the lines refused, and how
// many characters of the stored lines the table's code page could not hold
// (stored as '?').
struct TImportReport {
    int imported = 0;
    std::vector<TRefusedLine> refused; // in line order
    int replaced = 0;
    bool operator==(const TImportReport&) const = default;
};

// The records a text file gives, and the report of importing them.
struct TImportPlan {
    std::vector<TImportFields> records; // one for each imported line, in order
    TImportReport report;               // report.imported == records.size()
};

// Reads every line of the text: blank lines (nothing but blanks and control
// characters) are skipped, neither records nor errors; a line of other than
// seven fields, with a quote not closed, or with a city, state or ZIP code
// longer than its column (trailing blanks do not count) is refused, so nothing
// is cut silently; every other line is a record. Address lines have no width:
// the memo keeps them whole.
TImportPlan PlanImport(const QByteArray& text, const TAddressWidths& widths = {});

// The widths of the open table's CITY, STATE and ZIP fields (MissingAddressField
// has found them).
TAddressWidths AddressWidthsOf(qm::table::TTzDbf& table);

// Appends the planned records to the open table (under its append lock).
void AppendImportRecords(qm::table::TTzDbf& table, const TImportPlan& plan);

// PlanImport with the open table's widths, then AppendImportRecords.
TImportReport ImportIntoTable(qm::table::TTzDbf& table, const QByteArray& text);

// The closing message of an import: "Import Done." when every line was
// imported; otherwise "37 lines were imported; 3 were not:" and the refused
// lines, one a line ("line 4: 5 fields, 7 expected"), the first 20 of them
// and then how many more. Characters stored as '?' are told after that, and
// when nothing was imported, that nothing was written to the table.
QString ImportMessage(const TImportReport& report);
// How many refused lines ImportMessage names.
inline constexpr int kRefusedLinesNamed = 20;
// Every record of the open table, deleted ones included, in record order.
QByteArray ExportTable(qm::table::TTzDbf& table);

} // namespace qm::addresses
