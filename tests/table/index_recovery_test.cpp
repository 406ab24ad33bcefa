// A production index that no longer holds the table's records: left stale by
// a pack stopped halfway, leading a walk round in a circle, or damaged or
// missing. The table stays readable and writable in record order, and an
// exclusive open or qmtable reindex builds the index again from the records.
#include <filesystem>
#include <functional>

#include "fault_fs.h"
#include "pack_swap.h"
#include "qmtable_run.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::Le32;
using testing::QmTable;
using testing::Quote;
using testing::ReadBytes;
using testing::TRun;
using testing::WriteBytes;

class IndexRecoveryTest : public testing::TableTest {
protected:
    // Record numbers in the table's active order, First to the end.
    static std::vector<uint32_t> Walk(TTzDbf& t) {
        std::vector<uint32_t> order;
        for (t.First(); !t.Eof() && order.size() <= t.RecCount(); t.Next())
            order.push_back(t.RecNo());
        return order;
    }
    static std::vector<uint32_t> RecordOrder(uint32_t count) {
        std::vector<uint32_t> order(count);
        for (uint32_t i = 0; i < count; ++i) order[i] = i + 1;
        return order;
    }
    void Append(const std::string& path, uint32_t seq) {
        const TRun r = QmTable("append " + Quote(path) + " seq=" + std::to_string(seq) + " " +
                               Quote("note=Note " + std::to_string(seq)));
        ASSERT_EQ(r.status, 0) << r.out;
    }
    // Opens shared (or exclusively), keeping the engine's messages.
    void Open(TTzDbf& t, const std::string& path, bool exclusive) {
        messages_.clear();
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.SetExclusive(exclusive);
        t.Open();
    }
};

// A pack stopped right after its swap was decided, then appends by copies
// that find the index stale, until the table has as many records as the index
// once held: no open takes that index for sound.
TEST_F(IndexRecoveryTest, IndexOfAHalfFinishedPackIsRebuilt) {
    const std::string path = Path("book.dbf");
    constexpr uint32_t kTotal = 24;
    {
        TTzDbf t("Make");
        t.SetDbfFileName(path);
        t.SetDbfFields({"note,M,10,0", "seq,N,8,0"});
        t.SetIndexList({"SEQ,T,F,seq", ""}); // descending: key order is not record order
        t.SetExclusive(true);
        t.Open();
        for (uint32_t n = 1; n <= kTotal; ++n) {
            t.ClearRecord();
            t.SetMField("note", {"Note " + std::to_string(n)});
            t.SetField("seq", std::to_string(n));
            t.AppendRec();
        }
        for (uint32_t r = 1; r <= kTotal; r += 2) {
            t.SetRecNo(r);
            t.DeleteRec();
        }
        testing::FaultyFileSystem fs;
        fs.kinds = testing::kFaultRename;
        fs.failAt = 2; // the marker's rename goes through, the memo file's fails
        SetFileSystem(&fs);
        EXPECT_THROW(t.Pack(), EZezudError);
        SetFileSystem(nullptr);
        t.Close();
    }
    ASSERT_TRUE(std::filesystem::exists(PackMarkerName(std::filesystem::canonical(path).string())));
    // The first shared open finishes the swap; the index is no longer trusted.
    {
        TTzDbf t;
        Open(t, path, false);
        ASSERT_EQ(t.RecCount(), kTotal / 2);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find("qmtable reindex " + path), std::string::npos) << messages_[0];
        EXPECT_EQ(Walk(t), RecordOrder(kTotal / 2));
    }
    for (uint32_t seq = kTotal + 1; seq <= kTotal + kTotal / 2; ++seq) Append(path, seq);
    {
        TTzDbf t;
        Open(t, path, false);
        ASSERT_EQ(t.RecCount(), kTotal);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find("qmtable reindex " + path), std::string::npos) << messages_[0];
        EXPECT_EQ(Walk(t), RecordOrder(kTotal));
    }
    {
        TTzDbf t;
        Open(t, path, true);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find("has been rebuilt"), std::string::npos) << messages_[0];
        std::vector<long> seqs;
        for (t.First(); !t.Eof() && seqs.size() <= kTotal; t.Next())
            seqs.push_back(std::stol(t.FieldDisplay(1)));
        ASSERT_EQ(seqs.size(), size_t(kTotal));
        EXPECT_TRUE(std::is_sorted(seqs.rbegin(), seqs.rend()));
    }
    EXPECT_EQ(QmTable("check " + Quote(path)).status, 0);
}

