// Copies of qmtable appending to one table with memo file and production
// index at once, first alone, then beside a copy packing it over and over:
// every append that reported its record leaves that record in every tag.
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "mdx_file.h"
#include "qmtable_run.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::QmTable;
using testing::Quote;
using testing::TRun;

// How long the appenders run alone, and then beside the packer.
constexpr std::chrono::seconds kPhase{20};
constexpr int kAppenders = 3;

class IndexedAppendsTest : public testing::TableTest {};

struct TAppendLog {
    std::mutex mutex;
    std::map<std::string, long> appended; // "tag:seq" -> reported record number
    std::vector<std::string> faults;      // every unexpected exit or message
    void Fault(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex);
        faults.push_back(what);
    }
};

// Appends "tag=T seq=N note=..." until `stop`; a refusal for a lock (exit 3)
// is tried again, anything else is a fault.
void AppendLoop(const std::string& path, const std::string& tag, const std::atomic<bool>& stop,
                TAppendLog& log) {
    for (long seq = 1; !stop; ++seq) {
        const std::string args = "append " + Quote(path) + " tag=" + tag +
                                 " seq=" + std::to_string(seq) + " " +
                                 Quote("note=" + tag + " " + std::to_string(seq));
        TRun r = QmTable(args);
        while (r.status == 3 && !stop) r = QmTable(args);
        if (r.status == 3) break;
        char* end = nullptr;
        const long recNo = std::strtol(r.out.c_str(), &end, 10);
        if (r.status != 0 || recNo <= 0 || std::string(end) != "\n") {
            log.Fault(tag + ":" + std::to_string(seq) + " exit " + std::to_string(r.status) + ": " +
                      r.out);
            continue;
        }
        std::lock_guard<std::mutex> lock(log.mutex);
        log.appended[tag + ":" + std::to_string(seq)] = recNo;
    }
}

TEST_F(IndexedAppendsTest, EveryAppendIsInEveryTag) {
    const std::string path = Path("book.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"tag,C,8,0", "seq,N,8,0", "note,M,10,0"});
        t.SetIndexList({"TAG,F,F,tag", "", "SEQ,F,F,seq", ""});
        t.SetExclusive(true);
        t.Open();
        t.Close();
    }
    TAppendLog log;
    std::atomic<bool> stop{false}, stopPacks{false};
    std::atomic<int> packs{0};
    std::vector<std::thread> appenders;
    for (int i = 0; i < kAppenders; ++i)
        appenders.emplace_back(AppendLoop, path, std::string(1, char('A' + i)), std::cref(stop),
                               std::ref(log));
    std::this_thread::sleep_for(kPhase);
    const size_t alone = log.appended.size();
    std::thread packer([&] {
        while (!stopPacks) {
            const TRun r = QmTable("pack " + Quote(path));
            if (r.status == 0) ++packs;
            if (r.status != 0 && r.status != 3)
                log.Fault("pack exit " + std::to_string(r.status) + ": " + r.out);
        }
    });
    std::this_thread::sleep_for(kPhase);
    stop = true;
    for (std::thread& a : appenders) a.join();
    stopPacks = true;
    packer.join();
    std::printf("%zu appends alone, %zu beside %d packs\n", alone, log.appended.size() - alone,
                packs.load());
    for (const std::string& f : log.faults) ADD_FAILURE() << f;
    EXPECT_GT(alone, 30u);
    EXPECT_GT(packs.load(), 0);

    const TRun check = QmTable("check " + Quote(path));
    EXPECT_EQ(check.status, 0) << check.out;

    // The records as stored, then each tag's walk: every record once.
    std::map<uint32_t, std::string> records;
    uint32_t count = 0;
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.SetReadOnly(true);
        t.Open();
        count = t.RecCount();
        for (uint32_t r = 1; r <= count; ++r) {
            t.SetRecNo(r);
            records[r] = t.FieldDisplay(0) + ":" + t.FieldDisplay(1);
        }
    }
    std::set<std::string> stored;
    for (const auto& [r, key] : records) EXPECT_TRUE(stored.insert(key).second) << key;
    for (const auto& [key, recNo] : log.appended) EXPECT_EQ(stored.count(key), 1u) << key;
    EXPECT_EQ(stored.size(), log.appended.size());
    TMdxFile mdx;
    mdx.Open(WithExtension(path, "MDX"), true);
    ASSERT_EQ(mdx.Tags().size(), 2u);
    for (int tag = 0; tag < 2; ++tag) {
        SCOPED_TRACE(mdx.Tags()[size_t(tag)].name);
        std::set<uint32_t> walked;
        TMdxItem it;
        for (bool more = mdx.First(tag, it); more && walked.size() <= count;
             more = mdx.Next(tag, it.key.data(), it.recNo, it))
            EXPECT_TRUE(walked.insert(it.recNo).second) << "record " << it.recNo << " twice";
        EXPECT_EQ(walked.size(), size_t(count));
        for (uint32_t r = 1; r <= count; ++r)
            EXPECT_EQ(walked.count(r), 1u) << "record " << r << " (" << records[r] << ")";
    }
}

} // namespace
} // namespace qm::table
