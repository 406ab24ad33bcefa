// Memo files: bytes of the three layouts, the line interface, code pages,
// files written by other programs, locks and failures.
#include <cerrno>
#include <cstring>

#include "blob_stream.h"
#include "memo_file.h"
#include "table_check.h"
#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

using testing::Hex;
using testing::Le32;
using testing::ReadBytes;
using testing::WriteBytes;

class MemoTest : public testing::TableTest {
protected:
    // A new address table (0x8B, memo field ADDRESS) with the given memos.
    void MakeTable(const std::string& path, const std::vector<std::vector<std::string>>& memos,
                   TTableLanguage lang = TTableLanguage::tlOem) {
        TTzDbf t("Make");
        t.SetDbfFileName(path);
        t.SetDbfFields({"Address,M,10,0", "City,C,20,0"});
        t.SetTableLanguage(lang);
        t.Open();
        ASSERT_TRUE(t.ALock());
        for (size_t i = 0; i < memos.size(); ++i) {
            t.ClearRecord();
            t.SetMField("Address", memos[i]);
            t.SetField("City", "City " + std::to_string(i + 1));
            t.AppendRec();
        }
        t.UnLock();
        t.Close();
    }
    std::vector<std::vector<std::string>> ReadAll(const std::string& path,
                                                  TTableLanguage lang = TTableLanguage::tlOem) {
        std::vector<std::vector<std::string>> out;
        TTzDbf t("Read");
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.SetTableLanguage(lang);
        t.Open();
        for (uint32_t n = 1; n <= t.RecCount(); ++n) {
            t.SetRecNo(n);
            std::vector<std::string> lines{"stale"};
            t.GetMField("ADDRESS", lines);
            out.push_back(lines);
        }
        t.Close();
        return out;
    }
    // Rewrites the version byte of a table and gives it a new, empty memo file of that kind.
    void Rekind(const std::string& path, uint8_t version) {
        auto b = ReadBytes(path);
        b[0] = version;
        WriteBytes(path, b);
        CreateMemofile(MemoFileName(path, version), version, 512, "t", "test");
    }
};

TEST_F(MemoTest, NewMemoFileAndFirstMemoByteByByte) {
    std::filesystem::create_directory(Path("Addresses"));
    const std::string path = Path("Addresses/home.dbf");
    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetDbfFields({"address,M,10,0"});
        t.Open();
        t.Close();
    }
    EXPECT_EQ(ReadBytes(path)[0], 0x8B);
    EXPECT_EQ(ReadBytes(Path("Addresses/home.DBT")),
              Hex("01000000 00000000 686f6d65 00000000 0000 0201 0002 0000"));

    {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.Open();
        ASSERT_TRUE(t.ALock());
        t.ClearRecord();
        t.SetMField("address", {"Front office", "Main hall 5"});
        t.AppendRec();
        t.ClearRecord();
        t.AppendRec(); // no memo: block 0
        t.UnLock();
        t.Close();
    }
    auto memo = ReadBytes(Path("Addresses/home.DBT"));
    ASSERT_EQ(memo.size(), 545u);
    EXPECT_EQ(Le32(memo, 0), 2u);
    // The rest of block 0 beyond the header stays zero.
    EXPECT_TRUE(std::all_of(memo.begin() + 24, memo.begin() + 512, [](uint8_t c) { return !c; }));
    std::vector<uint8_t> at512(memo.begin() + 512, memo.end());
    auto want = Hex("FFFF0800 21000000");
    const std::string text = "Front office\r\nMain hall 5";
    want.insert(want.end(), text.begin(), text.end());
    EXPECT_EQ(at512, want);
    auto dbf = ReadBytes(path);
    const int header = testing::Le16(dbf, 8);
    EXPECT_EQ(std::string(dbf.begin() + header + 1, dbf.begin() + header + 11), "         1");
    EXPECT_EQ(std::string(dbf.begin() + header + 12, dbf.begin() + header + 22), "         0");

    auto all = ReadAll(path);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], (std::vector<std::string>{"Front office", "Main hall 5"}));
    EXPECT_TRUE(all[1].empty());
}

