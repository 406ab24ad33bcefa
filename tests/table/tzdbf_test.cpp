// The table component: names, creation from the field list, fields, dates,
// states, navigation, locks and record operations.
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::Le32;
using testing::ReadBytes;

class TzDbfTest : public testing::TableTest {
protected:
    // A table of fields NAME C10, QTY N5,0, PRICE N7,2, OK L, DAY D.
    void MakeTable(const std::string& file, const std::vector<std::string>& names) {
        TTzDbf t;
        t.SetDbfFileName(Path(file));
        t.SetDbfFields({"name,C,10,0", "qty,N,5,0", "price,N,7,2", "ok,L,1,0", "day,D,8,0"});
        t.Open();
        ASSERT_TRUE(t.ALock());
        int i = 0;
        for (const auto& n : names) {
            t.ClearRecord();
            t.SetField("name", n);
            t.SetField("qty", std::to_string(++i));
            t.AppendRec();
        }
        t.UnLock();
        t.Close();
    }
};

TEST_F(TzDbfTest, FileNameRules) {
    struct Case {
        const char* given;
        const char* stored;
    } cases[] = {{"  /data/log  ", "/data/log.DBF"},
                 {"/data/log.", "/data/log."},
                 {"/data/log.tmp", "/data/log.tmp"},
                 {"/da.ta/log", "/da.ta/log.DBF"}};
    for (const Case& c : cases) {
        TTzDbf t;
        t.SetDbfFileName(c.given);
        EXPECT_EQ(t.DbfFileName(), c.stored);
    }
    TTzDbf t;
    EXPECT_THROW(t.Open(), EDatabaseError);
}

TEST_F(TzDbfTest, CreateFromFieldLines) {
    TTzDbf t;
    t.SetDbfFileName(Path("addr"));
    t.SetDbfFields({"city, C, 35, 0", "skip,X,1,0", "n, n, +25, 2"});
    t.Open();
    ASSERT_EQ(t.FieldCount(), 2);
    EXPECT_EQ(t.FieldDef(0).name, "CITY");
    EXPECT_EQ(t.FieldDef(0).width, 35);
    EXPECT_EQ(t.FieldDef(1).type, 'N');
    EXPECT_EQ(t.FieldDef(1).width, 20);
    EXPECT_EQ(t.FieldDef(1).decimals, 2);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "Invalid field definition for : n,n,25,2. Will use corrected "
                            "definition: n,N,20,2");
    EXPECT_TRUE(std::filesystem::exists(Path("addr.DBF")));
}

TEST_F(TzDbfTest, MalformedFieldListPreventsCreation) {
    TTzDbf t("TzDbfReport");
    t.SetDbfFileName(Path("log.dbf"));
    t.SetDbfFields({"sentname0, C, 30"});
    try {
        t.Open();
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::FileNotFound);
    }
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "Could not create \"" + Path("log.dbf") + "\"");
    EXPECT_FALSE(std::filesystem::exists(Path("log.dbf")));
}

// A bad definition is refused in words that name the table and the field:
// creating a table, and indexing a field of an existing table.
TEST_F(TzDbfTest, BadDefinitionsAreNamed) {
    struct TCase {
        const char* why;
        std::vector<std::string> fields;
        std::string tag; // indexed after creating, with the width of its field set to 0
        std::string said;
    };
    const std::vector<TCase> cases = {
        {"two fields, one name in two cases",
         {"city,C,10,0", "name,C,5,0", "CITY,C,5,0"},
         "",
         "two fields are named CITY"},
        {"a name cut to ten characters meets another",
         {"postalcode1,C,5,0", "postalcode,C,5,0"},
         "",
         "two fields are named POSTALCODE"},
        {"an index on a field of width 0",
         {"name,C,10,0", "city,C,10,0"},
         "CITY",
         "field CITY has width 0"},
    };
    int n = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string path = Path("t" + std::to_string(++n) + ".dbf");
        messages_.clear();
        std::string said;
        try {
            TTzDbf t("Create");
            t.SetDbfFileName(path);
            t.SetDbfFields(c.fields);
            t.Open();
            if (!c.tag.empty()) {
                t.Close();
                auto b = ReadBytes(path);
                b[32 + 32 + 16] = 0; // the second field's width
                testing::WriteBytes(path, b);
                t.SetExclusive(true);
                t.Open();
                t.IndexOnOne(c.tag, c.tag);
            }
        } catch (const EZezudError& e) {
            said = e.what();
        }
        for (const std::string& m : messages_) said += "\n" + m;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_NE(said.find(path), std::string::npos) << said;
        EXPECT_EQ(said.find("internal"), std::string::npos) << said;
        EXPECT_EQ(said.find("key length"), std::string::npos) << said;
        std::filesystem::remove(path);
    }
}

