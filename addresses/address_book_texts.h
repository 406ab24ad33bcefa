// Texts of the address book window: the proposed file names of the import and
// export, the shortened table name over the bound controls, and the memo lines
// as the bound memo control shows them.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

namespace qm::addresses {

// The table name the import proposes for a text file: the file name without its
// folder, cut after its first full stop, followed by "dbf" ("names.txt" gives
// "names.dbf"); a name without a full stop gets ".dbf" appended.
QString ProposedTableFileName(const QString& textFile);

// The text file name the export proposes for a table: the file name without its
// folder, the five characters from its first ".dbf" (else ".DBF") removed, then
// ".txt" ("names.dbf" gives "names.txt").
QString ProposedTextFileName(const QString& tableFile);

// The caption of the table-name label: the full name when it is at most
// maxWidth wide; else leading folders are removed while it is wider than
// fitWidth and a folder is left, and ".../" is put in front.
QString ShortenedDatabaseName(const QString& fullName,
                              const std::function<int(const QString&)>& width, int maxWidth = 265,
                              int fitWidth = 251);

// The text of the bound memo control for the stored memo lines: the lines are
// separated by line breaks; control characters inside a line (a lone carriage
// return or line feed included) are not shown.
QString MemoControlText(const std::vector<std::string>& lines);

// The text without control characters (a lone carriage return or line feed included), as a
// line of an address is shown and printed.
QString WithoutControlCharacters(QString text);

// The memo lines to store for the text of the bound memo control; a line break
// at the very end does not start another line.
std::vector<std::string> MemoLinesOfControl(const QString& text);

} // namespace qm::addresses