TEST_F(MemoTest, LineInterfaceKeepsLines) {
    const std::string blanks = [] {
        std::string s;
        for (int i = 0; i < 40; ++i) s += "word" + std::to_string(i) + " ";
        return s;
    }();
    const std::vector<std::vector<std::string>> cases = {
        {"one line"},
        {std::string(300, 'x')},               // cut at 254 without a blank, joined again
        {blanks, "after"},                     // cut at a blank, joined again
        {"", "middle empty", ""},              // empty lines keep their places but the last
        {"lone\rCR", "lone\nLF", "lf+cr\n\r"}, // only CR LF separates lines
        {"  padded  "},
    };
    const std::string path = Path("lines.dbf");
    MakeTable(path, cases);
    auto all = ReadAll(path);
    ASSERT_EQ(all.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        std::vector<std::string> want = cases[i];
        if (i == 3) want.pop_back(); // a text file's last empty line is no line
        EXPECT_EQ(all[i], want);
    }
}

TEST_F(MemoTest, StoredTextRules) {
    struct Case {
        std::string stored;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"word \x8D\nwrap\r\nnext", {"word wrap", "next"}}, // soft return joins
        {"\x8D"
         "a",
         {"\x8D"
          "a"}}, // 0x8D alone is a character
        {"a\rb\nc", {"a\rb\nc"}},
        {"\r\n\r\nx", {"", "", "x"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(SplitMemoText(c.stored), c.lines);
    }
    std::string many;
    for (int i = 0; i < 1100; ++i) many += "l" + std::to_string(i) + "\r\n";
    auto lines = SplitMemoText(many);
    ASSERT_EQ(lines.size(), 1024u);
    EXPECT_EQ(lines.back(), "l1023");
    EXPECT_EQ(JoinMemoLines({"a", "", "b"}), "a\r\n\r\nb");
    EXPECT_TRUE(LooksLikeText("abc\t\r\n\x0F\x14\x15\xFF"));
    EXPECT_FALSE(LooksLikeText(std::string("ab\0c", 4)));
    EXPECT_FALSE(LooksLikeText("\x1A"));
}

TEST_F(MemoTest, OemAndAnsiCodePages) {
    const std::string oem = Path("oem.dbf");
    MakeTable(oem, {{"Café Zoë", "Straße 5"}});
    auto bytes = ReadBytes(Path("oem.DBT"));
    const std::string stored(bytes.begin() + 520, bytes.end());
    EXPECT_EQ(stored, "Caf\x82 Zo\x89\r\nStra\xE1"
                      "e 5");
    EXPECT_EQ(ReadAll(oem)[0], (std::vector<std::string>{"Café Zoë", "Straße 5"}));

    const std::string ansi = Path("ansi.dbf");
    MakeTable(ansi, {{"Café"}}, TTableLanguage::tlAnsi);
    bytes = ReadBytes(Path("ansi.DBT"));
    EXPECT_EQ(std::string(bytes.begin() + 520, bytes.end()), "Caf\xE9");
    EXPECT_EQ(ReadAll(ansi, TTableLanguage::tlAnsi)[0], (std::vector<std::string>{"Café"}));
}

TEST_F(MemoTest, OldestLayout) {
    const std::string path = Path("old.dbf");
    MakeTable(path, {});
    Rekind(path, 0x83);
    auto created = ReadBytes(Path("old.DBT"));
    ASSERT_EQ(created.size(), 513u);
    EXPECT_EQ(Le32(created, 0), 1u);
    EXPECT_EQ(created[512], 0x1A);

    MakeTable(path, {{"first", "memo"}, {std::string(600, 'y')}});
    auto b = ReadBytes(Path("old.DBT"));
    // First memo over the initial 0x1A at 512, two end marks, zeros to the block end.
    ASSERT_EQ(b.size(), 512u * 4);
    EXPECT_EQ(std::string(b.begin() + 512, b.begin() + 525), "first\r\nmemo\x1A\x1A");
    EXPECT_TRUE(std::all_of(b.begin() + 525, b.begin() + 1024, [](uint8_t c) { return !c; }));
    EXPECT_EQ(b[1024 + 600], 0x1A);
    EXPECT_EQ(Le32(b, 0), 4u);
    auto all = ReadAll(path);
    EXPECT_EQ(all[0], (std::vector<std::string>{"first", "memo"}));
    EXPECT_EQ(all[1], (std::vector<std::string>{std::string(600, 'y')}));

    // Written by another program: text, 0x1A 0x1A, no padding; a memo in the
    // block-header form and a negative block number are read as well.
    std::vector<uint8_t> other(512, 0);
    other[0] = 3;
    const std::string t1 = "other\r\ntext";
    other.insert(other.end(), t1.begin(), t1.end());
    other.push_back(0x1A);
    other.push_back(0x1A);
    other.resize(1024, 0);
    auto h = Hex("FFFF0800 0B000000");
    other.insert(other.end(), h.begin(), h.end());
    other.push_back('a');
    other.push_back('b');
    other.push_back('c');
    WriteBytes(Path("old.DBT"), other);
    auto dbf = ReadBytes(path);
    const int header = testing::Le16(dbf, 8), reclen = testing::Le16(dbf, 10);
    std::memcpy(&dbf[size_t(header + 1)], "         1", 10);
    std::memcpy(&dbf[size_t(header + reclen + 1)], "        -2", 10);
    WriteBytes(path, dbf);
    all = ReadAll(path);
    EXPECT_EQ(all[0], (std::vector<std::string>{"other", "text"}));
    EXPECT_EQ(all[1], (std::vector<std::string>{"abc"}));
}

TEST_F(MemoTest, FoxProLayout) {
    const std::string path = Path("fox.dbf");
    MakeTable(path, {});
    Rekind(path, 0xF5);
    auto created = ReadBytes(Path("fox.FPT"));
    ASSERT_EQ(created.size(), 512u);
    EXPECT_EQ(std::vector<uint8_t>(created.begin(), created.begin() + 8),
              Hex("00000001 0000 0200"));

    MakeTable(path, {{"fox", "pro"}, {"second"}});
    auto b = ReadBytes(Path("fox.FPT"));
    auto want = Hex("00000001 0000000A");
    const std::string t1 = "fox\r\npro";
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 512, b.begin() + 520), Hex("00000001 00000008"));
    EXPECT_EQ(std::string(b.begin() + 520, b.begin() + 528), t1);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 1024, b.begin() + 1032), Hex("00000001 00000006"));
    EXPECT_EQ(b.size(), 1024u + 14);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 4), Hex("00000003"));
    auto all = ReadAll(path);
    EXPECT_EQ(all[0], (std::vector<std::string>{"fox", "pro"}));
    EXPECT_EQ(all[1], (std::vector<std::string>{"second"}));
}