TEST_F(TzDbfTest, CorrectionsOfDefinitions) {
    struct Case {
        const char* line;
        char type;
        int width, decimals;
        bool corrected;
    } cases[] = {
        {"a,C,255,3", 'C', 254, 0, true}, {"a,Q,5,0", 'C', 5, 0, true},
        {"a,N,5,4", 'N', 5, 3, true},     {"a,N,20,19", 'N', 20, 18, true},
        {"a,N,10,2", 'N', 10, 2, false},  {"a,D,8,0", 'D', 8, 0, false},
        {"a,C,,", 'C', 0, 0, false},
    };
    for (const Case& c : cases) {
        TFieldSpec given, used;
        bool corrected, skip;
        ASSERT_TRUE(ParseFieldLine(c.line, given, used, corrected, skip)) << c.line;
        EXPECT_EQ(used.type, c.type) << c.line;
        EXPECT_EQ(used.width, c.width) << c.line;
        EXPECT_EQ(used.decimals, c.decimals) << c.line;
        EXPECT_EQ(corrected, c.corrected) << c.line;
    }
    TFieldSpec g, u;
    bool corrected, skip;
    EXPECT_FALSE(ParseFieldLine("a,C,x1,0", g, u, corrected, skip));
    EXPECT_FALSE(ParseFieldLine("a,C,1,0,", g, u, corrected, skip));
}

TEST_F(TzDbfTest, AliasInUse) {
    MakeTable("one.dbf", {"a"});
    std::filesystem::create_directory(Path("sub"));
    std::filesystem::copy_file(Path("one.dbf"), Path("sub/one.dbf"));
    TTzDbf a, b;
    a.SetDbfFileName(Path("one.dbf"));
    b.SetDbfFileName(Path("sub/one.dbf"));
    a.Open();
    try {
        b.Open();
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::InvalidParameter);
        EXPECT_EQ(e.Context(), "Alias name \"ONE\" already in use. [USE]");
    }
    EXPECT_FALSE(b.Active());
    TTzDbf named("Other");
    named.SetDbfFileName(Path("sub/one.dbf"));
    named.Open();
    EXPECT_TRUE(named.Active());
}

TEST_F(TzDbfTest, WorkAreasRunOut) {
    MakeTable("t.dbf", {"a"});
    std::vector<std::unique_ptr<TTzDbf>> open;
    for (int i = 0; i < 33; ++i) {
        open.push_back(std::make_unique<TTzDbf>("T" + std::to_string(i)));
        open.back()->SetDbfFileName(Path("t.dbf"));
        open.back()->Open();
        EXPECT_EQ(open.back()->WorkArea(), i + 1);
    }
    TTzDbf extra("Extra");
    extra.SetDbfFileName(Path("t.dbf"));
    try {
        extra.Open();
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::InvalidParameter);
        EXPECT_EQ(e.Context(), "No free workarea available [Select(0)]");
    }
}

