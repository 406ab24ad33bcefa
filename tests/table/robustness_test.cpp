// The engine with foreign, padded and damaged files, read-only tables, a
// second handle writing beside us, and a file-size limit.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "fault_fs.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::Le16;
using testing::Le32;
using testing::ReadBytes;
using testing::WriteBytes;

class RobustnessTest : public testing::TableTest {
protected:
    // A table of `n` records "r1".."rn" in field NAME (C 8), closed.
    void MakeTable(const std::string& path, int n) {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"name,C,8,0"});
        t.Open();
        ASSERT_TRUE(t.ALock());
        for (int i = 1; i <= n; ++i) {
            t.ClearRecord();
            t.SetField("name", "r" + std::to_string(i));
            t.AppendRec();
        }
        t.UnLock();
        t.Close();
    }
    std::vector<std::string> Names(const std::string& path) {
        std::vector<std::string> out;
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.Open();
        for (t.First(); !t.Eof(); t.Next()) out.push_back(t.FieldDisplay(0));
        return out;
    }
    std::string RunPerlDump(const std::string& file) {
        const std::string cmd = "perl '" QM_XBASE_SCRIPT "' dump '" + file + "' 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        std::string out;
        char buf[4096];
        size_t n;
        while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        if (p) pclose(p);
        return out;
    }
};

// Bytes a foreign program stored that our typed values cannot hold survive a
// post that does not touch them, and a same-structure AppendFrom copies them.
TEST_F(RobustnessTest, UntouchedFieldsKeepTheirBytes) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    const std::string path = Path("foreign.dbf");
    TDbfFile::Create(path, {{"NAME", 'C', 6, 0},
                            {"BIG", 'N', 20, 0},
                            {"FRAC", 'N', 20, 4},
                            {"OK", 'L', 1, 0},
                            {"DAY", 'D', 8, 0},
                            {"RATE", 'F', 8, 3}});
    struct Case {
        const char* big;
        const char* frac;
        char ok;
        const char* day;
        const char* rate;
    } cases[] = {
        {"99999999999999999999", "123456789012345.6789", '?', "20081340", "  1.2345"},
        {"                    ", "                    ", ' ', "2008 3 5", "********"},
        {"-0000000000000000001", "    -0.00010000     ", 'y', "        ", "   1e+02"},
    };
    auto b = ReadBytes(path);
    b.pop_back();
    for (const Case& c : cases) {
        std::string rec = " before";
        rec.resize(7, ' ');
        rec += std::string(c.big) + c.frac + c.ok + c.day + c.rate;
        ASSERT_EQ(rec.size(), 64u);
        b.insert(b.end(), rec.begin(), rec.end());
    }
    b.push_back(0x1A);
    b[4] = uint8_t(std::size(cases));
    WriteBytes(path, b);
    const size_t header = Le16(b, 8), record = Le16(b, 10);
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.Open();
        for (uint32_t n = 1; n <= std::size(cases); ++n) {
            t.SetRecNo(n);
            t.Edit();
            t.SetField("name", "after");
            EXPECT_THROW(t.SetField("big", "many"), EConvertError); // not assigned either
            t.Post();
        }
    }
    const auto after = ReadBytes(path);
    ASSERT_EQ(after.size(), b.size());
    for (size_t n = 0; n < std::size(cases); ++n) {
        const size_t at = header + n * record;
        EXPECT_EQ(std::string(after.begin() + long(at), after.begin() + long(at + 7)), " after ");
        EXPECT_TRUE(std::equal(after.begin() + long(at + 7), after.begin() + long(at + record),
                               b.begin() + long(at + 7)))
            << "record " << n + 1;
    }
    // Assigned fields are formatted anew.
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.Open();
        t.SetRecNo(1);
        t.Edit();
        t.SetField("ok", "T");
        t.SetField("big", "12");
        t.Post();
        auto c = ReadBytes(path);
        EXPECT_EQ(c[header + 7 + 19], '2');
        EXPECT_EQ(c[header + 7 + 18], '1');
        EXPECT_EQ(c[header + 7 + 17], ' ');
        EXPECT_EQ(c[header + 47], 'T');
        EXPECT_EQ(std::string(c.begin() + long(header + 27), c.begin() + long(header + 47)),
                  "123456789012345.6789");
    }
    // Same structure: AppendFrom copies every record byte for byte.
    const auto source = ReadBytes(path);
    const std::string copy = Path("copy.dbf");
    TDbfFile::Create(copy, {{"NAME", 'C', 6, 0},
                            {"BIG", 'N', 20, 0},
                            {"FRAC", 'N', 20, 4},
                            {"OK", 'L', 1, 0},
                            {"DAY", 'D', 8, 0},
                            {"RATE", 'F', 8, 3}});
    {
        TTzDbf d;
        d.SetDbfFileName(copy);
        d.Open();
        ASSERT_TRUE(d.ALock());
        d.AppendFrom(path);
        d.UnLock();
    }
    const auto copied = ReadBytes(copy);
    ASSERT_EQ(copied.size(), source.size());
    EXPECT_TRUE(
        std::equal(copied.begin() + long(header), copied.end(), source.begin() + long(header)));
}

