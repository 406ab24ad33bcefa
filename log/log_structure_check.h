#pragma once
// The mailing log's structure, checked before a report, the firm mailing book or an export reads
// it: the header's record count against the file size (header, records and the optional
// end-of-file byte 0x1A; a count behind whole records is sound, as the engine reads them), every
// record's deletion flag (blank or "*") and every date field (blank or a valid date). A damaged log
// stops the output with the record and what is wrong, rather than giving a short or wrong one.
//
//   RequireSoundLog(log);   // the open log; throws LogDamageError

#include "log/log_file_read.h"

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
        DeletionFlag, // a record's first byte is neither blank nor "*"
        Date,         // a date field holds something other than blanks or a date
    };
    Kind kind = Kind::Header;
    uint32_t record = 0; // 1 for the first record; 0 for the header
    std::string what;    // "record 3 is cut short: ..."
};

// The first fault of a log file in file order, fed by ReadLogFile. `fields` are the table's
// fields as the engine opened them; their date fields are checked.
class LogStructureCheck : public LogFileVisitor {
public:
    explicit LogStructureCheck(std::vector<table::TFieldDef> fields);
    void Header(std::string_view header, uint64_t fileSize) override;
    void Record(uint64_t n, std::string_view record) override;
    void Tail(std::string_view rest) override;
    // The first fault; none for a sound file (once the whole file was read).
    const std::optional<LogDamage>& Damage() const { return damage_; }

private:
    void Found(LogDamage::Kind kind, uint64_t record, std::string what);
    std::vector<table::TFieldDef> fields_;
    std::vector<const table::TFieldDef*> dates_;
    uint32_t count_ = 0;
    size_t recordLength_ = 0;
    uint64_t whole_ = 0;
    bool headerSound_ = false;
    std::optional<LogDamage> damage_;
};

class LogDamageError : public std::runtime_error {
public:
    LogDamageError(const std::string& path, LogDamage damage);
    const LogDamage& Damage() const { return damage_; }

private:
    LogDamage damage_;
};

// "The mailing log PATH is damaged: record 3 is cut short: ..."
std::string LogDamageText(const std::string& path, const LogDamage& damage);

// Reads the open log's file once under the shared append lock (ReadLogFile) and returns its
// first fault; `also` sees the same pass.
std::optional<LogDamage> ReadCheckedLog(table::TTzDbf& log, LogFileVisitor* also = nullptr);

// ReadCheckedLog that throws LogDamageError for a damaged log.
void RequireSoundLog(table::TTzDbf& log);

} // namespace qm
