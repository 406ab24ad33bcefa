// A file that another copy renames onto a table's, memo file's or index's name
// between our open and our lock: what we write must reach the file at the name.
// Files planted beside a table (a pack marker and the temporaries it names)
// are judged as files before anything is renamed over the table.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "pack_swap.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

// Renames `replacement` onto `target` right after the first open of `target`,
// as another copy's pack or index rebuild would.
class SwapAfterOpenFs final : public IFileSystem {
public:
    std::string target, replacement;
    bool swapped = false;

    std::unique_ptr<IFile> Open(const std::string& p, TOpenMode m, int& err) override {
        auto f = PosixFileSystem().Open(p, m, err);
        if (f && !swapped && p == target) {
            swapped = true;
            std::filesystem::rename(replacement, target);
        }
        return f;
    }
    int Remove(const std::string& p) override { return PosixFileSystem().Remove(p); }
    int LinkNoReplace(const std::string& a, const std::string& b) override {
        return PosixFileSystem().LinkNoReplace(a, b);
    }
    bool Exists(const std::string& p) override { return PosixFileSystem().Exists(p); }
};

class ReplacedFileTest : public testing::TableTest {
protected:
    std::string Table() const { return Path("book.dbf"); }
    void Create(bool index) {
        TTzDbf t;
        t.SetDbfFileName(Table());
        t.SetDbfFields({"name,C,10,0", "note,M,10,0"});
        if (index) t.SetIndexList({"NAME,F,F,name", ""});
        t.Open();
        ASSERT_TRUE(t.ALock());
        t.ClearRecord();
        t.SetField("name", "first");
        t.SetMField("note", {"first note"});
        t.AppendRec();
        t.UnLock();
        t.Close();
    }
    // Appends "second" with a memo through a file system that swaps `file`
    // (a copy of it, as a pack or rebuild writes one) in after its open.
    void AppendWhileSwapping(const std::string& file) {
        std::filesystem::copy_file(file, file + ".pack1");
        fs_.target = file;
        fs_.replacement = file + ".pack1";
        SetFileSystem(&fs_);
        TTzDbf t;
        t.SetDbfFileName(Table());
        t.SetCreateIfNotFound(false);
        t.Open();
        ASSERT_TRUE(t.ALock());
        t.ClearRecord();
        t.SetField("name", "second");
        t.SetMField("note", {"second note"});
        t.AppendRec();
        t.UnLock();
        t.Close();
        SetFileSystem(nullptr);
        EXPECT_TRUE(fs_.swapped);
    }
    // What another copy finds at the names afterwards.
    void ExpectBothRecords() {
        TTzDbf t;
        t.SetDbfFileName(Table());
        t.SetCreateIfNotFound(false);
        t.SetReadOnly(true);
        t.Open();
        ASSERT_EQ(t.RecCount(), 2u);
        t.SetRecNo(2);
        EXPECT_EQ(t.FieldDisplay(0), "second");
        std::vector<std::string> lines;
        t.GetMField("note", lines);
        EXPECT_EQ(lines, std::vector<std::string>{"second note"});
        EXPECT_TRUE(CheckTable(Table()).Clean());
    }
    SwapAfterOpenFs fs_;
};

TEST_F(ReplacedFileTest, TableSwappedBetweenOpenAndLock) {
    Create(false);
    AppendWhileSwapping(Table());
    ExpectBothRecords();
}

TEST_F(ReplacedFileTest, MemoFileSwappedAfterOpen) {
    Create(false);
    AppendWhileSwapping(Path("book.DBT"));
    ExpectBothRecords();
}

TEST_F(ReplacedFileTest, IndexSwappedAfterOpen) {
    Create(true);
    AppendWhileSwapping(Path("book.MDX"));
    ExpectBothRecords();
    TTzDbf t;
    t.SetDbfFileName(Table());
    t.SetCreateIfNotFound(false);
    t.SetIndexList({"NAME,F,F,name", ""});
    t.Open();
    EXPECT_TRUE(t.Find("second"));
    EXPECT_EQ(t.RecNo(), 2u);
}

