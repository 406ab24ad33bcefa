// Bytes of the table files: create, open checks, records, header rewrite, close.
#include <cstring>

#include "dbf_file.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::Hex;
using testing::Le16;
using testing::Le32;
using testing::ReadBytes;
using testing::WriteBytes;

class DbfFileTest : public testing::TableTest {};

std::vector<TFieldSpec> Specs(const std::vector<std::string>& lines) {
    std::vector<TFieldSpec> out;
    for (const auto& l : lines) {
        TFieldSpec given, used;
        bool corrected, skip;
        EXPECT_TRUE(ParseFieldLine(l, given, used, corrected, skip)) << l;
        out.push_back(used);
    }
    return out;
}

// The expected bytes of an empty table made by hand from the field list.
std::vector<uint8_t> ExpectedEmptyLog() {
    struct F {
        const char* name;
        char type;
        int width;
    } fields[] = {{"SENTNAME0", 'C', 30}, {"SENTNAME1", 'C', 30}, {"SENTNAME2", 'C', 30},
                  {"SENTNAME3", 'C', 30}, {"CITY", 'C', 35},      {"STATE", 'C', 4},
                  {"ZIP", 'C', 10},       {"RDATE", 'D', 8},      {"MAILERNUM", 'C', 35},
                  {"POSTAGE", 'C', 15},   {"CERTIFIED", 'C', 15}, {"RESTRICTED", 'C', 15},
                  {"RETURN", 'C', 15},    {"TOTAL", 'C', 15},     {"COMMENTS", 'C', 35},
                  {"RE", 'C', 25}};
    // version, 2008-03-05, count 0, header 545 (0x221), record 348 (0x15C)
    std::vector<uint8_t> b = Hex("03 6C 03 05 00000000 2102 5C01");
    b.resize(32, 0);
    for (const F& f : fields) {
        uint8_t d[32] = {};
        std::memcpy(d, f.name, std::strlen(f.name));
        d[11] = uint8_t(f.type);
        d[16] = uint8_t(f.width);
        b.insert(b.end(), d, d + 32);
    }
    b.push_back(0x0D);
    b.push_back(0x1A);
    return b;
}

TEST_F(DbfFileTest, LogTableIsByteExact) {
    const std::string path = Path("report3.dbf");
    TDbfFile::Create(path, Specs(testing::LogFieldLines()));
    auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 546u);
    EXPECT_EQ(Le16(bytes, 8), 545);
    EXPECT_EQ(Le16(bytes, 10), 348);
    EXPECT_EQ(bytes, ExpectedEmptyLog());
}

TEST_F(DbfFileTest, LogRecordsAreByteExact) {
    const std::string path = Path("report3.dbf");
    TTzDbf log("TzDbfReport");
    log.SetDbfFileName(path);
    log.SetDbfFields(testing::LogFieldLines());
    log.Open();
    log.ClearRecord();
    log.SetField("sentname0", "John Smith");
    log.SetField("city", "Springfield");
    log.SetField("state", "IL");
    log.SetField("zip", "62701-1234");
    log.SetField("mailernum", "7106 9214 7000 0000 0012 34");
    log.SetField("postage", "   0.41");
    log.SetField("restricted", " ");
    log.SetField("re", "Invoice 12345678901234567890 and more");
    log.SetField("rdate", "3/5/2008");
    ASSERT_TRUE(log.ALock());
    log.AppendRec();
    log.UnLock();
    EXPECT_EQ(log.RecCount(), 1u);
    log.Close();

    auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 545u + 348u + 1u);
    EXPECT_EQ(Le32(bytes, 4), 1u);
    std::string rec(bytes.begin() + 545, bytes.begin() + 545 + 348);
    auto field = [&](int offset, int width) { return rec.substr(size_t(offset), size_t(width)); };
    EXPECT_EQ(rec[0], ' ');
    EXPECT_EQ(field(1, 30), "John Smith" + std::string(20, ' '));
    EXPECT_EQ(field(121, 35), "Springfield" + std::string(24, ' '));
    EXPECT_EQ(field(156, 4), "IL  ");
    EXPECT_EQ(field(160, 10), "62701-1234");
    EXPECT_EQ(field(170, 8), "20080305");
    EXPECT_EQ(field(178, 35), "7106 9214 7000 0000 0012 34" + std::string(8, ' '));
    EXPECT_EQ(field(213, 15), "   0.41" + std::string(8, ' '));
    EXPECT_EQ(field(243, 15), std::string(15, ' '));
    EXPECT_EQ(field(323, 25), "Invoice 12345678901234567"); // cut to 25
    EXPECT_EQ(bytes.back(), 0x1A);
}

