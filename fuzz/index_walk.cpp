// Opens arbitrary bytes as the production index of a small table and walks
// its first tag both ways, finds keys, and appends and rewrites records (which
// inserts and removes keys), then checks the table. Every rejection must be a
// coded engine error; nothing may crash, hang or leak. A damaged index may
// hand out records in any order, so every walk is cut off after a few rounds
// of the table.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "table_check.h"
#include "tzdbf.h"

using namespace qm::table;
using namespace qm::fuzz;

namespace {

constexpr int kRecords = 150;
constexpr int kMaxSteps = 3 * (kRecords + 2);

const std::vector<TField> kFields = {
    {"NAME", 'C', 10, 0}, {"DAY", 'D', 8, 0}, {"AMT", 'N', 8, 2}, {"CODE", 'C', 27, 0}};

std::vector<std::string> Records() {
    std::vector<std::string> records;
    for (int i = 0; i < kRecords; ++i) {
        char day[9];
        std::snprintf(day, sizeof day, "%04d%02d%02d", 2000 + i % 9, 1 + i % 12, 1 + i % 28);
        char amt[16];
        std::snprintf(amt, sizeof amt, "%.2f", (i * 37 % 1000) / 7.0 - 50);
        records.push_back(std::string(i % 17 == 5 ? "*" : " ") +
                          Cell("N" + std::to_string(i * 7919 % kRecords), 10) +
                          (i % 23 == 0 ? std::string(8, ' ') : std::string(day)) +
                          Cell(amt, 8, true) +
                          Cell("9214 7901 " + std::to_string(100000 + i * 31 % 977), 27));
    }
    return records;
}

void Walk(TTzDbf& t) {
    int steps = 0;
    for (t.First(); !t.Eof() && steps < kMaxSteps; t.Next(), ++steps) (void)t.GetField(0);
    steps = 0;
    for (t.Last(); !t.Bof() && steps < kMaxSteps; t.Prior(), ++steps) (void)t.GetField(2);
}

void Find(TTzDbf& t) {
    for (const char* text : {"N1", "N99", "", "zzz", "3/5/2008", "12.5", "-50"}) {
        try {
            (void)t.Find(text);
            (void)t.FindExact(text);
            if (!t.Eof()) t.Next();
        } catch (const EZezudError& e) {
            CheckCoded(e);
        }
    }
}

void Change(TTzDbf& t) {
    t.ClearRecord();
    t.SetField("NAME", "N42");
    t.SetField("DAY", "3/5/2008");
    t.SetField("AMT", "12.5");
    t.AppendRec();
    t.SetRecNo(7);
    t.Edit();
    t.SetField("NAME", "A changed");
    t.SetField("AMT", "-3");
    t.Post();
    Walk(t);
}

void Guard(void (*step)(TTzDbf&), TTzDbf& t) {
    try {
        step(t);
    } catch (const EZezudError& e) {
        CheckCoded(e);
    }
}

// QM_FUZZ_WRITE_SEEDS=FOLDER: writes index files of the table, built by the
// engine, into FOLDER and ends.
void WriteSeeds(const std::string& to) {
    const std::string folder = ScratchFolder("index");
    const struct {
        const char* name;
        std::vector<TTagSpec> tags;
    } sets[] = {
        {"name", {{"NAMES", "NAME", "", false, false}}},
        {"day", {{"DAYS", "DAY", "", false, false}}},
        {"amount", {{"AMOUNTS", "AMT", "", false, false}}},
        {"code", {{"CODES", "CODE", "", false, false}}},
        {"name_descending", {{"NAMES", "NAME", "", true, false}}},
        {"day_unique", {{"DAYS", "DAY", "", false, true}}},
        {"four_tags",
         {{"NAMES", "NAME", "", false, false},
          {"DAYS", "DAY", "", true, false},
          {"AMOUNTS", "AMT", "", false, true},
          {"CODES", "CODE", "", false, false}}},
    };
    for (const auto& s : sets) {
        EmptyFolder(folder);
        WriteFile(folder + "x.dbf", DbfBytes(0x03, kFields, Records()));
        TTzDbf t;
        t.SetCreateIfNotFound(false);
        t.SetExclusive(true);
        t.SetDbfFileName(folder + "x.dbf");
        t.Open();
        if (!t.MakeIndex(s.tags, folder + "x.MDX")) std::exit(1);
        t.Close();
        std::filesystem::copy_file(folder + "x.MDX", to + "/" + s.name + ".mdx",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    std::exit(0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietEngine();
    SetSystemShortDateFormat("M/d/yyyy");
    if (const char* to = std::getenv("QM_FUZZ_WRITE_SEEDS")) WriteSeeds(to);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string tableBytes = DbfBytes(0x03, kFields, Records(), 1);
    const std::string folder = ScratchFolder("index");
    EmptyFolder(folder);
    const std::string table = folder + "x.dbf";
    WriteFile(table, tableBytes);
    WriteFile(folder + "x.MDX", data, size);

    for (bool exclusive : {false, true}) {
        TTzDbf t;
        t.SetCreateIfNotFound(false);
        t.SetCreateIndex(TCreateIndex::ciNever);
        t.SetExclusive(exclusive);
        t.SetHideDeletedRecs(!exclusive);
        t.SetDbfFileName(table);
        try {
            t.Open();
            Guard(Walk, t);
            Guard(Find, t);
            if (exclusive) Guard(Change, t);
            t.Close();
        } catch (const EZezudError& e) {
            CheckCoded(e);
        }
    }
    CheckTableCoded(table);
    return 0;
}
