// qmtable as administrators and scripts run it: a real process beside the
// program's engine, reading the fuzz corpus's seeds and the tables we write.
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "dbf_file.h"
#include "memo_file.h"
#include "qmtable_run.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::QmTable;
using testing::Quote;
using testing::TRun;

class QmTableTest : public testing::TableTest {};

// Every damaged seed is found (exit 1 with findings, or 2 with the engine's
// refusal); every sound one passes. Where the engine opens a seed, qmtable and
// the program agree on its records.
TEST_F(QmTableTest, CheckFindsEveryDamagedSeed) {
    int damaged = 0, sound = 0;
    for (const auto& e : std::filesystem::directory_iterator(QM_TABLE_SEEDS)) {
        const std::string path = e.path().string();
        if (e.path().extension() != ".dbf") continue; // memo files go with their tables
        const bool isDamaged = e.path().filename().string().rfind("damaged_", 0) == 0;
        SCOPED_TRACE(path);
        const TRun check = QmTable("check " + Quote(path));
        if (isDamaged) {
            ++damaged;
            EXPECT_TRUE(check.status == 1 || check.status == 2) << check.out;
            if (check.status == 2) {
                EXPECT_EQ(check.out.rfind("Error # ", 0), 0u) << check.out;
            }
        } else {
            ++sound;
            EXPECT_EQ(check.status, 0) << check.out;
            EXPECT_NE(check.out.find("no inconsistency"), std::string::npos);
        }
        // The program's view of the same file.
        TTzDbf t;
        t.SetCreateIfNotFound(false);
        t.SetReadOnly(true);
        t.SetDbfFileName(path);
        uint32_t count = 0;
        try {
            t.Open();
            count = t.RecCount();
        } catch (const EZezudError& err) {
            EXPECT_EQ(check.status, 2);
            EXPECT_NE(check.out.find(err.what()), std::string::npos) << check.out;
            continue;
        }
        const TRun info = QmTable("info " + Quote(path));
        EXPECT_EQ(info.status, 0);
        EXPECT_NE(info.out.find("\ncount " + std::to_string(count) + "\n"), std::string::npos)
            << info.out;
        const TRun dump = QmTable("dump " + Quote(path));
        EXPECT_EQ(dump.status, 0);
        size_t rows = 0; // line ends outside quoted fields (memo text holds CR LF)
        bool quoted = false;
        for (char c : dump.out) {
            if (c == '"') quoted = !quoted;
            if (c == '\n' && !quoted) ++rows;
        }
        EXPECT_EQ(rows, count + 1u) << dump.out;
    }
    EXPECT_GE(damaged, 13);
    EXPECT_GE(sound, 4);
}

