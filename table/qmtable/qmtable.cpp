// qmtable: look into and change dBase tables from the command line, through
// the same engine, locks and error texts as the program.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "dbf_file.h"
#include "engine_date.h"
#include "engine_error.h"
#include "engine_util.h"
#include "index_order.h"
#include "index_recovery.h"
#include "mdx_file.h"
#include "memo_file.h"
#include "table_check.h"
#include "tzdbf.h"

using namespace qm::table;

namespace {

constexpr int kExitFindings = 1; // check found inconsistencies
constexpr int kExitEngine = 2;   // the engine refused (its text on standard error)
constexpr int kExitLock = 3;     // a lock could not be had
constexpr int kExitUsage = 64;

const char* const kUsage =
    "usage: qmtable [--ansi] COMMAND FILE [ARGS]\n"
    "  info FILE                      version, date, record count, fields\n"
    "  dump [--salvage] [--order TAG] FILE\n"
    "                                 CSV on standard output: a header row, then every\n"
    "                                 record with its DELETED column (\"*\" or empty);\n"
    "                                 values as stored (numbers and logicals as their\n"
    "                                 text, blanks empty); memo fields show their text\n"
    "                                 exactly as stored, line ends (CR LF) included.\n"
    "                                 --salvage goes on past a\n"
    "                                 memo it cannot read (shown as \"<unreadable memo>\")\n"
    "                                 and exits 1 when there was one; --order lists the\n"
    "                                 records in the order of the production index's tag\n"
    "                                 TAG (an order that leads round is an error)\n"
    "  check FILE                     report every inconsistency; exit 1 if there is one\n"
    "  append FILE FIELD=VALUE...     append one record (shared, under the append lock)\n"
    "                                 and print its number\n"
    "  set FILE RECNO FIELD=VALUE...  change fields of one record (under its record lock)\n"
    "  delete FILE RECNO              mark a record deleted (under its record lock)\n"
    "  recall FILE RECNO              take the deletion mark off a record\n"
    "  pack FILE                      remove the records marked deleted and compact the\n"
    "                                 memo file (needs the table to itself)\n"
    "  reindex FILE                   rebuild the table's production index (needs the\n"
    "                                 table to itself)\n"
    "  help                           this text\n"
    "A number must fit the field's width and decimals; a memo field takes its lines\n"
    "separated by LF. Text is read and written as UTF-8; the table holds it in the\n"
    "OEM code page (437), or in Windows-1252 with --ansi. Dates show as YYYY.MM.DD\n"
    "and are read as YYYY-MM-DD or YYYY.MM.DD.\n"
    "Exit codes: 0 done, 1 inconsistencies (check) or unreadable memos (dump --salvage),\n"
    "2 the engine refused, 3 locked by another copy, 64 bad input.\n";

class EUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Another copy held the table or the record past the engine's bounded wait.
class ELocked : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// Another copy holding the table as its own (a pack) has it for moments
// only: an open that meets it is tried again for as long as a lock is waited for.
void OpenWaiting(const std::string& file, const std::function<void()>& open) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
    for (;;) {
        try {
            open();
            return;
        } catch (const EZezudError& e) {
            if (e.Error() != TErrorCode::SharingViolation) throw;
            if (std::chrono::steady_clock::now() >= deadline)
                throw ELocked(file + ": locked by another copy");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void OpenTable(TTzDbf& t, const std::string& file, bool exclusive, bool readOnly, bool ansi) {
    t.SetCreateIfNotFound(false);
    t.SetExclusive(exclusive);
    t.SetReadOnly(readOnly);
    t.SetTableLanguage(ansi ? TTableLanguage::tlAnsi : TTableLanguage::tlOem);
    t.SetDbfFileName(file);
    OpenWaiting(file, [&] { t.Open(); });
}

// The current record's lock, waited for as long as the append lock is.
void LockRecord(TTzDbf& t, const std::string& file, const char* word) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
    while (!t.RLock()) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw ELocked(file + ": record " + std::to_string(t.RecNo()) +
                          " locked by another copy [" + word + "]");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The stored text of a number for a field of `width` with `decimals`: the
// value right-justified with exactly that many decimals, or an empty text
// with `why` set when it is not a number or does not fit.
std::string StoredNumber(std::string_view text, int width, int decimals, std::string& why) {
    std::string_view s = TrimView(text, " \t");
    if (s.empty()) return std::string(size_t(width), ' ');
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    const size_t point = s.find('.');
    std::string_view whole = s.substr(0, point);
    std::string_view frac =
        point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    auto digits = [](std::string_view d) {
        return std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if ((whole.empty() && frac.empty()) || !digits(whole) || !digits(frac)) {
        why = "is not a number";
        return {};
    }
    while (!frac.empty() && frac.back() == '0' && frac.size() > size_t(decimals))
        frac.remove_suffix(1);
    if (frac.size() > size_t(decimals)) {
        why = "has more than " + std::to_string(decimals) + " decimals";
        return {};
    }
    while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
    std::string out(whole.empty() ? "0" : whole);
    if (decimals > 0)
        out += "." + std::string(frac) + std::string(size_t(decimals) - frac.size(), '0');
    if (negative && out.find_first_not_of("0.") != std::string::npos) out.insert(0, "-");
    if (out.size() > size_t(width)) {
        why = "does not fit in " + std::to_string(width) + " places with " +
              std::to_string(decimals) + " decimals";
        return {};
    }
    return std::string(size_t(width) - out.size(), ' ') + out;
}

void SetFields(TTzDbf& t, const std::vector<std::string>& assignments) {
    for (const std::string& a : assignments) {
        const size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) throw EUsage("not FIELD=VALUE: " + a);
        const std::string name = a.substr(0, eq);
        const std::string value = a.substr(eq + 1);
        const int i = t.FieldIndex(name);
        if (i < 0) throw EUsage("no field " + name + " in the table");
        const TFieldDef& f = t.FieldDef(i);
        switch (f.type) {
        case 'N':
        case 'F': {
            std::string why;
            const std::string stored = StoredNumber(value, f.width, f.decimals, why);
            if (stored.empty()) throw EUsage("field " + f.name + ": '" + value + "' " + why);
            t.SetFieldStored(i, stored);
            break;
        }
        case 'L':
            if (value.size() > 1 ||
                (value.size() == 1 &&
                 std::string_view("TtFfYyNn? ").find(value[0]) == std::string_view::npos))
                throw EUsage("field " + f.name + ": '" + value + "' is not T, F, Y, N, ? or empty");
            t.SetFieldStored(i, value);
            break;
        case 'M': {
            std::vector<std::string> lines;
            for (size_t at = 0; !value.empty() && at <= value.size();) {
                size_t nl = value.find('\n', at);
                if (nl == std::string::npos) nl = value.size();
                std::string line = value.substr(at, nl - at);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                lines.push_back(std::move(line));
                at = nl + 1;
            }
            t.SetMField(f.name, lines);
            break;
        }
        default: try { t.SetField(i, value);
            } catch (const EConvertError& e) {
                throw EUsage("field " + f.name + ": " + e.what());
            }
        }
    }
}

int Info(const std::string& file) {
    TDbfFile f;
    OpenWaiting(file, [&] { f.Open(AddDefaultExtension(file), false, true, false); });
    const uint8_t* h = f.Header();
    const bool v2 = f.Version() == 0x02;
    const int year = 1900 + (v2 ? h[5] : h[1]), month = v2 ? h[3] : h[2], day = v2 ? h[4] : h[3];
    std::printf("file %s\n", f.DisplayName().c_str());
    std::printf("version 0x%02X%s\n", f.Version(), f.HasMemo() ? " (memo fields)" : "");
    std::printf("date %04d-%02d-%02d\n", year, month, day);
    std::printf("header count %u\n", v2 ? Get16(h + 1) : Get32(h + 4));
    std::printf("count %u\n", f.RecordCount());
    std::printf("header length %d, record length %d\n", f.HeaderLength(), f.RecordLength());
    std::printf("fields %zu\n", f.Fields().size());
    for (const TFieldDef& d : f.Fields())
        std::printf("  %-11s %c %3d %2d\n", d.name.c_str(), d.type, d.width, d.decimals);
    return 0;
}

// A field's value as stored: text and dates decoded, numbers and logicals as
// their stored text, blanks empty.
std::string StoredValue(const TFieldDef& f, const char* p, TTableLanguage lang) {
    switch (f.type) {
    case 'C': {
        std::string text;
        DecodeText(lang, p, size_t(f.width), text);
        return RTrim(std::move(text));
    }
    case 'D': {
        const std::string_view s(p, size_t(f.width));
        if (f.width == 8 &&
            std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::string(s.substr(0, 4)) + "." + std::string(s.substr(4, 2)) + "." +
                   std::string(s.substr(6, 2));
        return Trim(s);
    }
    default: return Trim(std::string_view(p, size_t(f.width)));
    }
}

// The record numbers in the order of the production index's tag `tag`, walked
// as the address book and Mass Print walk it: never more steps than the table
// has records, so an order that leads round is an error, not an endless walk.
std::vector<uint32_t> TagOrder(const std::string& file, const std::string& tag, bool ansi) {
    TTzDbf t;
    t.SetCreateIndex(TCreateIndex::ciNever);
    OpenTable(t, file, false, true, ansi);
    if (!t.Ordered())
        Fail(TErrorCode::IndexNotOpen, file +
                                           " has no usable production index: rebuild it with "
                                           "\"qmtable reindex " +
                                           file + "\" [dump --order]");
    t.SetOrderTag(tag);
    std::vector<uint32_t> order;
    for (; !t.Eof(); t.Next()) {
        if (order.size() >= t.RecCount())
            Fail(TErrorCode::CorruptedIndex,
                 "The order of tag " + tag + " in " + file + " leads round: more than " +
                     std::to_string(t.RecCount()) + " steps [dump --order]");
        order.push_back(t.RecNo());
    }
    return order;
}

int Dump(const std::string& file, bool ansi, bool salvage, const std::string& orderTag) {
    const TTableLanguage lang = ansi ? TTableLanguage::tlAnsi : TTableLanguage::tlOem;
    // The table alone, in record order: no index is opened, so a damaged one
    // stands in the way of nothing.
    TDbfFile f;
    OpenWaiting(file, [&] { f.Open(AddDefaultExtension(file), false, true, false); });
    TMemoFile memo;
    std::string memoFault;
    if (f.HasMemo()) {
        try {
            memo.Open(f.Path(), f.Version(), true, true);
        } catch (const EZezudError& e) {
            if (!salvage) throw;
            memoFault = e.what();
        }
    }
    std::string line = "DELETED";
    for (const TFieldDef& d : f.Fields()) line += "," + CsvField(d.name);
    std::printf("%s\n", line.c_str());
    std::vector<uint32_t> order;
    if (!orderTag.empty()) order = TagOrder(file, orderTag, ansi);
    const uint32_t count = f.RefreshCountFromSize();
    if (orderTag.empty()) {
        order.resize(count);
        for (uint32_t n = 1; n <= count; ++n) order[n - 1] = n;
    }
    std::vector<char> raw(size_t(f.RecordLength()));
    size_t unreadable = 0;
    for (const uint32_t n : order) {
        if (n < 1 || n > count)
            Fail(TErrorCode::CorruptedIndex, "The order of tag " + orderTag + " in " + file +
                                                 " names record " + std::to_string(n) +
                                                 ", past the table's " + std::to_string(count) +
                                                 " [dump --order]");
        f.ReadRecordAhead(n, raw.data());
        line = raw[0] == '*' ? "*" : "";
        for (const TFieldDef& d : f.Fields()) {
            std::string value;
            if (d.type == 'M' && f.HasMemo()) {
                const std::string ref =
                    Trim(std::string_view(raw.data() + d.offset, size_t(d.width)));
                char* end = nullptr;
                const long long block = ref.empty() ? 0 : std::strtoll(ref.c_str(), &end, 10);
                try {
                    if (!ref.empty() &&
                        (*end != '\0' || block < INT32_MIN + 1LL || block > INT32_MAX))
                        Fail(TErrorCode::InvalidMemoAddress, "\"" + ref +
                                                                 "\" is no memo block. Record # " +
                                                                 std::to_string(n) + " [GetMemo]");
                    if (block != 0 && !memo.IsOpen())
                        Fail(TErrorCode::InvalidMemoOperation, memoFault);
                    if (block != 0) {
                        if (const std::string fault = memo.CheckReference(int32_t(block));
                            !fault.empty())
                            Fail(TErrorCode::InvalidMemoAddress, memo.Path() + " Record # " +
                                                                     std::to_string(n) + ": " +
                                                                     fault + " [GetMemo]");
                        // The text as stored, line ends and all.
                        const std::string text = memo.Read(int32_t(block), n);
                        DecodeText(lang, text.data(), text.size(), value);
                    }
                } catch (const EZezudError& e) {
                    if (!salvage) throw;
                    ++unreadable;
                    std::fprintf(stderr, "record %u, field %s: %s\n", n, d.name.c_str(), e.what());
                    value = "<unreadable memo>";
                }
            } else {
                value = StoredValue(d, raw.data() + d.offset, lang);
            }
            line += "," + CsvField(value);
        }
        std::printf("%s\n", line.c_str());
    }
    f.Close();
    if (unreadable > 0) {
        std::fprintf(stderr, "%s: %zu memo(s) unreadable\n", file.c_str(), unreadable);
        return kExitFindings;
    }
    return 0;
}

int Check(const std::string& file) {
    const TCheckReport report = CheckTable(file);
    for (const std::string& n : report.notes)
        std::printf("%s: note: %s\n", file.c_str(), n.c_str());
    for (const std::string& f : report.findings) std::printf("%s: %s\n", file.c_str(), f.c_str());
    if (report.total > report.findings.size())
        std::printf("%s: ... and %zu more\n", file.c_str(), report.total - report.findings.size());
    if (report.Clean()) std::printf("%s: no inconsistency\n", file.c_str());
    return report.Clean() ? 0 : kExitFindings;
}

int Append(const std::string& file, const std::vector<std::string>& assignments, bool ansi) {
    TTzDbf t("qmtable");
    OpenTable(t, file, false, false, ansi);
    t.ClearRecord();
    SetFields(t, assignments);
    {
        TTableLock lock(t, TTableLock::Append);
        if (!lock.Held()) throw ELocked(file + ": locked by another copy [Insert]");
        t.AppendRec();
    }
    std::printf("%u\n", t.RecNo());
    t.Close();
    return 0;
}

uint32_t RecordNumber(const std::string& recNo) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(recNo.c_str(), &end, 10);
    if (recNo.empty() || *end != '\0' || n == 0 || n > UINT32_MAX)
        throw EUsage("not a record number: " + recNo);
    return uint32_t(n);
}

int Set(const std::string& file, const std::string& recNo,
        const std::vector<std::string>& assignments, bool ansi) {
    const uint32_t n = RecordNumber(recNo);
    TTzDbf t("qmtable");
    OpenTable(t, file, false, false, ansi);
    if (n > t.RecCount()) throw EUsage("no record " + recNo + " in the table");
    t.SetRecNo(n);
    LockRecord(t, file, "Post");
    t.Edit();
    SetFields(t, assignments);
    t.Post();
    t.Close();
    return 0;
}

int Mark(const std::string& file, const std::string& recNo, bool deleted, bool ansi) {
    const uint32_t n = RecordNumber(recNo);
    TTzDbf t("qmtable");
    OpenTable(t, file, false, false, ansi);
    if (n > t.RecCount()) throw EUsage("no record " + recNo + " in the table");
    t.SetRecNo(n);
    LockRecord(t, file, deleted ? "DeleteRec" : "RecallRec");
    {
        TTableLock held(t, TTableLock::Record); // the lock LockRecord took, released at the end
        if (deleted)
            t.DeleteRec();
        else
            t.RecallRec();
    }
    t.Close();
    return 0;
}

int Pack(const std::string& file, bool ansi) {
    TTzDbf t("qmtable");
    OpenTable(t, file, true, false, ansi);
    const uint32_t before = t.RecCount();
    t.Pack();
    std::printf("%u of %u records kept\n", t.RecCount(), before);
    t.Close();
    return 0;
}

int Reindex(const std::string& file) {
    TDbfFile f;
    OpenWaiting(file, [&] { f.Open(AddDefaultExtension(file), true, false, false); });
    const std::string index = ProductionIndexName(f);
    // Built from the records, whatever is left of the old file.
    const std::vector<TTagSpec> tags = RecoverTagSpecs(index, f);
    if (tags.empty())
        Fail(TErrorCode::CorruptedIndex,
             "No tag definitions of " + index + " are left to rebuild it from [Reindex]");
    TIndexOrder::Build(f, index, tags);
    f.SetProductionIndexFlag(true);
    f.Close();
    std::printf("%s rebuilt, %zu tag(s)\n", index.c_str(), tags.size());
    return 0;
}

// What a command needs after its name, for the usage error.
const char* Needs(const std::string& cmd) {
    if (cmd == "info" || cmd == "check" || cmd == "pack" || cmd == "reindex") return "FILE";
    if (cmd == "dump") return "[--salvage] [--order TAG] FILE";
    if (cmd == "append") return "FILE FIELD=VALUE...";
    if (cmd == "set") return "FILE RECNO FIELD=VALUE...";
    if (cmd == "delete" || cmd == "recall") return "FILE RECNO";
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool ansi = false;
    if (!args.empty() && args[0] == "--ansi") {
        ansi = true;
        args.erase(args.begin());
    }
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string cmd = args[0];
    if (cmd == "help" || cmd == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    bool salvage = false;
    std::string orderTag;
    while (cmd == "dump" && args.size() > 1 && (args[1] == "--salvage" || args[1] == "--order")) {
        if (args[1] == "--salvage") {
            salvage = true;
            args.erase(args.begin() + 1);
            continue;
        }
        if (args.size() < 3 || args[2].empty()) {
            std::fprintf(stderr, "qmtable: usage: qmtable dump %s\n", Needs(cmd));
            return kExitUsage;
        }
        orderTag = args[2];
        args.erase(args.begin() + 1, args.begin() + 3);
    }
    const char* needs = Needs(cmd);
    if (!needs) {
        std::fprintf(stderr, "qmtable: unknown command %s (qmtable help lists them)\n",
                     cmd.c_str());
        return kExitUsage;
    }
    const size_t fixed = (cmd == "set" || cmd == "delete" || cmd == "recall") ? 1 : 0;
    const bool takesMore = cmd == "append" || cmd == "set";
    const size_t rest = args.size() - std::min<size_t>(args.size(), 2);
    if (args.size() < 2 || rest < fixed + (takesMore ? 1 : 0) || (!takesMore && rest > fixed)) {
        std::fprintf(stderr, "qmtable: usage: qmtable %s %s\n", cmd.c_str(), needs);
        return kExitUsage;
    }
    SetErrorMode(TErrorMode::Exception);
    SetSystemShortDateFormat("yyyy-MM-dd");
    SetMessageHook([](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    const std::string& file = args[1];
    const std::vector<std::string> more(args.begin() + 2, args.end());
    try {
        if (cmd == "info") return Info(file);
        if (cmd == "dump") return Dump(file, ansi, salvage, orderTag);
        if (cmd == "check") return Check(file);
        if (cmd == "append") return Append(file, more, ansi);
        if (cmd == "set")
            return Set(file, more[0], std::vector<std::string>(more.begin() + 1, more.end()), ansi);
        if (cmd == "delete" || cmd == "recall") return Mark(file, more[0], cmd == "delete", ansi);
        if (cmd == "reindex") return Reindex(file);
        return Pack(file, ansi);
    } catch (const ELocked& e) {
        std::fprintf(stderr, "qmtable: %s\n", e.what());
        return kExitLock;
    } catch (const EZezudError& e) {
        if (e.Error() == TErrorCode::SharingViolation) {
            std::fprintf(stderr, "qmtable: %s: locked by another copy\n", file.c_str());
            return kExitLock;
        }
        std::fprintf(stderr, "%s\n", e.what());
        return kExitEngine;
    } catch (const EUsage& e) {
        std::fprintf(stderr, "qmtable: %s\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        // EConvertError, EDatabaseError: a value the field cannot take
        std::fprintf(stderr, "qmtable: %s\n", e.what());
        return kExitUsage;
    }
}
