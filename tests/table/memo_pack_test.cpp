// Pack of tables with memo fields: the memo file is compacted along, in every
// layout, and the table and memo file are swapped in as one pair, whatever
// fails on the way.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "fault_fs.h"
#include "memo_file.h"
#include "pack_swap.h"
#include "table_check.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::FaultyFileSystem;
using testing::Le32;
using testing::ReadBytes;
using testing::WriteBytes;
using Lines = std::vector<std::string>;

// The memo of record n: replaced ones (every third) have a second version;
// every fifth spans several blocks.
Lines MemoOf(int n, bool replaced) {
    Lines l{"Name " + std::to_string(n), "Street " + std::to_string(n) + (replaced ? " new" : "")};
    if (n % 5 == 0)
        for (int i = 0; i < 4; ++i) l.push_back(std::string(200, char('a' + (n + i) % 26)));
    return l;
}

uint64_t FileSize(const std::string& path) {
    return std::filesystem::file_size(path);
}

std::string RunPerl(const std::string& mode, const std::string& file) {
    const std::string cmd = "perl '" QM_XBASE_SCRIPT "' " + mode + " '" + file + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return "popen failed";
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (pclose(p) != 0) out += "\nfailed";
    return out;
}

class MemoPackTest : public testing::TableTest {
protected:
    static constexpr int kRecords = 40;

    // A table of the memo kind with kRecords records: every third memo replaced
    // once (the old text stays in the file), every fourth record marked deleted.
    void Make(const std::string& path, uint8_t kind, uint32_t blockSize) {
        {
            TTzDbf t("Make");
            t.SetDbfFileName(path);
            t.SetDbfFields({"Address,M,10,0", "City,C,20,0"});
            t.Open();
            t.Close();
        }
        auto b = ReadBytes(path);
        b[0] = kind;
        WriteBytes(path, b);
        std::filesystem::remove(MemoFileName(path, 0x8B));
        CreateMemofile(MemoFileName(path, kind), kind, blockSize, "book", "test");
        TTzDbf t("Make");
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.SetExclusive(true);
        t.Open();
        for (int n = 1; n <= kRecords; ++n) {
            t.ClearRecord();
            t.SetMField("Address", MemoOf(n, false));
            t.SetField("City", std::to_string(n));
            t.AppendRec();
        }
        for (int n = 3; n <= kRecords; n += 3) {
            t.SetRecNo(uint32_t(n));
            t.SetMField("Address", MemoOf(n, true));
            t.Post();
        }
        for (int n = 4; n <= kRecords; n += 4) {
            t.SetRecNo(uint32_t(n));
            t.DeleteRec();
        }
        t.Close();
    }

    // Opens the table afresh and checks every record and its memo: either all
    // kRecords (the old table) or the survivors (the packed one). Returns which.
    std::string Verify(const std::string& path) {
        TTzDbf t("Verify");
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.Open();
        const uint32_t count = t.RecCount();
        const bool packed = count == uint32_t(kRecords - kRecords / 4);
        EXPECT_TRUE(packed || count == uint32_t(kRecords)) << count;
        int expect = 0;
        Lines lines;
        for (uint32_t r = 1; r <= count; ++r) {
            t.SetRecNo(r);
            ++expect;
            if (packed && expect % 4 == 0) ++expect;
            EXPECT_EQ(t.GetField("City"), std::to_string(expect) +
                                              std::string(20 - std::to_string(expect).size(), ' '));
            EXPECT_EQ(t.Deleted(), expect % 4 == 0) << r;
            t.GetMField("Address", lines);
            EXPECT_EQ(lines, MemoOf(expect, expect % 3 == 0)) << "record " << r;
        }
        t.Close();
        const TCheckReport report = CheckTable(path);
        for (const std::string& f : report.findings) ADD_FAILURE() << f;
        return packed ? "packed" : "old";
    }

    // Nothing but tables and their memo files is left in the folder (no
    // temporary file, no marker).
    void ExpectNoLeftovers() {
        for (const auto& e : std::filesystem::directory_iterator(dir_)) {
            const std::string ext = e.path().extension().string();
            EXPECT_TRUE(ext == ".dbf" || ext == ".DBT" || ext == ".FPT")
                << "left behind: " << e.path();
        }
    }
};

