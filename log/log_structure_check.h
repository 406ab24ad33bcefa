#pragma once
// The mailing log's structure, checked before a report, the firm mailing book or an export reads
// it: the header's record count against the file size (header, records and the optional
// end-of-file byte 0x1A), every record's deletion flag (blank or "*") and every date field
// (blank or a valid date). A damaged log stops the output with the record and what is wrong,
// rather than giving a short or wrong one.
//
//   RequireSoundLog(log);   // the open log; throws LogDamageError

#include "tzdbf.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct LogDamage {
    enum class Kind {
        Header,       // the header itself is cut short or impossible
        CutShort,     // the file ends inside a record
        CountAhead,   // the header counts records the file does not hold
        CountBehind,  // the file holds whole records past the header's count
        DeletionFlag, // a record's first byte is neither blank nor "*"
        Date,         // a date field holds something other than blanks or a date
    };
    Kind kind = Kind::Header;
    uint32_t record = 0; // 1 for the first record; 0 for the header
    std::string what;    // "record 3 is cut short: ..."
};

// The first fault of a log file's bytes (header to end) in file order, or none. `fields` are the
// table's fields as the engine opened them; their date fields are checked.
std::optional<LogDamage> FindLogDamage(std::string_view image,
                                       const std::vector<table::TFieldDef>& fields);

class LogDamageError : public std::runtime_error {
public:
    LogDamageError(const std::string& path, LogDamage damage);
    const LogDamage& Damage() const { return damage_; }

private:
    LogDamage damage_;
};

// "The mailing log PATH is damaged: record 3 is cut short: ..."
std::string LogDamageText(const std::string& path, const LogDamage& damage);

// The open log's file read whole under the shared append lock, with its first fault. A header
// count behind the file is read again after a moment first: another copy may be between its
// append and the header rewrite of its close.
struct CheckedLog {
    std::string image;
    std::optional<LogDamage> damage;
};
CheckedLog ReadCheckedLog(table::TTzDbf& log);

// ReadCheckedLog that throws LogDamageError for a damaged log.
void RequireSoundLog(table::TTzDbf& log);

} // namespace qm