TEST_F(DbfFileTest, MemoTableGetsDbt) {
    const std::string path = Path("home.dbf");
    TDbfFile::Create(path, Specs({"address,M,10,0", "city,C,35,0"}));
    auto bytes = ReadBytes(path);
    EXPECT_EQ(bytes[0], 0x8B);
    EXPECT_EQ(ReadBytes(Path("home.DBT")),
              Hex("01000000 00000000 686F6D6500000000 0000 0201 0002 0000"));
}

TEST_F(DbfFileTest, NamesCutAndUpperCased) {
    const std::string path = Path("t.dbf");
    TDbfFile::Create(path, {{"averyLongFieldName", 'c', 5, 0}, {"d", 'd', 3, 0}, {"l", 'L', 9, 0}});
    TDbfFile f;
    f.Open(path, true, true, false);
    ASSERT_EQ(f.Fields().size(), 3u);
    EXPECT_EQ(f.Fields()[0].name, "AVERYLONGF");
    EXPECT_EQ(f.Fields()[0].type, 'C');
    EXPECT_EQ(f.Fields()[1].width, 8);
    EXPECT_EQ(f.Fields()[2].width, 1);
    EXPECT_EQ(f.Fields()[2].offset, 1 + 5 + 8);
    EXPECT_EQ(f.RecordLength(), 15);
}

TEST_F(DbfFileTest, InvalidDefinitionsWriteNothing) {
    const std::string path = Path("bad.dbf");
    const std::string generic = "Invalid dBASE field definition [CreateDBF]";
    struct Case {
        TFieldSpec spec;
        std::string said;
    } cases[] = {
        {{"a", 'C', 0, 0}, "Cannot create " + path + ": field A has width 0 [CreateDBF]"},
        {{"a", 'N', 0, 0}, generic},
        {{"a", 'I', 4, 0}, generic},
        {{"a", 'C', 300, 0}, "Cannot create " + path + ": field A has width 300 [CreateDBF]"}};
    for (const Case& c : cases) {
        try {
            TDbfFile::Create(path, {c.spec});
            ADD_FAILURE() << "created " << c.spec.type;
        } catch (const EZezudError& e) {
            EXPECT_EQ(e.Error(), TErrorCode::InvalidFieldType);
            EXPECT_EQ(e.Context(), c.said);
        }
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

struct OpenCase {
    const char* what;
    std::vector<uint8_t> bytes;
    int code;
    std::string contextEnd;
};

TEST_F(DbfFileTest, OpenRejectsDamagedFiles) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    std::vector<uint8_t> goodHeader = Hex("03 6C0305 00000000 4100 0600");
    goodHeader.resize(32, 0);
    auto withDescriptor = [&](char type, uint8_t first = 'A') {
        std::vector<uint8_t> b = goodHeader;
        uint8_t d[32] = {};
        d[0] = first;
        d[11] = uint8_t(type);
        d[16] = 5;
        b.insert(b.end(), d, d + 32);
        b.push_back(0x0D);
        return b;
    };
    std::vector<uint8_t> fewFields = goodHeader;
    fewFields[8] = 40; // (40 - 32) / 32 = 0 slots
    std::vector<uint8_t> shortRecord = withDescriptor('C');
    shortRecord[10] = 3; // record length 3 < 1 + 5
    OpenCase cases[] = {
        {"20 bytes", std::vector<uint8_t>(20, 3), 210,
         " is not a dBASE database. (Prolog is less than 32 bytes) [USE/OpenDBF]"},
        {"version 0x30", std::vector<uint8_t>(40, 0x30), 210,
         " is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]"},
        {"no fields", fewFields, 210,
         "t.dbf is not a dBASE database. (Number of fields is out of range) [Use/OpenDbf]"},
        {"type I", withDescriptor('I'), 211, "] in "},
        {"terminator first", withDescriptor('C', 0x0D), 222, " [Use/OpenDbf]"},
        {"short descriptors", goodHeader, 100, " [Use/OpenDbf]"},
        {"record length", shortRecord, 210,
         "(Record length does not match the fields) [USE/OpenDBF]"},
        {"0x02 too short", std::vector<uint8_t>(100, 0x02), 210,
         "(Header is less than 521 bytes) [USE/OpenDBF]"},
    };
    for (const OpenCase& c : cases) {
        const std::string path = Path("t.dbf");
        WriteBytes(path, c.bytes);
        TDbfFile f;
        try {
            f.Open(path, false, false, false);
            ADD_FAILURE() << c.what << " opened";
        } catch (const EZezudError& e) {
            EXPECT_EQ(e.Code(), c.code) << c.what;
            EXPECT_NE(e.Context().find(c.contextEnd), std::string::npos)
                << c.what << ": " << e.Context();
        }
        EXPECT_FALSE(f.IsOpen());
    }
}

TEST_F(DbfFileTest, TypeIMessageNamesFieldAndFile) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    std::vector<uint8_t> b = Hex("03 6C0305 00000000 4100 0600");
    b.resize(32, 0);
    uint8_t d[32] = {'C', 'N', 'T'};
    d[11] = 'I';
    d[16] = 4;
    b.insert(b.end(), d, d + 32);
    b.push_back(0x0D);
    WriteBytes(Path("t.dbf"), b);
    TDbfFile f;
    try {
        f.Open(Path("t.dbf"), false, false, false);
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Context(),
                  "Field: CNT [I] in " + DisplayPath(Path("t.dbf")) + " is not a valid field type");
    }
}

