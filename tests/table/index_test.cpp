// Multiple-index files: the bytes of the header, tag entries and tag headers;
// the keys of every tag walked page by page (by our own walker here and by
// Perl's XBase::Index) against the records; navigation in key order; keys kept
// through appends and rewrites, also from a second process; damaged files.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "fault_fs.h"
#include "index_key.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::Le16;
using testing::Le32;
using testing::ReadBytes;
using testing::WriteBytes;

struct TKeyRec {
    uint32_t rec;
    std::string key; // raw key bytes
    bool operator==(const TKeyRec&) const = default;
};

// Walks a tag's tree in the file, written here from the page layout alone:
// an inner page has a non-zero child number after its last key.
struct TWalk {
    std::vector<TKeyRec> items;
    int depth = 0;
    int keyLength = 0;
    char type = 0;
};

size_t TagEntryOffset(int entry) {
    return 544 + 32 * size_t(entry - 1);
}

TWalk WalkTag(const std::string& path, const std::string& tag) {
    const std::vector<uint8_t> f = ReadBytes(path);
    TWalk w;
    for (int e = 1; e <= f[28]; ++e) {
        const size_t at = TagEntryOffset(e);
        if (std::string(reinterpret_cast<const char*>(&f[at + 4])) != tag) continue;
        const size_t th = size_t(Le32(f, at)) * 512;
        w.type = char(f[th + 9]);
        w.keyLength = Le16(f, th + 12);
        const int item = Le16(f, th + 18);
        const auto walk = [&](auto&& self, uint32_t block, int level) -> void {
            w.depth = std::max(w.depth, level);
            const size_t p = size_t(block) * 512;
            const uint32_t n = Le32(f, p);
            const bool inner = Le32(f, p + 8 + n * item) != 0;
            for (uint32_t i = 0; i < n + (inner ? 1 : 0); ++i) {
                const size_t it = p + 8 + i * size_t(item);
                if (inner) {
                    self(self, Le32(f, it), level + 1);
                } else {
                    w.items.push_back(
                        {Le32(f, it), std::string(reinterpret_cast<const char*>(&f[it + 4]),
                                                  size_t(w.keyLength))});
                }
            }
        };
        walk(walk, Le32(f, th), 1);
        return w;
    }
    ADD_FAILURE() << "no tag " << tag << " in " << path;
    return w;
}

std::string RunPerl(const std::string& args) {
    const std::string cmd = "perl '" QM_MDX_SCRIPT "' " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

std::string ToHex(const std::string& s) {
    static const char* d = "0123456789abcdef";
    std::string h;
    for (unsigned char c : s) {
        h += d[c >> 4];
        h += d[c & 15];
    }
    return h;
}

// Perl's walk as "rec<TAB>hex" lines, and ours the same way.
std::string PerlWalk(const std::string& path, const std::string& tag) {
    return RunPerl("walk '" + path + "' " + tag);
}
std::string AsLines(const std::vector<TKeyRec>& items) {
    std::string s;
    for (const TKeyRec& k : items) s += std::to_string(k.rec) + "\t" + ToHex(k.key) + "\n";
    return s;
}

double DateValue(const std::string& key) {
    double v;
    std::memcpy(&v, key.data(), 8);
    return v;
}

// Our walk must hold exactly the expected (record, key) pairs, in key order.
void ExpectKeys(const TWalk& w, std::vector<TKeyRec> expected) {
    const auto less = [&](const TKeyRec& a, const TKeyRec& b) {
        if (w.type == 'D') return DateValue(a.key) < DateValue(b.key);
        if (w.type == 'N' || w.type == 'F')
            return DecodeNumericKey(reinterpret_cast<const uint8_t*>(a.key.data())) <
                   DecodeNumericKey(reinterpret_cast<const uint8_t*>(b.key.data()));
        return a.key < b.key;
    };
    for (size_t i = 1; i < w.items.size(); ++i)
        ASSERT_FALSE(less(w.items[i], w.items[i - 1])) << "keys out of order at " << i;
    std::vector<TKeyRec> got = w.items;
    const auto byRec = [](const TKeyRec& a, const TKeyRec& b) { return a.rec < b.rec; };
    std::sort(got.begin(), got.end(), byRec);
    std::sort(expected.begin(), expected.end(), byRec);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].rec, expected[i].rec);
        ASSERT_EQ(ToHex(got[i].key), ToHex(expected[i].key)) << "record " << got[i].rec;
    }
}

// The key a record should have, computed here from the record's bytes.
std::string TextKey(TTzDbf& t, const char* field) {
    return t.GetField(field);
}
std::string DateKey(int y, int m, int d) {
    // Days from 1 January 2000 (day number 2451545) by counting whole days.
    double v = 1e100;
    if (y != 0) {
        long days = 0;
        for (int yy = 2000; yy < y; ++yy)
            days += (yy % 4 == 0 && (yy % 100 != 0 || yy % 400 == 0)) ? 366 : 365;
        for (int yy = y; yy < 2000; ++yy)
            days -= (yy % 4 == 0 && (yy % 100 != 0 || yy % 400 == 0)) ? 366 : 365;
        static const int mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        for (int mm = 1; mm < m; ++mm)
            days += mdays[mm - 1] + (mm == 2 && y % 4 == 0 && (y % 100 != 0 || y % 400 == 0));
        v = 2451545.0 + double(days + d - 1);
    }
    std::string s(8, '\0');
    std::memcpy(s.data(), &v, 8);
    return s;
}