// Padding after the last record (0x1A, NUL, garbage) is not records, in any
// mode; appends overwrite it and other readers agree on the count.
TEST_F(RobustnessTest, PaddingIsNotRecords) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    const std::string path = Path("pad.dbf");
    MakeTable(path, 3);
    const auto clean = ReadBytes(path);
    struct Case {
        const char* what;
        uint8_t fill;
        size_t bytes;
        uint32_t headerCount;
    } cases[] = {
        {"0x1A padding", 0x1A, 129, 3},
        {"NUL padding", 0x00, 200, 3},
        {"huge header count", 0x1A, 1, 0xFFFFFFF0u},
        {"stale header count", 0x1A, 90, 1},
        {"garbage", 'x', 45, 3},
    };
    for (const Case& c : cases) {
        for (bool exclusive : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (exclusive ? " exclusive" : " shared"));
            auto b = clean;
            b.resize(b.size() - 1);
            b.insert(b.end(), c.bytes, c.fill);
            b[4] = uint8_t(c.headerCount);
            b[5] = uint8_t(c.headerCount >> 8);
            b[6] = uint8_t(c.headerCount >> 16);
            b[7] = uint8_t(c.headerCount >> 24);
            WriteBytes(path, b);
            {
                TTzDbf t;
                t.SetDbfFileName(path);
                t.SetExclusive(exclusive);
                t.Open();
                EXPECT_EQ(t.RecCount(), 3u);
                ASSERT_TRUE(t.ALock());
                t.ClearRecord();
                t.SetField("name", "r4");
                t.AppendRec();
                t.UnLock();
                EXPECT_EQ(t.RecCount(), 4u);
            }
            EXPECT_EQ(Names(path), (std::vector<std::string>{"r1", "r2", "r3", "r4"}));
            const std::string dump = RunPerlDump(path);
            EXPECT_NE(dump.find("count 4\n"), std::string::npos) << dump;
        }
    }
}

TEST_F(RobustnessTest, ReadOnlyTableIsNeverPacked) {
    const std::string path = Path("ro.dbf");
    MakeTable(path, 3);
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.Open();
        t.SetRecNo(2);
        t.Delete();
    }
    const auto before = ReadBytes(path);
    for (bool exclusive : {false, true}) {
        TTzDbf t;
        t.SetReadOnly(true);
        t.SetExclusive(exclusive);
        t.SetDbfFileName(path);
        t.Open();
        try {
            t.Pack();
            FAIL() << "packed a read-only table";
        } catch (const EZezudError& e) {
            EXPECT_EQ(e.Error(), TErrorCode::AccessDenied);
            EXPECT_EQ(e.Context(), "File:  " + DisplayPath(path) + " [Pack]");
        }
        EXPECT_EQ(ReadBytes(path), before);
    }
}

// The pack leaves one file under the table's name, with the table's permissions.
TEST_F(RobustnessTest, PackSwapsInOneFile) {
    const std::string path = Path("p.dbf");
    MakeTable(path, 6);
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.Open();
        for (uint32_t n : {2u, 5u}) {
            t.SetRecNo(n);
            t.Delete();
        }
        t.Pack();
        EXPECT_EQ(t.RecCount(), 4u);
        EXPECT_EQ(t.GetField("name"), "r1      ");
        // the handle works on the packed file
        ASSERT_TRUE(t.ALock());
        t.ClearRecord();
        t.SetField("name", "r7");
        t.AppendRec();
        t.UnLock();
    }
    EXPECT_EQ(Names(path), (std::vector<std::string>{"r1", "r3", "r4", "r6", "r7"}));
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir_)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
}

