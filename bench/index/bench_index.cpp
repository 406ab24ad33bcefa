// IndexOnOne on a 100,000-entry mailing log for each of the four report orders
// (mailer number, name, date, ZIP), side by side with SQLite creating an index
// on the same column of the same rows, already loaded into a table. Both write
// to files in the same folder without syncing. Then a walk of the whole log in
// that order, fetching every field as text (the reports' road, on the log
// opened shared), side by side with SQLite's SELECT * ... ORDER BY over its
// file database with the index in place, fetching every column as text. Every
// walk is checked: each entry once, in key order. Best of three runs each.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tzdbf.h"

using namespace qm::table;

namespace {

constexpr int kEntries = 100000;
constexpr int kRuns = 3;

struct TEntry {
    std::string name, city, state, zip, date, mailer, money;
};

std::vector<TEntry> MakeEntries() {
    std::mt19937 rng(12345);
    const char* names[] = {"Smith",  "Johnson", "Williams", "Brown",     "Jones",
                           "Garcia", "Miller",  "Davis",    "Rodriguez", "Martinez"};
    std::vector<TEntry> out;
    out.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        TEntry e;
        e.name = std::string(names[rng() % 10]) + " & Sons " + std::to_string(rng() % 100000);
        e.city = "City " + std::to_string(rng() % 500);
        e.state = "NY";
        char buf[64];
        std::snprintf(buf, sizeof buf, "%05u", unsigned(rng() % 100000));
        e.zip = buf;
        std::snprintf(buf, sizeof buf, "%04u%02u%02u", 2000 + unsigned(rng() % 25),
                      1 + unsigned(rng() % 12), 1 + unsigned(rng() % 28));
        e.date = buf;
        std::snprintf(buf, sizeof buf, "9214 7901 2345 %04u %04u %02u", unsigned(rng() % 10000),
                      unsigned(i % 10000), unsigned(rng() % 100));
        e.mailer = buf;
        e.money = "       4.85";
        out.push_back(std::move(e));
    }
    return out;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

size_t g_sink = 0;

// Our walk in the active order, every field as text. Returns the seconds, or -1
// when the walk missed an entry or left key order (`key`: the field, `date`: a
// date field, compared as dates).
double OursWalk(TTzDbf& log, int key, bool date) {
    const auto t0 = std::chrono::steady_clock::now();
    const int fields = log.FieldCount();
    std::string text, previous;
    long visited = 0;
    bool ordered = true;
    for (log.First(); !log.Eof(); log.Next(), ++visited) {
        for (int i = 0; i < fields; ++i) {
            log.GetField(i, text);
            g_sink += text.size();
            if (i != key) continue;
            if (date) {
                TDate d;
                ParseEngineDate(text, d);
                char stored[9] = {};
                StoreDate(d, stored);
                text = stored;
            }
            if (visited > 0 && text < previous) ordered = false;
            previous = text;
        }
    }
    const double s = Seconds(std::chrono::steady_clock::now() - t0);
    return visited == kEntries && ordered ? s : -1;
}

// SQLite's walk: SELECT * ... ORDER BY, every column as text, the same checks.
double SqliteWalk(sqlite3* db, const char* field) {
    const auto t0 = std::chrono::steady_clock::now();
    sqlite3_stmt* st = nullptr;
    const std::string sql = std::string("SELECT * FROM log ORDER BY ") + field;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return -1;
    int key = -1;
    for (int i = 0; i < sqlite3_column_count(st); ++i)
        if (std::string(sqlite3_column_name(st, i)) == field) key = i;
    std::string previous;
    long visited = 0;
    bool ordered = true;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const unsigned char* t = sqlite3_column_text(st, i);
            const int n = sqlite3_column_bytes(st, i);
            g_sink += size_t(n);
            if (i != key) continue;
            std::string text(reinterpret_cast<const char*>(t), size_t(n));
            if (visited > 0 && text < previous) ordered = false;
            previous = std::move(text);
        }
        ++visited;
    }
    sqlite3_finalize(st);
    const double s = Seconds(std::chrono::steady_clock::now() - t0);
    return visited == kEntries && ordered ? s : -1;
}

void Exec(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s: %s\n", sql.c_str(), err ? err : "?");
        std::exit(1);
    }
}

} // namespace

