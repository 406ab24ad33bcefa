// Injected I/O failures, looped the way a crash can strike: the n-th read,
// write, truncate, sync or lock fails, for n = 1, 2, ... until a run finishes
// without a fault; once as a crash (every later call fails too) and once as a
// transient fault. After each run a fresh handle must find every completed
// record and nothing else, and the table must take further appends.
#include <cerrno>

#include "fault_fs.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::FaultyFileSystem;

class FaultTest : public testing::TableTest {
protected:
    // Records of the table as a fresh handle sees them: NAME, and "*" for deleted ones.
    // With `numbered`, record i must hold N = i * 10.
    std::vector<std::string> Contents(const std::string& path, bool numbered = true) {
        std::vector<std::string> seen;
        TTzDbf r;
        r.SetDbfFileName(path);
        r.SetCreateIfNotFound(false);
        r.Open();
        for (r.First(); !r.Eof(); r.Next()) {
            seen.push_back((r.Deleted() ? "*" : "") + r.FieldDisplay(0));
            if (numbered) {
                EXPECT_EQ(r.FieldDisplay(1), std::to_string(seen.size()) + "0") << seen.back();
            }
        }
        // and takes one more append where the last good record ends
        EXPECT_TRUE(r.ALock());
        r.ClearRecord();
        r.SetField("name", "after");
        r.SetField("n", std::to_string(seen.size() + 1) + "0");
        r.AppendRec();
        r.UnLock();
        EXPECT_EQ(r.RecCount(), seen.size() + 1);
        return seen;
    }

    // Runs `scenario` with the n-th counted call failing, for n = 1, 2, ...
    // until a run sees no fault; `check` judges each run afterwards.
    template <class Scenario, class Check>
    void Loop(unsigned kinds, bool persistent, size_t partial, Scenario scenario, Check check) {
        for (int n = 1;; ++n) {
            SCOPED_TRACE("kinds " + std::to_string(kinds) + (persistent ? " crash" : " transient") +
                         " at call " + std::to_string(n));
            const std::string path =
                Path("t" + std::to_string(++runs_) + "_" + std::to_string(n) + ".dbf");
            FaultyFileSystem fs;
            fs.kinds = kinds;
            fs.failAt = n;
            fs.persistent = persistent;
            fs.partial = partial;
            scenario(path, fs);
            SetFileSystem(nullptr);
            check(path);
            if (fs.faults == 0) return;
            ASSERT_LT(n, 500) << "the scenario never ends";
        }
    }
    int runs_ = 0;
};

// Create the table, append five records each under its own lock, close.
TEST_F(FaultTest, AppendsSurviveEveryFault) {
    for (unsigned kinds : {unsigned(testing::kFaultAll), unsigned(testing::kFaultWrite),
                           unsigned(testing::kFaultRead)}) {
        for (bool persistent : {true, false}) {
            for (size_t partial : {size_t(0), size_t(7), size_t(1)}) {
                if (partial && !(kinds & testing::kFaultWrite)) continue;
                // partial 1 stands for write-through: every append also rewrites
                // the header and flushes (syncs in the loop)
                const bool writeThrough = partial == 1;
                std::vector<std::string> done;
                std::string inflight; // the append that failed first
                bool created = false;
                Loop(
                    kinds, persistent, partial,
                    [&](const std::string& path, FaultyFileSystem& fs) {
                        done.clear();
                        inflight.clear();
                        created = false;
                        SetFileSystem(&fs);
                        TTzDbf t;
                        t.SetWriteThrough(writeThrough);
                        t.SetDbfFileName(path);
                        t.SetDbfFields({"name,C,10,0", "n,N,4,0"});
                        try {
                            t.Open();
                        } catch (const EZezudError&) {
                            return; // "Could not create", or the open failed
                        }
                        created = true;
                        for (int i = 1; i <= 5; ++i) {
                            try {
                                t.ClearRecord();
                                t.SetField("name", "rec" + std::to_string(done.size() + 1));
                                t.SetField("n", std::to_string(done.size() + 1) + "0");
                                if (!t.ALock()) continue;
                                t.AppendRec();
                                done.push_back("rec" + std::to_string(done.size() + 1));
                                t.UnLock();
                            } catch (const EZezudError& e) {
                                EXPECT_NE(e.Code(), 0);
                                if (inflight.empty())
                                    inflight = "rec" + std::to_string(done.size() + 1);
                                try {
                                    t.UnLock();
                                } catch (const EZezudError&) {
                                }
                            }
                        }
                        try {
                            t.Close();
                        } catch (const EZezudError&) {
                        }
                    },
                    [&](const std::string& path) {
                        if (!std::filesystem::exists(path)) {
                            EXPECT_FALSE(created);
                            return;
                        }
                        const auto seen = Contents(path);
                        if (seen == done) return;
                        // When the disk is gone, the failing append's record may be
                        // whole on it although its cut-off failed too, as after a
                        // crash in the middle of it: that one record, nothing else.
                        auto withInflight = done;
                        withInflight.push_back(inflight);
                        EXPECT_TRUE(persistent && !inflight.empty() && seen == withInflight)
                            << ::testing::PrintToString(seen) << " instead of "
                            << ::testing::PrintToString(done);
                    });
            }
        }
    }
}

