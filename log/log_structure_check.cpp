#include "log/log_structure_check.h"

#include "engine_util.h"
#include "table_check.h"

#include <cstdio>

namespace qm {

namespace {

using Kind = LogDamage::Kind;

std::string Hex(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", c);
    return text;
}

// Stored bytes as a reader can see them: printable ASCII as it is, anything else as \xNN.
std::string Shown(std::string_view bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        out += c >= 0x20 && c < 0x7F ? std::string(1, ch) : "\\x" + Hex(c).substr(2);
    }
    return out;
}

std::string Records(uint64_t n) {
    return std::to_string(n) + (n == 1 ? " record" : " records");
}

} // namespace

LogStructureCheck::LogStructureCheck(std::vector<table::TFieldDef> fields)
    : fields_(std::move(fields)) {}

void LogStructureCheck::Found(Kind kind, uint64_t record, std::string what) {
    if (!damage_) damage_ = LogDamage{kind, uint32_t(record), std::move(what)};
}

void LogStructureCheck::Header(std::string_view header, uint64_t fileSize) {
    damage_.reset();
    dates_.clear();
    whole_ = 0;
    headerSound_ = false;
    if (header.size() < 32)
        return Found(Kind::Header, 0,
                     "the header is cut short (" + std::to_string(fileSize) + " bytes)");
    const size_t headerLength = HeaderLengthOf(header);
    recordLength_ = RecordLengthOf(header);
    count_ = table::Get32(reinterpret_cast<const uint8_t*>(header.data()) + 4);
    if (headerLength < 33 || recordLength_ < 1 || headerLength > fileSize)
        return Found(Kind::Header, 0,
                     "the header gives a header of " + std::to_string(headerLength) +
                         " bytes and records of " + std::to_string(recordLength_) +
                         " in a file of " + std::to_string(fileSize));
    headerSound_ = true;
    for (const table::TFieldDef& f : fields_)
        if (f.type == 'D' && f.offset > 0 && size_t(f.offset + f.width) <= recordLength_)
            dates_.push_back(&f);
}

void LogStructureCheck::Record(uint64_t n, std::string_view record) {
    whole_ = n;
    if (damage_) return;
    const auto flag = static_cast<unsigned char>(record[0]);
    if (flag != ' ' && flag != '*')
        return Found(Kind::DeletionFlag, n,
                     "record " + std::to_string(n) + " begins with " + Hex(flag) + " (\"" +
                         Shown(record.substr(0, 1)) +
                         "\"), not with a blank or the deletion mark \"*\"");
    for (const table::TFieldDef* d : dates_) {
        if (table::ValidFieldBytes('D', record.data() + d->offset, d->width)) continue;
        return Found(Kind::Date, n,
                     "record " + std::to_string(n) + " holds \"" +
                         Shown(record.substr(size_t(d->offset), size_t(d->width))) +
                         "\" in its date field " + d->name + ", which is not a date");
    }
}

void LogStructureCheck::Tail(std::string_view rest) {
    if (!headerSound_) return;
    // Other programs pad with end-of-file bytes: sound. Anything else there may be lost records.
    if (rest.size() > 1 && rest[0] == '\x1A' &&
        rest.find_first_not_of('\x1A') != std::string_view::npos)
        return Found(Kind::CutShort, whole_ + 1,
                     std::to_string(rest.size() - 1) + " bytes follow the end-of-file mark after " +
                         (whole_ ? "record " + std::to_string(whole_) : "the header"));
    if (!rest.empty() && rest[0] != '\x1A')
        return Found(Kind::CutShort, whole_ + 1,
                     "record " + std::to_string(whole_ + 1) + " is cut short: the file ends " +
                         std::to_string(rest.size()) + " bytes into its " +
                         std::to_string(recordLength_));
    if (count_ > whole_)
        return Found(Kind::CountAhead, whole_ + 1,
                     "record " + std::to_string(whole_ + 1) + " is missing: the header counts " +
                         Records(count_) + ", the file holds " + Records(whole_));
    // A count behind the file is sound: whole records after it are ones a copy appended before
    // its header rewrite (or a copy killed in between), and every reader of ours counts them.
}

std::string LogDamageText(const std::string& path, const LogDamage& damage) {
    return "The mailing log " + path + " is damaged: " + damage.what + ".";
}

LogDamageError::LogDamageError(const std::string& path, LogDamage damage)
    : std::runtime_error(LogDamageText(path, damage)), damage_(std::move(damage)) {}

std::optional<LogDamage> ReadCheckedLog(table::TTzDbf& log, LogFileVisitor* also) {
    std::vector<table::TFieldDef> fields;
    fields.reserve(size_t(log.FieldCount()));
    for (int i = 0; i < log.FieldCount(); ++i) fields.push_back(log.FieldDef(i));
    LogStructureCheck check(std::move(fields));
    // The check and the caller's visitor on the same pass.
    struct Both : LogFileVisitor {
        LogFileVisitor& first;
        LogFileVisitor* second;
        Both(LogFileVisitor& a, LogFileVisitor* b) : first(a), second(b) {}
        void Header(std::string_view header, uint64_t fileSize) override {
            first.Header(header, fileSize);
            if (second) second->Header(header, fileSize);
        }
        void Record(uint64_t n, std::string_view record) override {
            first.Record(n, record);
            if (second) second->Record(n, record);
        }
        void Tail(std::string_view rest) override {
            first.Tail(rest);
            if (second) second->Tail(rest);
        }
    } both(check, also);
    ReadLogFile(log.DbfFileName(), both);
    return check.Damage();
}

void RequireSoundLog(table::TTzDbf& log) {
    if (const std::optional<LogDamage> damage = ReadCheckedLog(log))
        throw LogDamageError(log.DbfFileName(), *damage);
}

} // namespace qm