TEST_F(DbfFileTest, GeneralFieldIsMemo) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    std::vector<uint8_t> b = Hex("8B 6C0305 00000000 4100 0B00");
    b.resize(32, 0);
    uint8_t d[32] = {'P', 'I', 'C'};
    d[11] = 'g';
    d[16] = 10;
    b.insert(b.end(), d, d + 32);
    b.push_back(0x0D);
    WriteBytes(Path("t.dbf"), b);
    TDbfFile f;
    f.Open(Path("t.dbf"), false, false, false);
    EXPECT_EQ(f.Fields()[0].type, 'M');
    EXPECT_TRUE(f.HasMemo());
}

// Oldest layout: 521-byte header, 16-byte descriptors; dBase 7: 48-byte descriptors.
TEST_F(DbfFileTest, OtherVersionsOpen) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    std::vector<uint8_t> v2(521, 0);
    v2[0] = 0x02;
    v2[1] = 2; // count 2
    v2[3] = 3;
    v2[4] = 5;
    v2[5] = 108;
    v2[6] = 5; // record length
    std::memcpy(&v2[8], "NAME", 4);
    v2[8 + 11] = 'C';
    v2[8 + 12] = 4;
    v2[8 + 16] = 0x0D;
    for (const char* r : {" abcd", "*wxyz"}) v2.insert(v2.end(), r, r + 5);
    WriteBytes(Path("old.dbf"), v2);

    TTzDbf t;
    t.SetExclusive(true);
    t.SetDbfFileName(Path("old.dbf"));
    t.Open();
    EXPECT_EQ(t.RecCount(), 2u);
    EXPECT_EQ(t.GetField("name"), "abcd");
    t.Next();
    EXPECT_TRUE(t.Deleted());
    EXPECT_EQ(t.GetField("NAME"), "wxyz");
    t.Edit();
    t.SetField("name", "qq");
    t.Post();
    t.Close();
    auto after = ReadBytes(Path("old.dbf"));
    EXPECT_EQ(std::string(after.begin() + 526, after.end()), "*qq  ");
    EXPECT_EQ(after[1], 2); // count kept
    EXPECT_EQ(after[3], 3); // month, day, year - 1900 at 3, 4, 5
    EXPECT_EQ(after[5], 108);

    // dBase 7: 68-byte prolog, 48-byte descriptors, type at 32, width at 33.
    std::vector<uint8_t> v4(68, 0);
    v4[0] = 0x04;
    v4[4] = 1;           // count
    v4[8] = 68 + 48 + 1; // header length
    v4[10] = 4;          // record length
    uint8_t d[48] = {'N', 'U', 'M'};
    d[32] = 'N';
    d[33] = 3;
    v4.insert(v4.end(), d, d + 48);
    v4.push_back(0x0D);
    for (char c : std::string("  42")) v4.push_back(uint8_t(c));
    WriteBytes(Path("v7.dbf"), v4);
    TTzDbf t7;
    t7.SetDbfFileName(Path("v7.dbf"));
    t7.Open();
    EXPECT_EQ(t7.RecCount(), 1u);
    EXPECT_EQ(t7.GetField("num"), " 42");
}

