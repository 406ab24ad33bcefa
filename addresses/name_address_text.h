// Name-and-address text files: one address a line, seven comma-separated
// fields (four address lines, city, state, ZIP code). Export writes every
// field quoted in Windows-1252; import reads quoted and unquoted fields from
// UTF-8 (when the file is valid UTF-8) or Windows-1252.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

namespace qm::table {
class TTzDbf;
}

namespace qm::addresses {

using TImportFields = std::array<QString, 7>;

// The field list of a table the import creates (the address table format).
QStringList AddressTableFields();

// Text of a name-and-address file: UTF-8 when valid (a byte-order mark is
// dropped), else Windows-1252.
QString DecodeNameAddressText(const QByteArray& bytes);
// Windows-1252 bytes; characters it cannot hold become '?'.
QByteArray EncodeNameAddressText(const QString& text);

// The lines of a text file: each ends at CR LF, CR or LF; a last line without
// an end counts, an empty text has no lines.
QStringList SplitTextFileLines(const QString& text);

// Leading and trailing blanks and control characters removed.
QString TrimValue(const QString& s);

// The seven fields of one line (without its line end). A malformed line and a
// line without a comma give seven empty fields.
TImportFields ParseImportLine(const QString& line);
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

// Appends one record for every line of the text to the open table (under its
// append lock). Returns how many characters were stored as '?'.
int ImportIntoTable(qm::table::TTzDbf& table, const QByteArray& text);
// Every record of the open table, deleted ones included, in record order.
QByteArray ExportTable(qm::table::TTzDbf& table);

} // namespace qm::addresses