class IndexTest : public testing::TableTest {
protected:
    // The mailing log with n entries of varied names, ZIP codes, dates and numbers.
    void FillLog(TTzDbf& t, int n, unsigned seed) {
        t.SetDbfFileName(Path("log.dbf"));
        t.SetDbfFields(testing::LogFieldLines());
        t.SetExclusive(true);
        t.Open();
        std::mt19937 rng(seed);
        const char* first[] = {"smith", "Smith", "ADAMS", "adams", "Zed", "o'Neil", "Baker", "b"};
        for (int i = 0; i < n; ++i) {
            t.ClearRecord();
            t.SetField("sentname0",
                       std::string(first[rng() % 8]) + " " + std::to_string(rng() % 997));
            t.SetField("zip", std::to_string(10000 + rng() % 89999));
            if (rng() % 10 != 0) {
                dates_.push_back(
                    {int(1990 + rng() % 40), int(1 + rng() % 12), int(1 + rng() % 28)});
                const TDate& d = dates_.back();
                t.SetField("rdate", std::to_string(d.month) + "/" + std::to_string(d.day) + "/" +
                                        std::to_string(d.year));
            } else {
                dates_.push_back({});
            }
            t.SetField("mailernum", "7008 " + std::to_string(rng() % 100000000));
            t.AppendRec();
        }
    }
    std::vector<TKeyRec> Expected(TTzDbf& t, const char* field) {
        std::vector<TKeyRec> out;
        for (uint32_t r = 1; r <= t.RecCount(); ++r) {
            t.SetRecNo(r);
            if (std::string(field) == "rdate") {
                const TDate& d = dates_[r - 1];
                out.push_back({r, DateKey(d.year, d.month, d.day)});
            } else {
                out.push_back({r, TextKey(t, field)});
            }
        }
        return out;
    }
    std::vector<uint32_t> Navigation(TTzDbf& t) {
        std::vector<uint32_t> recs;
        for (t.First(); !t.Eof(); t.Next()) recs.push_back(t.RecNo());
        return recs;
    }
    std::vector<TDate> dates_;
};

TEST(IndexKeys, Forms) {
    // Julian day numbers and date keys.
    EXPECT_EQ(JulianDayNumber({2000, 1, 1}), 2451545);
    EXPECT_EQ(JulianDayNumber({1, 1, 1}), 1721426);
    EXPECT_EQ(JulianDayNumber({1970, 1, 1}), 2440588);
    EXPECT_EQ(JulianDayNumber({2008, 3, 5}), 2454531);
    uint8_t k[12];
    EncodeDateKey({}, k);
    EXPECT_EQ(DecodeDateKey(k), 1e100);
    EncodeDateKey({2000, 1, 1}, k);
    EXPECT_EQ(ToHex(std::string(reinterpret_cast<char*>(k), 8)), "000000802cb44241");
    // Item lengths and keys per page.
    const struct {
        int key, item, perPage;
    } items[] = {{10, 16, 63}, {8, 12, 84}, {30, 36, 28}, {35, 40, 25},
                 {12, 16, 63}, {1, 8, 126}, {100, 104, 9}};
    for (const auto& c : items) {
        EXPECT_EQ(KeyItemLength(c.key), c.item) << c.key;
        EXPECT_EQ(MaxKeysPerPage(c.key), c.perPage) << c.key;
    }
    // Packed decimal numeric keys.
    const struct {
        double v;
        const char* hex;
    } nums[] = {
        {0, "340100000000000000000000"},    {1, "350510000000000000000000"},
        {-1, "358510000000000000000000"},   {12.5, "360d12500000000000000000"},
        {0.05, "330550000000000000000000"}, {-123.45, "379512345000000000000000"},
        {1e6, "3b0510000000000000000000"},
    };
    for (const auto& c : nums) {
        EncodeNumericKey(c.v, k);
        EXPECT_EQ(ToHex(std::string(reinterpret_cast<char*>(k), 12)),
                  std::string(c.hex).substr(0, 24))
            << c.v;
        EXPECT_DOUBLE_EQ(DecodeNumericKey(k), c.v);
    }
    // Compared as numbers.
    const double ordered[] = {-1e9, -123.45, -1, -0.05, 0, 0.001, 0.05, 1, 9.99, 10, 12.5, 1e6};
    for (size_t i = 1; i < std::size(ordered); ++i) {
        uint8_t a[12], b[12];
        EncodeNumericKey(ordered[i - 1], a);
        EncodeNumericKey(ordered[i], b);
        EXPECT_LT(CompareKeys('N', a, b, 12), 0) << ordered[i - 1] << " < " << ordered[i];
        EXPECT_GT(CompareKeys('N', b, a, 12), 0);
    }
}