// Shared mode: every read sees what another copy wrote a moment ago.
TEST_F(RobustnessTest, SharedReadsSeeOtherCopysWrites) {
    const std::string path = Path("s.dbf");
    MakeTable(path, 6);
    TTzDbf reader("Reader"), writer("Writer");
    reader.SetDbfFileName(path);
    reader.SetHideDeletedRecs(true);
    reader.Open();
    writer.SetDbfFileName(path);
    writer.Open();
    reader.First();
    EXPECT_EQ(reader.FieldDisplay(0), "r1");
    writer.SetRecNo(2);
    writer.Edit();
    writer.SetField("name", "two");
    writer.Post();
    writer.SetRecNo(3);
    writer.Delete();
    reader.Next();
    EXPECT_EQ(reader.FieldDisplay(0), "two");
    reader.Next();
    EXPECT_EQ(reader.RecNo(), 4u); // record 3 is now deleted and hidden
    writer.SetRecNo(5);
    writer.Edit();
    writer.SetField("name", "five");
    writer.Post();
    reader.Next();
    EXPECT_EQ(reader.FieldDisplay(0), "five");
    // Under its own file lock no other copy can write: the walk is the same.
    ASSERT_TRUE(reader.FLock());
    std::vector<std::string> seen;
    for (reader.First(); !reader.Eof(); reader.Next()) seen.push_back(reader.FieldDisplay(0));
    reader.UnLock();
    EXPECT_EQ(seen, (std::vector<std::string>{"r1", "two", "r4", "five", "r6"}));
}

TEST_F(RobustnessTest, FieldTypeLetters) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    struct Case {
        uint8_t type;
        bool opens;
        const char* shown;
    } cases[] = {
        {'C', true, ""},   {'g', true, ""},       {'P', true, ""},   {'c', false, "c"},
        {'n', false, "n"}, {0x00, false, "0x00"}, {'I', false, "I"}, {0x1A, false, "0x1A"},
    };
    const std::string path = Path("types.dbf");
    TDbfFile::Create(path, {{"A", 'C', 3, 0}, {"B", 'C', 10, 0}});
    const auto clean = ReadBytes(path);
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        auto b = clean;
        b[32 + 32 + 11] = c.type;
        WriteBytes(path, b);
        TDbfFile f;
        if (c.opens) {
            f.Open(path, false, true, false);
            continue;
        }
        try {
            f.Open(path, false, true, false);
            FAIL();
        } catch (const EZezudError& e) {
            EXPECT_EQ(e.Error(), TErrorCode::InvalidFieldType);
            const std::string want = "Field: B [" + std::string(c.shown) + "] in " +
                                     DisplayPath(path) + " is not a valid field type";
            EXPECT_EQ(e.Context(), want);
            EXPECT_EQ(std::string(e.what()).find('\0'), std::string::npos);
            EXPECT_NE(std::string(e.what()).find(want), std::string::npos);
        }
        EXPECT_FALSE(f.IsOpen());
    }
}

TEST_F(RobustnessTest, NamesMatchCaseInsensitively) {
    MakeTable(Path("AF_SRC.dbf"), 2);
    TTzDbf t;
    t.SetDbfFileName(Path("af_src"));
    t.SetDbfFields({"other,C,3,0"});
    t.Open(); // finds AF_SRC.dbf; creates nothing
    EXPECT_EQ(t.RecCount(), 2u);
    EXPECT_EQ(t.FieldDef(0).name, "NAME");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir_)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
    // AppendFrom finds its source the same way.
    MakeTable(Path("dst.dbf"), 0);
    TTzDbf d;
    d.SetDbfFileName(Path("dst.dbf"));
    d.Open();
    ASSERT_TRUE(d.ALock());
    d.AppendFrom(Path("Af_Src"));
    d.UnLock();
    EXPECT_EQ(d.RecCount(), 2u);
}

TEST_F(RobustnessTest, AppendFromItselfThroughALinkIsRefused) {
    const std::string path = Path("self.dbf");
    MakeTable(path, 2);
    std::filesystem::create_symlink(path, Path("alias.dbf"));
    std::filesystem::create_hard_link(path, Path("hard.dbf"));
    TTzDbf t;
    t.SetDbfFileName(path);
    t.Open();
    ASSERT_TRUE(t.ALock());
    for (const char* name : {"alias.dbf", "hard.dbf"}) {
        try {
            t.AppendFrom(Path(name));
            FAIL() << name;
        } catch (const EZezudError& e) {
            EXPECT_EQ(e.Error(), TErrorCode::AlreadyInUse);
        }
    }
    t.UnLock();
    EXPECT_EQ(t.RecCount(), 2u);
}

