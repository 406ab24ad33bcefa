// Cross-check with an independent dBase reader and writer: Perl's XBase module.
#include <cstdio>
#include <filesystem>

#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

std::string RunPerl(const std::string& mode, const std::string& file) {
    const std::string cmd = "perl '" QM_XBASE_SCRIPT "' " + mode + " '" + file + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return "popen failed";
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = pclose(p);
    if (status != 0) out += "\nexit status " + std::to_string(status);
    return out;
}

class XBaseTest : public testing::TableTest {};

TEST_F(XBaseTest, XBaseReadsWhatWeWrite) {
    const std::string path = Path("ours.dbf");
    {
        TTzDbf t("Ours");
        t.SetDbfFileName(path);
        t.SetDbfFields({"name,C,12,0", "qty,N,6,0", "price,N,9,2", "ok,L,1,0", "day,D,8,0",
                        "rate,F,10,3", "note,M,10,0"});
        t.Open();
        ASSERT_TRUE(t.ALock());
        struct Row {
            const char* name;
            const char* qty;
            const char* price;
            const char* ok;
            const char* day;
            const char* rate;
        } rows[] = {{"Alice", "42", "1234.5", "T", "3/5/2008", "2.25"},
                    {"Bob", "-7", "0.01", "F", "", "-1.5"},
                    {"Café Zoë", "0", "99999999", "Y", "12/31/1999", "0"}};
        for (const Row& r : rows) {
            t.ClearRecord();
            t.SetField("name", r.name);
            t.SetField("qty", r.qty);
            t.SetField("price", r.price);
            t.SetField("ok", r.ok);
            t.SetField("day", r.day);
            t.SetField("rate", r.rate);
            t.AppendRec();
        }
        t.UnLock();
        t.SetRecNo(2);
        ASSERT_TRUE(t.RLock());
        t.DeleteRec();
        t.UnLock();
        t.Close();
    }
    // XBase strips trailing blanks, gives logicals as 1/0, dates as YYYYMMDD and
    // empty values as undef; the text stays in code page 437 (é 0x82, ë 0x89).
    EXPECT_EQ(RunPerl("dump", path),
              "version 139 count 3\n"
              "fields NAME:C:12:0,QTY:N:6:0,PRICE:N:9:2,OK:L:1:0,DAY:D:8:0,RATE:F:10:3,"
              "NOTE:M:10:0\n"
              "0|Alice|42|1234.5|1|20080305|2.25|U\n"
              "1|Bob|-7|0.01|0|U|-1.5|U\n"
              "0|Caf\x82 Zo\x89|0|U|1|19991231|0|U\n");
}

TEST_F(XBaseTest, WeReadWhatXBaseWrites) {
    const std::string path = Path("theirs.dbf");
    ASSERT_EQ(RunPerl("write", path), "");
    TTzDbf t;
    t.SetDbfFileName(path);
    t.SetCreateIfNotFound(false);
    t.Open();
    ASSERT_EQ(t.RecCount(), 3u);
    ASSERT_EQ(t.FieldCount(), 6);
    std::string seen;
    for (t.First(); !t.Eof(); t.Next()) {
        seen += t.Deleted() ? "*" : " ";
        for (int i = 0; i < t.FieldCount(); ++i) seen += t.GetField(i) + "|";
        seen += "\n";
    }
    EXPECT_EQ(seen, " Alice       |    42|  1234.50|T|03/05/2008|     2.250|\n"
                    "*Bob         |    -7|     0.01|F|  /  /    |    -1.500|\n"
                    " Café Zoö    |     0|     0.00|F|12/31/1999|     0.000|\n");
}