TEST_F(QmTableTest, InfoAndDump) {
    const std::string path = Path("t.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"name,C,20,0", "qty,N,6,2", "ok,L,1,0", "day,D,8,0"});
        t.Open();
        ASSERT_TRUE(t.ALock());
        for (const char* name : {"Smith, \"Bo\"", "Müller"}) {
            t.ClearRecord();
            t.SetField("name", name);
            t.SetField("qty", "1.5");
            t.SetField("ok", "T");
            t.SetField("day", "3/5/2008");
            t.AppendRec();
        }
        t.UnLock();
        t.SetRecNo(2);
        t.Delete();
    }
    const TRun info = QmTable("info " + Quote(path));
    EXPECT_EQ(info.status, 0);
    // The path as named: upper-cased it would name no file here.
    EXPECT_EQ(info.out.rfind("file " + path + "\n", 0), 0u) << info.out;
    EXPECT_NE(info.out.find("version 0x03\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("date 2008-03-05\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("count 2\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("  QTY         N   6  2\n"), std::string::npos) << info.out;
    const TRun dump = QmTable("dump " + Quote(path));
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.out, "DELETED,NAME,QTY,OK,DAY\n"
                        ",\"Smith, \"\"Bo\"\"\",1.50,T,2008.03.05\n"
                        "*,Müller,1.50,T,2008.03.05\n");
    EXPECT_EQ(QmTable("check " + Quote(path)).status, 0);
    EXPECT_EQ(QmTable("dump " + Quote(Path("missing.dbf"))).status, 2);
    EXPECT_EQ(QmTable("frobnicate " + Quote(path)).status, 64);
}

// dump --order lists the records as an index walk meets them: each tag its own
// order, records marked deleted included; a tag or an index that is not there is an error.
TEST_F(QmTableTest, DumpInTheOrderOfATag) {
    const std::string path = Path("o.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"name,C,10,0", "qty,N,4,0"});
        t.SetIndexList({"NAME,F,F,NAME", "", "BYQTY,T,F,QTY", ""});
        t.Open();
        TTableLock lock(t, TTableLock::Append);
        ASSERT_TRUE(lock.Held());
        for (const auto& [name, qty] :
             {std::pair{"Cole", "7"}, {"Abel", "12"}, {"Dunn", "3"}, {"Baker", "40"}}) {
            t.ClearRecord();
            t.SetField("name", name);
            t.SetField("qty", qty);
            t.AppendRec();
        }
        lock.Release();
        t.SetRecNo(3);
        t.Delete();
    }
    const std::string plain = Path("plain.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(plain);
        t.SetDbfFields({"name,C,10,0"});
        t.Open();
    }
    const struct {
        std::string args;
        int status;
        std::string out; // the whole output, or a part of it for an error
    } cases[] = {
        {"--order NAME", 0, "DELETED,NAME,QTY\n,Abel,12\n,Baker,40\n,Cole,7\n*,Dunn,3\n"},
        {"--order byqty", 0, "DELETED,NAME,QTY\n,Baker,40\n,Abel,12\n,Cole,7\n*,Dunn,3\n"},
        {"--order NOSUCH", 2, "No tag NOSUCH"},
        {"--order", 64, "usage: qmtable dump"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const TRun dump = QmTable("dump " + c.args + " " + Quote(path));
        EXPECT_EQ(dump.status, c.status) << dump.out;
        if (c.status == 0)
            EXPECT_EQ(dump.out, c.out);
        else
            EXPECT_NE(dump.out.find(c.out), std::string::npos) << dump.out;
    }
    const TRun none = QmTable("dump --order NAME " + Quote(plain));
    EXPECT_EQ(none.status, 2) << none.out;
    EXPECT_NE(none.out.find("qmtable reindex"), std::string::npos) << none.out;
}

// append and set run beside a copy of the program that holds the table open,
// under the engine's locks; pack needs the table to itself.
TEST_F(QmTableTest, ChangesBesideTheProgram) {
    const std::string path = Path("t.dbf");
    TTzDbf prog("Program");
    prog.SetDbfFileName(path);
    prog.SetDbfFields({"name,C,10,0", "n,N,4,0", "day,D,8,0"});
    prog.Open();
    ASSERT_TRUE(prog.ALock());
    for (const char* name : {"one", "two"}) {
        prog.ClearRecord();
        prog.SetField("name", name);
        prog.AppendRec();
    }
    prog.UnLock();

    TRun r = QmTable("append " + Quote(path) + " name=three N=3 day=2008-03-05");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "3\n");
    EXPECT_EQ(prog.RecCount(), 3u);
    prog.SetRecNo(3);
    EXPECT_EQ(prog.GetField("name"), "three     ");
    EXPECT_EQ(prog.FieldDisplay(2), "03/05/2008");

    prog.SetRecNo(1);
    ASSERT_TRUE(prog.RLock());
    r = QmTable("set " + Quote(path) + " 1 name=uno");
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_EQ(r.out, "qmtable: " + path + ": record 1 locked by another copy [Post]\n");
    r = QmTable("set " + Quote(path) + " 2 name=dos n=2");
    EXPECT_EQ(r.status, 0) << r.out;
    prog.UnLock();
    prog.SetRecNo(2);
    EXPECT_EQ(prog.GetField("name"), "dos       ");
    prog.SetRecNo(1);
    EXPECT_EQ(prog.GetField("name"), "one       ");

    r = QmTable("set " + Quote(path) + " 1 n=many");
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.out, "qmtable: field N: 'many' is not a number\n");
    r = QmTable("set " + Quote(path) + " 9 n=1");
    EXPECT_EQ(r.status, 64);

    prog.SetRecNo(1);
    prog.Delete();
    r = QmTable("pack " + Quote(path));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "qmtable: " + path + ": locked by another copy\n");
    prog.Close();
    r = QmTable("pack " + Quote(path));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "2 of 3 records kept\n");
    r = QmTable("dump " + Quote(path));
    EXPECT_EQ(r.out, "DELETED,NAME,N,DAY\n,dos,2,\n,three,3,2008.03.05\n");
}