// A full disk refuses an append to a closed table: the torn record goes and
// the end-of-file mark after the last record stays.
TEST_F(FaultTest, FailedAppendKeepsTheEndMark) {
    for (size_t partial : {size_t(0)}) {
        const std::string path = Path("full" + std::to_string(partial) + ".dbf");
        {
            TTzDbf t;
            t.SetDbfFileName(path);
            t.SetDbfFields({"name,C,10,0", "n,N,4,0"});
            t.Open();
            ASSERT_TRUE(t.ALock());
            for (const char* name : {"one", "two"}) {
                t.ClearRecord();
                t.SetField("name", name);
                t.AppendRec();
            }
            t.UnLock();
        }
        const auto before = testing::ReadBytes(path);
        ASSERT_EQ(before.back(), 0x1A);
        FaultyFileSystem fs;
        fs.kinds = testing::kFaultWrite;
        fs.failAt = 1;
        fs.partial = partial;
        SetFileSystem(&fs);
        {
            TTzDbf t;
            t.SetDbfFileName(path);
            t.SetCreateIfNotFound(false);
            t.Open();
            ASSERT_TRUE(t.ALock());
            t.ClearRecord();
            t.SetField("name", "three");
            EXPECT_THROW(t.AppendRec(), EZezudError);
            t.UnLock();
            t.Close();
        }
        SetFileSystem(nullptr);
        EXPECT_EQ(fs.faults, 1);
        EXPECT_EQ(testing::ReadBytes(path), before) << partial;
        EXPECT_TRUE(CheckTable(path).Clean());
    }
}

// Pack six records of which two are deleted: whatever fails, the table holds
// the old six or the packed four afterwards, whole.
TEST_F(FaultTest, PackSurvivesEveryFault) {
    const std::string golden = Path("golden.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(golden);
        t.SetDbfFields({"name,C,10,0", "n,N,4,0"});
        t.Open();
        ASSERT_TRUE(t.ALock());
        for (int i = 1; i <= 6; ++i) {
            t.ClearRecord();
            t.SetField("name", "rec" + std::to_string(i));
            t.SetField("n", std::to_string(i) + "0");
            t.AppendRec();
        }
        t.UnLock();
        for (uint32_t n : {2u, 5u}) {
            t.SetRecNo(n);
            t.Delete();
        }
    }
    const auto bytes = testing::ReadBytes(golden);
    const std::vector<std::string> before = {"rec1", "*rec2", "rec3", "rec4", "*rec5", "rec6"};
    for (bool persistent : {true, false}) {
        bool packed = false;
        Loop(
            testing::kFaultAll, persistent, 0,
            [&](const std::string& path, FaultyFileSystem& fs) {
                testing::WriteBytes(path, bytes);
                packed = false;
                SetFileSystem(&fs);
                TTzDbf t;
                t.SetDbfFileName(path);
                t.SetCreateIfNotFound(false);
                try {
                    t.Open();
                    t.Pack();
                    packed = true;
                    t.Close();
                } catch (const EZezudError&) {
                }
            },
            [&](const std::string& path) {
                const auto seen = Contents(path, false);
                const std::vector<std::string> after = {"rec1", "rec3", "rec4", "rec6"};
                if (packed)
                    EXPECT_EQ(seen, after);
                else
                    EXPECT_TRUE(seen == before || seen == after) << seen.size();
                for (const auto& dirEntry : std::filesystem::directory_iterator(dir_))
                    EXPECT_EQ(dirEntry.path().string().find(".pack"), std::string::npos);
            });
    }
}

// A rewrite that moves a record's keys in a shared table with a production index, stopped at
// each write (the disk gone from there on, as when the copy is killed): the next exclusive
// open finds the table and its index agreeing, the index rebuilt where the stop left them apart.
TEST_F(FaultTest, KeyMovingRewriteStoppedAnywhereLeavesARepairableIndex) {
    Loop(
        testing::kFaultWrite, true, 0,
        [&](const std::string& path, FaultyFileSystem& fs) {
            {
                TTzDbf t;
                t.SetDbfFileName(path);
                t.SetDbfFields({"name,C,10,0", "n,N,4,0"});
                t.SetIndexList({"NAME,F,F,NAME", "", "N,T,F,N", ""});
                t.Open();
                TTableLock lock(t, TTableLock::Append);
                ASSERT_TRUE(lock.Held());
                for (int i = 1; i <= 5; ++i) {
                    t.ClearRecord();
                    t.SetField("name", "rec" + std::to_string(i));
                    t.SetField("n", std::to_string(i) + "0");
                    t.AppendRec();
                }
            }
            SetFileSystem(&fs);
            TTzDbf t;
            t.SetDbfFileName(path);
            t.SetCreateIfNotFound(false);
            try {
                t.Open();
                t.SetRecNo(3);
                TTableLock lock(t, TTableLock::Record);
                t.Edit();
                t.SetField("name", "aaa");
                t.SetField("n", "99");
                t.Post();
            } catch (const EZezudError&) {
            }
            try {
                t.Close();
            } catch (const EZezudError&) {
            }
            SetFileSystem(nullptr);
        },
        [&](const std::string& path) {
            OpenAlone(path);
            EXPECT_TRUE(CheckTable(path).Clean()) << FirstFinding(path);
        });
}

TEST_F(FaultTest, DiskFullWhileCreatingLeavesNothing) {
    FaultyFileSystem fs;
    fs.kinds = testing::kFaultWrite;
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
