// Real processes sharing one table: appends under ALock, sharing modes,
// record locks, and a copy killed in the middle of appending.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <thread>

#include "fault_fs.h"
#include "pack_swap.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

// A child process running the helper, with a pipe to its stdin and from its stdout.
class Child {
public:
    explicit Child(std::vector<std::string> args) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            std::vector<char*> argv;
            std::string helper = QM_MP_HELPER;
            argv.push_back(helper.data());
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(helper.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        toChild_ = in[1];
        fromChild_ = fdopen(out[0], "r");
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (toChild_ >= 0) close(toChild_);
        if (fromChild_) fclose(fromChild_);
    }
    std::string ReadLine() {
        char buf[256];
        if (!fgets(buf, sizeof buf, fromChild_)) return std::string();
        std::string s(buf);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        return s;
    }
    void Release() {
        close(toChild_);
        toChild_ = -1;
    }
    // Exit status, or 128 + signal.
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void Kill() { kill(pid_, SIGKILL); }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    FILE* fromChild_ = nullptr;
};

class MultiProcessTest : public testing::TableTest {
protected:
    std::string Table() const { return Path("shared.dbf"); }
    void Create() {
        TTzDbf t;
        t.SetDbfFileName(Table());
        t.SetDbfFields({"tag,C,8,0", "seq,N,8,0", "pad,C,40,0"});
        t.Open();
        t.Close();
    }
    // tag -> sequence numbers in file order; every record checked for damage.
    std::map<std::string, std::vector<long>> ReadAll(uint32_t& count) {
        std::map<std::string, std::vector<long>> seen;
        TTzDbf t("Reader");
        t.SetDbfFileName(Table());
        t.SetCreateIfNotFound(false);
        t.Open();
        count = t.RecCount();
        for (t.First(); !t.Eof(); t.Next()) {
            const std::string tag = t.FieldDisplay(0);
            const long seq = std::stol(t.FieldDisplay(1));
            EXPECT_EQ(t.FieldDisplay(2), tag + ":" + std::to_string(seq) + std::string(30, '.'));
            EXPECT_FALSE(t.Deleted());
            seen[tag].push_back(seq);
        }
        return seen;
    }
};

TEST_F(MultiProcessTest, TwoCopiesAppendUnderALock) {
    Create();
    Child a({"append", Table(), "10000", "A"});
    Child b({"append", Table(), "10000", "B"});
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);
    uint32_t count = 0;
    auto seen = ReadAll(count);
    EXPECT_EQ(count, 20000u);
    for (const char* tag : {"A", "B"}) {
        const auto& s = seen[tag];
        ASSERT_EQ(s.size(), 10000u) << tag;
        for (size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s[i], long(i + 1)) << tag;
    }
    // The last copy to close wrote the full count and the end-of-file byte.
    auto bytes = testing::ReadBytes(Table());
    EXPECT_EQ(testing::Le32(bytes, 4), 20000u);
    EXPECT_EQ(bytes.size(), size_t(32 * 3 + 33) + 20000u * 57 + 1);
    EXPECT_EQ(bytes.back(), 0x1A);
}

// One copy packs over and over (every pack swaps a new file in) while two
// append one record per open: every append that reported success is in the
// table exactly once.
TEST_F(MultiProcessTest, NoAppendLostToAConcurrentPack) {
    Create();
    Child a({"append-each", Table(), "A", "3000"});
    Child b({"append-each", Table(), "B", "3000"});
    Child packer({"pack-loop", Table(), "3000"});
    std::map<std::string, std::vector<long>> reported;
    for (auto [child, tag] : {std::pair{&a, "A"}, std::pair{&b, "B"}}) {
        for (std::string line = child->ReadLine(); !line.empty(); line = child->ReadLine())
            reported[tag].push_back(std::stol(line));
        EXPECT_EQ(child->Wait(), 0) << tag;
    }
    const long packs = std::stol(packer.ReadLine());
    EXPECT_EQ(packer.Wait(), 0);
    EXPECT_GT(packs, 10);
    std::printf("%ld packs, %zu and %zu appends\n", packs, reported["A"].size(),
                reported["B"].size());
    uint32_t count = 0;
    auto seen = ReadAll(count);
    EXPECT_EQ(seen.count("junk"), 0u);
    for (const char* tag : {"A", "B"}) {
        EXPECT_GT(reported[tag].size(), 10u) << tag;
        EXPECT_EQ(seen[tag], reported[tag]) << tag << ": appends reported " << reported[tag].size()
                                            << ", in the table " << seen[tag].size();
    }
}