// Sorting the log by ZIP code and by date: every header and tag field.
TEST_F(IndexTest, HeaderAndTagFields) {
    TTzDbf t("TzDbfReport");
    FillLog(t, 3, 1);
    const struct {
        const char *field, *name;
        char type;
        int keyLength, item, perPage, dateFlag;
    } cases[] = {{"zip", "zip", 'C', 10, 16, 63, 0},
                 {"rdate", "rdate", 'D', 8, 12, 84, 1},
                 {"sentname0", "name", 'C', 30, 36, 28, 0},
                 {"mailernum", "mailernum", 'C', 35, 40, 25, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(t.IndexOnOne(c.field, c.name));
        const std::vector<uint8_t> f = ReadBytes(Path(std::string(c.name) + ".MDX"));
        ASSERT_EQ(f.size(), 2048u + 1024 + 1024); // header, one leaf, the tag header
        EXPECT_EQ(f[0], 2);
        EXPECT_EQ(f[1], 108); // 2008-03-05, the test clock
        EXPECT_EQ(f[2], 3);
        EXPECT_EQ(f[3], 5);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[4]), 16),
                  std::string("log") + std::string(13, '\0'));
        EXPECT_EQ(Le16(f, 20), 2);
        EXPECT_EQ(Le16(f, 22), 1024);
        EXPECT_EQ(f[24], 1);
        EXPECT_EQ(f[25], 48);
        EXPECT_EQ(f[26], 32);
        EXPECT_EQ(f[27], 0);
        EXPECT_EQ(f[28], 1);
        EXPECT_EQ(f[29] | f[30] | f[31], 0);
        EXPECT_EQ(Le32(f, 32), f.size() / 512); // blocks in the file
        EXPECT_EQ(f[44], 108);
        EXPECT_EQ(f[45], 3);
        EXPECT_EQ(f[46], 5);
        // The one tag entry.
        const size_t e = 544;
        EXPECT_EQ(Le32(f, e), 6u); // after the header (4 blocks) and the leaf (2)
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[e + 4]), 11),
                  std::string("DUMMY_TAG\0\0", 11));
        EXPECT_EQ(f[e + 15], 0);
        EXPECT_EQ(f[e + 16], 0);
        EXPECT_EQ(f[e + 17], 0);
        EXPECT_EQ(f[e + 18], 0);
        EXPECT_EQ(f[e + 19], 2);
        EXPECT_EQ(f[e + 20], uint8_t(c.type));
        for (size_t i = e + 32; i < 2048; ++i) ASSERT_EQ(f[i], 0) << i;
        // The tag header.
        const size_t th = 6 * 512;
        EXPECT_EQ(Le32(f, th), 4u); // root: the leaf
        EXPECT_EQ(Le32(f, th + 4), 0u);
        EXPECT_EQ(f[th + 8], 0x10);
        EXPECT_EQ(f[th + 9], uint8_t(c.type));
        EXPECT_EQ(Le16(f, th + 12), c.keyLength);
        EXPECT_EQ(Le16(f, th + 14), c.perPage);
        EXPECT_EQ(Le16(f, th + 16), c.dateFlag);
        EXPECT_EQ(Le16(f, th + 18), c.item);
        EXPECT_EQ(f[th + 23], 0);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[th + 24])), c.field);
        EXPECT_EQ(f[th + 245], 0);
        // The leaf: three items, a zero link word and nothing after the last item.
        EXPECT_EQ(Le32(f, 2048), 3u);
        EXPECT_EQ(Le32(f, 2048 + 4), 0u);
        EXPECT_EQ(Le32(f, 2048 + 8 + 3 * size_t(c.item)), 0u);
        // Perl's reader finds the tag and walks the same keys.
        EXPECT_EQ(RunPerl("tags '" + Path(std::string(c.name) + ".MDX") + "'"), "DUMMY_TAG\n");
        const TWalk w = WalkTag(Path(std::string(c.name) + ".MDX"), "DUMMY_TAG");
        EXPECT_EQ(PerlWalk(Path(std::string(c.name) + ".MDX"), "DUMMY_TAG"), AsLines(w.items));
        ExpectKeys(w, Expected(t, c.field));
    }
}