struct TLayout {
    uint8_t kind;
    uint32_t blockSize;
};

TEST_F(MemoPackTest, PackCompactsTheMemoFileInEveryLayout) {
    for (TLayout l : {TLayout{0x83, 512}, TLayout{0x8B, 512}, TLayout{0x8B, 64}, TLayout{0xF5, 64},
                      TLayout{0xF5, 512}}) {
        SCOPED_TRACE(std::to_string(l.kind) + "/" + std::to_string(l.blockSize));
        const std::string path =
            Path("p" + std::to_string(l.kind) + "_" + std::to_string(l.blockSize) + ".dbf");
        const std::string memo = MemoFileName(path, l.kind);
        Make(path, l.kind, l.blockSize);
        const uint64_t before = FileSize(memo);
        {
            TTzDbf t("Pack");
            t.SetDbfFileName(path);
            t.SetCreateIfNotFound(false);
            t.Open(); // shared: the pack reopens it exclusively
            t.Pack();
            EXPECT_EQ(t.RecCount(), uint32_t(kRecords - kRecords / 4));
            // The open table reads from the new memo file and writes to it.
            t.SetRecNo(1);
            Lines lines;
            t.GetMField("Address", lines);
            EXPECT_EQ(lines, MemoOf(1, false));
            t.Close();
        }
        EXPECT_EQ(Verify(path), "packed");
        ExpectNoLeftovers();

        // The copy holds the live memos only: header block, then each memo
        // from a block boundary; the next free block follows the end.
        const auto bytes = ReadBytes(memo);
        uint64_t live = 0;
        for (int n = 1; n <= kRecords; ++n) {
            if (n % 4 == 0) continue;
            const uint64_t text = JoinMemoLines(MemoOf(n, n % 3 == 0)).size();
            const uint64_t stored = l.kind == 0x83 ? text + 2 : text + 8;
            live += (stored + l.blockSize - 1) / l.blockSize * l.blockSize;
        }
        const uint64_t first =
            l.kind == 0x8B ? l.blockSize : (512 + l.blockSize - 1) / l.blockSize * l.blockSize;
        EXPECT_LE(bytes.size(), first + live);
        EXPECT_GT(bytes.size(), first + live - l.blockSize);
        EXPECT_LT(bytes.size(), before * 3 / 4);
        const uint32_t next =
            l.kind == 0xF5 ? uint32_t(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3]
                           : Le32(bytes, 0);
        EXPECT_EQ(next, (bytes.size() + l.blockSize - 1) / l.blockSize);
        // The header beyond the next free block is the old one (base name, block size).
        if (l.kind == 0x8B) {
            EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "book");
        }

        // A pack with nothing to gain leaves the memo file as it is.
        {
            TTzDbf t("Again");
            t.SetDbfFileName(path);
            t.SetCreateIfNotFound(false);
            t.Open();
            t.Pack();
            t.Close();
        }
        EXPECT_EQ(ReadBytes(memo), bytes);

        // Another dBase reader reads the packed pair.
        const std::string dump = RunPerl("dump", path);
        EXPECT_NE(dump.find("0|Name 1\r\nStreet 1|1\n"), std::string::npos) << dump;
        EXPECT_NE(dump.find("0|Name 3\r\nStreet 3 new|3\n"), std::string::npos) << dump;
        EXPECT_EQ(dump.find("Name 4\r"), std::string::npos) << dump;
    }
}