// A folder `data` with the 30-record table t.dbf (memo file t.DBT) and a
// folder `other` with another table o.dbf (o.DBT), then a pack marker for t
// naming its own temporaries t.DBT.pack77 and t.dbf.pack77, planted as a test
// case makes them.
class PlantedSwapTest : public testing::TableTest {
protected:
    static constexpr uint32_t kRecords = 30;
    void SetUp() override {
        TableTest::SetUp();
        std::filesystem::create_directory(Path("data"));
        std::filesystem::create_directory(Path("other"));
        Make(Table(), kRecords, "t");
        Make(Path("other/o.dbf"), 3, "o");
    }
    static void Make(const std::string& path, uint32_t count, const std::string& what) {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"name,C,10,0", "note,M,10,0"});
        t.SetExclusive(true);
        t.Open();
        for (uint32_t n = 1; n <= count; ++n) {
            t.ClearRecord();
            t.SetField("name", what + std::to_string(n));
            t.SetMField("note", {what + " note " + std::to_string(n)});
            t.AppendRec();
        }
        t.Close();
    }
    std::string Table() const { return Path("data/t.dbf"); }
    std::string TableTemp() const { return Path("data/t.dbf.pack77"); }
    std::string MemoTemp() const { return Path("data/t.DBT.pack77"); }
    void PlantMarker() const {
        const std::string text = "QMPACKSWAP 1\nt.DBT.pack77\nt.DBT\nt.dbf.pack77\nt.dbf\n";
        testing::WriteBytes(PackMarkerName(std::filesystem::canonical(Table()).string()),
                            std::vector<uint8_t>(text.begin(), text.end()));
    }
    // The table's records as another copy reads them afterwards.
    void ExpectTable(uint32_t count) {
        TTzDbf t;
        t.SetDbfFileName(Table());
        t.SetCreateIfNotFound(false);
        t.SetReadOnly(true);
        t.Open();
        ASSERT_EQ(t.RecCount(), count);
        std::vector<std::string> lines;
        for (uint32_t n = 1; n <= kRecords; ++n) {
            t.SetRecNo(n);
            EXPECT_EQ(t.FieldDisplay(0), "t" + std::to_string(n));
            t.GetMField("note", lines);
            EXPECT_EQ(lines, std::vector<std::string>{"t note " + std::to_string(n)});
        }
    }
};

TEST_F(PlantedSwapTest, LinkedTemporariesAreNeverRenamedOverTheTable) {
    const auto otherTable = testing::ReadBytes(Path("other/o.dbf"));
    const auto otherMemo = testing::ReadBytes(Path("other/o.DBT"));
    std::filesystem::create_symlink(Path("other/o.dbf"), TableTemp());
    std::filesystem::create_symlink(Path("other/o.DBT"), MemoTemp());
    PlantMarker();

    const std::string cmd =
        std::string("'" QM_QMTABLE "' append '") + Table() + "' name=new note=added 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int status = pclose(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;

    EXPECT_EQ(testing::ReadBytes(Path("other/o.dbf")), otherTable);
    EXPECT_EQ(testing::ReadBytes(Path("other/o.DBT")), otherMemo);
    EXPECT_TRUE(std::filesystem::is_symlink(TableTemp()));
    EXPECT_NE(out.find("Ignoring"), std::string::npos) << out;
    EXPECT_NE(out.find("t.dbf.pack77"), std::string::npos) << out;
    EXPECT_NE(out.find("t.DBT.pack77"), std::string::npos) << out;
    ExpectTable(kRecords + 1);
    TTzDbf t;
    t.SetDbfFileName(Table());
    t.SetCreateIfNotFound(false);
    t.SetReadOnly(true);
    t.Open();
    t.SetRecNo(kRecords + 1);
    EXPECT_EQ(t.FieldDisplay(0), "new");
}

// Temporaries that are files, but not this table's pack copies: each is left
// as it is, named in the warning, and the table opens whole.
TEST_F(PlantedSwapTest, ForeignTemporariesAreIgnored) {
    struct TCase {
        const char* why;
        std::function<void()> plant;
        bool needsRoot;
    };
    const std::vector<TCase> cases = {
        {"a second name of another table's file",
         [this] { std::filesystem::create_hard_link(Path("other/o.dbf"), TableTemp()); }, false},
        {"a table copy whose size disagrees with its header",
         [this] {
             auto b = testing::ReadBytes(Table());
             b.resize(b.size() - 30);
             testing::WriteBytes(TableTemp(), b);
         },
         false},
        {"a memo copy that is no memo file",
         [this] { testing::WriteBytes(MemoTemp(), std::vector<uint8_t>(600, 'x')); }, false},
        {"a sound table copy of another user",
         [this] {
             std::filesystem::copy_file(Table(), TableTemp());
             ASSERT_EQ(::chown(TableTemp().c_str(), 4242, 4242), 0);
         },
         true},
    };
    const auto table = testing::ReadBytes(Table());
    const auto memo = testing::ReadBytes(Path("data/t.DBT"));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.why);
        if (c.needsRoot && ::geteuid() != 0) continue;
        c.plant();
        PlantMarker();
        const std::string planted = std::filesystem::exists(TableTemp()) ? TableTemp() : MemoTemp();
        const auto plantedBytes = testing::ReadBytes(planted);
        messages_.clear();
        ExpectTable(kRecords);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find(planted), std::string::npos) << messages_[0];
        EXPECT_EQ(testing::ReadBytes(Table()), table);
        EXPECT_EQ(testing::ReadBytes(Path("data/t.DBT")), memo);
        EXPECT_EQ(testing::ReadBytes(planted), plantedBytes);
        std::filesystem::remove(planted);
        std::filesystem::remove(PackMarkerName(std::filesystem::canonical(Table()).string()));
    }
}

} // namespace
} // namespace qm::table
