// Appends 100,000 mailing-log records and reads them back field by field as
// text, with our engine, Xbase64 and shapelib doing the same work in one run.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <shapefil.h>
#include <xbase64/xbase64.h>

#include "tzdbf.h"

using namespace qm::table;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRecords = 100000;

struct Field {
    const char* name;
    char type;
    int width;
};
const Field kLog[] = {
    {"SENTNAME0", 'C', 30}, {"SENTNAME1", 'C', 30}, {"SENTNAME2", 'C', 30}, {"SENTNAME3", 'C', 30},
    {"CITY", 'C', 35},      {"STATE", 'C', 4},      {"ZIP", 'C', 10},       {"RDATE", 'D', 8},
    {"MAILERNUM", 'C', 35}, {"POSTAGE", 'C', 15},   {"CERTIFIED", 'C', 15}, {"RESTRICTED", 'C', 15},
    {"RETURN", 'C', 15},    {"TOTAL", 'C', 15},     {"COMMENTS", 'C', 35},  {"RE", 'C', 25}};
constexpr int kFields = 16;

// The texts of record i, as the log entry hands them over (dates as stored digits
// for the peers, as the engine date text for us).
std::vector<std::string> Values(int i, bool engineDate) {
    std::string n = std::to_string(i);
    return {"Addressee " + n,
            "Company Inc.",
            "1200 Main Street Suite " + n,
            "",
            "Springfield",
            "IL",
            "62701-1234",
            engineDate ? "3/5/2008" : "20080305",
            "7106 9214 7000 " + std::to_string(1000 + i % 9000) + " 0012 34",
            "   0.41",
            "   2.65",
            " ",
            "   2.15",
            "   5.21",
            "Comment " + n,
            "Invoice " + n};
}

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

size_t g_sink = 0;

double OursAppend(const std::string& path, bool lockEach) {
    auto t0 = Clock::now();
    TTzDbf t("TzDbfReport");
    std::vector<std::string> lines;
    for (const Field& f : kLog)
        lines.push_back(std::string(f.name) + ", " + f.type + ", " + std::to_string(f.width) +
                        ", 0");
    t.SetDbfFields(lines);
    t.SetDbfFileName(path);
    t.Open();
    std::vector<int> index;
    for (const Field& f : kLog) index.push_back(t.FieldIndex(f.name));
    if (!lockEach && !t.ALock()) return -1;
    for (int i = 0; i < kRecords; ++i) {
        auto v = Values(i, true);
        t.ClearRecord();
        for (int k = 0; k < kFields; ++k) t.SetField(index[size_t(k)], v[size_t(k)]);
        // lockEach: the log entry's road, append lock and unlock around every record.
        if (lockEach && !t.ALock()) return -1;
        t.AppendRec();
        if (lockEach) t.UnLock();
    }
    if (!lockEach) t.UnLock();
    t.Close();
    return Seconds(t0, Clock::now());
}

double OursRead(const std::string& path) {
    auto t0 = Clock::now();
    TTzDbf t("TzDbfReport");
    t.SetCreateIfNotFound(false);
    t.SetDbfFileName(path);
    t.Open();
    long n = 0;
    std::string text;
    for (t.First(); !t.Eof(); t.Next(), ++n)
        for (int k = 0; k < kFields; ++k) {
            t.GetField(k, text);
            g_sink += text.size();
        }
    t.Close();
    if (n != kRecords) std::fprintf(stderr, "ours read %ld records\n", n);
    return Seconds(t0, Clock::now());
}

double XbaseAppend(const std::string& path) {
    auto t0 = Clock::now();
    xbXBase x;
    xbDbf d(&x);
    std::vector<xbSchema> schema;
    for (const Field& f : kLog) {
        xbSchema s{};
        std::snprintf(s.FieldName, sizeof s.FieldName, "%s", f.name);
        s.Type = f.type;
        s.FieldLen = xbUShort(f.width);
        s.NoOfDecs = 0;
        schema.push_back(s);
    }
    schema.push_back(xbSchema{});
    if (xbShort rc = d.CreateDatabase(path.c_str(), schema.data(), XB_OVERLAY); rc != XB_NO_ERROR) {
        std::fprintf(stderr, "xbase64 create: %d\n", rc);
        return -1;
    }
    for (int i = 0; i < kRecords; ++i) {
        auto v = Values(i, false);
        d.BlankRecord();
        for (int k = 0; k < kFields; ++k) d.PutField(xbShort(k), v[size_t(k)].c_str());
        if (xbShort rc = d.AppendRecord(); rc != XB_NO_ERROR) {
            std::fprintf(stderr, "xbase64 append: %d\n", rc);
            return -1;
        }
    }
    d.CloseDatabase();
    return Seconds(t0, Clock::now());
}

