// The Mailing Log window over a 100,000-entry log: the time to open it (the first rows shown
// and ready to search) and to filter per keystroke, against SQLite loading the same rows
// with a SELECT into memory.
#include "log/log_table.h"
#include "log/ui/log_window.h"

#include "engine_date.h"
#include "engine_error.h"
#include "tzdbf.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

using namespace qm;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kEntries = 100000;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

const char* const kSurnames[] = {"Smith", "Johnson", "Williams", "Brown",  "Jones", "Miller",
                                 "Davis", "Garcia",  "Wilson",   "Taylor", "Moore", "Clark"};
const char* const kCities[] = {"Springfield", "Chicago",  "New York", "Boston", "Denver",
                               "Austin",      "Portland", "Madison",  "Salem",  "Dover"};

// The sixteen fields of entry i, in the log's field order.
std::vector<std::pair<std::string, std::string>> Entry(int i) {
    char number[40];
    std::snprintf(number, sizeof number, "9214 8901 2345 %04d %04d %02d", i / 100000 % 10000,
                  i % 10000, i % 97);
    return {{"sentname0", std::string(kSurnames[i % 12]) + " " + std::to_string(i)},
            {"sentname1", std::to_string(i % 900 + 10) + " Main St"},
            {"sentname2", ""},
            {"sentname3", ""},
            {"city", kCities[i % 10]},
            {"state", "IL"},
            {"zip", std::to_string(10000 + (i * 7919) % 89999)},
            {"rdate", table::FormatEngineDate({2000 + i / 10000, 1 + i % 12, 1 + i % 28})},
            {"mailernum", number},
            {"postage", "  1.35"},
            {"certified", "  4.40"},
            {"restricted", " "},
            {"return", "  3.55"},
            {"total", "  9.30"},
            {"comments", "comment " + std::to_string(i)},
            {"re", ""}};
}

void FillLog(const QString& path) {
    const auto log = MakeLogTable(path);
    log->Open();
    table::TTableLock lock(*log, table::TTableLock::Append);
    for (int i = 0; i < kEntries; ++i) {
        log->ClearRecord();
        for (const auto& [field, value] : Entry(i)) log->SetField(field, value);
        log->AppendRec();
    }
    lock.Release();
    log->Close();
}

void Check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(sqlite3_errmsg(db));
}

void FillSqlite(const std::string& path) {
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db), db);
    std::string create = "CREATE TABLE log(", insert = "INSERT INTO log VALUES(";
    const auto names = Entry(0);
    for (size_t f = 0; f < names.size(); ++f) {
        create += (f ? ", " : "") + names[f].first + " TEXT";
        insert += f ? ", ?" : "?";
    }
    Check(sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr), db);
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt* st = nullptr;
    Check(sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &st, nullptr), db);
    for (int i = 0; i < kEntries; ++i) {
        const auto fields = Entry(i);
        for (size_t f = 0; f < fields.size(); ++f)
            sqlite3_bind_text(st, int(f + 1), fields[f].second.c_str(), -1, SQLITE_TRANSIENT);
        Check(sqlite3_step(st), db);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

// Opens the database and reads every row into memory.
size_t SqliteSelect(const std::string& path) {
    sqlite3* db = nullptr;
    Check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), db);
    sqlite3_stmt* st = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT * FROM log", -1, &st, nullptr), db);
    std::vector<std::vector<std::string>> rows;
    const int columns = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string>& row = rows.emplace_back();
        row.reserve(size_t(columns));
        for (int c = 0; c < columns; ++c)
            row.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows.size();
}

// Opens the window's model and view and reads the first screen of rows.
double OpenWindow(const QString& path, int& rows) {
    const auto start = Clock::now();
    LogWindow w(path);
    auto* view = w.findChild<QTableView*>(QStringLiteral("tvLog"));
    QAbstractItemModel* model = view->model();
    rows = model->rowCount();
    for (int r = 0; r < std::min(rows, 40); ++r)
        for (int c = 0; c < model->columnCount(); ++c) (void)model->index(r, c).data();
    return Ms(start);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    table::SetErrorMode(table::TErrorMode::Exception);
    table::SetSystemShortDateFormat("M/d/yyyy");
    QTemporaryDir dir;
    const QString logPath = dir.path() + QStringLiteral("/report3.dbf");
    const std::string dbPath = (dir.path() + QStringLiteral("/log.sqlite")).toStdString();
    FillLog(logPath);
    FillSqlite(dbPath);

    double open = 1e9, select = 1e9;
    int rows = 0;
    for (int run = 0; run < 3; ++run) {
        open = std::min(open, OpenWindow(logPath, rows));
        const auto start = Clock::now();
        const size_t selected = SqliteSelect(dbPath);
        select = std::min(select, Ms(start));
        if (int(selected) != kEntries) return 1;
    }
    std::printf("logview open %d entries (first rows shown, ready to search): %.1f ms\n", rows,
                open);
    std::printf("sqlite select %d rows into memory: %.1f ms\n", kEntries, select);

    // Typing, one keystroke at a time, in one window.
    LogWindow w(logPath);
    auto* search = w.findChild<QLineEdit*>(QStringLiteral("leLogSearch"));
    auto* view = w.findChild<QTableView*>(QStringLiteral("tvLog"));
    const char* const typed[] = {"9214 8901 2345 0000 4123", "9214890123450000412", "Smith 4",
                                 "Spring", "6270"};
    double worst = 0;
    for (const char* text : typed) {
        const QString full = QString::fromLatin1(text);
        double total = 0, most = 0;
        for (int n = 1; n <= full.size(); ++n) {
            const auto start = Clock::now();
            search->setText(full.left(n));
            const int shown = view->model()->rowCount();
            if (shown > 0) (void)view->model()->index(0, 0).data();
            const double ms = Ms(start);
            total += ms;
            most = std::max(most, ms);
        }
        std::printf("search \"%s\": %d keystrokes, mean %.1f ms, slowest %.1f ms, %d shown\n", text,
                    int(full.size()), total / full.size(), most, view->model()->rowCount());
        worst = std::max(worst, most);
        search->clear();
    }
    std::printf("slowest keystroke %.1f ms (target 50 ms); open %.1f ms (target 500 ms)\n", worst,
                open);
    std::printf("ratio logview-open-vs-sqlite-select %.2f\n", open / select);
    std::printf("ratio logview-keystroke-vs-50ms %.2f\n", worst / 50.0);
    return 0;
}