TEST_F(DbfFileTest, NumberStoredForms) {
    struct Case {
        double value;
        int width, decimals;
        const char* stored;
    } cases[] = {
        {123.456, 5, 2, "*****"}, {12.3, 5, 2, "12.30"},   {1.5, 6, 2, "  1.50"},
        {-0.001, 6, 2, "  0.00"}, {-12.5, 6, 1, " -12.5"}, {99999, 4, 0, "****"},
    };
    for (const Case& c : cases) {
        std::string s(size_t(c.width), '?');
        FormatNumber(c.value, c.width, c.decimals, s.data());
        EXPECT_EQ(s, c.stored) << c.value;
    }
    std::string i(5, '?');
    FormatInteger(-42, 5, i.data());
    EXPECT_EQ(i, "  -42");
}

TEST_F(DbfFileTest, AutoFixRecCount) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    const std::string path = Path("t.dbf");
    TDbfFile::Create(path, {{"A", 'C', 3, 0}});
    auto b = ReadBytes(path);
    b[4] = 1;
    b.pop_back(); // end-of-file byte
    for (const char* r : {" one", "\x1A", "two", " six"}) b.insert(b.end(), r, r + std::strlen(r));
    WriteBytes(path, b); // count 1, record, end-of-file byte, then 7 more bytes
    // The end-of-file mark ends the table, whatever the size says.
    for (bool autoFix : {false, true}) {
        TDbfFile f;
        f.Open(path, true, false, autoFix);
        EXPECT_EQ(f.RecordCount(), 1u) << autoFix;
    }
    // A header count of 0 over three records: all three are found.
    b.resize(65);
    b[4] = 0;
    for (const char* r : {" one", " two", "*six", "\x1A"}) b.insert(b.end(), r, r + std::strlen(r));
    WriteBytes(path, b);
    for (bool autoFix : {false, true}) {
        TDbfFile f;
        f.Open(path, true, false, autoFix);
        EXPECT_EQ(f.RecordCount(), 3u) << autoFix;
    }
}

TEST_F(DbfFileTest, CloseRules) {
    const std::string path = Path("t.dbf");
    TDbfFile::Create(path, {{"A", 'C', 3, 0}});
    {
        TTzDbf t;
        t.SetExclusive(true);
        t.SetDbfFileName(path);
        t.Open();
        for (const char* v : {"one", "two"}) {
            t.ClearRecord();
            t.SetField("a", v);
            t.AppendRec();
        }
        t.Close();
    }
    auto b = ReadBytes(path);
    EXPECT_EQ(Le32(b, 4), 2u);
    ASSERT_EQ(b.size(), 65u + 2 * 4 + 1);
    EXPECT_EQ(b.back(), 0x1A);

    // A rewrite only updates the header date; the end-of-file byte stays where it is.
    SetDateClock([] { return TDate{2009, 12, 31}; });
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.Open();
        t.Edit();
        t.SetField("a", "uno");
        t.Post();
        t.Close();
    }
    auto c = ReadBytes(path);
    ASSERT_EQ(c.size(), b.size());
    EXPECT_EQ(c[1], 109);
    EXPECT_EQ(c[2], 12);
    EXPECT_EQ(c[3], 31);
    for (size_t i = 4; i < 32; ++i) EXPECT_EQ(c[i], b[i]) << i;
    EXPECT_EQ(std::string(c.begin() + 65, c.begin() + 69), " uno");

    // A close without changes writes nothing.
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.Open();
        t.Close();
    }
    EXPECT_EQ(ReadBytes(path), c);
}

TEST_F(DbfFileTest, HeaderRewriteKeepsMultiUserArea) {
    const std::string path = Path("t.dbf");
    TDbfFile::Create(path, {{"A", 'C', 3, 0}});
    TTzDbf t;
    t.SetExclusive(true);
    t.SetDbfFileName(path);
    t.Open();
    // Another program writes into bytes 16..27 while the table is open.
    auto b = ReadBytes(path);
    for (int i = 16; i < 28; ++i) b[size_t(i)] = uint8_t(i);
    WriteBytes(path, b);
    t.ClearRecord();
    t.SetField("a", "x");
    t.AppendRec();
    t.Close();
    auto c = ReadBytes(path);
    for (int i = 16; i < 28; ++i) EXPECT_EQ(c[size_t(i)], i);
    EXPECT_EQ(Le32(c, 4), 1u);
}