TEST_F(QmTableTest, DumpShowsMemoText) {
    const std::string path = Path("book.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"Address,M,10,0", "City,C,10,0"});
        t.Open();
        ASSERT_TRUE(t.ALock());
        t.ClearRecord();
        t.SetMField("Address", {"Front office", "Café"});
        t.SetField("City", "Dover");
        t.AppendRec();
        t.ClearRecord();
        t.AppendRec();
        t.UnLock();
        t.Close();
    }
    const TRun dump = QmTable("dump " + Quote(path));
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.out, "DELETED,ADDRESS,CITY\n"
                        ",\"Front office\r\nCafé\",Dover\n"
                        ",,\n");
}

// A memo's text is shown exactly as stored: a trailing line end and a line
// end inside stay, however the program wrote them.
TEST_F(QmTableTest, DumpKeepsMemoTextAsStored) {
    const std::string path = Path("book.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"Address,M,10,0"});
        t.Open();
    }
    const std::vector<std::string> texts = {"Front office\r\nDover\r\n", "one line\r\n",
                                            "\r\n\r\nafter blank lines", "no line end"};
    {
        TMemoFile memo;
        memo.Open(path, 0x8B, false, false);
        TDbfFile f;
        f.Open(path, true, false, false);
        uint32_t n = 0;
        for (const std::string& text : texts) {
            char record[16];
            std::snprintf(record, sizeof record, " %10d", int(memo.Append(text, "test")));
            f.WriteRecord(++n, record);
        }
        f.Close();
    }
    const TRun dump = QmTable("dump " + Quote(path));
    EXPECT_EQ(dump.status, 0) << dump.out;
    std::string want = "DELETED,ADDRESS\n";
    for (const std::string& text : texts) want += ",\"" + text + "\"\n";
    want.replace(want.find("\"no line end\""), 13, "no line end");
    EXPECT_EQ(dump.out, want);
}

