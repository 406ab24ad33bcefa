// Opens arbitrary bytes as the memo file of a small table and reads every
// memo of it (as lines and as bytes), writes a memo, packs, and checks the
// table. The first byte picks the memo layout (0x83, 0x8B or 0xF5), the rest
// is the memo file. Every rejection must be a coded engine error; nothing may
// crash, hang or leak.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "table_check.h"
#include "tzdbf.h"

using namespace qm::table;
using namespace qm::fuzz;

namespace {

constexpr uint8_t kVersions[] = {0x83, 0x8B, 0xF5};

// References into the memo file: every small block, blank, 0, -1, one far
// beyond any file, a deleted record and a reference that is no number.
std::vector<std::string> Records() {
    std::vector<std::string> refs;
    for (int b = 1; b <= 12; ++b) refs.push_back(std::to_string(b));
    for (const char* r : {"", "0", "-1", "99999", "2147483647", "x1"}) refs.push_back(r);
    std::vector<std::string> records;
    for (size_t i = 0; i < refs.size(); ++i)
        records.push_back(std::string(i == 3 ? "*" : " ") + Cell("Name " + std::to_string(i), 10) +
                          Cell(refs[i], 10, true));
    return records;
}

void Guard(void (*step)(TTzDbf&), TTzDbf& t) {
    try {
        step(t);
    } catch (const EZezudError& e) {
        CheckCoded(e);
    }
}

void ReadAll(TTzDbf& t) {
    std::vector<std::string> lines;
    for (t.First(); !t.Eof(); t.Next()) {
        try {
            t.GetMField("NOTE", lines);
            (void)t.GetMemoBytes("NOTE");
        } catch (const EZezudError& e) {
            CheckCoded(e);
        }
    }
}

void Rewrite(TTzDbf& t) {
    t.First();
    t.SetMemoBytes("NOTE", "A new memo\r\nof two lines");
    t.Post();
    t.ClearRecord();
    t.SetMField("NOTE", {"appended"});
    t.AppendRec();
}

void Pack(TTzDbf& t) {
    t.Pack();
    ReadAll(t);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const std::vector<std::string> records = Records();
    const std::string folder = ScratchFolder("memo");
    EmptyFolder(folder);
    const uint8_t version = kVersions[data[0] % 3];
    const std::string table = folder + "m.dbf";
    WriteFile(table, DbfBytes(version, {{"NAME", 'C', 10, 0}, {"NOTE", 'M', 10, 0}}, records));
    WriteFile(folder + (version == 0xF5 ? "m.fpt" : "m.dbt"), data + 1, size - 1);

    for (bool exclusive : {false, true}) {
        TTzDbf t;
        t.SetCreateIfNotFound(false);
        t.SetExclusive(exclusive);
        t.SetHideDeletedRecs(exclusive);
        t.SetDbfFileName(table);
        try {
            t.Open();
            Guard(ReadAll, t);
            if (exclusive) {
                Guard(Rewrite, t);
                Guard(Pack, t);
            }
            t.Close();
        } catch (const EZezudError& e) {
            CheckCoded(e);
        }
    }
    CheckTableCoded(table);
    return 0;
}