// A block-header memo file of another program with a free chunk between two
// memos: reading works, and a new memo goes to the end without touching them.
TEST_F(MemoTest, FreeChainOfAnotherProgramIsNeverWrittenOver) {
    const std::string path = Path("chain.dbf");
    MakeTable(path, {{"x"}, {"x"}});
    std::vector<uint8_t> m = Hex("02000000 00000000 636861696E000000 0000 0201 0002 0000");
    m.resize(512, 0);
    auto memo = [&](const std::string& text) {
        auto h = Hex("FFFF0800");
        m.insert(m.end(), h.begin(), h.end());
        const uint32_t len = uint32_t(text.size() + 8);
        for (int i = 0; i < 4; ++i) m.push_back(uint8_t(len >> (8 * i)));
        m.insert(m.end(), text.begin(), text.end());
        m.resize((m.size() + 511) / 512 * 512, 0);
    };
    memo("block one");
    auto freeChunk = Hex("04000000 01000000"); // next free: the end (block 4), 1 block long
    m.insert(m.end(), freeChunk.begin(), freeChunk.end());
    m.resize(1536, 0);
    memo("block three");
    m.resize(m.size() - 512 + 8 + 11); // the last block is not written out
    WriteBytes(Path("chain.DBT"), m);
    auto dbf = ReadBytes(path);
    const int header = testing::Le16(dbf, 8), reclen = testing::Le16(dbf, 10);
    std::memcpy(&dbf[size_t(header + 1)], "         1", 10);
    std::memcpy(&dbf[size_t(header + reclen + 1)], "         3", 10);
    WriteBytes(path, dbf);

    EXPECT_EQ(ReadAll(path)[1], (std::vector<std::string>{"block three"}));
    MakeTable(path, {{"new one"}});
    auto after = ReadBytes(Path("chain.DBT"));
    ASSERT_GE(after.size(), 2048u);
    EXPECT_TRUE(std::equal(m.begin() + 4, m.end(), after.begin() + 4)); // nothing old changed
    EXPECT_EQ(Le32(after, 0), 5u); // the chain is dropped: its space is only lost
    auto all = ReadAll(path);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], (std::vector<std::string>{"block one"}));
    EXPECT_EQ(all[1], (std::vector<std::string>{"block three"}));
    EXPECT_EQ(all[2], (std::vector<std::string>{"new one"}));
}