// Values as stored: numbers and logicals as their text, blanks empty; append
// and set take any number that fits the field and refuse one that does not,
// naming the field; memo fields take lines; delete and recall mark a record.
TEST_F(QmTableTest, ValuesAsStored) {
    const std::string path = Path("v.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"big,N,20,0", "amt,N,8,2", "ok,L,1,0", "note,M,10,0"});
        t.Open();
    }
    TRun r = QmTable("append " + Quote(path) + " big=99999999999999999999 amt=-12.5 ok=?");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "1\n");
    r = QmTable("append " + Quote(path) + " big= amt=007.10 ok= " + Quote("note=one\ntwo"));
    EXPECT_EQ(r.out, "2\n");
    r = QmTable("append " + Quote(path) + " big=-1234567890123456789 ok=t");
    EXPECT_EQ(r.out, "3\n");
    r = QmTable("dump " + Quote(path));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "DELETED,BIG,AMT,OK,NOTE\n"
                     ",99999999999999999999,-12.50,?,\n"
                     ",,7.10,,\"one\r\ntwo\"\n"
                     ",-1234567890123456789,0.00,t,\n");
    // The stored bytes are what other readers expect.
    const auto bytes = testing::ReadBytes(path);
    const size_t rec1 = size_t(32 * 4 + 33) + 1;
    EXPECT_EQ(std::string(bytes.begin() + long(rec1), bytes.begin() + long(rec1) + 29),
              "99999999999999999999  -12.50?");

    struct TBad {
        const char* assignment;
        const char* message;
    };
    for (const TBad& c : {TBad{"big=999999999999999999999",
                               "field BIG: '999999999999999999999' does not fit in 20 places with "
                               "0 decimals"},
                          TBad{"amt=1.234", "field AMT: '1.234' has more than 2 decimals"},
                          TBad{"amt=123456.78", "field AMT: '123456.78' does not fit in 8 places "
                                                "with 2 decimals"},
                          TBad{"amt=1e5", "field AMT: '1e5' is not a number"},
                          TBad{"ok=maybe", "field OK: 'maybe' is not T, F, Y, N, ? or empty"}}) {
        for (const std::string& cmd : {"append " + Quote(path), "set " + Quote(path) + " 1"}) {
            r = QmTable(cmd + " " + c.assignment);
            EXPECT_EQ(r.status, 64) << cmd << " " << c.assignment;
            EXPECT_EQ(r.out, std::string("qmtable: ") + c.message + "\n");
        }
    }
    r = QmTable("set " + Quote(path) + " 1 amt=99999.99 " + Quote("note=changed"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(QmTable("delete " + Quote(path) + " 2").status, 0);
    EXPECT_EQ(QmTable("delete " + Quote(path) + " 3").status, 0);
    EXPECT_EQ(QmTable("recall " + Quote(path) + " 3").status, 0);
    r = QmTable("dump " + Quote(path));
    EXPECT_EQ(r.out, "DELETED,BIG,AMT,OK,NOTE\n"
                     ",99999999999999999999,99999.99,?,changed\n"
                     "*,,7.10,,\"one\r\ntwo\"\n"
                     ",-1234567890123456789,0.00,t,\n");
    EXPECT_EQ(QmTable("check " + Quote(path)).status, 0);
    EXPECT_EQ(QmTable("delete " + Quote(path) + " 4").status, 64);
}

// A usage error names what was wrong; contention is exit 3 after the bounded wait.
TEST_F(QmTableTest, UsageErrorsAndContention) {
    const std::string path = Path("u.dbf");
    TTzDbf prog("Program");
    prog.SetDbfFileName(path);
    prog.SetDbfFields({"name,C,10,0"});
    prog.SetExclusive(true);
    prog.Open();
    TRun r = QmTable("append " + Quote(path));
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.out, "qmtable: usage: qmtable append FILE FIELD=VALUE...\n");
    r = QmTable("frobnicate " + Quote(path));
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.out, "qmtable: unknown command frobnicate (qmtable help lists them)\n");
    r = QmTable("delete " + Quote(path) + " x");
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.out, "qmtable: not a record number: x\n");
    r = QmTable("help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("reindex FILE"), std::string::npos);
    for (const std::string& cmd :
         {"append " + Quote(path) + " name=x", "set " + Quote(path) + " 1 name=x",
          "delete " + Quote(path) + " 1", "pack " + Quote(path), "dump " + Quote(path)}) {
        const auto start = std::chrono::steady_clock::now();
        r = QmTable(cmd);
        EXPECT_EQ(r.status, 3) << cmd << ": " << r.out;
        EXPECT_EQ(r.out, "qmtable: " + path + ": locked by another copy\n");
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLockWaitMs))
            << cmd;
    }
}

// A table "note" with three memos in the layout `kind` (0x83 or 0x8B).
void MakeMemoTable(const std::string& path, uint8_t kind) {
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"name,C,10,0", "note,M,10,0"});
        t.Open();
    }
    auto b = testing::ReadBytes(path);
    b[0] = kind;
    testing::WriteBytes(path, b);
    std::filesystem::remove(MemoFileName(path, 0x8B));
    CreateMemofile(MemoFileName(path, kind), kind, 512, "note", "test");
    TTzDbf t;
    t.SetDbfFileName(path);
    t.SetCreateIfNotFound(false);
    t.Open();
    ASSERT_TRUE(t.ALock());
    for (const char* name : {"one", "two", "three"}) {
        t.ClearRecord();
        t.SetField("name", name);
        t.SetMField("note", {std::string("note of ") + name, std::string(600, name[0])});
        t.AppendRec();
    }
    t.UnLock();
}

// Puts `ref` (10 characters) into the memo field of record n.
void SetMemoRef(const std::string& path, int n, const char* ref) {
    auto b = testing::ReadBytes(path);
    const size_t at = size_t(testing::Le16(b, 8)) + size_t(n - 1) * testing::Le16(b, 10) + 11;
    std::memcpy(&b[at], ref, 10);
    testing::WriteBytes(path, b);
}