// A crash mid-append leaves a torn last record: readers ignore it and the next
// append overwrites it.
TEST_F(DbfFileTest, TornLastRecordIsIgnoredAndOverwritten) {
    const std::string path = Path("t.dbf");
    TDbfFile::Create(path, {{"A", 'C', 3, 0}});
    auto b = ReadBytes(path);
    b.pop_back();
    for (const char* r : {" one", " tw"}) b.insert(b.end(), r, r + std::strlen(r));
    WriteBytes(path, b);

    TTzDbf t;
    t.SetDbfFileName(path);
    t.Open();
    EXPECT_EQ(t.RecCount(), 1u);
    EXPECT_EQ(t.GetField("a"), "one");
    t.Next();
    EXPECT_TRUE(t.Eof());
    ASSERT_TRUE(t.ALock());
    t.ClearRecord();
    t.SetField("a", "two");
    t.AppendRec();
    t.UnLock();
    EXPECT_EQ(t.RecCount(), 2u);
    t.Close();
    auto c = ReadBytes(path);
    EXPECT_EQ(std::string(c.begin() + 65, c.end()), " one two\x1A");
    EXPECT_EQ(Le32(c, 4), 2u);
}

TEST_F(DbfFileTest, RecordNumberOutOfRange) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    const std::string path = Path("t.dbf");
    TDbfFile::Create(path, {{"A", 'C', 3, 0}});
    TDbfFile f;
    f.Open(path, true, false, false);
    char buf[4];
    try {
        f.ReadRecord(3, buf);
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::BeyondRange);
        EXPECT_EQ(e.Context(),
                  "Invalid record number = 3 (" + DisplayPath(path) + ")  [GetDbfRecord]");
    }
    // A header count beyond the data is not trusted: the file holds no record 2.
    f.Abandon();
    auto b = ReadBytes(path);
    b[4] = 5;
    WriteBytes(path, b);
    f.Open(path, true, false, false);
    EXPECT_EQ(f.RecordCount(), 0u);
    EXPECT_THROW(f.ReadRecord(2, buf), EZezudError);
}

// After a crash the header count is older than the records; an exclusive open
// (log clearing, pack) must still see them all, or a pack would cut them off.
TEST_F(DbfFileTest, StaleHeaderAfterCrashIsCorrectedOnExclusiveOpen) {
    leavesDamagedTables_ = true; // hand-made damaged or foreign files
    const std::string path = Path("t.dbf");
    TDbfFile::Create(path, {{"A", 'C', 3, 0}});
    auto b = ReadBytes(path);
    b[4] = 1; // header says 1; the file holds 3 and no end-of-file byte
    b.pop_back();
    for (const char* r : {" one", " two", " six"}) b.insert(b.end(), r, r + 4);
    WriteBytes(path, b);
    TDbfFile f;
    f.Open(path, true, false, false);
    EXPECT_EQ(f.RecordCount(), 3u);
    f.Abandon();

    // Padding after a proper end-of-file byte is not data.
    auto c = ReadBytes(path);
    c.resize(65 + 4);
    c.push_back(0x1A);
    c.resize(512, 0);
    WriteBytes(path, c);
    f.Open(path, true, false, false);
    EXPECT_EQ(f.RecordCount(), 1u);
}

TEST_F(DbfFileTest, WriteThroughKeepsHeaderCurrent) {
    const std::string path = Path("t.dbf");
    TDbfFile::Create(path, {{"A", 'C', 3, 0}});
    TTzDbf t;
    t.SetWriteThrough(true);
    t.SetExclusive(true);
    t.SetDbfFileName(path);
    t.Open();
    t.ClearRecord();
    t.SetField("a", "one");
    t.AppendRec();
    // Before any close: count 1 in the header, the end-of-file byte after the record.
    auto b = ReadBytes(path);
    EXPECT_EQ(Le32(b, 4), 1u);
    ASSERT_EQ(b.size(), 65u + 4 + 1);
    EXPECT_EQ(b.back(), 0x1A);
}

} // namespace
} // namespace qm::table