// Tables large enough for three levels: the leaves hold every record's key in
// order, Perl walks the same, and navigation visits the records so.
TEST_F(IndexTest, ThreeLevelsInKeyOrder) {
    TTzDbf t("TzDbfReport");
    FillLog(t, 8000, 7);
    for (const auto& [field, name] :
         std::vector<std::pair<const char*, const char*>>{{"mailernum", "mailernum"},
                                                          {"sentname0", "name"},
                                                          {"rdate", "rdate"},
                                                          {"zip", "zip"}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(t.IndexOnOne(field, name));
        const std::string file = Path(std::string(name) + ".MDX");
        const TWalk w = WalkTag(file, "DUMMY_TAG");
        EXPECT_GE(w.depth, 3);
        ExpectKeys(w, Expected(t, field));
        EXPECT_EQ(PerlWalk(file, "DUMMY_TAG"), AsLines(w.items));
        // Equal keys in record order when built; navigation follows the leaves.
        for (size_t i = 1; i < w.items.size(); ++i) {
            if (w.items[i].key == w.items[i - 1].key) {
                ASSERT_LT(w.items[i - 1].rec, w.items[i].rec);
            }
        }
        std::vector<uint32_t> leaves;
        for (const TKeyRec& k : w.items) leaves.push_back(k.rec);
        EXPECT_EQ(Navigation(t), leaves);
        std::vector<uint32_t> back;
        for (t.Last(); !t.Bof(); t.Prior()) back.push_back(t.RecNo());
        std::reverse(back.begin(), back.end());
        EXPECT_EQ(back, leaves);
    }
    // Empty dates come last; upper case before lower case.
    ASSERT_TRUE(t.IndexOnOne("rdate", "rdate"));
    t.Last();
    EXPECT_EQ(t.GetField("rdate"), "  /  /    ");
    ASSERT_TRUE(t.IndexOnOne("sentname0", "name"));
    t.First();
    EXPECT_EQ(t.GetField("sentname0").substr(0, 6), "ADAMS ");
}

// Keys kept through appends (from an empty index up: leaf, inner and root
// splits) and rewrites, for text, date and numeric tags in one file.
TEST_F(IndexTest, KeysFollowAppendsAndReplaces) {
    TTzDbf t;
    t.SetDbfFileName(Path("upd.dbf"));
    t.SetDbfFields({"name,C,30,0", "d,D,8,0", "amount,N,10,2"});
    t.Open();
    ASSERT_TRUE(t.MakeIndex({{"NAME", "name", "", false, false},
                             {"WHEN", "d", "", false, false},
                             {"AMOUNT", "amount", "", false, false},
                             {"BYNAME", "name", "", true, false}},
                            "upd"));
    t.SetIndexTo("upd");
    std::mt19937 rng(3);
    const auto fill = [&] {
        t.SetField("name", "n" + std::to_string(rng() % 5000));
        t.SetField("d", rng() % 7 == 0 ? std::string()
                                       : std::to_string(1 + rng() % 12) + "/" +
                                             std::to_string(1 + rng() % 28) + "/" +
                                             std::to_string(1950 + rng() % 80));
        t.SetField("amount", std::to_string(int(rng() % 200000) - 100000) + ".25");
    };
    for (int i = 0; i < 1500; ++i) {
        t.ClearRecord();
        fill();
        ASSERT_TRUE(t.ALock());
        t.AppendRec();
        t.UnLock();
    }
    for (uint32_t r = 1; r <= 1500; r += 4) {
        t.SetRecNo(r);
        t.Edit();
        fill();
        t.Post();
    }
    // Expected keys from the records, computed here.
    std::vector<TKeyRec> names, dates, amounts;
    for (uint32_t r = 1; r <= t.RecCount(); ++r) {
        t.SetRecNo(r);
        names.push_back({r, t.GetField("name")});
        TDate d;
        const bool has = ParseEngineDate(t.GetField("d"), d);
        dates.push_back({r, DateKey(has ? d.year : 0, d.month, d.day)});
        uint8_t k[12];
        EncodeNumericKey(std::stod(t.GetField("amount")), k);
        amounts.push_back({r, std::string(reinterpret_cast<char*>(k), 12)});
    }
    const std::string file = Path("upd.MDX");
    EXPECT_EQ(RunPerl("tags '" + file + "'"), "AMOUNT\nBYNAME\nNAME\nWHEN\n");
    for (const auto& [tag, expected] : std::vector<std::pair<std::string, std::vector<TKeyRec>*>>{
             {"NAME", &names}, {"WHEN", &dates}, {"AMOUNT", &amounts}}) {
        SCOPED_TRACE(tag);
        const TWalk w = WalkTag(file, tag);
        EXPECT_GE(w.depth, tag == "NAME" ? 3 : 2); // 28 names a page, 63 or 84 of the others
        ExpectKeys(w, *expected);
        EXPECT_EQ(PerlWalk(file, tag), AsLines(w.items));
    }
    // The descending tag: the same keys, largest first.
    TWalk desc = WalkTag(file, "BYNAME");
    std::reverse(desc.items.begin(), desc.items.end());
    ExpectKeys(desc, names);
    // The name tree of the four tags: NAME at the root, WHEN right of it,
    // AMOUNT and BYNAME on its left.
    const std::vector<uint8_t> f = ReadBytes(file);
    const auto thread = [&](int e, int i) { return f[TagEntryOffset(e) + size_t(i)]; };
    EXPECT_EQ(thread(1, 16), 3); // AMOUNT < NAME
    EXPECT_EQ(thread(1, 17), 2); // WHEN > NAME
    EXPECT_EQ(thread(1, 18), 0);
    EXPECT_EQ(thread(2, 18), 1);
    EXPECT_EQ(thread(3, 17), 4); // BYNAME > AMOUNT
    EXPECT_EQ(thread(3, 18), 1);
    EXPECT_EQ(thread(4, 18), 3);
    EXPECT_EQ(thread(4, 16) | thread(4, 17) | thread(2, 16) | thread(2, 17), 0);
    // Navigation follows the first tag.
    std::vector<uint32_t> leaves;
    for (const TKeyRec& k : WalkTag(file, "NAME").items) leaves.push_back(k.rec);
    EXPECT_EQ(Navigation(t), leaves);

    // Packing renumbers the records: the open index is rebuilt with them.
    for (uint32_t r = 1; r <= 1500; r += 3) {
        t.SetRecNo(r);
        ASSERT_TRUE(t.RLock());
        t.DeleteRec();
        t.UnLock();
    }
    t.Pack();
    ASSERT_EQ(t.RecCount(), 1000u);
    names.clear();
    for (uint32_t r = 1; r <= 1000; ++r) {
        t.SetRecNo(r);
        names.push_back({r, t.GetField("name")});
    }
    ExpectKeys(WalkTag(file, "NAME"), names);
    EXPECT_EQ(RunPerl("tags '" + file + "'"), "AMOUNT\nBYNAME\nNAME\nWHEN\n");
    EXPECT_EQ(Navigation(t).size(), 1000u);
}

// A walk in key order while records are appended and rewritten under it:
// every step goes forward in key order and no record comes twice.
TEST_F(IndexTest, WalkWhileKeysChange) {
    TTzDbf t;
    t.SetDbfFileName(Path("walk.dbf"));
    t.SetDbfFields({"name,C,30,0"});
    t.Open();
    std::mt19937 rng(11);
    const auto add = [&] {
        t.ClearRecord();
        t.SetField("name", "n" + std::to_string(rng() % 100000));
        ASSERT_TRUE(t.ALock());
        t.AppendRec();
        t.UnLock();
    };
    for (int i = 0; i < 800; ++i) add();
    ASSERT_TRUE(t.IndexOnOne("name", "walk"));
    std::vector<std::string> seen;
    std::set<uint32_t> visited;
    for (t.First(); !t.Eof(); t.Next()) {
        const uint32_t at = t.RecNo();
        const std::string name = t.GetField("name");
        ASSERT_TRUE(visited.insert(at).second) << "record " << at << " twice";
        if (!seen.empty()) {
            ASSERT_GE(name, seen.back());
        }
        seen.push_back(name);
        if (rng() % 3 == 0) {
            // Appending moves the cursor to the new record: come back, then go on.
            add();
            t.SetRecNo(at);
        }
        if (rng() % 5 == 0 && at > 1) {
            // Rewrite an earlier record to a key before this one.
            t.SetRecNo(at - 1);
            t.Edit();
            t.SetField("name", "a");
            t.Post();
            t.SetRecNo(at);
        }
    }
    EXPECT_GE(seen.size(), 800u - 200u);
    // The index still holds every record once.
    std::vector<TKeyRec> names;
    for (uint32_t r = 1; r <= t.RecCount(); ++r) {
        t.SetRecNo(r);
        names.push_back({r, t.GetField("name")});
    }
    ExpectKeys(WalkTag(Path("walk.MDX"), "DUMMY_TAG"), names);
}

TEST_F(IndexTest, FindAndFindExact) {
    TTzDbf t;
    t.SetDbfFileName(Path("f.dbf"));
    t.SetDbfFields({"name,C,10,0", "d,D,8,0"});
    t.SetHideDeletedRecs(true);
    t.Open();
    for (const char* n : {"delta", "alpha", "charlie", "bravo", "alpine", "alp"}) {
        t.ClearRecord();
        t.SetField("name", n);
        ASSERT_TRUE(t.ALock());
        t.AppendRec();
        t.UnLock();
    }
    ASSERT_TRUE(t.IndexOnOne("name", "f"));
    EXPECT_EQ(t.GetField("name"), "alp       ");
    EXPECT_TRUE(t.Find("alpi"));
    EXPECT_EQ(t.RecNo(), 5u);
    EXPECT_TRUE(t.Find("alp"));
    EXPECT_EQ(t.RecNo(), 6u);
    EXPECT_TRUE(t.FindExact("alpha"));
    EXPECT_EQ(t.RecNo(), 2u);
    EXPECT_FALSE(t.FindExact("alph"));
    EXPECT_EQ(t.RecNo(), 2u); // the cursor stays
    EXPECT_FALSE(t.Find("echo"));
    EXPECT_TRUE(t.Find("c"));
    EXPECT_EQ(t.RecNo(), 3u);
    // A hidden record is passed over for the next one of the key.
    t.SetRecNo(6);
    ASSERT_TRUE(t.RLock());
    t.DeleteRec();
    t.UnLock();
    EXPECT_TRUE(t.Find("alp"));
    EXPECT_EQ(t.RecNo(), 2u);
}

// Other programs write names in other cases: "ix2.mdx" beside "IX2.DBF" is the
// table's production index, opened by the flag and kept up by appends.
TEST_F(IndexTest, ProductionIndexNamedInLowerCase) {
    const std::string table = Path("IX2.DBF");
    {
        TTzDbf t;
        t.SetDbfFileName(table);
        t.SetDbfFields({"zip,C,10,0"});
        t.SetIndexList({"ZIP,F,F,zip", ""});
        t.Open();
        for (const char* z : {"30301", "10001"}) {
            t.ClearRecord();
            t.SetField("zip", z);
            ASSERT_TRUE(t.ALock());
            t.AppendRec();
            t.UnLock();
        }
    }
    std::filesystem::rename(Path("IX2.MDX"), Path("ix2.mdx"));
    for (bool withList : {false, true}) {
        TTzDbf t;
        t.SetDbfFileName(table);
        if (withList) t.SetIndexList({"ZIP,F,F,zip", ""});
        bool rebuilt = false;
        t.OnBeforeMakeIndex = [&](const std::string&, bool&) { rebuilt = true; };
        t.Open();
        EXPECT_FALSE(rebuilt);
        t.ClearRecord();
        t.SetField("zip", withList ? "00001" : "20002");
        ASSERT_TRUE(t.ALock());
        t.AppendRec();
        t.UnLock();
        EXPECT_EQ(Navigation(t), withList ? (std::vector<uint32_t>{4, 2, 3, 1})
                                          : (std::vector<uint32_t>{2, 3, 1}));
    }
    EXPECT_FALSE(std::filesystem::exists(Path("IX2.MDX")));
}

// A table of 200 ZIP codes with its production index (several leaves under a root).
void MakeIndexedTable(const std::string& path) {
    TTzDbf t;
    t.SetDbfFileName(path);
    t.SetDbfFields({"zip,C,10,0"});
    t.SetIndexList({"ZIP,F,F,zip", ""});
    t.SetExclusive(true);
    t.Open();
    for (int i = 0; i < 200; ++i) {
        t.ClearRecord();
        t.SetField("zip", std::to_string(10000 + (i * 7919) % 90000));
        t.AppendRec();
    }
}

// check walks every tag of the production index: a looped, truncated or
// orphaning index and a key that does not match its record are reported.
TEST_F(IndexTest, CheckWalksTheProductionIndex) {
    leavesDamagedTables_ = true;
    struct TCase {
        const char* name;
        std::function<void(const std::string& dbf, const std::string& mdx)> damage;
        const char* finding;
    };
    auto rootOf = [](const std::vector<uint8_t>& mdx) {
        // The first tag's header block, and the root block in it.
        const uint32_t header = Le32(mdx, 544);
        return Le32(mdx, size_t(header) * 512);
    };
    const std::vector<TCase> cases = {
        {"truncated",
         [](const std::string&, const std::string& mdx) {
             std::filesystem::resize_file(mdx, std::filesystem::file_size(mdx) - 2048);
         },
         "outside the file"},
        {"looped",
         [&](const std::string&, const std::string& mdx) {
             auto b = ReadBytes(mdx);
             const uint32_t root = rootOf(b);
             const uint32_t count = Le32(b, size_t(root) * 512);
             ASSERT_NE(Le32(b, size_t(root) * 512 + 8 + count * 16), 0u); // an inner page
             Put32(&b[size_t(root) * 512 + 8], root); // its first child is itself
             WriteBytes(mdx, b);
         },
         "reached twice (the pages loop)"},
        {"orphaning",
         [](const std::string& dbf, const std::string&) {
             // Another program cut the table to 150 records.
             auto b = ReadBytes(dbf);
             const size_t end = size_t(Le16(b, 8)) + 150 * size_t(Le16(b, 10));
             b.resize(end);
             b.push_back(0x1A);
             Put32(&b[4], 150);
             WriteBytes(dbf, b);
         },
         "a key for record "},
        {"mismatch",
         [](const std::string& dbf, const std::string&) {
             auto b = ReadBytes(dbf);
             const size_t at = size_t(Le16(b, 8)) + 4 * size_t(Le16(b, 10)) + 1;
             std::memcpy(&b[at], "99999     ", 10);
             WriteBytes(dbf, b);
         },
         "tag ZIP: the key of record 5 does not match the record"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path(std::string(c.name) + ".dbf");
        MakeIndexedTable(path);
        EXPECT_TRUE(CheckTable(path).Clean());
        c.damage(path, WithExtension(path, "MDX"));
        const TCheckReport report = CheckTable(path);
        std::string all;
        for (const std::string& f : report.findings) all += f + "\n";
        EXPECT_NE(all.find(c.finding), std::string::npos) << all;
        EXPECT_NE(all.find("index " + std::string(c.name) + ".MDX: "), std::string::npos) << all;
    }
}

// A table cut short by another program leaves its production index stale: an
// exclusive open rebuilds it and says so; a shared open goes on in record
// order and names the index and how to rebuild it.
TEST_F(IndexTest, StaleProductionIndexOnOpen) {
    const std::string path = Path("cut.dbf");
    MakeIndexedTable(path);
    auto b = ReadBytes(path);
    b.resize(size_t(Le16(b, 8)) + 150 * size_t(Le16(b, 10)));
    b.push_back(0x1A);
    Put32(&b[4], 150);
    WriteBytes(path, b);
    const auto stale = ReadBytes(Path("cut.MDX"));
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.Open();
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find("The index " + Path("cut.MDX") + " does not fit"),
                  std::string::npos)
            << messages_[0];
        EXPECT_NE(messages_[0].find("qmtable reindex " + path), std::string::npos) << messages_[0];
        std::vector<uint32_t> order(150);
        for (uint32_t i = 0; i < 150; ++i) order[i] = i + 1;
        EXPECT_EQ(Navigation(t), order);
    }
    // Only the stamp changed: the index stays marked stale until it is rebuilt.
    auto marked = ReadBytes(Path("cut.MDX"));
    ASSERT_EQ(marked.size(), stale.size());
    EXPECT_EQ(marked[56], 1);
    std::copy(stale.begin() + 48, stale.begin() + 57, marked.begin() + 48);
    EXPECT_EQ(marked, stale);
    messages_.clear();
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.SetExclusive(true);
        t.Open();
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find("has been rebuilt"), std::string::npos) << messages_[0];
        const auto nav = Navigation(t);
        EXPECT_EQ(nav.size(), 150u);
        std::string last;
        for (uint32_t r : nav) {
            t.SetRecNo(r);
            EXPECT_LE(last, t.GetField("zip"));
            last = t.GetField("zip");
        }
    }
    EXPECT_TRUE(CheckTable(path).Clean());
}