// check finds damage of the memo file and of its references, takes end-of-file
// padding as sound, and dump --salvage saves what is good past a bad memo.
TEST_F(QmTableTest, CheckSeesMemoDamageAndDumpSalvages) {
    leavesDamagedTables_ = true;
    struct TCase {
        const char* name;
        uint8_t kind;
        std::function<void(const std::string& dbf, const std::string& dbt)> damage;
        const char* finding;
    };
    const std::vector<TCase> cases = {
        {"cut", 0x83,
         [](const std::string&, const std::string& dbt) {
             std::filesystem::resize_file(dbt, std::filesystem::file_size(dbt) - 700);
         },
         "record 3, field NOTE: memo block 5 has no end mark (the file is cut short)"},
        {"minus", 0x8B,
         [](const std::string& dbf, const std::string&) { SetMemoRef(dbf, 2, "        -1"); },
         "record 2, field NOTE: memo block -1 is negative"},
        {"beyond", 0x8B,
         [](const std::string& dbf, const std::string&) { SetMemoRef(dbf, 2, "      9999"); },
         "record 2, field NOTE: memo block 9999 beyond the end of the file"},
        {"nextzero", 0x8B,
         [](const std::string&, const std::string& dbt) {
             auto b = testing::ReadBytes(dbt);
             std::memset(b.data(), 0, 4);
             testing::WriteBytes(dbt, b);
         },
         "memo file: next free block 0 in the header lies inside the"},
        {"nextone", 0x83,
         [](const std::string&, const std::string& dbt) {
             auto b = testing::ReadBytes(dbt);
             b[0] = 1;
             std::memset(b.data() + 1, 0, 3);
             testing::WriteBytes(dbt, b);
         },
         "memo file: next free block 1 in the header lies inside the"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path(std::string(c.name) + ".dbf");
        MakeMemoTable(path, c.kind);
        EXPECT_EQ(QmTable("check " + Quote(path)).status, 0);
        c.damage(path, MemoFileName(path, c.kind));
        const TRun check = QmTable("check " + Quote(path));
        EXPECT_EQ(check.status, 1) << check.out;
        EXPECT_NE(check.out.find(path + ": " + c.finding), std::string::npos) << check.out;
    }
    {
        // dump stops at the bad reference; --salvage goes on and shows it unreadable.
        const std::string path = Path("beyond.dbf");
        TRun dump = QmTable("dump " + Quote(path));
        EXPECT_EQ(dump.status, 2) << dump.out;
        dump = QmTable("dump --salvage " + Quote(path));
        EXPECT_EQ(dump.status, 1) << dump.out;
        EXPECT_NE(dump.out.find("record 2, field NOTE: Error # 1003 (Invalid memo address)\n"),
                  std::string::npos);
        EXPECT_EQ(dump.out.substr(dump.out.find("DELETED")), "DELETED,NAME,NOTE\n"
                                                             ",one,\"note of one\r\n" +
                                                                 std::string(600, 'o') +
                                                                 "\"\n"
                                                                 ",two,<unreadable memo>\n"
                                                                 ",three,\"note of three\r\n" +
                                                                 std::string(600, 't') + "\"\n");
    }
    {
        // Padding of 0x1A bytes after the end mark is a note; other bytes there are not.
        const std::string path = Path("pad.dbf");
        MakeMemoTable(path, 0x8B);
        auto b = testing::ReadBytes(path);
        b.insert(b.end(), 100, 0x1A);
        testing::WriteBytes(path, b);
        TRun check = QmTable("check " + Quote(path));
        EXPECT_EQ(check.status, 0) << check.out;
        EXPECT_EQ(check.out,
                  path + ": note: 100 end-of-file bytes (0x1A) of padding after the mark\n" + path +
                      ": no inconsistency\n");
        b.back() = 'x';
        testing::WriteBytes(path, b);
        check = QmTable("check " + Quote(path));
        EXPECT_EQ(check.status, 1) << check.out;
        EXPECT_NE(check.out.find("100 bytes after the end-of-file mark"), std::string::npos);
    }
}

} // namespace
} // namespace qm::table