// Replaced memos alone (nothing deleted) are reason enough for a pack of the
// memo file; two records sharing one memo keep sharing one copy of it.
TEST_F(MemoPackTest, ReplacedMemosGoAndSharedOnesStayShared) {
    const std::string path = Path("shared.dbf");
    {
        TTzDbf t("Make");
        t.SetDbfFileName(path);
        t.SetDbfFields({"Address,M,10,0", "Note,M,10,0", "City,C,20,0"});
        t.SetExclusive(true);
        t.Open();
        for (int n = 1; n <= 6; ++n) {
            t.ClearRecord();
            t.SetMField("Address", {"old " + std::to_string(n)});
            t.SetField("City", std::to_string(n));
            t.AppendRec();
            t.SetMField("Address", {"new " + std::to_string(n)});
            t.SetMField("Note", {"note " + std::to_string(n)});
            t.Post();
        }
        t.Close();
    }
    // Record 6 refers to the memos of record 2, as another program may write it.
    auto b = ReadBytes(path);
    const size_t header = testing::Le16(b, 8), length = testing::Le16(b, 10);
    std::copy_n(b.begin() + long(header + length * 1 + 1), 20,
                b.begin() + long(header + length * 5 + 1));
    WriteBytes(path, b);
    const uint64_t before = FileSize(Path("shared.DBT"));
    {
        TTzDbf t("Pack");
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.Open();
        t.Pack();
        t.Close();
    }
    // Ten memos after the header block, the last one unpadded.
    EXPECT_EQ(FileSize(Path("shared.DBT")), 512u * 10 + 8 + 6);
    EXPECT_LT(FileSize(Path("shared.DBT")), before);
    TTzDbf t("Read");
    t.SetDbfFileName(path);
    t.SetCreateIfNotFound(false);
    t.Open();
    Lines lines;
    for (int n = 1; n <= 6; ++n) {
        t.SetRecNo(uint32_t(n));
        const int from = n == 6 ? 2 : n;
        t.GetMField("Address", lines);
        EXPECT_EQ(lines, Lines{"new " + std::to_string(from)});
        t.GetMField("Note", lines);
        EXPECT_EQ(lines, Lines{"note " + std::to_string(from)});
    }
    t.SetRecNo(2);
    const std::string a2 = t.GetField("ADDRESS");
    t.SetRecNo(6);
    EXPECT_EQ(t.GetField("ADDRESS"), a2);
    t.Close();
}

// A reference that points nowhere is kept as it is: the records are packed,
// the memo file is left byte for byte, nothing is lost or invented.
TEST_F(MemoPackTest, BadReferenceLeavesTheMemoFileAlone) {
    leavesDamagedTables_ = true;
    const std::string path = Path("bad.dbf");
    Make(path, 0x8B, 512);
    auto b = ReadBytes(path);
    const size_t header = testing::Le16(b, 8), length = testing::Le16(b, 10);
    std::memcpy(&b[header + length * 1 + 1], "     99999", 10); // record 2
    WriteBytes(path, b);
    const auto memoBefore = ReadBytes(Path("bad.DBT"));
    TTzDbf t("Pack");
    t.SetDbfFileName(path);
    t.SetCreateIfNotFound(false);
    t.Open();
    t.Pack();
    EXPECT_EQ(t.RecCount(), uint32_t(kRecords - kRecords / 4));
    Lines lines;
    t.SetRecNo(3);
    t.GetMField("Address", lines);
    EXPECT_EQ(lines, MemoOf(3, true));
    t.SetRecNo(2);
    EXPECT_EQ(t.GetField("ADDRESS").size(), 0u);
    t.Close();
    EXPECT_EQ(ReadBytes(Path("bad.DBT")), memoBefore);
    const auto after = ReadBytes(path);
    EXPECT_EQ(std::string(after.begin() + long(header + length + 1),
                          after.begin() + long(header + length + 11)),
              "     99999");
}