TEST_F(MultiProcessTest, ExclusiveAgainstSharedCopyIs32) {
    Create();
    Child holder({"hold", Table()});
    ASSERT_EQ(holder.ReadLine(), "ready");
    // In this process, in exception mode:
    TTzDbf t;
    t.SetExclusive(true);
    t.SetDbfFileName(Table());
    try {
        t.Open();
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::SharingViolation);
    }
    // A copy in report mode ends with exit code 32.
    Child ex({"open-exclusive", Table()});
    EXPECT_EQ(ex.Wait(), 32);
    holder.Release();
    EXPECT_EQ(holder.Wait(), 0);
    Child ex2({"open-exclusive", Table()});
    EXPECT_EQ(ex2.Wait(), 0);
}

TEST_F(MultiProcessTest, RLockRefusedWhileOtherCopyHoldsIt) {
    Create();
    {
        TTzDbf t;
        t.SetDbfFileName(Table());
        t.Open();
        ASSERT_TRUE(t.ALock());
        for (int i = 0; i < 2; ++i) {
            t.ClearRecord();
            t.SetField("tag", "x");
            t.AppendRec();
        }
        t.UnLock();
    }
    Child holder({"hold", Table(), "1"});
    ASSERT_EQ(holder.ReadLine(), "ready");
    TTzDbf t;
    t.SetDbfFileName(Table());
    t.Open();
    t.SetRecNo(1);
    EXPECT_FALSE(t.RLock());
    EXPECT_FALSE(t.FLock());
    t.SetRecNo(2);
    EXPECT_TRUE(t.RLock());
    t.UnLock();
    EXPECT_TRUE(t.ALock()); // appends are not blocked by a record lock
    t.UnLock();
    holder.Release();
    EXPECT_EQ(holder.Wait(), 0);
    t.SetRecNo(1);
    EXPECT_TRUE(t.RLock());
}

TEST_F(MultiProcessTest, KilledWhileAppendingLeavesTableIntact) {
    Create();
    long total = 0;
    for (int round = 0; round < 3; ++round) {
        Child c({"append-forever", Table(), "K" + std::to_string(round)});
        // Let it write a few hundred records, then kill it mid-stream.
        for (int i = 0; i <= round; ++i) ASSERT_FALSE(c.ReadLine().empty());
        c.Kill();
        EXPECT_EQ(c.Wait(), 128 + SIGKILL);
        uint32_t count = 0;
        auto seen = ReadAll(count);
        long sum = 0;
        for (auto& [tag, s] : seen) {
            for (size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s[i], long(i + 1)) << tag;
            sum += long(s.size());
        }
        EXPECT_EQ(sum, long(count));
        EXPECT_GE(long(count), total + 100 * (round + 1));
        total = count;
    }
    // The table takes further appends from any copy.
    Child a({"append", Table(), "10", "Z"});
    EXPECT_EQ(a.Wait(), 0);
    uint32_t count = 0;
    auto seen = ReadAll(count);
    EXPECT_EQ(seen["Z"].size(), 10u);
}

// ALock waits for another copy's append lock for up to two seconds.
TEST_F(MultiProcessTest, ALockWaitsBoundedForAnotherCopy) {
    Create();
    TTzDbf t;
    t.SetDbfFileName(Table());
    t.Open();
    {
        Child holder({"hold-alock", Table(), "300"});
        ASSERT_EQ(holder.ReadLine(), "ready");
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_TRUE(t.ALock());
        const auto waited = std::chrono::steady_clock::now() - t0;
        EXPECT_GE(waited, std::chrono::milliseconds(100));
        t.UnLock();
        EXPECT_EQ(holder.Wait(), 0);
    }
    {
        Child holder({"hold-alock", Table(), "0"});
        ASSERT_EQ(holder.ReadLine(), "ready");
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(t.ALock());
        const auto waited = std::chrono::steady_clock::now() - t0;
        EXPECT_GE(waited, std::chrono::milliseconds(kLockWaitMs));
        EXPECT_LT(waited, std::chrono::milliseconds(kLockWaitMs + 1000));
        EXPECT_EQ(t.Eof(), true);
        holder.Release();
        EXPECT_EQ(holder.Wait(), 0);
    }
    EXPECT_TRUE(t.ALock());
    t.UnLock();
}