TEST_F(TzDbfTest, FieldTexts) {
    MakeTable("t.dbf", {"ABC"});
    TTzDbf t;
    t.SetDbfFileName(Path("t.dbf"));
    t.Open();
    EXPECT_EQ(t.GetField("name"), "ABC       ");
    EXPECT_EQ(t.GetField("QTY"), "    1");
    EXPECT_EQ(t.GetField("price"), "   0.00");
    EXPECT_EQ(t.GetField("ok"), "F");
    EXPECT_EQ(t.GetField("day"), "  /  /    ");
    t.Edit();
    t.SetField("ok", "T");
    t.SetField("price", " 12.345");
    t.SetField("day", "3/5/2008");
    t.Post();
    EXPECT_EQ(t.GetField("ok"), "T");
    EXPECT_EQ(t.GetField("price"), "  12.35");
    EXPECT_EQ(t.GetField("day"), "03/05/2008");
    EXPECT_EQ(t.FieldDisplay(0), "ABC");
    EXPECT_THROW(t.SetField("qty", "1.5"), EConvertError);
    EXPECT_THROW(t.SetField("price", "abc"), EConvertError);
    EXPECT_THROW(t.SetField("day", "2/30/2008"), EConvertError);
    EXPECT_THROW(t.GetField("nosuch"), EDatabaseError);
    t.Cancel();
    EXPECT_EQ(t.GetField("day"), "03/05/2008");
}

TEST_F(TzDbfTest, TextIsStoredInOem) {
    TTzDbf t;
    t.SetDbfFileName(Path("t.dbf"));
    t.SetDbfFields({"name,C,6,0"});
    t.Open();
    t.ClearRecord();
    t.SetField("name", "Café Ωx€");
    ASSERT_TRUE(t.ALock());
    t.AppendRec();
    t.UnLock();
    EXPECT_EQ(t.GetField("name"), "Café Ω");
    t.Close();
    auto b = ReadBytes(Path("t.dbf"));
    // é is 0x82 and Ω 0xEA in code page 437
    EXPECT_EQ(std::string(b.begin() + 65 + 1, b.begin() + 65 + 7), "Caf\x82 \xEA");

    TTzDbf ansi;
    ansi.SetTableLanguage(TTableLanguage::tlAnsi);
    ansi.SetDbfFileName(Path("t.dbf"));
    ansi.Open();
    EXPECT_EQ(ansi.GetField("name"), "Caf‚ ê"); // the same bytes read as Windows-1252
}

struct DateCase {
    const char* format;
    const char* input;
    const char* stored; // YYYYMMDD or empty when rejected
    const char* shown;
};

TEST_F(TzDbfTest, DateFormats) {
    const DateCase cases[] = {
        {"M/d/yyyy", "3/5/2008", "20080305", "03/05/2008"},
        {"M/d/yyyy", "03-05-2008 10:00", "20080305", "03/05/2008"},
        {"M/d/yyyy", "2/29/2008", "20080229", "02/29/2008"},
        {"M/d/yyyy", "2/29/2009", "", ""},
        {"M/d/yyyy", "4/31/2008", "", ""},
        {"M/d/yy", "3/5/08", "20080305", "03/05/08"},
        {"M/d/yy", "3/5/38", "19380305", "03/05/38"},
        {"M/d/yy", "3/5/37", "20370305", "03/05/37"},
        {"dd.MM.yyyy", "05.03.2008", "20080305", "05.03.2008"},
        {"dd-MM-yy", "5/3/08", "20080305", "05-03-08"},
        {"d/M/yyyy", "5.3.2008", "20080305", "05/03/2008"},
        {"yyyy-MM-dd", "2008-3-5", "20080305", "2008.03.05"},
    };
    for (const DateCase& c : cases) {
        SetSystemShortDateFormat(c.format);
        TDate d;
        const bool ok = ParseEngineDate(c.input, d);
        EXPECT_EQ(ok, c.stored[0] != 0) << c.format << " " << c.input;
        if (!ok) continue;
        char s[9] = {};
        StoreDate(d, s);
        EXPECT_STREQ(s, c.stored) << c.format << " " << c.input;
        EXPECT_EQ(FormatEngineDate(d), c.shown) << c.format;
    }
    SetSystemShortDateFormat("dd.MM.yyyy");
    EXPECT_EQ(BlankDateTemplate(), "  .  .    ");
    for (const char* blank : {"", "        ", "  /  /  ", "  -  -    ", "  .  .    "})
        EXPECT_TRUE(IsBlankDateText(blank)) << blank;
}

