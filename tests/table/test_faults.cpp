// Injected I/O failures: a failed or torn write never loses a completed record
// and never leaves a table that does not open.
#include <cerrno>

#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

// Fails the n-th write (counting from 1): writes `partial` bytes of it, then
// reports ENOSPC for it and for every later write while `sticky` is set.
class FaultyFileSystem : public IFileSystem {
public:
    int failAt = 0;
    size_t partial = 0;
    bool sticky = false;
    int writes = 0;

    class File : public IFile {
    public:
        File(FaultyFileSystem& fs, std::unique_ptr<IFile> inner)
            : fs_(fs), inner_(std::move(inner)) {}
        ssize_t ReadAt(void* b, size_t n, off_t o) override { return inner_->ReadAt(b, n, o); }
        ssize_t WriteAt(const void* b, size_t n, off_t o) override {
            const int k = ++fs_.writes;
            if (fs_.failAt > 0 && (k == fs_.failAt || (fs_.sticky && k > fs_.failAt))) {
                if (k == fs_.failAt && fs_.partial > 0 && fs_.partial < n) {
                    return inner_->WriteAt(b, fs_.partial, o);
                }
                return -ENOSPC;
            }
            return inner_->WriteAt(b, n, o);
        }
        int Truncate(off_t s) override { return inner_->Truncate(s); }
        int Sync() override { return inner_->Sync(); }
        int Lock(off_t o, off_t l, TLockKind k) override { return inner_->Lock(o, l, k); }
        off_t Size() override { return inner_->Size(); }

    private:
        FaultyFileSystem& fs_;
        std::unique_ptr<IFile> inner_;
    };

    std::unique_ptr<IFile> Open(const std::string& p, TOpenMode m, int& err) override {
        auto f = PosixFileSystem().Open(p, m, err);
        if (!f) return nullptr;
        return std::make_unique<File>(*this, std::move(f));
    }
    int Remove(const std::string& p) override { return PosixFileSystem().Remove(p); }
    int LinkNoReplace(const std::string& a, const std::string& b) override {
        return PosixFileSystem().LinkNoReplace(a, b);
    }
    bool Exists(const std::string& p) override { return PosixFileSystem().Exists(p); }
    int Rename(const std::string& a, const std::string& b) override {
        return PosixFileSystem().Rename(a, b);
    }
    int SyncFolder(const std::string& p) override { return PosixFileSystem().SyncFolder(p); }
};

class FaultTest : public testing::TableTest {};

// Create, append five records one by one, close: with the n-th write failing
// (whole or torn), for every n. Afterwards the table must open and hold exactly
// the records whose append reported success, intact and in order.
TEST_F(FaultTest, EveryWriteFailing) {
    for (bool torn : {false, true}) {
        for (int failAt = 1; failAt <= 12; ++failAt) {
            SCOPED_TRACE((torn ? "torn write " : "failed write ") + std::to_string(failAt));
            const std::string path =
                Path("t" + std::to_string(failAt) + (torn ? "x" : "") + ".dbf");
            FaultyFileSystem fs;
            fs.failAt = failAt;
            fs.partial = torn ? 7 : 0;
            SetFileSystem(&fs);
            std::vector<std::string> done;
            bool created = false;
            {
                TTzDbf t;
                t.SetDbfFileName(path);
                t.SetDbfFields({"name,C,10,0", "n,N,4,0"});
                try {
                    t.Open();
                    created = true;
                    ASSERT_TRUE(t.ALock());
                    for (int i = 1; i <= 5; ++i) {
                        t.ClearRecord();
                        t.SetField("name", "rec" + std::to_string(i));
                        t.SetField("n", std::to_string(i));
                        try {
                            t.AppendRec();
                            done.push_back("rec" + std::to_string(i));
                        } catch (const EZezudError& e) {
                            EXPECT_EQ(e.Error(), TErrorCode::DiskWrite);
                            EXPECT_NE(e.Context().find("[Replace/Append/PutDbfRecord]"),
                                      std::string::npos);
                        }
                    }
                    t.UnLock();
                    t.Close();
                } catch (const EZezudError& e) {
                    // creation failed ("Could not create"), or the close failed
                    EXPECT_TRUE(e.Error() == TErrorCode::FileNotFound ||
                                e.Error() == TErrorCode::DiskWrite)
                        << e.what();
                }
            }
            SetFileSystem(nullptr);
            if (!created) {
                EXPECT_FALSE(std::filesystem::exists(path));
                continue;
            }
            TTzDbf r;
            r.SetDbfFileName(path);
            r.SetCreateIfNotFound(false);
            r.Open();
            std::vector<std::string> seen;
            for (r.First(); !r.Eof(); r.Next()) {
                seen.push_back(r.FieldDisplay(0));
                EXPECT_EQ(r.FieldDisplay(1), seen.back().substr(3));
            }
            EXPECT_EQ(seen, done);
            // The table takes the next append where the last good record ends.
            ASSERT_TRUE(r.ALock());
            r.ClearRecord();
            r.SetField("name", "after");
            r.AppendRec();
            r.UnLock();
            EXPECT_EQ(r.RecCount(), done.size() + 1);
            r.Close();
        }
    }
}

TEST_F(FaultTest, DiskFullWhileCreatingLeavesNothing) {
    FaultyFileSystem fs;
    fs.failAt = 1;
    fs.partial = 100;
    SetFileSystem(&fs);
    try {
        TDbfFile::Create(Path("t.dbf"), {{"A", 'C', 3, 0}});
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::DiskWrite);
        EXPECT_EQ(e.Context(), "Error writing " + Path("t.dbf") + ". [CreateDbf]");
    }
    EXPECT_FALSE(std::filesystem::exists(Path("t.dbf")));
}

} // namespace
} // namespace qm::table
