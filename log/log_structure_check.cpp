#include "log/log_structure_check.h"

#include "log/log_file_image.h"

#include "table_check.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace qm {

namespace {

using Kind = LogDamage::Kind;

// How often, and after what pause, a header count behind the file is read again.
constexpr int kRereads = 3;
constexpr std::chrono::milliseconds kRereadPause(100);

uint32_t Get32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

size_t Get16(const unsigned char* p) {
    return size_t(p[0]) | size_t(p[1]) << 8;
}

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

std::optional<LogDamage> FindLogDamage(std::string_view image,
                                       const std::vector<table::TFieldDef>& fields) {
    auto damage = [](Kind kind, uint64_t record, std::string what) {
        return LogDamage{kind, uint32_t(record), std::move(what)};
    };
    if (image.size() < 32)
        return damage(Kind::Header, 0,
                      "the header is cut short (" + std::to_string(image.size()) + " bytes)");
    const auto* h = reinterpret_cast<const unsigned char*>(image.data());
    const uint32_t count = Get32(h + 4);
    const size_t headerLength = Get16(h + 8), recordLength = Get16(h + 10);
    if (headerLength < 33 || recordLength < 1 || headerLength > image.size())
        return damage(Kind::Header, 0,
                      "the header gives a header of " + std::to_string(headerLength) +
                          " bytes and records of " + std::to_string(recordLength) +
                          " in a file of " + std::to_string(image.size()));
    std::vector<const table::TFieldDef*> dates;
    for (const table::TFieldDef& f : fields)
        if (f.type == 'D' && f.offset > 0 && size_t(f.offset + f.width) <= recordLength)
            dates.push_back(&f);

    const size_t body = image.size() - headerLength;
    const uint64_t whole = body / recordLength;
    const size_t rest = body % recordLength;
    for (uint64_t n = 1; n <= whole; ++n) {
        const char* record = image.data() + headerLength + (n - 1) * recordLength;
        const auto flag = static_cast<unsigned char>(record[0]);
        if (flag != ' ' && flag != '*')
            return damage(Kind::DeletionFlag, n,
                          "record " + std::to_string(n) + " begins with " + Hex(flag) + " (\"" +
                              Shown(std::string_view(record, 1)) +
                              "\"), not with a blank or the deletion mark \"*\"");
        for (const table::TFieldDef* d : dates) {
            if (table::ValidFieldBytes('D', record + d->offset, d->width)) continue;
            return damage(Kind::Date, n,
                          "record " + std::to_string(n) + " holds \"" +
                              Shown(std::string_view(record + d->offset, size_t(d->width))) +
                              "\" in its date field " + d->name + ", which is not a date");
        }
    }
    const bool endMark = rest == 1 && image.back() == '\x1A';
    if (rest != 0 && !endMark)
        return damage(Kind::CutShort, whole + 1,
                      "record " + std::to_string(whole + 1) + " is cut short: the file ends " +
                          std::to_string(rest) + " bytes into its " + std::to_string(recordLength));
    if (count > whole)
        return damage(Kind::CountAhead, whole + 1,
                      "record " + std::to_string(whole + 1) + " is missing: the header counts " +
                          Records(count) + ", the file holds " + Records(whole));
    if (count < whole)
        return damage(Kind::CountBehind, uint64_t(count) + 1,
                      "record " + std::to_string(uint64_t(count) + 1) + " lies beyond the " +
                          Records(count) + " the header counts (the file holds " + Records(whole) +
                          ")");
    return std::nullopt;
}

std::string LogDamageText(const std::string& path, const LogDamage& damage) {
    return "The mailing log " + path + " is damaged: " + damage.what + ".";
}

LogDamageError::LogDamageError(const std::string& path, LogDamage damage)
    : std::runtime_error(LogDamageText(path, damage)), damage_(std::move(damage)) {}

CheckedLog ReadCheckedLog(table::TTzDbf& log) {
    std::vector<table::TFieldDef> fields;
    fields.reserve(size_t(log.FieldCount()));
    for (int i = 0; i < log.FieldCount(); ++i) fields.push_back(log.FieldDef(i));
    CheckedLog checked;
    for (int read = 0;; ++read) {
        checked.image = ReadLogFileImage(log.DbfFileName());
        checked.damage = FindLogDamage(checked.image, fields);
        if (!checked.damage || checked.damage->kind != Kind::CountBehind || read == kRereads)
            return checked;
        std::this_thread::sleep_for(kRereadPause);
    }
}

void RequireSoundLog(table::TTzDbf& log) {
    const CheckedLog checked = ReadCheckedLog(log);
    if (checked.damage) throw LogDamageError(log.DbfFileName(), *checked.damage);
}

} // namespace qm
