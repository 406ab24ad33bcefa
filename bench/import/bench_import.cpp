// Import of a 100,000-line name-and-address file into a new address table and
// its export, against Xbase64 writing the same 100,000 records with memos.
// Both tables are read back by Perl's XBase and must hold the same values.
#include <xbase64/xbase64.h>

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "addresses/name_address_text.h"
#include "table/codepage.h"
#include "table/engine_error.h"
#include "table/tzdbf.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 100000;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

QByteArray MakeText() {
    QString text;
    for (int i = 0; i < kRecords; ++i) {
        const QString n = QString::number(i);
        text += "\"Person " + n + "\",\"" + n + " Main Street\",\"" +
                (i % 3 ? QString("Suite ") + n : QString()) + "\",\"\",\"Springfield\",\"IL\",\"" +
                QString::number(10000 + i % 90000) + "\"\r\n";
    }
    return qm::addresses::EncodeNameAddressText(text);
}

std::string RunPerlDump(const std::string& file) {
    const std::string cmd = "perl '" QM_XBASE_SCRIPT "' dump '" + file + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return "popen failed";
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

// The memo bytes the import stores for one line, and its other fields.
struct Record {
    std::string memo, city, state, zip;
};

std::vector<Record> Records(const QByteArray& text) {
    std::vector<Record> out;
    for (const qm::addresses::TImportFields& f : qm::addresses::PlanImport(text).records) {
        std::string memo;
        for (const QString& l : qm::addresses::ImportMemoLines(f)) {
            if (!memo.empty()) memo += "\r\n";
            memo += qm::table::EncodeString(qm::table::TTableLanguage::tlOem, l.toStdString());
        }
        out.push_back({memo, f[4].toStdString(), f[5].toStdString(), f[6].toStdString()});
    }
    return out;
}

double PeerWrite(const std::string& path, const std::vector<Record>& records) {
    auto t0 = Clock::now();
    xbXBase x;
    xbDbf d(&x);
    xbSchema schema[] = {{"ADDRESS", 'M', 10, 0},
                         {"CITY", 'C', 20, 0},
                         {"STATE", 'C', 4, 0},
                         {"ZIP", 'C', 10, 0},
                         {}};
    d.SetVersion(4);
    if (xbShort rc = d.CreateDatabase(path.c_str(), schema, XB_OVERLAY); rc != XB_NO_ERROR) {
        std::fprintf(stderr, "xbase64 create: %d\n", rc);
        return -1;
    }
    for (const Record& r : records) {
        d.BlankRecord();
        if (!r.memo.empty()) {
            if (xbShort rc = d.UpdateMemoData(0, xbLong(r.memo.size()), r.memo.c_str(), F_SETLK);
                rc != XB_NO_ERROR) {
                std::fprintf(stderr, "xbase64 memo: %d\n", rc);
                return -1;
            }
        }
        d.PutField(1, r.city.c_str());
        d.PutField(2, r.state.c_str());
        d.PutField(3, r.zip.c_str());
        if (xbShort rc = d.AppendRecord(); rc != XB_NO_ERROR) {
            std::fprintf(stderr, "xbase64 append: %d\n", rc);
            return -1;
        }
    }
    d.CloseDatabase();
    return Seconds(t0, Clock::now());
}

// Debian's Xbase64 leaves the width bytes of the field descriptors at 0; put
// the widths it used for the records in, so that other readers can check it.
void MendPeerHeader(const std::string& path) {
    const unsigned char widths[] = {10, 20, 4, 10};
    FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) return;
    for (int i = 0; i < 4; ++i) {
        std::fseek(f, 32 + 32 * i + 16, SEEK_SET);
        std::fputc(widths[i], f);
    }
    std::fclose(f);
}

} // namespace

int main() {
    using namespace qm::table;
    SetErrorMode(TErrorMode::Exception);
    const std::string dir = std::filesystem::temp_directory_path() / "qm_bench_import";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string ours = dir + "/ours.dbf", peer = dir + "/peer.dbf";
    const QByteArray text = MakeText();
    const std::vector<Record> records = Records(text);

    auto t0 = Clock::now();
    qm::addresses::TImportReport report;
    {
        TTzDbf t("Import");
        t.SetDbfFileName(ours);
        std::vector<std::string> fields;
        for (const QString& f : qm::addresses::AddressTableFields())
            fields.push_back(f.toStdString());
        t.SetDbfFields(fields);
        t.Open();
        report = qm::addresses::ImportIntoTable(t, text);
        t.Close();
    }
    const double importTime = Seconds(t0, Clock::now());
    t0 = Clock::now();
    QByteArray exported;
    {
        TTzDbf t("Export");
        t.SetDbfFileName(ours);
        t.Open();
        exported = qm::addresses::ExportTable(t);
        t.Close();
    }
    const double exportTime = Seconds(t0, Clock::now());
    const double peerTime = PeerWrite(peer, records);
    MendPeerHeader(peer);

    // The same values in both tables, as another reader sees them.
    auto body = [](const std::string& dump) {
        const size_t nl = dump.find('\n');
        return nl == std::string::npos ? dump : dump.substr(nl + 1);
    };
    const std::string dumpOurs = RunPerlDump(ours), dumpPeer = RunPerlDump(peer);
    const bool same = body(dumpOurs) == body(dumpPeer);
    const bool roundTrip = exported == text;
    const bool everyLine = report.imported == kRecords && report.refused.empty();
    std::printf("import %d lines  ours %.3f s (every line imported: %s)\n", kRecords, importTime,
                everyLine ? "yes" : "NO");
    std::printf("export           ours %.3f s (the same text again: %s)\n", exportTime,
                roundTrip ? "yes" : "NO");
    std::printf("xbase64 writes   %.3f s (same values as ours by Perl's XBase: %s)\n", peerTime,
                same ? "yes" : "NO");
    if (!same) {
        std::printf("ours: %.200s\npeer: %.200s\n", dumpOurs.c_str(), dumpPeer.c_str());
    }
    std::printf("ratio import-vs-xbase64-writes %.3f\n", importTime / peerTime);
    std::filesystem::remove_all(dir);
    return same && roundTrip && everyLine && peerTime > 0 ? 0 : 1;
}