// The log's road under contention: two copies append 20,000 entries each with
// one ALock attempt per entry while a third opens, edits, posts and closes in
// a loop (its close rewrites the header under the append lock). No entry may
// be dropped.
TEST_F(MultiProcessTest, LogAppendsNeverFailBesideAnEditor) {
    Create();
    {
        TTzDbf t;
        t.SetDbfFileName(Table());
        t.Open();
        ASSERT_TRUE(t.ALock());
        t.ClearRecord();
        t.SetField("tag", "E");
        t.AppendRec();
        t.UnLock();
    }
    const std::string stop = Path("stop");
    Child editor({"edit-loop", Table(), stop});
    Child a({"log-append", Table(), "20000", "A"});
    Child b({"log-append", Table(), "20000", "B"});
    EXPECT_EQ(a.ReadLine(), "failed 0");
    EXPECT_EQ(b.ReadLine(), "failed 0");
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);
    testing::WriteBytes(stop, {});
    const long rounds = std::atol(editor.ReadLine().c_str());
    EXPECT_EQ(editor.Wait(), 0);
    EXPECT_GT(rounds, 10);

    std::map<std::string, std::vector<long>> seen;
    TTzDbf t("Reader");
    t.SetDbfFileName(Table());
    t.Open();
    EXPECT_EQ(t.RecCount(), 40001u);
    for (t.First(); !t.Eof(); t.Next())
        seen[t.FieldDisplay(0)].push_back(std::stol(t.FieldDisplay(1)));
    for (const char* tag : {"A", "B"}) {
        const auto& s = seen[tag];
        ASSERT_EQ(s.size(), 20000u) << tag;
        for (size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s[i], long(i + 1)) << tag;
    }
    EXPECT_EQ(seen["E"].size(), 1u);
}

// SIGKILL at any moment of a pack of 60,000 records (every other one deleted)
// leaves the old table or the packed one, whole, and nothing twice.
TEST_F(MultiProcessTest, PackKilledMidwayLeavesOneWholeTable) {
    Create();
    auto bytes = testing::ReadBytes(Table());
    bytes.pop_back();
    const uint32_t total = 60000;
    for (uint32_t i = 1; i <= total; ++i) {
        char rec[58];
        std::snprintf(rec, sizeof rec, "%cP       %8u%-40s", i % 2 ? ' ' : '*', i, "packed");
        bytes.insert(bytes.end(), rec, rec + 57);
    }
    bytes.push_back(0x1A);
    bytes[4] = uint8_t(total);
    bytes[5] = uint8_t(total >> 8);
    bytes[6] = uint8_t(total >> 16);
    std::map<std::string, int> outcomes;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        testing::WriteBytes(Table(), bytes);
        Child packer({"pack", Table()});
        ASSERT_EQ(packer.ReadLine(), "packing");
        usleep(useconds_t(round * round * 60));
        packer.Kill();
        packer.Wait();
        TTzDbf t("Reader");
        t.SetDbfFileName(Table());
        t.SetCreateIfNotFound(false);
        t.Open();
        const uint32_t count = t.RecCount();
        ASSERT_TRUE(count == total || count == total / 2) << count;
        long last = 0;
        uint32_t n = 0;
        for (t.First(); !t.Eof(); t.Next()) {
            ++n;
            const long seq = std::stol(t.FieldDisplay(1));
            ASSERT_GT(seq, last);
            last = seq;
            ASSERT_EQ(t.Deleted(), seq % 2 == 0);
            if (count == total / 2) {
                ASSERT_EQ(seq % 2, 1);
            }
        }
        EXPECT_EQ(n, count);
        ++outcomes[count == total ? "old" : "packed"];
    }
    // Both outcomes occur over the rounds: the kill really came during the pack.
    std::string summary;
    for (auto& [k, v] : outcomes) summary += k + "=" + std::to_string(v) + " ";
    RecordProperty("outcomes", summary);
}