int CodeOf(const std::function<void()>& f, std::string* context = nullptr) {
    try {
        f();
    } catch (const EZezudError& e) {
        if (context) *context = e.Context();
        return e.Code();
    }
    return 0;
}

TEST_F(MemoTest, Failures) {
    leavesDamagedTables_ = true;
    const std::string path = Path("bad.dbf");
    MakeTable(path, {{"fine"}});
    std::string ctx;

    // A block beyond the end of the memo file.
    auto dbf = ReadBytes(path);
    const int header = testing::Le16(dbf, 8);
    std::memcpy(&dbf[size_t(header + 1)], "        99", 10);
    WriteBytes(path, dbf);
    EXPECT_EQ(CodeOf([&] { ReadAll(path); }, &ctx), 1003);
    EXPECT_EQ(ctx, Path("bad.DBT") + " Record # 1 [GetMemo]");
    TCheckReport report = CheckTable(path);
    ASSERT_EQ(report.findings.size(), 1u);
    EXPECT_EQ(report.findings[0],
              "record 1, field ADDRESS: memo block 99 beyond the end of the file");

    // A memo length running past the end reads what is there, no more.
    std::memcpy(&dbf[size_t(header + 1)], "         1", 10);
    WriteBytes(path, dbf);
    auto m = ReadBytes(Path("bad.DBT"));
    m[516] = 0xFF;
    m[517] = 0xFF;
    WriteBytes(Path("bad.DBT"), m);
    EXPECT_EQ(ReadAll(path)[0], (std::vector<std::string>{"fine"}));
    report = CheckTable(path);
    ASSERT_EQ(report.findings.size(), 1u);
    EXPECT_EQ(report.findings[0],
              "record 1, field ADDRESS: memo block 1 length 65535 runs past the end of the file");

    // The memo file is missing.
    std::filesystem::remove(Path("bad.DBT"));
    EXPECT_EQ(CodeOf([&] { ReadAll(path); }, &ctx), 2);
    EXPECT_EQ(ctx, "Memo file not found: " + Path("bad.DBT") + " [USE]");

    // A table without memo fields.
    const std::string plain = Path("plain.dbf");
    TTzDbf t("Plain");
    t.SetDbfFileName(plain);
    t.SetDbfFields({"City,C,20,0", "Address,M,10,0"});
    t.Open();
    t.Close();
    dbf = ReadBytes(plain);
    dbf[0] = 0x03;
    WriteBytes(plain, dbf);
    t.Open();
    std::vector<std::string> lines;
    EXPECT_EQ(CodeOf([&] { t.GetMField("Address", lines); }, &ctx), 1019);
    EXPECT_EQ(ctx, DisplayPath(plain) + " No Memo Field [GetMField]");
    EXPECT_THROW(t.GetMField("City", lines), EDatabaseError);
    t.Close();
}

TEST_F(MemoTest, MemoLockOnSharedTable) {
    const std::string path = Path("lock.dbf");
    MakeTable(path, {{"before"}});
    int err = 0;
    auto other = PosixFileSystem().Open(Path("lock.DBT"), TOpenMode::ReadWrite, err);
    ASSERT_TRUE(other);
    ASSERT_EQ(other->Lock(kMemoLockOffset, 1, TLockKind::Write), 0);

    TTzDbf t("Locked");
    t.SetDbfFileName(path);
    t.Open();
    const auto size = ReadBytes(Path("lock.DBT")).size();
    std::string ctx;
    EXPECT_EQ(CodeOf([&] { t.SetMField("Address", {"blocked"}); }, &ctx), 1017);
    EXPECT_EQ(ctx, Path("lock.DBT") + " [EditMemo/CloseMemo]");
    EXPECT_EQ(ReadBytes(Path("lock.DBT")).size(), size);
    t.Cancel();

    ASSERT_EQ(other->Lock(kMemoLockOffset, 1, TLockKind::Unlock), 0);
    t.SetMField("Address", {"after"});
    t.Post();
    // The lock is released after the write.
    EXPECT_EQ(other->Lock(kMemoLockOffset, 1, TLockKind::Write), 0);
    t.Close();
    EXPECT_TRUE(messages_.empty()) << messages_.front();
    EXPECT_EQ(ReadAll(path)[0], (std::vector<std::string>{"after"}));
}