TEST_F(TzDbfTest, CountsIncludeDeleted) {
    MakeTable("t.dbf", {"a", "b", "c", "d", "e"});
    for (bool hide : {false, true}) {
        TTzDbf t;
        t.SetDbfFileName(Path("t.dbf"));
        t.SetExclusive(true);
        t.SetHideDeletedRecs(hide);
        t.Open();
        if (!hide) {
            t.SetRecNo(2);
            t.DeleteRec();
            t.SetRecNo(4);
            t.DeleteRec();
        }
        EXPECT_EQ(t.RecCount(), 5u);
        std::string seen;
        for (t.First(); !t.Eof(); t.Next()) seen += t.FieldDisplay(0);
        EXPECT_EQ(seen, hide ? "ace" : "abcde");
        std::string back;
        for (t.Last(); !t.Bof(); t.Prior()) back += t.FieldDisplay(0);
        EXPECT_EQ(back, hide ? "eca" : "edcba");
    }
}

TEST_F(TzDbfTest, EmptyTableStates) {
    TTzDbf t;
    t.SetDbfFileName(Path("t.dbf"));
    t.SetDbfFields({"name,C,10,0"});
    t.Open();
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecNo(), 0u);
    t.Edit(); // an empty table enters insert state
    EXPECT_EQ(t.State(), TDataSetState::dsInsert);
    t.SetField("name", "first");
    t.Post(); // posts an insert under the append lock
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.RecCount(), 1u);
    EXPECT_EQ(t.RecNo(), 1u);
    EXPECT_FALSE(t.Eof());
}

// The log entry: ClearRecord + SetField + AppendRec never rewrite record 1.
TEST_F(TzDbfTest, AppendRecLeavesRecordOneAlone) {
    MakeTable("t.dbf", {"keep"});
    TTzDbf t;
    t.SetDbfFileName(Path("t.dbf"));
    t.Open();
    t.ClearRecord();
    EXPECT_EQ(t.State(), TDataSetState::dsEdit);
    t.SetField("name", "new");
    ASSERT_TRUE(t.ALock());
    t.AppendRec();
    t.UnLock();
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    t.First();
    EXPECT_EQ(t.FieldDisplay(0), "keep");
    t.Next();
    EXPECT_EQ(t.FieldDisplay(0), "new");
}

TEST_F(TzDbfTest, LockRules) {
    MakeTable("t.dbf", {"a", "b"});
    TTzDbf ex;
    ex.SetExclusive(true);
    ex.SetDbfFileName(Path("t.dbf"));
    ex.Open();
    EXPECT_TRUE(ex.ALock()); // no system lock on an exclusive table
    EXPECT_FALSE(ex.RLock());
    ex.UnLock();
    EXPECT_TRUE(ex.RLock());
    ex.UnLock();
    ex.Close();

    TTzDbf t;
    t.SetDbfFileName(Path("t.dbf"));
    t.Open();
    t.ClearRecord();
    try {
        t.AppendRec();
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::AccessDenied);
        EXPECT_EQ(e.Context(),
                  "File must be locked to append: " + DisplayPath(Path("t.dbf")) + " [APPEND]");
    }
    t.Cancel();
    ASSERT_TRUE(t.ALock());
    EXPECT_TRUE(t.ALock());
    EXPECT_FALSE(t.RLock()); // append lock held
    t.UnLock();
    try {
        t.DeleteRec();
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::RecordNotLocked);
        EXPECT_EQ(e.Context(), DisplayPath(Path("t.dbf")) + " Record not locked [DeleteRec]");
    }
}