// Memos both ways: XBase reads the memos we write, we read the memo tables
// XBase writes (dBase III and dBase IV memo files), and each side's new memos
// leave the other side's memos intact.
TEST_F(XBaseTest, MemosBothWays) {
    const std::string ours = Path("book.dbf");
    {
        TTzDbf t("Book");
        t.SetDbfFileName(ours);
        t.SetDbfFields({"Address,M,10,0", "City,C,20,0"});
        t.Open();
        ASSERT_TRUE(t.ALock());
        t.ClearRecord();
        t.SetMField("Address", {"Front office", "Café Zoë"});
        t.SetField("City", "Springfield");
        t.AppendRec();
        t.ClearRecord();
        t.SetField("City", "Nowhere");
        t.AppendRec();
        t.ClearRecord();
        t.SetMField("Address", {std::string(600, 'z')});
        t.AppendRec();
        t.UnLock();
        t.Close();
    }
    const std::string z600(600, 'z');
    EXPECT_EQ(RunPerl("dump", ours), "version 139 count 3\n"
                                     "fields ADDRESS:M:10:0,CITY:C:20:0\n"
                                     "0|Front office\r\nCaf\x82 Zo\x89|Springfield\n"
                                     "0|U|Nowhere\n"
                                     "0|" +
                                         z600 + "|\n");

    for (const char* mode : {"memo3", "memo4"}) {
        SCOPED_TRACE(mode);
        const std::string theirs = Path(std::string(mode) + ".dbf");
        ASSERT_EQ(RunPerl(mode, theirs), "");
        auto read = [&] {
            TTzDbf t;
            t.SetDbfFileName(theirs);
            t.SetCreateIfNotFound(false);
            t.Open();
            std::vector<std::vector<std::string>> all;
            for (t.First(); !t.Eof(); t.Next()) {
                std::vector<std::string> lines;
                t.GetMField("ADDRESS", lines);
                lines.insert(lines.begin(), t.FieldDisplay(0));
                all.push_back(lines);
            }
            t.Close();
            return all;
        };
        using L = std::vector<std::string>;
        std::vector<L> want = {L{"first", "Café Zoë", "2 Rue Haute"},
                               L{"long", std::string(700, 'x')}, L{"none"}};
        EXPECT_EQ(read(), want);
        {
            TTzDbf t;
            t.SetDbfFileName(theirs);
            t.SetCreateIfNotFound(false);
            t.Open();
            ASSERT_TRUE(t.ALock());
            t.ClearRecord();
            t.SetField("NAME", "ours");
            t.SetMField("ADDRESS", {"Our line"});
            t.AppendRec();
            t.UnLock();
            t.Close();
        }
        ASSERT_EQ(RunPerl("addmemo", theirs), "");
        want.push_back(L{"ours", "Our line"});
        want.push_back(L{"theirs", "Their line 1", "Their line 2"});
        EXPECT_EQ(read(), want);
        const std::string dump = RunPerl("dump", theirs);
        EXPECT_NE(dump.find("0|first|Caf\x82 Zo\x89\r\n2 Rue Haute\n"), std::string::npos) << dump;
        EXPECT_NE(dump.find("0|long|" + std::string(700, 'x') + "\n"), std::string::npos);
        EXPECT_NE(dump.find("0|ours|Our line\n"), std::string::npos) << dump;
        EXPECT_NE(dump.find("0|theirs|Their line 1\r\nTheir line 2\n"), std::string::npos);

        // Our pack of their table compacts their memo file; both sides still
        // read every memo.
        const std::string memoFile = std::filesystem::exists(Path(std::string(mode) + ".dbt"))
                                         ? Path(std::string(mode) + ".dbt")
                                         : Path(std::string(mode) + ".DBT");
        const auto before = std::filesystem::file_size(memoFile);
        {
            TTzDbf t;
            t.SetDbfFileName(theirs);
            t.SetCreateIfNotFound(false);
            t.SetExclusive(true);
            t.Open();
            t.SetRecNo(2);
            t.DeleteRec();
            t.Pack();
            t.Close();
        }
        want.erase(want.begin() + 1);
        EXPECT_EQ(read(), want);
        EXPECT_LT(std::filesystem::file_size(memoFile), before - 700);
        const std::string packed = RunPerl("dump", theirs);
        EXPECT_NE(packed.find("0|first|Caf\x82 Zo\x89\r\n2 Rue Haute\n"), std::string::npos)
            << packed;
        EXPECT_EQ(packed.find("0|long|"), std::string::npos);
        EXPECT_NE(packed.find("0|ours|Our line\n"), std::string::npos) << packed;
        EXPECT_NE(packed.find("0|theirs|Their line 1\r\nTheir line 2\n"), std::string::npos);
        ASSERT_EQ(RunPerl("addmemo", theirs), "");
        want.push_back(L{"theirs", "Their line 1", "Their line 2"});
        EXPECT_EQ(read(), want);
    }
}

} // namespace
} // namespace qm::table
