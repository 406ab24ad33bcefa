#include "engine_date.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace qm::table {

namespace {

TEngineDateFormat g_format = EngineDateFormatFrom("M/d/yyyy");
TClock g_clock;

bool IsSeparator(char c) {
    return c == '/' || c == '-' || c == '.';
}

} // namespace

TEngineDateFormat EngineDateFormatFrom(std::string_view fmt) {
    TEngineDateFormat f;
    std::string lower;
    for (char c : fmt)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    f.fourDigitYear = lower.find("yyyy") != std::string::npos;
    size_t i = 0;
    while (i < fmt.size() && !std::isalpha(static_cast<unsigned char>(fmt[i]))) ++i;
    char first = i < fmt.size() ? fmt[i] : 'M';
    // The system's date separator: the first non-letter after the first letters.
    size_t j = i;
    while (j < fmt.size() && std::isalpha(static_cast<unsigned char>(fmt[j]))) ++j;
    char sep = j < fmt.size() ? fmt[j] : '/';
    if (first == 'd' || first == 'D') {
        f.order = TDateOrder::DayMonthYear;
        f.separator = sep == '-' ? '-' : sep == '.' ? '.' : '/';
    } else if (first == 'y' || first == 'Y') {
        f.order = TDateOrder::YearMonthDay;
        f.separator = '.';
    } else {
        f.order = TDateOrder::MonthDayYear;
        f.separator = '/';
    }
    return f;
}

void SetSystemShortDateFormat(std::string_view fmt) {
    g_format = EngineDateFormatFrom(fmt);
}

void SetClock(TClock clock) {
    g_clock = std::move(clock);
}

void SetDateClock(TDateClock clock) {
    if (!clock) {
        g_clock = nullptr;
        return;
    }
    g_clock = [day = std::move(clock)] { return TLocalTime{day()}; };
}

TLocalTime Now() {
    if (g_clock) return g_clock();
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return TLocalTime{TDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday}, tm.tm_hour, tm.tm_min,
                      tm.tm_sec};
}

TDate Today() {
    return Now().date;
}

bool IsValidDate(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return false;
    if ((m == 4 || m == 6 || m == 9 || m == 11) && d > 30) return false;
    if (m == 2) {
        bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        if (d > (leap ? 29 : 28)) return false;
    }
    return true;
}

std::string FormatEngineDate(const TDate& date) {
    if (date.Empty()) return BlankDateTemplate();
    const TEngineDateFormat& f = g_format;
    auto two = [](char* p, int v) {
        p[0] = char('0' + (v / 10) % 10);
        p[1] = char('0' + v % 10);
    };
    char y[4], m[2], d[2];
    const int yl = f.fourDigitYear ? 4 : 2;
    if (f.fourDigitYear) {
        two(y, (date.year / 100) % 100);
        two(y + 2, date.year % 100);
    } else {
        two(y, date.year % 100);
    }
    two(m, date.month);
    two(d, date.day);
    std::string s;
    s.reserve(10);
    auto put = [&](const char* p, int n) { s.append(p, size_t(n)); };
    switch (f.order) {
    case TDateOrder::MonthDayYear:
        put(m, 2);
        s += f.separator;
        put(d, 2);
        s += f.separator;
        put(y, yl);
        break;
    case TDateOrder::DayMonthYear:
        put(d, 2);
        s += f.separator;
        put(m, 2);
        s += f.separator;
        put(y, yl);
        break;
    case TDateOrder::YearMonthDay:
        put(y, yl);
        s += f.separator;
        put(m, 2);
        s += f.separator;
        put(d, 2);
        break;
    }
    return s;
}

std::string BlankDateTemplate() {
    std::string s = FormatEngineDate(TDate{2000, 1, 1});
    for (char& c : s)
        if (!IsSeparator(c)) c = ' ';
    return s;
}

bool IsBlankDateText(std::string_view text) {
    for (char c : text)
        if (c != ' ' && !IsSeparator(c)) return false;
    return true;
}

bool ParseEngineDate(std::string_view text, TDate& out) {
    size_t start = 0;
    while (start < text.size() && text[start] == ' ') ++start;
    text.remove_prefix(start);
    size_t blank = text.find(' ');
    if (blank != std::string_view::npos) text = text.substr(0, blank);
    int part[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int k = 0;
    for (char c : text) {
        if (IsSeparator(c)) {
            if (++k > 2) return false;
        } else if (c >= '0' && c <= '9') {
            if (++digits[k] > 4) return false;
            part[k] = part[k] * 10 + (c - '0');
        } else {
            return false;
        }
    }
    if (k != 2) return false;
    int yi = 2, mi = 0, di = 1;
    switch (g_format.order) {
    case TDateOrder::MonthDayYear:
        mi = 0;
        di = 1;
        yi = 2;
        break;
    case TDateOrder::DayMonthYear:
        di = 0;
        mi = 1;
        yi = 2;
        break;
    case TDateOrder::YearMonthDay:
        yi = 0;
        mi = 1;
        di = 2;
        break;
    }
    if (digits[mi] < 1 || digits[mi] > 2 || digits[di] < 1 || digits[di] > 2) return false;
    if (digits[yi] != 2 && digits[yi] != 4) return false;
    int year = part[yi];
    if (digits[yi] == 2) {
        // The hundred years that begin 70 years before the current year.
        int first = Today().year - 70;
        year = first - (first % 100) + year;
        if (year < first) year += 100;
    }
    if (!IsValidDate(year, part[mi], part[di])) return false;
    out = TDate{year, part[mi], part[di]};
    return true;
}

void StoreDate(const TDate& date, char* dst8) {
    if (date.Empty() || !IsValidDate(date.year, date.month, date.day)) {
        std::memset(dst8, ' ', 8);
        return;
    }
    const int parts[8] = {date.year / 1000, (date.year / 100) % 10, (date.year / 10) % 10,
                          date.year % 10,   date.month / 10,        date.month % 10,
                          date.day / 10,    date.day % 10};
    for (int i = 0; i < 8; ++i) dst8[i] = char('0' + parts[i]);
}

TDate LoadDate(const char* s) {
    int v[8];
    for (int i = 0; i < 8; ++i) {
        if (s[i] < '0' || s[i] > '9') return TDate{};
        v[i] = s[i] - '0';
    }
    TDate d{v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]};
    return IsValidDate(d.year, d.month, d.day) ? d : TDate{};
}

} // namespace qm::table