// Two handles in one process exclude each other like two running copies.
TEST_F(TzDbfTest, PostRefusedWhileOtherHoldsRecordLock) {
    MakeTable("t.dbf", {"a", "b"});
    TTzDbf one("One"), two("Two");
    for (TTzDbf* t : {&one, &two}) {
        t->SetDbfFileName(Path("t.dbf"));
        t->Open();
    }
    ASSERT_TRUE(one.RLock());
    EXPECT_FALSE(two.RLock());
    two.Edit();
    two.SetField("name", "changed");
    two.Post();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "Lock failed [Post]");
    EXPECT_EQ(two.FieldDisplay(0), "a");
    EXPECT_EQ(two.State(), TDataSetState::dsBrowse);

    // With a handler that frees the lock and retries, the post goes through.
    int calls = 0;
    two.OnRLockFailedOnPost = [&](TTzDbf&, bool& retry) {
        ++calls;
        one.UnLock();
        retry = true;
    };
    two.Edit();
    two.SetField("name", "changed");
    two.Post();
    EXPECT_EQ(calls, 1);
    one.First();
    EXPECT_EQ(one.FieldDisplay(0), "changed");

    // Deleting and restoring go through record locks too.
    ASSERT_TRUE(one.RLock());
    two.Delete();
    EXPECT_EQ(messages_.back(), "Lock failed [Delete]");
    EXPECT_FALSE(two.Deleted());
    one.UnLock();
    two.Delete();
    two.SetRecNo(1);
    EXPECT_TRUE(two.Deleted());
    int before = 0, after = 0;
    two.BeforeRestore = [&](TTzDbf&) { ++before; };
    two.AfterRestore = [&](TTzDbf&) { ++after; };
    two.Restore();
    EXPECT_FALSE(two.Deleted());
    EXPECT_EQ(before + after, 2);
}

TEST_F(TzDbfTest, ExclusiveAgainstSharedIs32) {
    MakeTable("t.dbf", {"a"});
    TTzDbf shared("Shared"), ex("Ex");
    shared.SetDbfFileName(Path("t.dbf"));
    shared.Open();
    ex.SetDbfFileName(Path("t.dbf"));
    ex.SetExclusive(true);
    try {
        ex.Open();
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::SharingViolation);
        EXPECT_STREQ(ErrorDescription(e.Code()), "File sharing violation");
    }
    shared.Close();
    ex.Open();
    EXPECT_TRUE(ex.Active());
    // and the other way round
    try {
        shared.Open();
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::SharingViolation);
    }
}

TEST_F(TzDbfTest, PackRemovesDeleted) {
    MakeTable("t.dbf", {"r1", "r2", "r3", "r4", "r5"});
    TTzDbf t;
    t.SetDbfFileName(Path("t.dbf"));
    t.Open();
    for (uint32_t n : {2u, 4u}) {
        t.SetRecNo(n);
        ASSERT_TRUE(t.RLock());
        t.DeleteRec();
        t.UnLock();
    }
    t.Pack();
    EXPECT_EQ(t.RecCount(), 3u);
    std::string seen;
    for (t.First(); !t.Eof(); t.Next()) seen += t.FieldDisplay(0);
    EXPECT_EQ(seen, "r1r3r5");
    t.Close();
    auto b = ReadBytes(Path("t.dbf"));
    const size_t hl = 32 * 5 + 33, rl = 1 + 10 + 5 + 7 + 1 + 8;
    EXPECT_EQ(b.size(), hl + 3 * rl + 1);
    EXPECT_EQ(b.back(), 0x1A);
    EXPECT_EQ(Le32(b, 4), 3u);
}