// A table with IndexList gets its production index; one without opens none;
// a table flagged for one whose file is gone does not open.
TEST_F(IndexTest, ProductionIndexOnOpen) {
    const std::string table = Path("addr.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(table);
        t.SetDbfFields({"city,C,20,0", "zip,C,10,0"});
        t.SetIndexList({"ZIP,F,F,zip", "", "CITY,F,F,city", ""});
        std::vector<std::string> events;
        t.OnBeforeMakeIndex = [&](const std::string& n, bool&) { events.push_back("before " + n); };
        t.OnAfterMakeIndex = [&](const std::string& n) { events.push_back("after " + n); };
        t.Open();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0], "before " + Path("addr.MDX"));
        for (const char* z : {"30301", "10001", "20002"}) {
            t.ClearRecord();
            t.SetField("zip", z);
            t.SetField("city", std::string("c") + z);
            ASSERT_TRUE(t.ALock());
            t.AppendRec();
            t.UnLock();
        }
        EXPECT_EQ(Navigation(t), (std::vector<uint32_t>{2, 3, 1}));
    }
    EXPECT_EQ(ReadBytes(table)[28], 1);
    EXPECT_EQ(RunPerl("tags '" + Path("addr.MDX") + "'"), "CITY\nZIP\n");
    {
        // ciVerifyHeader with the same list opens the file as it is.
        TTzDbf t;
        t.SetDbfFileName(table);
        t.SetCreateIndex(TCreateIndex::ciVerifyHeader);
        t.SetIndexList({"zip,F,F,zip", "", "city,F,F,city", ""});
        bool rebuilt = false;
        t.OnBeforeMakeIndex = [&](const std::string&, bool&) { rebuilt = true; };
        t.Open();
        EXPECT_FALSE(rebuilt);
        EXPECT_EQ(Navigation(t), (std::vector<uint32_t>{2, 3, 1}));
    }
    {
        // A different list under ciVerifyHeader, and ciAlways, rebuild it, with
        // the progress window around the build.
        for (TCreateIndex ci : {TCreateIndex::ciVerifyHeader, TCreateIndex::ciAlways}) {
            TTzDbf t;
            t.SetDbfFileName(table);
            t.SetCreateIndex(ci);
            t.SetIndexList({"CITY,T,F,city", "", "ZIP,F,F,zip", ""});
            std::vector<std::string> progress;
            t.OnIndexProgress = [&](const std::string& c, bool open) {
                progress.push_back(c + (open ? " open" : " closed"));
            };
            t.Open();
            ASSERT_EQ(progress.size(), 2u);
            EXPECT_EQ(progress[0], "Indexing " + Path("addr.MDX") + "... open");
            // The first tag, descending by city, is the order now.
            EXPECT_EQ(Navigation(t), (std::vector<uint32_t>{1, 3, 2}));
        }
        EXPECT_EQ(RunPerl("tags '" + Path("addr.MDX") + "'"), "CITY\nZIP\n");
    }
    {
        // Without IndexList the header flag alone opens the index (read as ciNever).
        TTzDbf t;
        t.SetDbfFileName(table);
        t.Open();
        EXPECT_EQ(Navigation(t), (std::vector<uint32_t>{1, 3, 2}));
    }
    std::filesystem::remove(Path("addr.MDX"));
    {
        // A missing index does not lock the table away: a shared open goes on
        // in record order and names the file and the remedy.
        TTzDbf t;
        t.SetDbfFileName(table);
        t.Open();
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find("SetIndexTo(" + Path("addr.MDX") + ")"), std::string::npos)
            << messages_[0];
        EXPECT_NE(messages_[0].find("qmtable reindex " + table), std::string::npos) << messages_[0];
        EXPECT_EQ(Navigation(t), (std::vector<uint32_t>{1, 2, 3}));
        messages_.clear();
    }
    {
        // CanMake set false: no index, and the flag is cleared.
        TTzDbf t;
        t.SetDbfFileName(table);
        t.SetIndexList({"ZIP,F,F,zip", ""});
        t.OnBeforeMakeIndex = [](const std::string&, bool& canMake) { canMake = false; };
        t.Open();
        EXPECT_EQ(Navigation(t), (std::vector<uint32_t>{1, 2, 3}));
    }
    EXPECT_EQ(ReadBytes(table)[28], 0);
    EXPECT_FALSE(std::filesystem::exists(Path("addr.MDX")));
}