// A pack of a table with memo fields killed at moments spread over its whole
// run: a fresh open always finds the old pair or the packed one, every memo
// belonging to its record.
TEST_F(MultiProcessTest, MemoPackKilledAnywhereLeavesOneWholePair) {
    const std::string path = Path("book.dbf");
    const std::string memo = Path("book.DBT");
    constexpr uint32_t kTotal = 20000;
    auto memoOf = [](uint32_t n, bool replaced) {
        return std::vector<std::string>{"Name " + std::to_string(n),
                                        "Street " + std::to_string(n) + (replaced ? " new" : "")};
    };
    {
        TTzDbf t("Make");
        t.SetDbfFileName(path);
        t.SetDbfFields({"Address,M,10,0", "Seq,N,8,0"});
        t.SetExclusive(true);
        t.Open();
        for (uint32_t n = 1; n <= kTotal; ++n) {
            t.ClearRecord();
            t.SetMField("Address", memoOf(n, false));
            t.SetField("Seq", std::to_string(n));
            t.AppendRec();
            if (n % 3 == 0) {
                t.SetMField("Address", memoOf(n, true));
                t.Post();
            }
            if (n % 2 == 0) t.DeleteRec();
        }
        t.Close();
    }
    const auto table = testing::ReadBytes(path);
    const auto memoBytes = testing::ReadBytes(memo);
    auto restore = [&] {
        testing::WriteBytes(path, table);
        testing::WriteBytes(memo, memoBytes);
    };
    // How long a whole pack takes here, from its start to its end.
    restore();
    auto start = std::chrono::steady_clock::now();
    {
        Child packer({"pack", path});
        ASSERT_EQ(packer.ReadLine(), "packing");
        start = std::chrono::steady_clock::now();
        ASSERT_EQ(packer.ReadLine(), "packed");
        packer.Wait();
    }
    const auto whole = std::chrono::steady_clock::now() - start;
    ASSERT_LT(testing::ReadBytes(memo).size(), memoBytes.size() * 2 / 3);

    std::map<std::string, int> outcomes;
    constexpr int kRounds = 16;
    for (int round = 0; round <= kRounds; ++round) {
        SCOPED_TRACE(round);
        restore();
        Child packer({"pack", path});
        ASSERT_EQ(packer.ReadLine(), "packing");
        // From the start to three times the measured time: a loaded machine
        // may run this pack much slower than the measured one, and a pack
        // also removes what the previous round's killed one left.
        std::this_thread::sleep_for(whole * round * 3 / kRounds);
        packer.Kill();
        packer.Wait();
        TTzDbf t("Reader");
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.Open();
        const uint32_t count = t.RecCount();
        ASSERT_TRUE(count == kTotal || count == kTotal / 2) << count;
        std::vector<std::string> lines;
        uint32_t want = 0;
        for (uint32_t r = 1; r <= count; ++r) {
            t.SetRecNo(r);
            want += count == kTotal ? 1 : (want == 0 ? 1 : 2);
            ASSERT_EQ(std::stoul(t.FieldDisplay(1)), want);
            ASSERT_EQ(t.Deleted(), want % 2 == 0);
            t.GetMField("Address", lines);
            ASSERT_EQ(lines, memoOf(want, want % 3 == 0)) << "record " << r;
        }
        t.Close();
        const TCheckReport report = CheckTable(path);
        ASSERT_TRUE(report.Clean()) << report.findings.front();
        ++outcomes[count == kTotal ? "old" : "packed"];
    }
    EXPECT_GT(outcomes["old"], 0);
    EXPECT_GT(outcomes["packed"], 0);
    std::string summary;
    for (auto& [k, v] : outcomes) summary += k + "=" + std::to_string(v) + " ";
    RecordProperty("outcomes", summary);

    // What killed packs left behind goes with the next pack.
    {
        TTzDbf t("Packer");
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.SetExclusive(true);
        t.Open();
        for (uint32_t r = 1; r <= t.RecCount(); r += 100) {
            t.SetRecNo(r);
            t.DeleteRec();
        }
        t.Pack();
        t.Close();
    }
    for (const auto& e : std::filesystem::directory_iterator(dir_))
        EXPECT_TRUE(e.path() == path || e.path() == memo) << "left behind: " << e.path();
}

// The memo of the table's record with Seq n.
std::vector<std::string> SwapMemoOf(uint32_t n) {
    return {"Name " + std::to_string(n), "Street " + std::to_string(n)};
}

// Fills the table at path to `total` records with memos, deletes every other
// one and packs it; the pack stops right after its swap was decided (the
// marker's rename goes through, the memo file's fails), nothing renamed yet.
void LeaveInterruptedSwap(const std::string& path, uint32_t total) {
    TTzDbf t("Make");
    t.SetDbfFileName(path);
    t.SetDbfFields({"Address,M,10,0", "Seq,N,8,0"});
    t.SetExclusive(true);
    t.Open();
    for (uint32_t n = t.RecCount() + 1; n <= total; ++n) {
        t.ClearRecord();
        t.SetMField("Address", SwapMemoOf(n));
        t.SetField("Seq", std::to_string(n));
        t.AppendRec();
    }
    for (uint32_t r = 1; r <= t.RecCount(); r += 2) {
        t.SetRecNo(r);
        t.DeleteRec();
    }
    testing::FaultyFileSystem fs;
    fs.kinds = testing::kFaultRename;
    fs.failAt = 2;
    SetFileSystem(&fs);
    EXPECT_THROW(t.Pack(), EZezudError);
    SetFileSystem(nullptr);
    t.Close();
    ASSERT_TRUE(std::filesystem::exists(PackMarkerName(std::filesystem::canonical(path).string())));
}

