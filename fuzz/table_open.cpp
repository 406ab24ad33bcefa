// Opens arbitrary bytes as a table and reads every record and field.
// Every rejection must be a coded engine error; nothing may crash, hang or leak.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "table_check.h"
#include "tzdbf.h"

using namespace qm::table;
using namespace qm::fuzz;

namespace {

std::string TempPath() {
    static std::string path = "/dev/shm/qm_fuzz_table_" + std::to_string(getpid()) + ".dbf";
    return path;
}

void ReadTable(bool exclusive, bool autoFix, bool hideDeleted) {
    TTzDbf t;
    t.SetCreateIfNotFound(false);
    t.SetExclusive(exclusive);
    t.SetAutoFixRecCount(autoFix);
    t.SetHideDeletedRecs(hideDeleted);
    t.SetTableLanguage(hideDeleted ? TTableLanguage::tlAnsi : TTableLanguage::tlOem);
    t.SetDbfFileName(TempPath());
    bool opened = false;
    try {
        t.Open();
        opened = true;
        const uint32_t count = t.RecCount();
        int seen = 0;
        for (t.First(); !t.Eof() && seen < 512; t.Next(), ++seen) {
            for (int i = 0; i < t.FieldCount(); ++i) {
                std::string a = t.GetField(i);
                std::string b = t.FieldDisplay(i);
                (void)a;
                (void)b;
            }
        }
        if (count > 0) {
            std::vector<std::string> values;
            bool deleted = false;
            t.PeekRecord(count, values, deleted);
        }
        t.Close();
    } catch (const EZezudError& e) {
        CheckCoded(e);
        if (!opened && t.Active()) {
            std::fprintf(stderr, "a failed open left the table open\n");
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(TempPath().c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    ReadTable(false, false, false);
    ReadTable(true, true, true);
    CheckTableCoded(TempPath());
    return 0;
}
