// Opens a table beside a pack-swap marker of arbitrary bytes. The folder holds
// the table and its memo file, a packed pair under the pack's temporary names
// and two files of nobody's table. The open finishes or refuses the swap the
// marker names; every rejection must be a coded engine error, and nothing may
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

std::string Table(int records) {
    std::vector<std::string> rows;
    for (int i = 0; i < records; ++i)
        rows.push_back(" " + Cell("Name " + std::to_string(i), 10) +
                       Cell(std::to_string(i + 1), 10, true));
    return DbfBytes(0x8B, {{"NAME", 'C', 10, 0}, {"NOTE", 'M', 10, 0}}, rows);
}

// A memo file of the block-header layout with `count` memos "memo N", one a block.
std::string Memo(int count) {
    std::string m(512, '\0');
    const uint32_t next = uint32_t(count + 1);
    for (int i = 0; i < 4; ++i) m[size_t(i)] = char(next >> (8 * i));
    m[16] = 0x03;
    m[20] = 0x00;
    m[21] = 0x02;
    for (int i = 0; i < count; ++i) {
        std::string block(512, '\0');
        const std::string text = "memo " + std::to_string(i);
        block[0] = char(0xFF);
        block[1] = char(0xFF);
        block[2] = 0x08;
        const uint32_t len = uint32_t(8 + text.size());
        for (int k = 0; k < 4; ++k) block[size_t(4 + k)] = char(len >> (8 * k));
        block.replace(8, text.size(), text);
        m += block;
    }
    return m;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string table = Table(3), memo = Memo(3), packed = Table(2),
                             packedMemo = Memo(2);
    const std::string folder = ScratchFolder("marker");
    EmptyFolder(folder);
    WriteFile(folder + "t.dbf", table);
    WriteFile(folder + "t.dbt", memo);
    WriteFile(folder + "t.dbf.pack77", packed);
    WriteFile(folder + "t.dbt.pack77", packedMemo);
    WriteFile(folder + "keep.txt", "keep");
    WriteFile(folder + "junk.txt", "junk");
    WriteFile(folder + "t.dbf.packswap", data, size);

    for (bool exclusive : {true, false}) {
        TTzDbf t;
        t.SetCreateIfNotFound(false);
        t.SetExclusive(exclusive);
        t.SetDbfFileName(folder + "t.dbf");
        try {
            t.Open();
            std::vector<std::string> lines;
            for (t.First(); !t.Eof(); t.Next()) t.GetMField("NOTE", lines);
            t.Close();
        } catch (const EZezudError& e) {
            CheckCoded(e);
        }
    }
    try {
        (void)CheckTable(folder + "t.dbf");
    } catch (const EZezudError& e) {
        CheckCoded(e);
    }
    return 0;
}