// A write failing anywhere in a build leaves no index file behind and the
// table as it was; a damaged index file is refused with its code.
TEST_F(IndexTest, FailedBuildAndDamagedFiles) {
    TTzDbf t("TzDbfReport");
    FillLog(t, 900, 5);
    t.Close();
    const std::vector<uint8_t> before = ReadBytes(Path("log.dbf"));
    // The build writes three times: the new header, the pages, the header again.
    for (int failAt = 1; failAt <= 3; ++failAt) {
        SCOPED_TRACE(failAt);
        testing::FaultyFileSystem fs;
        fs.kinds = testing::kFaultWrite;
        fs.failAt = failAt;
        SetFileSystem(&fs);
        TTzDbf u("TzDbfReport");
        u.SetDbfFileName(Path("log.dbf"));
        u.Open();
        try {
            u.IndexOnOne("sentname0", "name");
            ADD_FAILURE() << "build reported success";
        } catch (const EZezudError& e) {
            EXPECT_NE(e.Context().find("Error writing index file: "), std::string::npos)
                << e.Context();
        }
        EXPECT_EQ(fs.faults, 1);
        u.Close();
        SetFileSystem(nullptr);
        EXPECT_FALSE(std::filesystem::exists(Path("name.MDX")));
        for (const auto& entry : std::filesystem::directory_iterator(Path("")))
            EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
        EXPECT_EQ(ReadBytes(Path("log.dbf")), before);
    }
    t.Open();
    ASSERT_TRUE(t.IndexOnOne("sentname0", "name"));
    t.Close();
    const std::vector<uint8_t> good = ReadBytes(Path("name.MDX"));
    {
        // A rebuild that fails leaves the earlier file whole.
        testing::FaultyFileSystem fs;
        fs.kinds = testing::kFaultWrite;
        fs.failAt = 2;
        SetFileSystem(&fs);
        TTzDbf u("TzDbfReport");
        u.SetDbfFileName(Path("log.dbf"));
        u.Open();
        EXPECT_THROW(u.IndexOnOne("sentname0", "name"), EZezudError);
        u.Close();
        SetFileSystem(nullptr);
        EXPECT_EQ(ReadBytes(Path("name.MDX")), good);
    }
    const auto openWith = [&](std::vector<uint8_t> bytes) {
        testing::WriteBytes(Path("name.MDX"), bytes);
        TTzDbf u("TzDbfReport");
        u.SetDbfFileName(Path("log.dbf"));
        u.Open();
        try {
            u.SetIndexTo("name");
            std::vector<uint32_t> recs = Navigation(u);
            return recs.size() == 900 ? 0 : -1;
        } catch (const EZezudError& e) {
            return CodeValue(e.Error());
        }
    };
    EXPECT_EQ(openWith(good), 0);
    std::vector<uint8_t> bad = good;
    bad[0] = 3;
    EXPECT_EQ(openWith(bad), 223);
    EXPECT_EQ(openWith(std::vector<uint8_t>(good.begin(), good.begin() + 1000)), 222);
    bad = good;
    bad[2048] = 0xff; // key count of the first page
    bad[2049] = 0xff;
    EXPECT_EQ(openWith(bad), 222);
    bad = good;
    bad[544] = 0x70; // tag header beyond the file
    EXPECT_EQ(openWith(bad), 222);
    bad = good;
    // Root pointing at itself through an inner page: the walk stops with 222.
    const uint32_t th = Le32(good, 544);
    const uint32_t root = Le32(good, th * 512);
    bad[root * 512 + 8] = uint8_t(root);
    bad[root * 512 + 9] = uint8_t(root >> 8);
    EXPECT_EQ(openWith(bad), 222);
}