int main() {
    SetErrorMode(TErrorMode::Exception);
    SetSystemShortDateFormat("M/d/yyyy");
    char tmpl[] = "/tmp/qm_bench_index_XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::vector<TEntry> entries = MakeEntries();

    // Our log: the log's field list, filled through the component.
    TTzDbf log("TzDbfReport");
    log.SetDbfFileName(dir + "/report3.dbf");
    log.SetDbfFields({"sentname0, C, 30, 0", "sentname1, C, 30, 0", "sentname2, C, 30, 0",
                      "sentname3, C, 30, 0", "city, C, 35, 0", "state, C, 4, 0", "zip, C, 10, 0",
                      "rdate, D, 8, 0", "mailernum, C, 35, 0", "postage, C, 15, 0",
                      "certified, C, 15, 0", "restricted, C, 15, 0", "return, C, 15, 0",
                      "total, C, 15, 0", "comments, C, 35, 0", "re, C, 25, 0"});
    log.SetExclusive(true);
    log.Open();
    for (const TEntry& e : entries) {
        log.ClearRecord();
        log.SetField("sentname0", e.name);
        log.SetField("city", e.city);
        log.SetField("state", e.state);
        log.SetField("zip", e.zip);
        log.SetField("rdate",
                     e.date.substr(4, 2) + "/" + e.date.substr(6, 2) + "/" + e.date.substr(0, 4));
        log.SetField("mailernum", e.mailer);
        log.SetField("postage", e.money);
        log.SetField("total", e.money);
        log.AppendRec();
    }
    log.Close();
    log.SetExclusive(false); // the reports open the log shared
    log.Open();

    // SQLite: the same rows in a table of the same columns.
    sqlite3* db = nullptr;
    if (sqlite3_open((dir + "/log.sqlite").c_str(), &db) != SQLITE_OK) return 1;
    Exec(db, "PRAGMA synchronous=OFF");
    Exec(db, "CREATE TABLE log(sentname0 TEXT, sentname1 TEXT, sentname2 TEXT, sentname3 TEXT, "
             "city TEXT, state TEXT, zip TEXT, rdate TEXT, mailernum TEXT, postage TEXT, "
             "certified TEXT, restricted TEXT, ret TEXT, total TEXT, comments TEXT, re TEXT)");
    Exec(db, "BEGIN");
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO log VALUES(?1,'','','',?2,?3,?4,?5,?6,?7,'','','',?7,'','')",
                       -1, &ins, nullptr);
    for (const TEntry& e : entries) {
        sqlite3_bind_text(ins, 1, e.name.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 2, e.city.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 3, e.state.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 4, e.zip.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 5, e.date.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 6, e.mailer.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 7, e.money.c_str(), -1, SQLITE_STATIC);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    Exec(db, "COMMIT");

    const struct {
        const char *field, *name, *what;
    } orders[] = {{"mailernum", "mailernum", "mailer_number"},
                  {"sentname0", "name", "name"},
                  {"rdate", "rdate", "date"},
                  {"zip", "zip", "zip"}};
    std::printf("%d log entries\n", kEntries);
    std::vector<std::pair<std::string, double>> ratios, walkRatios;
    for (const auto& o : orders) {
        double ours = 1e9, peer = 1e9, oursWalk = 1e9, peerWalk = 1e9;
        const int key = log.FieldIndex(o.field);
        const bool date = std::string(o.field) == "rdate";
        for (int run = 0; run < kRuns; ++run) {
            auto t0 = std::chrono::steady_clock::now();
            if (!log.IndexOnOne(o.field, o.name)) return 1;
            ours = std::min(ours, Seconds(std::chrono::steady_clock::now() - t0));

            t0 = std::chrono::steady_clock::now();
            Exec(db, std::string("CREATE INDEX ix ON log(") + o.field + ")");
            peer = std::min(peer, Seconds(std::chrono::steady_clock::now() - t0));

            const double w = OursWalk(log, key, date);
            const double p = SqliteWalk(db, o.field);
            if (w < 0 || p < 0) {
                std::fprintf(stderr, "%s: a walk %s missed an entry or left key order\n", o.what,
                             w < 0 ? "of ours" : "of SQLite");
                return 1;
            }
            oursWalk = std::min(oursWalk, w);
            peerWalk = std::min(peerWalk, p);
            Exec(db, "DROP INDEX ix");
        }
        std::printf("%-14s IndexOnOne %.3f s   SQLite CREATE INDEX %.3f s\n", o.what, ours, peer);
        std::printf("%-14s walk of %d entries, every field, %.3f s   SQLite SELECT * ORDER BY "
                    "%.3f s\n",
                    o.what, kEntries, oursWalk, peerWalk);
        ratios.emplace_back(o.what, ours / peer);
        walkRatios.emplace_back(o.what, oursWalk / peerWalk);
    }
    log.Close();
    sqlite3_close(db);
    std::filesystem::remove_all(dir);
    std::printf("(sink %zu)\n", g_sink % 10);
    for (const auto& [what, r] : ratios) std::printf("ratio index_%s %.2f\n", what.c_str(), r);
    for (const auto& [what, r] : walkRatios)
        std::printf("ratio walk-%s-vs-sqlite %.2f\n", what.c_str(), r);
    return 0;
}