TEST_F(RobustnessTest, ExclusiveOpenNeedsWritePermission) {
    const std::string path = Path("locked.dbf");
    MakeTable(path, 1);
    testing::FaultyFileSystem fs;
    fs.denyWrite = path;
    SetFileSystem(&fs);
    for (bool readOnly : {false, true}) {
        TTzDbf t;
        t.SetExclusive(true);
        t.SetReadOnly(readOnly);
        t.SetDbfFileName(path);
        try {
            t.Open();
            FAIL() << readOnly;
        } catch (const EZezudError& e) {
            EXPECT_EQ(e.Error(), TErrorCode::AccessDenied);
        }
        EXPECT_FALSE(t.Active());
    }
    TTzDbf shared;
    shared.SetReadOnly(true);
    shared.SetDbfFileName(path);
    shared.Open(); // a shared read-only open needs no more than reading
    EXPECT_EQ(shared.RecCount(), 1u);
}

// Every read of the open failing in turn: the open either succeeds or leaves
// the table closed with its work area free.
TEST_F(RobustnessTest, FailedOpenLeavesTableClosed) {
    const std::string path = Path("t.dbf");
    MakeTable(path, 3);
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        testing::FaultyFileSystem fs;
        fs.kinds = testing::kFaultRead;
        fs.failAt = n;
        SetFileSystem(&fs);
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        try {
            t.Open();
        } catch (const EZezudError&) {
            EXPECT_FALSE(t.Active());
            EXPECT_EQ(FreeUserSlot(), 1);
            continue;
        }
        SetFileSystem(nullptr);
        EXPECT_TRUE(t.Active());
        if (fs.faults == 0) break;
        ASSERT_LT(n, 50);
    }
}

// A write beyond the process's file-size limit is the coded disk write error.
TEST_F(RobustnessTest, FileSizeLimitGivesError101) {
    const std::string path = Path("limit.dbf");
    MakeTable(path, 0);
    const pid_t pid = fork();
    if (pid == 0) {
        rlimit lim{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &lim);
        try {
            TTzDbf t;
            t.SetDbfFileName(path);
            t.Open();
            for (int i = 0; i < 1000; ++i) {
                if (!t.ALock()) _exit(3);
                t.ClearRecord();
                t.SetField("name", "x");
                t.AppendRec();
                t.UnLock();
            }
        } catch (const EZezudError& e) {
            _exit(e.Code());
        }
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 101);
    // Every record written before the limit is whole.
    const auto names = Names(path);
    EXPECT_GT(names.size(), 100u);
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], "x");
}

} // namespace
} // namespace qm::table

