// Shared helpers of the table engine tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine_date.h"
#include "engine_error.h"
#include "file_io.h"
#include "table_check.h"
#include "tzdbf.h"

namespace qm::table::testing {

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> Hex(const std::string& hex) {
    std::vector<uint8_t> out;
    int nibble = -1;
    for (char c : hex) {
        int v = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
        if (v < 0) continue;
        if (nibble < 0) {
            nibble = v;
        } else {
            out.push_back(uint8_t(nibble * 16 + v));
            nibble = -1;
        }
    }
    return out;
}

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

// The mailing log's field list, exactly as the log defines it.
inline std::vector<std::string> LogFieldLines() {
    return {
        "sentname0, C, 30, 0", "sentname1, C, 30, 0", "sentname2, C, 30, 0", "sentname3, C, 30, 0",
        "city, C, 35, 0",      "state, C, 4, 0",      "zip, C, 10, 0",       "rdate, D, 8, 0",
        "mailernum, C, 35, 0", "postage, C, 15, 0",   "certified, C, 15, 0", "restricted, C, 15, 0",
        "return, C, 15, 0",    "total, C, 15, 0",     "comments, C, 35, 0",  "re, C, 25, 0"};
}

// A temporary folder, exception mode, a fixed clock (2008-03-05) and the
// month-first four-digit-year date format; everything restored afterwards.
class TableTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qm_table_XXXXXX";
        dir_ = mkdtemp(tmpl);
        SetErrorMode(TErrorMode::Exception);
        SetReporting(true);
        ClearLastError();
        SetDateClock([] { return TDate{2008, 3, 5}; });
        SetSystemShortDateFormat("M/d/yyyy");
        messages_.clear();
        SetMessageHook([this](const std::string& m) { messages_.push_back(m); });
    }
    void TearDown() override {
        SetMessageHook(nullptr);
        SetFileSystem(nullptr);
        if (!leavesDamagedTables_) CheckTablesLeft();
        SetDateClock(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // Opens the table with no other copy beside it and closes it again: what an exclusive open
    // sets right (a stale index, the ends of a killed append) is set right.
    static void OpenAlone(const std::string& path) {
        TTzDbf t;
        t.SetDbfFileName(path);
        t.SetCreateIfNotFound(false);
        t.SetExclusive(true);
        t.Open();
    }
    // The consistency check's first finding; empty for a sound table.
    static std::string FirstFinding(const std::string& path) {
        const TCheckReport report = CheckTable(path);
        return report.findings.empty() ? std::string() : report.findings.front();
    }

    // Every table a test writes passes the consistency check (qmtable check).
    void CheckTablesLeft() {
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            const std::string path = entry.path().string();
            if (entry.path().extension() != ".dbf" || !entry.is_regular_file()) continue;
            try {
                const TCheckReport report = CheckTable(path);
                for (const std::string& f : report.findings) ADD_FAILURE() << path << ": " << f;
            } catch (const EZezudError& e) {
                if (e.Error() != TErrorCode::SharingViolation)
                    ADD_FAILURE() << path << ": " << e.what();
            }
        }
    }

    std::string dir_;
    bool leavesDamagedTables_ = false; // set by tests that damage tables on purpose
    std::vector<std::string> messages_;
};

} // namespace qm::table::testing