TEST_F(TzDbfTest, PackWhileOtherHasItOpenChangesNothing) {
    MakeTable("t.dbf", {"r1", "r2"});
    TTzDbf t("A"), other("B");
    t.SetDbfFileName(Path("t.dbf"));
    other.SetDbfFileName(Path("t.dbf"));
    t.Open();
    other.Open();
    ASSERT_TRUE(t.RLock());
    t.DeleteRec();
    t.UnLock();
    auto before = ReadBytes(Path("t.dbf"));
    t.Pack();
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(ReadBytes(Path("t.dbf")), before);
    EXPECT_TRUE(t.Active());
    EXPECT_EQ(t.RecCount(), 2u);
    // and it is still shared: the other copy can take locks against it
    EXPECT_TRUE(other.ALock());
}

TEST_F(TzDbfTest, AppendFromSameStructureKeepsDeleted) {
    MakeTable("src.dbf", {"s1", "s2", "s3"});
    MakeTable("dst.dbf", {"d1"});
    {
        TTzDbf s;
        s.SetExclusive(true);
        s.SetDbfFileName(Path("src.dbf"));
        s.Open();
        s.SetRecNo(2);
        s.DeleteRec();
    }
    TTzDbf d;
    d.SetDbfFileName(Path("dst.dbf"));
    d.Open();
    ASSERT_TRUE(d.ALock());
    d.AppendFrom(Path("src.dbf"));
    d.UnLock();
    EXPECT_EQ(d.RecCount(), 4u);
    EXPECT_EQ(d.RecNo(), 1u);
    std::string seen;
    for (d.First(); !d.Eof(); d.Next())
        seen += d.FieldDisplay(0) + (d.Deleted() ? "*" : "") + d.FieldDisplay(1) + " ";
    EXPECT_EQ(seen, "d11 s11 s2*2 s33 ");
    try {
        d.AppendFrom(Path("dst.dbf"));
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::AlreadyInUse);
    }
    try {
        d.AppendFrom(Path("nothere"));
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::FileNotFound);
        EXPECT_EQ(e.Context(), "[AppendFrom(" + Path("nothere") + ".DBF)]");
    }
}

TEST_F(TzDbfTest, AppendFromMapsFieldsByName) {
    {
        TTzDbf s;
        s.SetDbfFileName(Path("src.dbf"));
        s.SetDbfFields({"price,N,9,2", "name,C,20,0", "extra,C,3,0", "ok,L,1,0"});
        s.Open();
        ASSERT_TRUE(s.ALock());
        s.ClearRecord();
        s.SetField("price", "123456.78");
        s.SetField("name", "a rather long name here");
        s.SetField("ok", "T");
        s.AppendRec();
        s.UnLock();
    }
    TTzDbf d;
    d.SetDbfFileName(Path("dst.dbf"));
    d.SetDbfFields({"name,C,6,0", "price,C,5,0", "ok,L,1,0", "qty,N,3,0"});
    d.Open();
    ASSERT_TRUE(d.ALock());
    d.AppendFrom(Path("src.dbf"));
    d.UnLock();
    ASSERT_EQ(d.RecCount(), 1u);
    EXPECT_EQ(d.GetField("name"), "a rath");
    EXPECT_EQ(d.GetField("price"), "*****"); // 123456.78 does not fit in 5
    EXPECT_EQ(d.GetField("ok"), "T");
    EXPECT_EQ(d.GetField("qty"), "  0");
}

TEST_F(TzDbfTest, ReadOnlyRefusesEdits) {
    MakeTable("t.dbf", {"a"});
    TTzDbf t;
    t.SetReadOnly(true);
    t.SetDbfFileName(Path("t.dbf"));
    t.Open();
    EXPECT_THROW(t.Edit(), EDatabaseError);
    EXPECT_THROW(t.SetField("name", "x"), EDatabaseError);
    EXPECT_EQ(t.GetField("name"), "a         ");
}

