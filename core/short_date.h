#pragma once
// The short date of the program's texts and of the table engine: the locale's own when the
// locale names a country (en_GB, de_DE), the U.S. form MM/dd/yyyy otherwise (C, POSIX, "en"),
// so a date reads the same in the report rows and in their headers.
#include <QDate>
#include <QString>

namespace qm {

// The short date format (Qt's letters) for a POSIX locale name such as "de_DE.UTF-8".
QString ShortDateFormatFor(const QString& localeName);
// The format for this process's locale: LC_ALL, else LC_TIME, else LANG.
QString ShortDateFormat();
// `date` in ShortDateFormat().
QString ShortDateText(const QDate& date);

} // namespace qm
