// qmtable: look into and change dBase tables from the command line, through
// the same engine, locks and error texts as the program.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "dbf_file.h"
#include "engine_date.h"
#include "engine_error.h"
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
    "  dump FILE                      CSV on standard output: a header row, then every\n"
    "                                 record with its DELETED column (\"*\" or empty);\n"
    "                                 memo fields show their text, lines ended by CR LF\n"
    "  check FILE                     report every inconsistency; exit 1 if there is one\n"
    "  append FILE FIELD=VALUE...     append one record (shared, under the append lock)\n"
    "  set FILE RECNO FIELD=VALUE...  change fields of one record (under its record lock)\n"
    "  pack FILE                      remove the records marked deleted and compact the\n"
    "                                 memo file (needs the table to itself)\n"
    "Text is read and written as UTF-8; the table holds it in the OEM code page\n"
    "(437), or in Windows-1252 with --ansi. Dates show as YYYY.MM.DD and are read\n"
    "as YYYY-MM-DD or YYYY.MM.DD.\n";

class EUsage : public std::runtime_error {
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

void OpenTable(TTzDbf& t, const std::string& file, bool exclusive, bool readOnly, bool ansi) {
    t.SetCreateIfNotFound(false);
    t.SetExclusive(exclusive);
    t.SetReadOnly(readOnly);
    t.SetTableLanguage(ansi ? TTableLanguage::tlAnsi : TTableLanguage::tlOem);
    t.SetDbfFileName(file);
    t.Open();
}

void SetFields(TTzDbf& t, const std::vector<std::string>& assignments) {
    for (const std::string& a : assignments) {
        const size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) throw EUsage("not FIELD=VALUE: " + a);
        const std::string name = a.substr(0, eq);
        const int i = t.FieldIndex(name);
        if (i < 0) throw EUsage("no field " + name + " in the table");
        t.SetField(i, a.substr(eq + 1));
    }
}

int Info(const std::string& file) {
    TDbfFile f;
    f.Open(AddDefaultExtension(file), false, true, false);
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

int Dump(const std::string& file, bool ansi) {
    TTzDbf t("qmtable");
    OpenTable(t, file, false, true, ansi);
    std::string line = "DELETED";
    for (int i = 0; i < t.FieldCount(); ++i) line += "," + CsvField(t.FieldDef(i).name);
    std::printf("%s\n", line.c_str());
    const uint32_t count = t.RecCount();
    std::vector<std::string> values;
    for (uint32_t n = 1; n <= count; ++n) {
        bool deleted = false;
        t.PeekRecord(n, values, deleted);
        bool moved = false;
        for (int i = 0; i < t.FieldCount() && size_t(i) < values.size(); ++i) {
            if (t.FieldDef(i).type != 'M' || !t.HasMemoFile()) continue;
            if (!moved) t.SetRecNo(n);
            moved = true;
            std::vector<std::string> lines;
            t.GetMField(t.FieldDef(i).name, lines);
            values[size_t(i)].clear();
            for (size_t k = 0; k < lines.size(); ++k)
                values[size_t(i)] += (k ? "\r\n" : "") + lines[k];
        }
        line = deleted ? "*" : "";
        for (const std::string& v : values) line += "," + CsvField(v);
        std::printf("%s\n", line.c_str());
    }
    t.Close();
    return 0;
}

int Check(const std::string& file) {
    const TCheckReport report = CheckTable(file);
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
    if (!t.ALock()) {
        std::fprintf(stderr, "Lock failed [Insert]\n");
        return kExitLock;
    }
    t.AppendRec();
    t.UnLock();
    std::printf("%u\n", t.RecNo());
    t.Close();
    return 0;
}

int Set(const std::string& file, const std::string& recNo,
        const std::vector<std::string>& assignments, bool ansi) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(recNo.c_str(), &end, 10);
    if (recNo.empty() || *end != '\0' || n == 0) throw EUsage("not a record number: " + recNo);
    TTzDbf t("qmtable");
    OpenTable(t, file, false, false, ansi);
    if (n > t.RecCount()) throw EUsage("no record " + recNo + " in the table");
    t.SetRecNo(uint32_t(n));
    if (!t.RLock()) {
        std::fprintf(stderr, "Lock failed [Post]\n");
        return kExitLock;
    }
    t.Edit();
    SetFields(t, assignments);
    t.Post();
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

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool ansi = false;
    if (!args.empty() && args[0] == "--ansi") {
        ansi = true;
        args.erase(args.begin());
    }
    if (args.size() < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    SetErrorMode(TErrorMode::Exception);
    SetSystemShortDateFormat("yyyy-MM-dd");
    SetMessageHook([](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    const std::string& cmd = args[0];
    const std::string& file = args[1];
    const std::vector<std::string> rest(args.begin() + 2, args.end());
    try {
        if (cmd == "info" && rest.empty()) return Info(file);
        if (cmd == "dump" && rest.empty()) return Dump(file, ansi);
        if (cmd == "check" && rest.empty()) return Check(file);
        if (cmd == "append" && !rest.empty()) return Append(file, rest, ansi);
        if (cmd == "set" && rest.size() >= 2)
            return Set(file, rest[0], std::vector<std::string>(rest.begin() + 1, rest.end()), ansi);
        if (cmd == "pack" && rest.empty()) return Pack(file, ansi);
        std::fputs(kUsage, stderr);
        return kExitUsage;
    } catch (const EZezudError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return kExitEngine;
    } catch (const EUsage& e) {
        std::fprintf(stderr, "qmtable: %s\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        // EConvertError, EDatabaseError: a value the field cannot take
        std::fprintf(stderr, "qmtable: %s\n", e.what());
        return kExitEngine;
    }
}
