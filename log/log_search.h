#pragma once
// The mailing log window's search: one pass over the log keeps the searched fields of every
// record compactly, so that filtering and ordering 100,000 pieces need no further reads.
//
//   LogSearchIndex index;
//   LogSearchIndex::Filler filler(index, fields, log.TableLanguage());
//   ReadCheckedLog(log, &filler);            // the open log
//   LogQuery q = LogQuery::Of("9214 8901", from, to);
//   if (index.Matches(recNo, q)) ...

#include "log/log_file_read.h"
#include "log/log_order.h"
#include "tzdbf.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
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

// The tracking number without its blanks.
QString UngroupedNumber(const QString& mailernum);

// The tracking page for one piece.
QString TrackingUrlFor(const QString& mailernum);

class LogSearchIndex {
public:
    // Fills the index from one pass over the log's file (ReadLogFile, ReadCheckedLog): the
    // whole records up to the first that begins with neither a blank nor "*", as the engine
    // counts a shared table's records. `fields` and `lang` are the open log's.
    class Filler : public LogFileVisitor {
    public:
        Filler(LogSearchIndex& index, const std::vector<table::TFieldDef>& fields,
               table::TTableLanguage lang);
        void Header(std::string_view header, uint64_t fileSize) override;
        void Record(uint64_t n, std::string_view record) override;
        void Tail(std::string_view) override {}

    private:
        // Appends the field's text as the engine shows it (decoded, trailing blanks cut);
        // `upper` in upper case, without blanks unless `blanks`.
        void Append(std::string_view record, const table::TFieldDef* f, bool upper, bool blanks);
        LogSearchIndex& index_;
        table::TTableLanguage lang_;
        const table::TFieldDef* names_[4] = {};
        const table::TFieldDef* city_ = nullptr;
        const table::TFieldDef* zip_ = nullptr;
        const table::TFieldDef* date_ = nullptr;
        const table::TFieldDef* number_ = nullptr;
        bool ended_ = false;
    };

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
    // The searched texts of every record lie one after another in text_; an entry keeps
    // where its texts begin and their lengths (one allocation for the log, not five a record).
    enum Part { kNames, kName0, kDigits, kCity, kZip, kParts };
    struct Entry {
        uint64_t at = 0;
        uint16_t length[kParts] = {};
        int date = 0;
        bool deleted = false;
    };
    const Entry& Row(uint32_t recNo) const { return rows_[recNo - 1]; }
    // names: the addressee lines, upper case, '\n' between; name0: the first line as stored
    // (the name order's key); digits: the tracking number without blanks; city: upper case.
    std::string_view Text(const Entry& e, Part part) const;
    std::vector<Entry> rows_;
    std::string text_;
};

} // namespace qm