// A block-header memo file of another program with a chain of free blocks:
// read as it is, appended to at the end without touching the chain, and
// packed into a file with every memo intact.
TEST_F(MemoPackTest, ForeignFreeChainIsReadAndNeverDamaged) {
    const std::string path = Path("foreign.dbf");
    {
        TTzDbf t("Make");
        t.SetDbfFileName(path);
        t.SetDbfFields({"Address,M,10,0", "City,C,20,0"});
        t.SetExclusive(true);
        t.Open();
        for (int n = 1; n <= 3; ++n) {
            t.ClearRecord();
            t.SetField("City", std::to_string(n));
            t.AppendRec();
        }
        t.Close();
    }
    // Blocks: 1 memo A, 2..3 free (chain from the header), 4 memo B, 5 free, 6 memo C.
    std::vector<uint8_t> m(512 * 7, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) m[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put32(0, 2); // first free chunk
    std::memcpy(&m[8], "FOREIGN", 7);
    m[18] = 2;
    m[19] = 1;
    m[20] = 0;
    m[21] = 2;
    auto memo = [&](uint32_t block, const std::string& text) {
        const size_t at = block * 512;
        m[at] = 0xFF;
        m[at + 1] = 0xFF;
        m[at + 2] = 0x08;
        put32(at + 4, uint32_t(text.size() + 8));
        std::memcpy(&m[at + 8], text.data(), text.size());
    };
    memo(1, "alpha\r\none");
    put32(2 * 512, 5); // free chunk: next chunk at 5, two blocks long
    put32(2 * 512 + 4, 2);
    memo(4, "beta");
    put32(5 * 512, 7); // last free chunk: next is the end of the file
    put32(5 * 512 + 4, 1);
    memo(6, "gamma");
    WriteBytes(Path("foreign.DBT"), m);
    auto b = ReadBytes(path);
    const size_t header = testing::Le16(b, 8), length = testing::Le16(b, 10);
    std::memcpy(&b[header + 1], "         1", 10);
    std::memcpy(&b[header + length + 1], "         4", 10);
    std::memcpy(&b[header + length * 2 + 1], "         6", 10);
    WriteBytes(path, b);

    TTzDbf t("Foreign");
    t.SetDbfFileName(path);
    t.SetCreateIfNotFound(false);
    t.SetExclusive(true);
    t.Open();
    auto readAll = [&] {
        std::vector<Lines> all;
        Lines lines;
        for (uint32_t n = 1; n <= t.RecCount(); ++n) {
            t.SetRecNo(n);
            t.GetMField("Address", lines);
            all.push_back(lines);
        }
        return all;
    };
    EXPECT_EQ(readAll(), (std::vector<Lines>{{"alpha", "one"}, {"beta"}, {"gamma"}}));
    t.SetRecNo(3);
    t.SetMField("Address", {"delta"});
    t.Post();
    const auto grown = ReadBytes(Path("foreign.DBT"));
    EXPECT_TRUE(std::equal(m.begin() + 4, m.end(), grown.begin() + 4)) << "a block was rewritten";
    t.SetRecNo(2);
    t.DeleteRec();
    t.Pack();
    EXPECT_EQ(readAll(), (std::vector<Lines>{{"alpha", "one"}, {"delta"}}));
    t.Close();
    const auto packed = ReadBytes(Path("foreign.DBT"));
    EXPECT_EQ(packed.size(), 512u * 2 + 8 + 5);
    EXPECT_EQ(Le32(packed, 0), 3u);
    EXPECT_EQ(std::string(packed.begin() + 8, packed.begin() + 15), "FOREIGN");
}

// The n-th file call of a memo pack fails, for n = 1, 2, ... (renames
// counted too), once or from then on; afterwards a fresh open finds the old
// pair or the new one, every memo readable, and nothing else left behind.
TEST_F(MemoPackTest, EveryFaultLeavesOneWholePair) {
    for (TLayout l : {TLayout{0x8B, 512}, TLayout{0xF5, 64}, TLayout{0x83, 512}}) {
        const std::string model = Path("model.dbf");
        Make(model, l.kind, l.blockSize);
        const auto table = ReadBytes(model);
        const auto memo = ReadBytes(MemoFileName(model, l.kind));
        std::filesystem::remove(model);
        std::filesystem::remove(MemoFileName(model, l.kind));
        for (bool persistent : {true, false}) {
            std::map<std::string, int> outcomes;
            for (int n = 1;; ++n) {
                SCOPED_TRACE(std::to_string(l.kind) + (persistent ? " crash" : " transient") +
                             " at call " + std::to_string(n));
                const std::string path = Path("f.dbf");
                WriteBytes(path, table);
                WriteBytes(MemoFileName(path, l.kind), memo);
                FaultyFileSystem fs;
                fs.kinds = testing::kFaultAll | testing::kFaultRename;
                fs.failAt = n;
                fs.persistent = persistent;
                fs.partial = 5;
                {
                    TTzDbf t("Pack");
                    t.SetDbfFileName(path);
                    t.SetCreateIfNotFound(false);
                    t.Open();
                    SetFileSystem(&fs);
                    try {
                        t.Pack();
                    } catch (const EZezudError& e) {
                        EXPECT_NE(e.Code(), 0);
                    }
                    try {
                        t.Close();
                    } catch (const EZezudError&) {
                    }
                }
                SetFileSystem(nullptr);
                if (std::filesystem::exists(
                        PackMarkerName(std::filesystem::canonical(path).string())))
                    ++outcomes["finished by the next open"];
                ++outcomes[Verify(path)];
                ExpectNoLeftovers();
                if (HasFailure()) return;
                if (fs.faults == 0) break;
                ASSERT_LT(n, 400) << "the pack never ends";
            }
            // Faults came before and after the swap was decided.
            EXPECT_GT(outcomes["old"], 0);
            EXPECT_GT(outcomes["packed"], 1);
            EXPECT_GT(outcomes["finished by the next open"], 0);
            std::string summary;
            for (auto& [k, v] : outcomes) summary += k + "=" + std::to_string(v) + " ";
            RecordProperty(std::to_string(l.kind) + (persistent ? " crash" : " transient"),
                           summary);
        }
    }
}

// A marker that cannot be read (the disk fails) stops the open with a clear
// error and changes nothing.
TEST_F(MemoPackTest, UnreadableMarkerStopsTheOpen) {
    const std::string path = Path("m.dbf");
    Make(path, 0x8B, 512);
    const auto table = ReadBytes(path);
    const auto memo = ReadBytes(Path("m.DBT"));
    const std::string marker = PackMarkerName(std::filesystem::canonical(path).string());
    const std::string text = "QMPACKSWAP 1\nm.DBT.pack1\nm.DBT\nm.dbf.pack1\nm.dbf\n";
    WriteBytes(marker, std::vector<uint8_t>(text.begin(), text.end()));
    FaultyFileSystem fs;
    fs.kinds = testing::kFaultRead;
    fs.failAt = 1; // the marker's is the first read of the open
    SetFileSystem(&fs);
    TTzDbf t("Open");
    t.SetDbfFileName(path);
    t.SetCreateIfNotFound(false);
    try {
        t.Open();
        ADD_FAILURE() << "opened";
    } catch (const EZezudError& e) {
        EXPECT_NE(e.Context().find("Cannot finish the interrupted pack"), std::string::npos)
            << e.Context();
    }
    SetFileSystem(nullptr);
    EXPECT_EQ(ReadBytes(path), table);
    EXPECT_EQ(ReadBytes(Path("m.DBT")), memo);
    EXPECT_TRUE(std::filesystem::exists(marker));
    std::filesystem::remove(marker);
    EXPECT_EQ(Verify(path), "old");
}

// A marker that is no marker, belongs to another table or names anything but
// the table's own temporary names onto the table and its memo file is ignored
// with a warning and removed (no copy would ever follow it): no file is renamed.
TEST_F(MemoPackTest, MarkerNamingOtherFilesIsIgnored) {
    const std::string path = Path("m.dbf");
    Make(path, 0x8B, 512);
    const auto table = ReadBytes(path);
    const auto memo = ReadBytes(Path("m.DBT"));
    const std::string marker = PackMarkerName(std::filesystem::canonical(path).string());
    const std::vector<std::string> markers = {
        "QMPACKSWAP 1\njunk.txt\nkeep.txt\nm.dbf.pack1\nm.dbf\n",
        "QMPACKSWAP 1\nm.DBT.pack1\nkeep.txt\nm.dbf.pack1\nm.dbf\n",
        "QMPACKSWAP 1\nm.DBT.pack1\nm.DBT\nkeep.txt\nm.dbf\n",
        "QMPACKSWAP 1\njunk.txt\nm.DBT\nm.dbf.pack1\nm.dbf\n",
        "QMPACKSWAP 1\nm.DBT.pack1\nm.DBT\nm.dbf.packx\nm.dbf\n",
        "QMPACKSWAP 1\n../x\nm.DBT\nm.dbf.pack1\nm.dbf\n",
        "QMPACKSWAP 1\nn.DBT.pack1\nn.DBT\nn.dbf.pack1\nn.dbf\n",
        "garbage"};
    for (const std::string& text : markers) {
        SCOPED_TRACE(text);
        WriteBytes(Path("keep.txt"), {'k', 'e', 'e', 'p'});
        WriteBytes(Path("junk.txt"), {'j', 'u', 'n', 'k'});
        WriteBytes(marker, std::vector<uint8_t>(text.begin(), text.end()));
        messages_.clear();
        {
            TTzDbf t("Open");
            t.SetDbfFileName(path);
            t.SetCreateIfNotFound(false);
            t.Open();
            EXPECT_EQ(t.RecCount(), uint32_t(kRecords));
        }
        EXPECT_EQ(ReadBytes(Path("keep.txt")), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
        EXPECT_EQ(ReadBytes(Path("junk.txt")), (std::vector<uint8_t>{'j', 'u', 'n', 'k'}));
        EXPECT_EQ(ReadBytes(path), table);
        EXPECT_EQ(ReadBytes(Path("m.DBT")), memo);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].rfind("Ignoring " + marker, 0), 0u) << messages_[0];
        EXPECT_FALSE(std::filesystem::exists(marker));
    }
    std::filesystem::remove(marker);
    for (const char* name : {"keep.txt", "junk.txt"}) std::filesystem::remove(Path(name));
    EXPECT_EQ(Verify(path), "old");
}