double XbaseRead(const std::string& path) {
    auto t0 = Clock::now();
    xbXBase x;
    xbDbf d(&x);
    if (d.OpenDatabase(path.c_str()) != XB_NO_ERROR) return -1;
    char buf[256];
    long n = 0;
    for (xbShort rc = d.GetFirstRecord(); rc == XB_NO_ERROR; rc = d.GetNextRecord(), ++n)
        for (int k = 0; k < kFields; ++k) {
            d.GetField(xbShort(k), buf);
            g_sink += buf[0];
        }
    d.CloseDatabase();
    if (n != kRecords) std::fprintf(stderr, "xbase64 read %ld records\n", n);
    return Seconds(t0, Clock::now());
}

double ShapeAppend(const std::string& path) {
    auto t0 = Clock::now();
    DBFHandle h = DBFCreate(path.c_str());
    if (!h) return -1;
    for (const Field& f : kLog)
        if (f.type == 'D')
            DBFAddNativeFieldType(h, f.name, 'D', 8, 0);
        else
            DBFAddField(h, f.name, FTString, f.width, 0);
    for (int i = 0; i < kRecords; ++i) {
        auto v = Values(i, false);
        for (int k = 0; k < kFields; ++k) DBFWriteStringAttribute(h, i, k, v[size_t(k)].c_str());
    }
    DBFClose(h);
    return Seconds(t0, Clock::now());
}

double ShapeRead(const std::string& path) {
    auto t0 = Clock::now();
    DBFHandle h = DBFOpen(path.c_str(), "rb");
    if (!h) return -1;
    const int n = DBFGetRecordCount(h);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < kFields; ++k) g_sink += DBFReadStringAttribute(h, i, k)[0];
    DBFClose(h);
    if (n != kRecords) std::fprintf(stderr, "shapelib read %d records\n", n);
    return Seconds(t0, Clock::now());
}

} // namespace

int main() {
    SetErrorMode(TErrorMode::Exception);
    SetSystemShortDateFormat("M/d/yyyy");
    char tmpl[] = "/tmp/qm_bench_table_XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string ours = dir + "/ours.dbf", xb = dir + "/xbase.dbf", shp = dir + "/shape.dbf";

    // Best of three, the peers run side by side with us.
    double oa = 1e9, ol = 1e9, xa = 1e9, sa = 1e9, orr = 1e9, xr = 1e9, sr = 1e9;
    for (int round = 0; round < 3; ++round) {
        for (const auto& p : {ours, xb, shp}) std::filesystem::remove(p);
        ol = std::min(ol, OursAppend(ours, true));
        std::filesystem::remove(ours);
        oa = std::min(oa, OursAppend(ours, false));
        xa = std::min(xa, XbaseAppend(xb));
        sa = std::min(sa, ShapeAppend(shp));
        orr = std::min(orr, OursRead(ours));
        xr = std::min(xr, XbaseRead(xb));
        sr = std::min(sr, ShapeRead(shp));
    }
    std::printf("records %d, fields %d, record length 348 (sink %zu)\n", kRecords, kFields,
                g_sink % 10);
    std::printf("append  ours %.3f s  xbase64 %.3f s  shapelib %.3f s\n", oa, xa, sa);
    std::printf("append  ours with ALock/UnLock around every record %.3f s\n", ol);
    std::printf("read    ours %.3f s  xbase64 %.3f s  shapelib %.3f s\n", orr, xr, sr);
    std::printf("ratio append-vs-xbase64 %.3f\n", oa / xa);
    std::printf("ratio append-vs-shapelib %.3f\n", oa / sa);
    std::printf("ratio read-vs-xbase64 %.3f\n", orr / xr);
    std::printf("ratio read-vs-shapelib %.3f\n", orr / sr);
    std::filesystem::remove_all(dir);
    return 0;
}