TEST_F(TzDbfTest, SetExclusiveReopens) {
    MakeTable("t.dbf", {"a"});
    TTzDbf t, other("Other");
    t.SetDbfFileName(Path("t.dbf"));
    t.Open();
    other.SetDbfFileName(Path("t.dbf"));
    other.Open();
    EXPECT_THROW(t.SetExclusive(true), EZezudError); // the other copy has it open
    EXPECT_FALSE(t.Active());
    other.Close();
    t.Open();
    EXPECT_TRUE(t.Active());
    EXPECT_TRUE(t.Exclusive());
}

// A forward walk reads ahead; taking a lock or starting an edit reads the file again.
TEST_F(TzDbfTest, ReadAheadNeverOutlivesALockOrAnEdit) {
    MakeTable("t.dbf", {"a", "b", "c"});
    TTzDbf reader("Reader"), writer("Writer");
    reader.SetDbfFileName(Path("t.dbf"));
    writer.SetDbfFileName(Path("t.dbf"));
    reader.Open();
    writer.Open();
    reader.First(); // record 1, records 2 and 3 read ahead
    writer.SetRecNo(2);
    writer.Edit();
    writer.SetField("name", "B2");
    writer.Post();
    reader.Next();
    reader.Edit(); // the edit starts from the record as it is in the file
    EXPECT_EQ(reader.FieldDisplay(0), "B2");
    reader.Cancel();
    writer.SetRecNo(3);
    writer.Edit();
    writer.SetField("name", "C3");
    writer.Post();
    ASSERT_TRUE(reader.ALock());
    reader.UnLock();
    reader.Next();
    EXPECT_EQ(reader.FieldDisplay(0), "C3");
}

TEST_F(TzDbfTest, FieldNamesAndDateValues) {
    TTzDbf t;
    t.SetDbfFileName(Path("t.dbf"));
    t.SetDbfFields({"restricted,C,15,0", "day,D,8,0"});
    t.Open();
    t.ClearRecord();
    t.SetField("Restricted_fee", "2.65"); // compared without case, cut to 10
    EXPECT_EQ(t.GetField("RESTRICTED"), "2.65           ");
    t.SetFieldDate(1, TDate{2008, 2, 29});
    EXPECT_EQ(t.GetField("day"), "02/29/2008");
    // A two-digit system format cannot hold a year outside its hundred years.
    SetSystemShortDateFormat("M/d/yy");
    t.SetFieldDate(1, TDate{1900, 1, 1});
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "        Invalid date       ");
    EXPECT_EQ(t.GetField("day"), "  /  /  ");
}

TEST_F(TzDbfTest, RecordOperationErrors) {
    TTzDbf t;
    t.SetDbfFileName(Path("t.dbf"));
    t.SetDbfFields({"a,C,3,0"});
    t.SetExclusive(true);
    t.Open();
    const std::string path = DisplayPath(Path("t.dbf"));
    struct Case {
        std::function<void()> op;
        int code;
        std::string context;
    } cases[] = {
        {[&] { t.RecallRec(); }, 1103, path + " at EOF [RecallRec]"},
        {[&] { t.SetRecNo(1); }, 212, "Invalid record number = 1 (" + path + ")  [GetDbfRecord]"},
    };
    for (const Case& c : cases) {
        try {
            c.op();
            ADD_FAILURE() << c.context;
        } catch (const EZezudError& e) {
            EXPECT_EQ(e.Code(), c.code);
            EXPECT_EQ(e.Context(), c.context);
        }
    }
    t.DeleteRec(); // no current record: nothing happens
    EXPECT_EQ(t.RecCount(), 0u);
    t.Close();
    try {
        t.GetField("a");
        FAIL();
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::InvalidOperation);
        EXPECT_EQ(e.Context(), "Database is not open [.GetField]");
    }
}

} // namespace
} // namespace qm::table