// Skipping deleted records along an order that leads round ends with 222, in
// a child process that a hang would not outlive. Here a copy without the index
// open rewrote a key, so the record is found under its new key before itself.
TEST_F(IndexTest, SkippingAlongAnOrderThatLeadsRoundEnds) {
    TTzDbf t;
    t.SetDbfFileName(Path("round.dbf"));
    t.SetDbfFields({"name,C,10,0"});
    t.SetExclusive(true);
    t.Open();
    for (const char* name : {"A", "B"}) {
        t.ClearRecord();
        t.SetField("name", name);
        t.AppendRec();
    }
    ASSERT_TRUE(t.IndexOnOne("name", "round"));
    t.Close();
    {
        TTzDbf other;
        other.SetDbfFileName(Path("round.dbf"));
        other.Open();
        other.SetRecNo(2);
        other.Edit();
        other.SetField("name", "A");
        other.Post();
        other.Delete();
        other.SetRecNo(1);
        other.Delete();
    }
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(20);
        int code = 1;
        try {
            TTzDbf u;
            u.SetDbfFileName(Path("round.dbf"));
            u.SetHideDeletedRecs(true);
            u.Open();
            u.SetIndexTo("round");
            u.First();
            code = u.Eof() ? 0 : 2;
        } catch (const EZezudError& e) {
            code = CodeValue(e.Error()) == 222 ? 0 : 3;
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the walk did not end";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Two real processes: ours and a second copy append and rewrite records of a
// shared table with an index open in both; the index then holds every
// record's current keys in order.
TEST_F(IndexTest, SecondProcessKeepsIndexRight) {
    const std::string table = Path("shared.dbf");
    TTzDbf t("Here");
    t.SetDbfFileName(table);
    t.SetDbfFields({"tag,C,8,0", "seq,N,8,0", "pad,C,40,0"});
    t.Open();
    const auto append = [&](const std::string& tag, long seq) {
        t.ClearRecord();
        t.SetField("tag", tag);
        t.SetField("seq", std::to_string(seq));
        t.SetField("pad", tag + ":" + std::to_string(seq) + std::string(30, '.'));
        while (!t.ALock()) usleep(50);
        t.AppendRec();
        t.UnLock();
    };
    for (long i = 0; i < 700; ++i) append("A", (i * 104729) % 100003);
    ASSERT_TRUE(t.MakeIndex({{"PAD", "pad", "", false, false}, {"SEQ", "seq", "", false, false}},
                            "shared"));
    t.SetIndexTo("shared");

    const pid_t pid = fork();
    if (pid == 0) {
        execl(QM_MP_HELPER, QM_MP_HELPER, "index-update", table.c_str(), "shared", "600", "B",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    for (long i = 0; i < 300; ++i) append("C", (i * 7) % 1000);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    ASSERT_EQ(t.RecCount(), 1600u);
    std::vector<TKeyRec> pads, seqs;
    for (uint32_t r = 1; r <= 1600; ++r) {
        t.SetRecNo(r);
        pads.push_back({r, t.GetField("pad")});
        uint8_t k[12];
        EncodeNumericKey(std::stod(t.GetField("seq")), k);
        seqs.push_back({r, std::string(reinterpret_cast<char*>(k), 12)});
    }
    const TWalk w = WalkTag(Path("shared.MDX"), "PAD");
    EXPECT_GE(w.depth, 3);
    ExpectKeys(w, pads);
    EXPECT_EQ(PerlWalk(Path("shared.MDX"), "PAD"), AsLines(w.items));
    ExpectKeys(WalkTag(Path("shared.MDX"), "SEQ"), seqs);
    std::vector<uint32_t> leaves;
    for (const TKeyRec& k : w.items) leaves.push_back(k.rec);
    EXPECT_EQ(Navigation(t), leaves);
    // The rewritten pads of the other copy are found by key.
    EXPECT_TRUE(t.Find("rewritten "));
    EXPECT_EQ(t.GetField("tag"), "B       ");
}

} // namespace
} // namespace qm::table

namespace qm::table {
namespace {

// Two copies sorting by the same field at once: each opens a whole index.
TEST_F(IndexTest, TwoCopiesRebuildingAtOnce) {
    const std::string table = Path("both.dbf");
    TTzDbf t("Here");
    t.SetDbfFileName(table);
    t.SetDbfFields({"tag,C,8,0", "seq,N,8,0", "pad,C,40,0"});
    t.Open();
    ASSERT_TRUE(t.ALock());
    for (int i = 0; i < 2000; ++i) {
        t.ClearRecord();
        t.SetField("pad", std::to_string((i * 7919) % 10007));
        t.AppendRec();
    }
    t.UnLock();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(QM_MP_HELPER, QM_MP_HELPER, "index-rebuild", table.c_str(), "pad", "40",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int round = 0; round < 40; ++round) {
        ASSERT_TRUE(t.IndexOnOne("pad", "pad"));
        const std::vector<uint32_t> order = Navigation(t);
        ASSERT_EQ(order.size(), 2000u) << "round " << round;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// ciAlways opens, and does not rebuild, a production index another copy is using.
TEST_F(IndexTest, ProductionIndexInUseIsNotRebuilt) {
    const std::string table = Path("held.dbf");
    const auto open = [&](bool& rebuilt) {
        TTzDbf t;
        t.SetDbfFileName(table);
        t.SetDbfFields({"tag,C,8,0", "seq,N,8,0", "pad,C,40,0"});
        t.SetCreateIndex(TCreateIndex::ciAlways);
        t.SetIndexList({"PAD,F,F,pad", ""});
        rebuilt = false;
        t.OnBeforeMakeIndex = [&](const std::string&, bool&) { rebuilt = true; };
        t.Open();
    };
    bool rebuilt = false;
    open(rebuilt);
    EXPECT_TRUE(rebuilt);
    const std::string stop = Path("stop");
    const std::string cmd =
        std::string("'") + QM_MP_HELPER + "' index-hold '" + table + "' held '" + stop + "'";
    FILE* helper = popen(cmd.c_str(), "r");
    ASSERT_NE(helper, nullptr);
    char line[64] = {};
    ASSERT_NE(fgets(line, sizeof line, helper), nullptr);
    EXPECT_STREQ(line, "ready\n");
    open(rebuilt);
    EXPECT_FALSE(rebuilt);
    testing::WriteBytes(stop, {});
    EXPECT_EQ(pclose(helper), 0);
    open(rebuilt);
    EXPECT_TRUE(rebuilt);
}

TEST_F(IndexTest, KeyExpressionsRefused) {
    TTzDbf t;
    t.SetDbfFileName(Path("k.dbf"));
    t.SetDbfFields({"wide,C,120,0", "flag,L,1,0", "memo,M,10,0"});
    t.Open();
    const struct {
        std::string expr, forExpr;
        int code;
    } cases[] = {{"wide", "", 266},
                 {"flag", "", 254},
                 {"memo", "", 254},
                 {"nosuch", "", 254},
                 {std::string(221, 'x'), "", 300},
                 {"flag", "wide = 'a'", 254}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expr.substr(0, 20));
        try {
            t.MakeIndex({{"T", c.expr, c.forExpr, false, false}}, "k");
            ADD_FAILURE() << "built";
        } catch (const EZezudError& e) {
            EXPECT_EQ(CodeValue(e.Error()), c.code);
            EXPECT_TRUE(e.Context().ends_with(" [AddIndexTag()]")) << e.Context();
        }
        EXPECT_FALSE(std::filesystem::exists(Path("k.MDX")));
    }
    // Without an index, Find is an error of its own.
    try {
        t.Find("a");
        ADD_FAILURE() << "found without an index";
    } catch (const EZezudError& e) {
        EXPECT_EQ(CodeValue(e.Error()), 221);
    }
}

} // namespace
} // namespace qm::table
