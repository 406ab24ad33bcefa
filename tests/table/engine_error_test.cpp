#include <gtest/gtest.h>

#include <cstdio>

#include "table_test_util.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

TEST(EngineErrorTest, Descriptions) {
    struct Case {
        int code;
        const char* text;
    } cases[] = {
        {2, "File not found"},
        {18, "Too many open files"},
        {32, "File sharing violation"},
        {101, "Disk write error (probable cause: Disk Full)."},
        {150, "Disk write-protected"},
        {155, "Bad drive request structure length"}, // same as 24
        {161, "Device read fault"},
        {162, "File sharing violation"},
        {210, "Not a dBASE data file"},
        {227, "Insufficient disk space "},
        {1103, "Invalid Operation "},
        {1250, "Network Error"},
        {1300, "File format not supported"},
        {7, "Undefined error"},
        {9999, "Undefined error"},
    };
    for (const Case& c : cases) EXPECT_STREQ(ErrorDescription(c.code), c.text) << c.code;
}

TEST(EngineErrorTest, ReportText) {
    EXPECT_EQ(ErrorReportText(2, "Failure to open /X.DBF [USE/OpenDbf]"),
              "Error # 2 (File not found)\nFailure to open /X.DBF [USE/OpenDbf]");
    EZezudError e(static_cast<TErrorCode>(9999), "ctx");
    EXPECT_STREQ(e.what(), "Error # 9999 (Undefined error)\nctx");
    EXPECT_EQ(e.Code(), 9999);
}

TEST(EngineErrorTest, ReportingOffOnlyRecords) {
    SetErrorMode(TErrorMode::Exception);
    {
        TReportingOff quiet;
        EXPECT_FALSE(ReportingOn());
        bool r = Guarded([]() -> bool { Fail(TErrorCode::BeyondRange, "x [GetDbfRecord]"); });
        EXPECT_FALSE(r);
        EXPECT_EQ(LastErrorCode(), 212);
        EXPECT_EQ(LastErrorContext(), "x [GetDbfRecord]");
    }
    EXPECT_TRUE(ReportingOn());
    EXPECT_THROW(Guarded([] { Fail(TErrorCode::AccessDenied, "y"); }), EZezudError);
}

// Report mode: the halt box through the hook, then the process ends with the code.
void OpenMissingInReportMode(const std::string& path) {
    SetErrorMode(TErrorMode::Report);
    SetHaltHook([](const std::string& caption, const std::string& text) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    });
    TTzDbf t("TzDbfReport");
    t.SetCreateIfNotFound(false);
    t.SetDbfFileName(path);
    t.Open();
    std::fprintf(stderr, "still running\n");
    std::exit(0);
}

TEST(EngineErrorDeathTest, ReportModeHaltsWithCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(OpenMissingInReportMode("/tmp/qm_no_such_dir_x/missing"),
                ::testing::ExitedWithCode(2),
                "\\[Program halted\\.\\] Error # 2 \\(File not found\\)\nFailure to open "
                "/tmp/qm_no_such_dir_x/missing\\.DBF \\[USE/OpenDbf\\]");
}

TEST(EngineErrorDeathTest, ClosedTableIs1103) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetErrorMode(TErrorMode::Report);
            SetHaltHook([](const std::string&, const std::string& text) {
                std::fprintf(stderr, "%s\n", text.c_str());
            });
            TTzDbf t("TzDbfAddress");
            t.RecCount();
        },
        ::testing::ExitedWithCode(1103 & 0xFF),
        "Error # 1103 \\(Invalid Operation \\)\nDatabase is not open \\[TzDbfAddress.RecCount\\]");
}

TEST(EngineErrorTest, ExceptionModeThrowsAtCommandBoundary) {
    SetErrorMode(TErrorMode::Exception);
    TTzDbf t;
    t.SetCreateIfNotFound(false);
    t.SetDbfFileName("/tmp/qm_no_such_dir_x/missing");
    try {
        t.Open();
        FAIL() << "no error";
    } catch (const EZezudError& e) {
        EXPECT_EQ(e.Error(), TErrorCode::FileNotFound);
        EXPECT_EQ(std::string(e.what()),
                  "Error # 2 (File not found)\nFailure to open /tmp/qm_no_such_dir_x/missing.DBF "
                  "[USE/OpenDbf]");
    }
    EXPECT_FALSE(t.Active());
    // The work area was given back: the program goes on.
    EXPECT_EQ(FreeUserSlot(), 1);
}

// In exception mode an engine error ends the command, not the program: the
// boundary closes the tables and shows the engine's text.
TEST(EngineErrorTest, CommandBoundaryClosesTablesAndGoesOn) {
    SetErrorMode(TErrorMode::Exception);
    char tmpl[] = "/tmp/qm_table_XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    TTzDbf log("TzDbfReport");
    log.SetDbfFileName(dir + "/report3.dbf");
    log.SetDbfFields({"a,C,3,0"});
    std::string shown;
    const bool ok = RunTableCommand(
        [&] {
            log.Open();
            log.ClearRecord();
            log.AppendRec(); // no append lock on a shared table: code 5
        },
        {&log}, [&](const std::string& text) { shown = text; });
    EXPECT_FALSE(ok);
    EXPECT_FALSE(log.Active());
    EXPECT_EQ(shown.rfind("Error # 5 (File access denied)\nFile must be locked to append: ", 0), 0u)
        << shown;
    // The next command works.
    EXPECT_TRUE(RunTableCommand(
        [&] {
            log.Open();
            ASSERT_TRUE(log.ALock());
            log.ClearRecord();
            log.AppendRec();
            log.UnLock();
            log.Close();
        },
        {&log}, nullptr));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace qm::table