// Fails the n-th write to a memo file (torn halfway) and every later one.
class FailingMemoWrites : public IFileSystem {
public:
    int failAt = 0;
    int writes = 0;
    class File : public IFile {
    public:
        File(FailingMemoWrites& fs, std::unique_ptr<IFile> f, bool memo)
            : fs_(fs), f_(std::move(f)), memo_(memo) {}
        ssize_t ReadAt(void* b, size_t n, off_t o) override { return f_->ReadAt(b, n, o); }
        ssize_t WriteAt(const void* b, size_t n, off_t o) override {
            if (memo_ && ++fs_.writes >= fs_.failAt) {
                if (fs_.writes == fs_.failAt && n > 1) return f_->WriteAt(b, n / 2, o);
                return -ENOSPC;
            }
            return f_->WriteAt(b, n, o);
        }
        int Truncate(off_t s) override { return f_->Truncate(s); }
        int Sync() override { return f_->Sync(); }
        int Lock(off_t o, off_t l, TLockKind k) override { return f_->Lock(o, l, k); }
        off_t Size() override { return f_->Size(); }

    private:
        FailingMemoWrites& fs_;
        std::unique_ptr<IFile> f_;
        bool memo_;
    };
    std::unique_ptr<IFile> Open(const std::string& p, TOpenMode m, int& err) override {
        auto f = PosixFileSystem().Open(p, m, err);
        if (!f) return nullptr;
        return std::make_unique<File>(*this, std::move(f), p.ends_with(".DBT"));
    }
    int Remove(const std::string& p) override { return PosixFileSystem().Remove(p); }
    int LinkNoReplace(const std::string& a, const std::string& b) override {
        return PosixFileSystem().LinkNoReplace(a, b);
    }
    bool Exists(const std::string& p) override { return PosixFileSystem().Exists(p); }
};

// A failing memo write ends with an error, and every memo written before it
// stays readable; no record refers to a torn memo.
TEST_F(MemoTest, FailedWritesLoseNothingWritten) {
    for (int failAt = 1; failAt <= 6; ++failAt) {
        SCOPED_TRACE(failAt);
        const std::string path = Path("f" + std::to_string(failAt) + ".dbf");
        MakeTable(path, {{"kept one"}, {"kept", "two"}});
        FailingMemoWrites fs;
        fs.failAt = failAt;
        SetFileSystem(&fs);
        size_t appended = 0;
        {
            TTzDbf t("Faulty");
            t.SetDbfFileName(path);
            t.Open();
            try {
                for (int i = 0; i < 3; ++i) {
                    ASSERT_TRUE(t.ALock());
                    t.ClearRecord();
                    t.SetMField("Address", {"new " + std::to_string(i)});
                    t.AppendRec();
                    t.UnLock();
                    ++appended;
                }
            } catch (const EZezudError& e) {
                EXPECT_TRUE(e.Code() == 101 || e.Code() == 29) << e.what();
            }
            t.Close();
        }
        SetFileSystem(nullptr);
        auto all = ReadAll(path);
        ASSERT_EQ(all.size(), 2 + appended);
        EXPECT_EQ(all[0], (std::vector<std::string>{"kept one"}));
        EXPECT_EQ(all[1], (std::vector<std::string>{"kept", "two"}));
        for (size_t i = 0; i < appended; ++i)
            EXPECT_EQ(all[2 + i], (std::vector<std::string>{"new " + std::to_string(i)}));
    }
}

