// A walk in key order over a damaged index: every record is visited at most once, and the
// walk forward ends with the engine's index error instead of going round for ever.
#include <set>

#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::Le32;
using testing::ReadBytes;

class IndexWalkTest : public testing::TableTest {
protected:
    // An address-like table of n records keyed on a name, with an index "name" of at
    // least two levels.
    void Fill(int n) {
        TTzDbf t("TzDbfWalk");
        t.SetDbfFileName(Path("book.dbf"));
        t.SetDbfFields({"name, C, 20, 0", "zip, C, 10, 0"});
        t.SetExclusive(true);
        t.Open();
        for (int i = 0; i < n; ++i) {
            t.ClearRecord();
            char name[16];
            std::snprintf(name, sizeof name, "N%05d", (i * 37) % n);
            t.SetField("name", name);
            t.SetField("zip", "12345");
            t.AppendRec();
        }
        ASSERT_TRUE(t.IndexOnOne("name", "name"));
        t.Close();
    }

    // Points every child of the tag's root page at the first child, so that each step
    // down from the root ends in the first leaf.
    void DamageRoot() {
        std::vector<uint8_t> f = ReadBytes(Path("name.MDX"));
        const uint32_t tagHeader = Le32(f, 544);
        const uint32_t root = Le32(f, size_t(tagHeader) * 512);
        const size_t itemLength =
            size_t(f[size_t(tagHeader) * 512 + 18]) | size_t(f[size_t(tagHeader) * 512 + 19]) << 8;
        const size_t page = size_t(root) * 512;
        const uint32_t keys = Le32(f, page);
        const uint32_t firstChild = Le32(f, page + 8);
        ASSERT_NE(Le32(f, page + 8 + keys * itemLength), 0u) << "the root must be an inner page";
        for (uint32_t i = 0; i <= keys; ++i)
            for (int b = 0; b < 4; ++b)
                f[page + 8 + i * itemLength + size_t(b)] = uint8_t(firstChild >> (8 * b));
        testing::WriteBytes(Path("name.MDX"), f);
    }
};

TEST_F(IndexWalkTest, DamagedRootEndsTheWalkWithTheIndexError) {
    constexpr int kRecords = 400;
    Fill(kRecords);
    {
        // The sound index visits every record once, in key order.
        TTzDbf t("TzDbfWalk");
        t.SetDbfFileName(Path("book.dbf"));
        t.Open();
        t.SetIndexTo("name");
        std::set<uint32_t> seen;
        std::string previous;
        for (t.First(); !t.Eof(); t.Next()) {
            EXPECT_TRUE(seen.insert(t.RecNo()).second);
            EXPECT_LT(previous, t.GetField("name"));
            previous = t.GetField("name");
        }
        EXPECT_EQ(seen.size(), size_t(kRecords));
        t.Close();
    }
    DamageRoot();
    leavesDamagedTables_ = true;
    for (const bool forward : {true, false}) {
        SCOPED_TRACE(forward ? "forward" : "backward");
        TTzDbf t("TzDbfWalk");
        t.SetDbfFileName(Path("book.dbf"));
        t.Open();
        t.SetIndexTo("name");
        std::set<uint32_t> seen;
        int steps = 0;
        try {
            // Bounded, so that a walk going round fails the test instead of hanging it.
            if (forward) {
                for (t.First(); !t.Eof() && steps < 4 * kRecords; t.Next(), ++steps)
                    EXPECT_TRUE(seen.insert(t.RecNo()).second) << "record " << t.RecNo();
            } else {
                for (t.Last(); !t.Bof() && steps < 4 * kRecords; t.Prior(), ++steps)
                    EXPECT_TRUE(seen.insert(t.RecNo()).second) << "record " << t.RecNo();
            }
            EXPECT_LT(steps, 4 * kRecords) << "the walk goes round";
            // Walking back the damaged tree ends at the first leaf's first key; the walk
            // forward is the one that would lead back to records already walked.
            if (forward) ADD_FAILURE() << "the walk ended without an error after " << steps;
        } catch (const EZezudError& e) {
            EXPECT_EQ(CodeValue(e.Error()), 222);
            EXPECT_NE(e.Context().find("name.MDX"), std::string::npos) << e.Context();
        }
        EXPECT_LT(seen.size(), size_t(kRecords));
        t.Close();
    }
}

} // namespace
} // namespace qm::table
