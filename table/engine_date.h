// The engine's date text, which follows the system's short date format.
//
// The application hands the format over at start (Qt's letters, e.g. "M/d/yy"
// or "dd.MM.yyyy"); tests set it explicitly. A format containing "yyyy" gives
// ten-character texts with four-digit years, any other eight characters.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qm::table {

struct TDate {
    int year = 0;
    int month = 0;
    int day = 0;
    bool Empty() const { return year == 0 && month == 0 && day == 0; }
    bool operator==(const TDate&) const = default;
};

enum class TDateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

struct TEngineDateFormat {
    TDateOrder order = TDateOrder::MonthDayYear;
    char separator = '/';
    bool fourDigitYear = false;
};

// Derives the engine format from the system's short date format (Qt letters).
TEngineDateFormat EngineDateFormatFrom(std::string_view systemShortDateFormat);
void SetSystemShortDateFormat(std::string_view systemShortDateFormat);

// The local date and time of day.
struct TLocalTime {
    TDate date;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The program's one clock: the engine's dates, the log date, the report's printing time and
// the default date ranges all read it, so tests pin them by installing a fixed clock here
// (nullptr restores the system clock).
using TClock = std::function<TLocalTime()>;
void SetClock(TClock clock);
TLocalTime Now();

// A clock that gives only the day (its time of day is midnight).
using TDateClock = std::function<TDate()>;
void SetDateClock(TDateClock clock);
TDate Today();

bool IsValidDate(int year, int month, int day);

// "03/05/2008" (or "03/05/08"); an empty date gives the blank template.
std::string FormatEngineDate(const TDate& date);
// The blank date of the current format, e.g. "  /  /    ".
std::string BlankDateTemplate();
// True for a text holding only blanks and date separators (every blank template).
bool IsBlankDateText(std::string_view text);
// Reads an engine date text: "/", "-" or "." separators, one or two digits for
// day and month, two or four for the year, anything after a blank dropped.
bool ParseEngineDate(std::string_view text, TDate& out);
// Stored form YYYYMMDD (8 blanks for an empty date) and back; a stored text
// that is not eight digits of a valid date reads as an empty date.
void StoreDate(const TDate& date, char* dst8);
TDate LoadDate(const char* src8);

} // namespace qm::table