// Pack of an address table: every surviving record keeps its memo.
TEST_F(MemoTest, PackKeepsEverySurvivingMemo) {
    const std::string path = Path("big.dbf");
    constexpr int kRecords = 10000;
    auto memoOf = [](int n) {
        return std::vector<std::string>{"Name " + std::to_string(n), "Street " + std::to_string(n)};
    };
    TTzDbf t("Big");
    t.SetDbfFileName(path);
    t.SetDbfFields({"Address,M,10,0", "City,C,20,0"});
    t.SetExclusive(true);
    t.Open();
    for (int n = 1; n <= kRecords; ++n) {
        t.ClearRecord();
        t.SetMField("Address", memoOf(n));
        t.SetField("City", std::to_string(n));
        t.AppendRec();
    }
    for (uint32_t n = 2; n <= uint32_t(kRecords); n += 2) {
        t.SetRecNo(n);
        t.DeleteRec();
    }
    const auto memoBefore = std::filesystem::file_size(Path("big.DBT"));
    t.Pack();
    // Each memo has a block of its own: half of them go, and so does half the file.
    const auto memoAfter = std::filesystem::file_size(Path("big.DBT"));
    EXPECT_LE(memoAfter, memoBefore / 2 + 512);
    EXPECT_GE(memoAfter, memoBefore / 2 - 512);
    ASSERT_EQ(t.RecCount(), uint32_t(kRecords / 2));
    std::vector<std::string> lines;
    for (uint32_t n = 1; n <= t.RecCount(); ++n) {
        t.SetRecNo(n);
        const int original = std::stoi(t.GetField("City"));
        ASSERT_EQ(original % 2, 1);
        t.GetMField("Address", lines);
        ASSERT_EQ(lines, memoOf(original)) << n;
    }
    t.Close();
    EXPECT_TRUE(CheckTable(path).Clean());
}

TEST_F(MemoTest, BlobStream) {
    const std::string path = Path("stream.dbf");
    MakeTable(path, {{"Café", "Zoë"}, {std::string(40000, 'k')}});
    TTzDbf t("Stream");
    t.SetDbfFileName(path);
    t.Open();
    {
        TTzBlobStream in(t, "Address", TTzBlobStream::TMode::Read);
        EXPECT_EQ(in.Size(), int64_t(std::string("Café\r\nZoë").size()));
        std::string got(size_t(in.Size()), '\0');
        EXPECT_EQ(in.Read(got.data(), got.size()), got.size());
        EXPECT_EQ(got, "Café\r\nZoë"); // OEM bytes come out as text
        EXPECT_EQ(in.Seek(-6, 2), in.Size() - 6);
        char tail[8] = {};
        EXPECT_EQ(in.Read(tail, sizeof tail), 6u);
        EXPECT_STREQ(tail, "\r\nZoë");
    }
    t.SetRecNo(2);
    {
        TTzBlobStream in(t, "Address", TTzBlobStream::TMode::Read);
        std::string got(40000, '\0');
        EXPECT_EQ(in.Read(got.data(), got.size()), TTzBlobStream::kMaxStep);
    }
    // Text is converted on the way in; bytes with other control codes are not.
    const std::string binary("\x01\x82\xFF\x00z", 5);
    for (const std::string& bytes : {std::string("Straße"), binary}) {
        {
            TTzBlobStream out(t, "Address", TTzBlobStream::TMode::Write);
            out.Write(bytes.data(), 2);
            out.Write(bytes.data() + 2, bytes.size() - 2);
            out.Finish();
        }
        t.Post();
        TTzBlobStream in(t, "Address", TTzBlobStream::TMode::Read);
        std::string got(size_t(in.Size()), '\0');
        in.Read(got.data(), got.size());
        EXPECT_EQ(got, bytes);
    }
    const auto memo = ReadBytes(Path("stream.DBT"));
    EXPECT_NE(std::string(memo.begin(), memo.end())
                  .find("Stra\xE1"
                        "e"),
              std::string::npos);
    {
        TTzBlobStream out(t, "Address", TTzBlobStream::TMode::Write);
        out.Finish(); // nothing written: an empty memo
    }
    t.Post();
    std::vector<std::string> lines{"x"};
    t.GetMField("Address", lines);
    EXPECT_TRUE(lines.empty());
    t.Close();
}

} // namespace
} // namespace qm::table