// Every record's memo is its own.
void ExpectMemosMatchRecords(TTzDbf& t) {
    std::vector<std::string> lines;
    for (uint32_t r = 1; r <= t.RecCount(); ++r) {
        t.SetRecNo(r);
        const uint32_t seq = uint32_t(std::stoul(t.FieldDisplay(1)));
        t.GetMField("Address", lines);
        ASSERT_EQ(lines, SwapMemoOf(seq)) << "record " << r;
    }
}

// A memo pack stopped right after its swap was decided: copies opening the
// table at the same moment all get in, the swap is finished once, and every
// memo matches its record.
TEST_F(MultiProcessTest, InterruptedSwapIsFinishedByCopiesOpeningTogether) {
    const std::string path = Path("book.dbf");
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NO_FATAL_FAILURE(LeaveInterruptedSwap(path, 300));
        std::vector<std::unique_ptr<Child>> copies;
        for (int i = 0; i < 3; ++i)
            copies.push_back(std::make_unique<Child>(std::vector<std::string>{"hold", path}));
        for (auto& c : copies) EXPECT_EQ(c->ReadLine(), "ready");
        copies.clear(); // each holds the others' pipes: ended by a kill
        TTzDbf t("Reader");
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.Open();
        ASSERT_NO_FATAL_FAILURE(ExpectMemosMatchRecords(t));
        t.Close();
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            EXPECT_TRUE(e.path() == path || e.path() == Path("book.DBT"))
                << "left behind: " << e.path();
    }
}

// Stops a copy finishing a swap while it holds the table: the marker is
// removed then (as the copy that finished first removes it), and the copy
// waits there until released.
class PausedSwapFileSystem : public IFileSystem {
public:
    explicit PausedSwapFileSystem(std::string marker) : marker_(std::move(marker)) {}
    std::unique_ptr<IFile> Open(const std::string& p, TOpenMode m, int& err) override {
        return PosixFileSystem().Open(p, m, err);
    }
    int Remove(const std::string& p) override { return PosixFileSystem().Remove(p); }
    int LinkNoReplace(const std::string& a, const std::string& b) override {
        return PosixFileSystem().LinkNoReplace(a, b);
    }
    bool Exists(const std::string& p) override { return PosixFileSystem().Exists(p); }
    int Rename(const std::string& a, const std::string& b) override {
        return PosixFileSystem().Rename(a, b);
    }
    int SyncFolder(const std::string& p) override {
        if (!paused_.exchange(true)) {
            PosixFileSystem().Remove(marker_);
            holding_.set_value();
            release_.get_future().wait();
        }
        return PosixFileSystem().SyncFolder(p);
    }
    std::future<void> Holding() { return holding_.get_future(); }
    void Release() { release_.set_value(); }

private:
    std::string marker_;
    std::atomic<bool> paused_{false};
    std::promise<void> holding_, release_;
};

// A copy that meets another one finishing the swap, after the marker is gone
// but while that copy still holds the table for its last steps, waits those
// moments out instead of reporting a sharing violation; a table held open
// exclusively still refuses it at once.
TEST_F(MultiProcessTest, OpenWaitsForACopyFinishingTheSwap) {
    const std::string path = Path("book.dbf");
    ASSERT_NO_FATAL_FAILURE(LeaveInterruptedSwap(path, 300));
    PausedSwapFileSystem fs(PackMarkerName(std::filesystem::canonical(path).string()));
    SetFileSystem(&fs);
    std::thread finisher([&] { FinishInterruptedPack(path, path); });
    fs.Holding().wait();
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        fs.Release();
    });
    TTzDbf t("Opener");
    t.SetDbfFileName(path);
    t.SetCreateIfNotFound(false);
    EXPECT_NO_THROW(t.Open());
    releaser.join();
    finisher.join();
    SetFileSystem(nullptr);
    ASSERT_TRUE(t.Active());
    ASSERT_NO_FATAL_FAILURE(ExpectMemosMatchRecords(t));

    TTzDbf ex("Exclusive");
    ex.SetDbfFileName(path);
    ex.SetExclusive(true);
    const auto start = std::chrono::steady_clock::now();
    try {
        ex.Open();
        ADD_FAILURE() << "an exclusive open beside a shared one";
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::SharingViolation);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLockWaitMs / 2));
    t.Close();
}

} // namespace
} // namespace qm::table
