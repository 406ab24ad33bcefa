// The table work of the import and export commands: a name-and-address text file read into
// an address table file (a new one, one that replaces the old table, or appended to), and an
// address table written out as a text file. Failures throw std::exception with the engine's
// or the file's text.
#pragma once

#include "addresses/name_address_text.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace qm::addresses {

// The names the memo file of a table file may have (extension DBT in either case).
QStringList MemoFilesOf(const QString& tableFile);

// The bytes of a name-and-address text file; throws "<file>: <reason>" when it cannot be read.
QByteArray ReadNameAddressFile(const QString& textFile);

enum class TImportInto {
    NewTable,  // the table file does not exist yet: it is created in the address format
    Overwrite, // a new table replaces the old one (and its memo file) once it is complete
    Append,    // the records are added to the existing table
};

// Stores one record for every line of the text that PlanImport accepts (with the widths of the
// table's columns) in the table file and returns what was imported and refused. When no line
// is accepted, the table file is neither created, replaced nor opened for writing: the report
// is all that comes back. Refused lines do not stop the others: an overwrite with some lines
// refused replaces the table with the accepted lines. A table without the address fields is
// refused with the reason; a failed overwrite leaves the old table as it was.
TImportReport ImportIntoTableFile(const QByteArray& text, const QString& tableFile,
                                  TImportInto into);

// Writes every record of the address table file as a text file: the table is opened and
// checked first, then chooseTextFile names the text file (empty: nothing is written). The
// text file is replaced only when it is complete. Returns whether a file was written.
bool ExportTableFile(const QString& tableFile, const std::function<QString()>& chooseTextFile);

} // namespace qm::addresses
