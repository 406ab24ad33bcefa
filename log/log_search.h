#pragma once
// The mailing log window's search: one pass over the log keeps the searched fields of every
// record compactly, so that filtering and ordering 100,000 pieces need no further reads.
//
//   LogSearchIndex index;
//   index.Read(log);                       // the open log
//   LogQuery q = LogQuery::Of("9214 8901", from, to);
//   if (index.Matches(recNo, q)) ...

#include "log/log_order.h"
#include "tzdbf.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

// What the user typed and the date range; dates as YYYYMMDD, 0 for an open end.
struct LogQuery {
    std::string text;   // upper case, trimmed
    std::string digits; // the text without blanks when it is all digits; empty otherwise
    int from = 0;
    int to = 0;
    static LogQuery Of(const QString& typed, int from = 0, int to = 0);
    bool Empty() const { return text.empty() && from == 0 && to == 0; }
};

// YYYYMMDD of a date text in the engine's date format; 0 for a blank or unreadable date.
int LogDateKey(const std::string& display);

// The tracking number without its blanks.
QString UngroupedNumber(const QString& mailernum);

// The tracking page for one piece.
QString TrackingUrlFor(const QString& mailernum);

class LogSearchIndex {
public:
    // Reads every record of the open log (one sequential pass).
    void Read(table::TTzDbf& log);
    uint32_t Count() const { return uint32_t(rows_.size()); }
    bool Deleted(uint32_t recNo) const { return Row(recNo).deleted; }
    // True when the record is not deleted and matches the text (addressee name, tracking
    // number with or without blanks, city or ZIP) and lies in the date range.
    bool Matches(uint32_t recNo, const LogQuery& q) const;
    // True when record a comes before record b in `order` (ties by record number); Record
    // order is newest first: by date, then by record number, both descending.
    bool Less(uint32_t a, uint32_t b, LogOrder order) const;
    // The grouped tracking number as stored, and the date key.
    QString MailerNumber(uint32_t recNo) const;
    int Date(uint32_t recNo) const { return Row(recNo).date; }

private:
    struct Entry {
        std::string names;  // the addressee lines, upper case, '\n' between
        std::string name0;  // first addressee line as stored (the name order's key)
        std::string digits; // tracking number without blanks
        std::string city;   // upper case
        std::string zip;
        int date = 0;
        bool deleted = false;
    };
    const Entry& Row(uint32_t recNo) const { return rows_[recNo - 1]; }
    std::vector<Entry> rows_;
};

} // namespace qm