namespace qm::table {
namespace {

// Temporaries of a killed copy (a pack's copies and marker, an index being
// built) go at the next exclusive open, one message each; those of a copy
// still running, and any at a shared open, stay.
TEST_F(RobustnessTest, LeftoversOfADeadCopyGoAtAnExclusiveOpen) {
    const std::string path = Path("t.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"name,C,10,0", "note,M,10,0"});
        t.Open();
    }
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(::getppid());
    const std::vector<std::string> names = {"t.dbf.pack", "t.DBT.pack", "t.dbf.packswap.new",
                                            "t.MDX."};
    auto name = [&](const std::string& prefix, const std::string& pid) {
        return Path(prefix + pid + (prefix == "t.MDX." ? ".tmp" : ""));
    };
    for (const std::string& prefix : names)
        for (const std::string& pid : {dead, alive})
            WriteBytes(name(prefix, pid), std::vector<uint8_t>(4096, 'x'));
    WriteBytes(Path("t.dbf.packsome"), {'k'}); // not a temporary's name
    for (bool exclusive : {false, true}) {
        messages_.clear();
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.SetExclusive(exclusive);
        t.Open();
        for (const std::string& prefix : names) {
            EXPECT_EQ(std::filesystem::exists(name(prefix, dead)), !exclusive) << prefix;
            EXPECT_TRUE(std::filesystem::exists(name(prefix, alive))) << prefix;
        }
        EXPECT_TRUE(std::filesystem::exists(Path("t.dbf.packsome")));
        ASSERT_EQ(messages_.size(), exclusive ? names.size() : 0u);
        for (const std::string& m : messages_) {
            EXPECT_EQ(m.rfind("Removed " + dir_ + "/t.", 0), 0u) << m;
            EXPECT_NE(m.find(dead + " of the program, which is no longer running."),
                      std::string::npos)
                << m;
        }
    }
}

// What a copy killed in the middle of an append leaves: the record written but
// the header's count and end-of-file mark not (or half a record), and a memo
// block written but the memo header's next free block not. The next exclusive
// open sets it right; the whole records all stay.
TEST_F(RobustnessTest, AnExclusiveOpenSettlesWhatAKilledAppendLeft) {
    for (const bool torn : {false, true}) {
        SCOPED_TRACE(torn ? "half a record" : "a whole record");
        const std::string path = Path(torn ? "torn.dbf" : "whole.dbf");
        {
            TTzDbf t;
            t.SetDbfFileName(path);
            t.SetDbfFields({"name,C,8,0", "note,M,10,0"});
            t.Open();
            TTableLock lock(t, TTableLock::Append);
            ASSERT_TRUE(lock.Held());
            for (int i = 1; i <= 3; ++i) {
                t.ClearRecord();
                t.SetField("name", "r" + std::to_string(i));
                t.SetMField("note", {"memo " + std::to_string(i)});
                t.AppendRec();
            }
        }
        std::vector<uint8_t> dbf = ReadBytes(path);
        const size_t headerLength = Le16(dbf, 8), recordLength = Le16(dbf, 10);
        ASSERT_EQ(dbf.size(), headerLength + 3 * recordLength + 1);
        std::vector<uint8_t> record(dbf.end() - 1 - long(recordLength), dbf.end() - 1);
        record[2] = '4';
        dbf.pop_back(); // the end-of-file mark the new record overwrites
        dbf.insert(dbf.end(), record.begin(),
                   torn ? record.begin() + long(recordLength / 2) : record.end());
        WriteBytes(path, dbf);
        const std::string memoPath = path.substr(0, path.size() - 3) + "dbt";
        std::vector<uint8_t> memo = ReadBytes(memoPath);
        memo.resize(memo.size() + 1024, 'x');
        WriteBytes(memoPath, memo);
        ASSERT_FALSE(CheckTable(path).Clean());

        OpenAlone(path);
        EXPECT_TRUE(CheckTable(path).Clean()) << FirstFinding(path);
        const std::vector<std::string> want =
            torn ? std::vector<std::string>{"r1", "r2", "r3"}
                 : std::vector<std::string>{"r1", "r2", "r3", "r4"};
        EXPECT_EQ(Names(path), want);
    }
}

TEST(EngineToolboxTest, TextAndNames) {
    EXPECT_EQ(TrimView(std::string_view(" a\0 ", 4), std::string_view(" \0", 2)), "a");
    EXPECT_EQ(Trim("\t x\t", " \t"), "x");
    EXPECT_EQ(TrimView("   "), "");
    EXPECT_EQ(RTrim("ab  "), "ab");
    EXPECT_EQ(UpperAscii("a\xC3\xA4z"), "A\xC3\xA4Z");
    EXPECT_EQ(FileNamePart("/a.b/c"), "c");
    EXPECT_EQ(BaseName("/a.b/name.dbf"), "name");
    EXPECT_EQ(WithExtension("/a.b/name", "DBT"), "/a.b/name.DBT");
    EXPECT_EQ(WithExtension("/a/t.dbf", "DBT"), "/a/t.DBT");
    EXPECT_EQ(AddDefaultExtension("/a.b/log"), "/a.b/log.DBF");
    EXPECT_EQ(AddDefaultExtension("/a/log.tmp"), "/a/log.tmp");
}

TEST(EngineToolboxTest, NameCaseAndSameFile) {
    char tmpl[] = "/tmp/qm_toolbox_XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    for (const char* n : {"Memo.DBT", "memo.dbt", "T.DBF"}) testing::WriteBytes(dir + "/" + n, {});
    EXPECT_EQ(ResolveNameCase(dir + "/memo.dbt"), dir + "/memo.dbt"); // exact name first
    EXPECT_EQ(ResolveNameCase(dir + "/MEMO.dbt"), dir + "/Memo.DBT"); // else the first in order
    EXPECT_EQ(ResolveNameCase(dir + "/t.dbf"), dir + "/T.DBF");
    EXPECT_EQ(ResolveNameCase(dir + "/none.dbf"), dir + "/none.dbf");
    EXPECT_TRUE(SameFile(dir + "/T.DBF", dir + "/../" + FileNamePart(dir) + "/T.DBF"));
    EXPECT_FALSE(SameFile(dir + "/T.DBF", dir + "/memo.dbt"));
    EXPECT_FALSE(SameFile(dir + "/T.DBF", dir + "/none.dbf"));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace qm::table