// An index whose keys no longer match the records leads Next back to records
// already passed; the walk ends with the index's error instead of going round.
TEST_F(IndexRecoveryTest, WalkRoundACircleEnds) {
    leavesDamagedTables_ = true;
    const std::string path = Path("circle.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"name,C,4,0"});
        t.SetExclusive(true);
        t.Open();
        for (const char* name : {"a", "b", "c"}) {
            t.ClearRecord();
            t.SetField("name", name);
            t.AppendRec();
        }
        ASSERT_TRUE(t.MakeIndex({{"NAME", "name", "", false, false}}, "circle"));
    }
    // Record 3 now reads "a" behind the index's back: from it Next goes to "b" again.
    auto b = ReadBytes(path);
    b[size_t(testing::Le16(b, 8)) + 2 * size_t(testing::Le16(b, 10)) + 1] = 'a';
    WriteBytes(path, b);
    TTzDbf t;
    t.SetDbfFileName(path);
    t.Open();
    t.SetIndexTo("circle");
    int steps = 0;
    try {
        for (t.First(); !t.Eof() && steps < 100; t.Next()) ++steps;
        ADD_FAILURE() << "the walk went on for " << steps << " steps";
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::CorruptedIndex);
        EXPECT_NE(std::string(e.what()).find("leads round"), std::string::npos) << e.what();
    }
    EXPECT_LE(steps, 3);
}

// Each damage of the index file: a shared open reads and writes in record
// order and names the remedy; qmtable reindex builds the index from the
// records; then every record is in it and check finds nothing.
TEST_F(IndexRecoveryTest, ReindexRebuildsWhateverIsLeftOfTheIndex) {
    struct TCase {
        const char* name;
        std::function<void(const std::string& mdx)> damage;
    };
    const auto edit = [](const std::function<void(std::vector<uint8_t>&)>& change) {
        return [change](const std::string& mdx) {
            auto b = ReadBytes(mdx);
            change(b);
            WriteBytes(mdx, b);
        };
    };
    const std::vector<TCase> cases = {
        {"cut", edit([](std::vector<uint8_t>& b) { b.resize(2048 + 1024); })},
        {"missing", [](const std::string& mdx) { std::filesystem::remove(mdx); }},
        {"empty", edit([](std::vector<uint8_t>& b) { b.clear(); })},
        {"tags255", edit([](std::vector<uint8_t>& b) { b[28] = 255; })},
        {"pagesize0", edit([](std::vector<uint8_t>& b) { b[22] = b[23] = 0; })},
        {"garbagetag", edit([](std::vector<uint8_t>& b) {
             const size_t header = size_t(Le32(b, 544)) * 512;
             std::fill(b.begin() + long(header), b.begin() + long(header) + 1024, 0xA5);
         })},
        {"keylength",
         edit([](std::vector<uint8_t>& b) { b[size_t(Le32(b, 544)) * 512 + 12] = 99; })},
    };
    constexpr uint32_t kRecords = 30;
    constexpr uint32_t kSeqBase = 100;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path(std::string(c.name) + ".dbf");
        {
            TTzDbf t;
            t.SetDbfFileName(path);
            t.SetDbfFields({"note,M,10,0", "seq,N,8,0"});
            // A plain tag on a field: the table's field marks keep it when the
            // index file is lost. Seq falls as the records go on.
            t.SetIndexList({"SEQ,F,F,seq", ""});
            t.SetExclusive(true);
            t.Open();
            for (uint32_t n = 1; n <= kRecords; ++n) {
                t.ClearRecord();
                t.SetMField("note", {"Note " + std::to_string(n)});
                t.SetField("seq", std::to_string(kSeqBase - n));
                t.AppendRec();
            }
        }
        c.damage(WithExtension(path, "MDX"));
        {
            TTzDbf t;
            Open(t, path, false);
            ASSERT_EQ(messages_.size(), 1u);
            EXPECT_NE(messages_[0].find("qmtable reindex " + path), std::string::npos)
                << messages_[0];
            EXPECT_EQ(Walk(t), RecordOrder(kRecords));
        }
        Append(path, kSeqBase - (kRecords + 1));
        const TRun reindex = QmTable("reindex " + Quote(path));
        EXPECT_EQ(reindex.status, 0) << reindex.out;
        const TRun check = QmTable("check " + Quote(path));
        EXPECT_EQ(check.status, 0) << check.out;
        TTzDbf t;
        Open(t, path, false);
        EXPECT_TRUE(messages_.empty()) << messages_.front();
        std::vector<uint32_t> walk = Walk(t);
        std::vector<uint32_t> descending = RecordOrder(kRecords + 1);
        std::reverse(descending.begin(), descending.end());
        EXPECT_EQ(walk, descending);
    }
}

} // namespace
} // namespace qm::table