// Symbolic links planted where the engine writes its temporary files, or as the
// marker, give an error or are ignored and removed, never a write through the link.
TEST_F(MemoPackTest, PlantedLinksAreNeverWrittenThrough) {
    const std::string path = Path("m.dbf");
    Make(path, 0x8B, 512);
    const std::vector<uint8_t> kept = {'k', 'e', 'e', 'p'};
    const std::string victim = Path("keep.txt");
    WriteBytes(victim, kept);
    const std::string pid = std::to_string(getpid());
    {
        // The index is built under a temporary name, then renamed.
        std::filesystem::create_symlink(victim, Path("m.MDX." + pid + ".tmp"));
        TTzDbf t("Index");
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        EXPECT_THROW(t.IndexOnOne("City", "m"), EZezudError);
        EXPECT_EQ(ReadBytes(victim), kept);
        std::filesystem::remove(Path("m.MDX." + pid + ".tmp"));
    }
    const std::string canonical = std::filesystem::canonical(path).string();
    for (const std::string& name : {canonical + ".pack" + pid, Path("m.DBT.pack" + pid),
                                    PackMarkerName(canonical) + ".new" + pid})
        std::filesystem::create_symlink(victim, name);
    {
        TTzDbf t("Pack");
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.SetExclusive(true);
        t.Open();
        t.Pack();
    }
    EXPECT_EQ(ReadBytes(victim), kept);
    EXPECT_EQ(Verify(path), "packed");
    // A marker that is a link is not followed: ignored with a warning, the link removed.
    const std::string text = "QMPACKSWAP 1\nm.DBT.pack1\nm.DBT\nm.dbf.pack1\nm.dbf\n";
    WriteBytes(Path("marker.txt"), std::vector<uint8_t>(text.begin(), text.end()));
    std::filesystem::create_symlink(Path("marker.txt"), PackMarkerName(canonical));
    messages_.clear();
    TTzDbf t("Open");
    t.SetDbfFileName(path);
    t.SetCreateIfNotFound(false);
    t.Open();
    EXPECT_EQ(t.RecCount(), uint32_t(kRecords - kRecords / 4));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0],
              "Ignoring " + PackMarkerName(canonical) + ": it is a symbolic link; it is removed.");
    EXPECT_FALSE(std::filesystem::is_symlink(PackMarkerName(canonical)));
    EXPECT_EQ(ReadBytes(Path("marker.txt")), std::vector<uint8_t>(text.begin(), text.end()));
    t.Close();
    std::filesystem::remove(victim);
    std::filesystem::remove(Path("marker.txt"));
}

} // namespace
} // namespace qm::table
