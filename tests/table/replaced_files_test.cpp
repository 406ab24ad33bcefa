// A file that another copy renames onto a table's, memo file's or index's name
// between our open and our lock: what we write must reach the file at the name.
#include <filesystem>

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

} // namespace
} // namespace qm::table
