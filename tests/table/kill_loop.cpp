#include "kill_loop.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "dbf_file.h"
#include "engine_error.h"
#include "engine_util.h"
#include "mdx_file.h"
#include "memo_file.h"
#include "tzdbf.h"

extern char** environ;

namespace qm::table::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFillers = 300;         // records the deletes go to, always at the front
constexpr int kMinLiveFillers = 20;   // fewer left: a new table
constexpr long kRoundsPerTable = 150; // keeps the table small and each round quick
constexpr int kInspectTimeoutMs = 20000;
constexpr long kPrintedFindingRounds = 20;
constexpr size_t kFindingsPerCheck = 3; // of one kind in one round, the rest counted

uint64_t SplitMix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::string Hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%016llx", static_cast<unsigned long long>(v));
    return buf;
}

std::string Join(const std::vector<std::string>& lines, char sep) {
    std::string s;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) s += sep;
        s += lines[i];
    }
    return s;
}

// Memo lines of a record: a first line naming it, then a second line of a
// length that makes the memo one, two or three blocks.
std::vector<std::string> MemoLines(const std::string& first, std::mt19937_64& rng) {
    const size_t pad = std::uniform_int_distribution<size_t>(0, 1100)(rng);
    std::string second = "end " + first;
    while (second.size() < pad) second += " " + first;
    return {first, second};
}

// One copy of qmtable: what it was told, when it was to be killed, how it ended.
struct TCopy {
    std::string command;
    std::vector<std::string> args;
    std::string key;       // an append's key
    long killAfterUs = -1; // -1: left alone
    pid_t pid = -1;
    int fd = -1; // its standard output and error
    Clock::time_point start;
    bool killSent = false;
    bool hung = false;
    bool ended = false;
    int status = -1; // exit code, or 128 + signal
    std::string out;

    bool Killed() const { return killSent && !hung && status == 128 + SIGKILL; }
    bool Done() const { return ended && status == 0; }

    std::string Describe() const {
        std::string s = command;
        for (size_t i = 3; i < args.size() && i < 5; ++i) {
            std::string a = args[i];
            if (a.size() > 24) a = a.substr(0, 24) + "...";
            std::replace(a.begin(), a.end(), '\n', '|');
            s += " " + a;
        }
        char when[64] = "";
        if (killAfterUs >= 0) std::snprintf(when, sizeof when, "%.3f ms", killAfterUs / 1000.0);
        if (hung)
            s += " HUNG (killed after the time limit)";
        else if (Killed())
            s += std::string(" killed after ") + when;
        else {
            s += " exit " + std::to_string(status);
            if (killAfterUs >= 0) s += std::string(" (kill at ") + when + " came late)";
        }
        return s;
    }
};

void Drain(TCopy& c) {
    char buf[4096];
    for (;;) {
        const ssize_t n = read(c.fd, buf, sizeof buf);
        if (n > 0) {
            c.out.append(buf, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return;
    }
}

bool Spawn(const std::string& program, TCopy& c) {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, p[1], 1);
    posix_spawn_file_actions_adddup2(&fa, p[1], 2);
    std::vector<char*> argv;
    std::vector<std::string> args = c.args;
    args[0] = program;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    c.start = Clock::now();
    const int rc = posix_spawn(&c.pid, program.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(p[1]);
    if (rc != 0) {
        close(p[0]);
        c.pid = -1;
        return false;
    }
    c.fd = p[0];
    fcntl(c.fd, F_SETFL, O_NONBLOCK);
    return true;
}

// Runs the copies at once, kills each at its time, and waits for all of them;
// one still running after the time limit is killed and marked hung.
void RunCopies(const std::string& program, std::vector<TCopy>& copies, int timeoutMs) {
    for (TCopy& c : copies) {
        if (!Spawn(program, c)) {
            c.ended = true;
            c.status = 127;
            c.out = std::string("cannot start ") + program + ": " + std::strerror(errno);
        }
    }
    for (;;) {
        const auto now = Clock::now();
        auto next = now + std::chrono::microseconds(500);
        bool running = false;
        for (TCopy& c : copies) {
            if (c.ended) continue;
            Drain(c);
            int st = 0;
            const pid_t r = waitpid(c.pid, &st, WNOHANG);
            if (r == c.pid) {
                Drain(c);
                close(c.fd);
                c.fd = -1;
                c.ended = true;
                c.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                continue;
            }
            running = true;
            if (c.killAfterUs >= 0 && !c.killSent) {
                const auto at = c.start + std::chrono::microseconds(c.killAfterUs);
                if (now >= at) {
                    kill(c.pid, SIGKILL);
                    c.killSent = true;
                } else {
                    next = std::min(next, at);
                }
            }
            if (!c.hung && now >= c.start + std::chrono::milliseconds(timeoutMs)) {
                kill(c.pid, SIGKILL);
                c.hung = true;
            }
        }
        if (!running) return;
        std::this_thread::sleep_until(next);
    }
}

struct TKey {
    std::string memo; // lines joined by '|'
    bool filler = false;
    bool done = false;      // the append reported done
    bool committed = false; // done, or once seen in the table
    long round = 0;
};

struct TRecord {
    uint32_t recNo = 0;
    bool deleted = false;
    std::string key;
    std::string memo;
};

// What the inspecting child reported.
struct TInspection {
    std::vector<std::string> findings;
    std::vector<TRecord> records;
    long walks = 0;
    long indexErrors = 0;
    long repairs = 0;
    bool complete = false;
};

// ---- the inspecting child (a fork of this process, so a walk that hangs or
// crashes is a finding instead of the end of the run)

void Line(FILE* out, char kind, const std::string& text) {
    std::string t = text;
    std::replace(t.begin(), t.end(), '\n', ' ');
    std::fprintf(out, "%c %s\n", kind, t.c_str());
}

// The active order of an open table, walked with at most RecCount + 1 steps.
void WalkTable(TTzDbf& t, const char* when, bool complete, FILE* out) {
    const uint32_t count = t.RecCount();
    std::set<uint32_t> seen;
    uint32_t steps = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        if (++steps > count + 1) {
            Line(out, 'F',
                 std::string("the walk in key order ") + when + " does not end: " +
                     std::to_string(steps) + " steps over " + std::to_string(count) + " records");
            return;
        }
        if (!seen.insert(t.RecNo()).second) {
            Line(out, 'F',
                 std::string("the walk in key order ") + when + " reaches record " +
                     std::to_string(t.RecNo()) + " twice");
            return;
        }
    }
    if (complete && seen.size() != count)
        Line(out, 'F',
             std::string("the walk in key order ") + when + " reaches " +
                 std::to_string(seen.size()) + " of " + std::to_string(count) + " records");
    std::fprintf(out, "W\n");
}

void Inspect(const std::string& path, FILE* out) {
    std::vector<std::string> messages;
    SetErrorMode(TErrorMode::Exception);
    SetReporting(true);
    SetMessageHook([&](const std::string& m) { messages.push_back(m); });
    auto flushMessages = [&](char kind) {
        for (const std::string& m : messages) Line(out, kind, m);
        messages.clear();
    };
    // As another copy finds it: a stale index may be set aside (the engine's
    // index error or a message), but a walk must end.
    try {
        TTzDbf t("KillBefore");
        t.SetCreateIfNotFound(false);
        t.SetReadOnly(true);
        t.SetDbfFileName(path);
        t.Open();
        WalkTable(t, "before the exclusive open", false, out);
        t.Close();
    } catch (const std::exception& e) {
        Line(out, 'E', e.what());
    }
    flushMessages('N');
    // The exclusive open repairs what a killed copy left.
    try {
        TTzDbf t("KillRepair");
        t.SetCreateIfNotFound(false);
        t.SetExclusive(true);
        t.SetDbfFileName(path);
        t.Open();
        t.Close();
    } catch (const std::exception& e) {
        Line(out, 'F', std::string("the exclusive open fails: ") + e.what());
    }
    flushMessages('P');
    try {
        TTzDbf t("KillAfter");
        t.SetCreateIfNotFound(false);
        t.SetReadOnly(true);
        t.SetDbfFileName(path);
        t.Open();
        WalkTable(t, "after the exclusive open", true, out);
        t.Close();
    } catch (const std::exception& e) {
        Line(out, 'F',
             std::string("the walk in key order after the exclusive open fails: ") + e.what());
    }
    flushMessages('F');

    // Every tag walked through the index file itself, and the records as stored.
    try {
        TDbfFile f;
        f.Open(path, false, true, false);
        const uint32_t count = f.RecordCount();
        const auto& fields = f.Fields();
        const auto field = [&](const char* name) {
            for (const TFieldDef& d : fields)
                if (d.name == name) return &d;
            Fail(TErrorCode::InvalidParameter, std::string("no field ") + name);
            return &fields[0];
        };
        const TFieldDef* keyField = field("KEY");
        const TFieldDef* memoField = field("NOTE");
        TMemoFile memo;
        memo.Open(f.Path(), f.Version(), true, true);
        std::vector<char> raw(size_t(f.RecordLength()));
        std::vector<bool> deleted(count + 1);
        std::vector<std::string> keys(count + 1);
        for (uint32_t n = 1; n <= count; ++n) {
            f.ReadRecordAhead(n, raw.data());
            deleted[n] = raw[0] == '*';
            keys[n] =
                Trim(std::string_view(raw.data() + keyField->offset, size_t(keyField->width)));
            const std::string ref =
                Trim(std::string_view(raw.data() + memoField->offset, size_t(memoField->width)));
            std::string text;
            try {
                const long block = ref.empty() ? 0 : std::stol(ref);
                if (block != 0) {
                    const std::string fault = memo.CheckReference(int32_t(block));
                    if (!fault.empty()) Fail(TErrorCode::InvalidMemoAddress, fault);
                    text = Join(SplitMemoText(memo.Read(int32_t(block), n)), '|');
                }
            } catch (const std::exception& e) {
                Line(out, 'F',
                     "record " + std::to_string(n) + " (" + keys[n] +
                         "): memo unreadable: " + e.what());
            }
            std::fprintf(out, "R %u\t%d\t%s\t%s\n", n, deleted[n] ? 1 : 0, keys[n].c_str(),
                         text.c_str());
        }
        if (f.ProductionIndexFlag() == 0) {
            Line(out, 'F', "the table no longer says it has a production index");
        } else {
            TMdxFile m;
            m.Open(ResolveNameCase(WithExtension(f.Path(), "MDX")), true);
            for (size_t tag = 0; tag < m.Tags().size(); ++tag) {
                const std::string name = "tag " + m.Tags()[tag].name;
                std::vector<int> seen(count + 1);
                uint32_t steps = 0;
                bool ended = true;
                TMdxItem item;
                for (bool more = m.First(int(tag), item); more;) {
                    if (++steps > count + 1) {
                        Line(out, 'F',
                             name + ": the walk does not end: " + std::to_string(steps) +
                                 " steps over " + std::to_string(count) + " records");
                        ended = false;
                        break;
                    }
                    if (item.recNo == 0 || item.recNo > count) {
                        Line(out, 'F',
                             name + " names record " + std::to_string(item.recNo) + " of " +
                                 std::to_string(count));
                    } else if (seen[item.recNo]++ == 1) {
                        Line(out, 'F',
                             name + " holds record " + std::to_string(item.recNo) + " (" +
                                 keys[item.recNo] + ") twice");
                    }
                    const std::vector<uint8_t> key = item.key;
                    const uint32_t rec = item.recNo;
                    more = m.Next(int(tag), key.data(), rec, item);
                }
                if (!ended) continue;
                std::fprintf(out, "W\n");
                size_t missing = 0;
                std::string first;
                for (uint32_t n = 1; n <= count; ++n) {
                    if (deleted[n] || seen[n]) continue;
                    if (missing++ < kFindingsPerCheck)
                        first += " " + std::to_string(n) + " (" + keys[n] + ")";
                }
                if (missing)
                    Line(out, 'F',
                         name + " misses " + std::to_string(missing) + " of " +
                             std::to_string(count) + " records:" + first +
                             (missing > kFindingsPerCheck ? " ..." : ""));
            }
        }
    } catch (const std::exception& e) {
        Line(out, 'F', std::string("reading the table and its index fails: ") + e.what());
    }
    flushMessages('F');
    std::fprintf(out, "END\n");
}

TInspection RunInspection(const std::string& path) {
    TInspection r;
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) {
        r.findings.push_back("cannot make a pipe for the inspection");
        return r;
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(p[0]);
        FILE* out = fdopen(p[1], "w");
        Inspect(path, out);
        std::fclose(out);
        _exit(0);
    }
    close(p[1]);
    TCopy c;
    c.pid = pid;
    c.fd = p[0];
    c.start = Clock::now();
    fcntl(c.fd, F_SETFL, O_NONBLOCK);
    std::vector<TCopy> one;
    one.push_back(std::move(c));
    // Waits as for a copy of qmtable; the pipe is drained as it fills.
    for (;;) {
        TCopy& k = one[0];
        Drain(k);
        int st = 0;
        if (waitpid(k.pid, &st, WNOHANG) == k.pid) {
            Drain(k);
            close(k.fd);
            k.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            break;
        }
        if (!k.hung && Clock::now() >= k.start + std::chrono::milliseconds(kInspectTimeoutMs)) {
            kill(k.pid, SIGKILL);
            k.hung = true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const TCopy& k = one[0];
    if (k.hung)
        r.findings.push_back("the inspection (walks, exclusive open) hangs");
    else if (k.status != 0)
        r.findings.push_back("the inspection (walks, exclusive open) dies with status " +
                             std::to_string(k.status));
    std::istringstream in(k.out);
    for (std::string line; std::getline(in, line);) {
        if (line == "END") {
            r.complete = true;
            continue;
        }
        if (line.size() < 2 && line != "W") continue;
        const std::string text = line.size() > 2 ? line.substr(2) : std::string();
        switch (line[0]) {
        case 'F': r.findings.push_back(text); break;
        case 'E': ++r.indexErrors; break;
        case 'P': ++r.repairs; break;
        case 'W': ++r.walks; break;
        case 'R': {
            TRecord rec;
            std::istringstream fields(text);
            std::string recNo, del;
            std::getline(fields, recNo, '\t');
            std::getline(fields, del, '\t');
            std::getline(fields, rec.key, '\t');
            std::getline(fields, rec.memo);
            rec.recNo = uint32_t(std::stoul(recNo));
            rec.deleted = del == "1";
            r.records.push_back(std::move(rec));
            break;
        }
        default: break;
        }
    }
    if (!r.complete && !k.hung && k.status == 0)
        r.findings.push_back("the inspection ended without its report");
    return r;
}

// ---- the loop

class TKillLoop {
public:
    explicit TKillLoop(const TKillOptions& o) : o_(o) {}

    TKillStats Run() {
        SetErrorMode(TErrorMode::Exception);
        SetReporting(true);
        SetMessageHook([](const std::string&) {});
        char tmpl[] = "/tmp/qm_kill_XXXXXX";
        const char* dir = mkdtemp(tmpl);
        if (!dir) {
            s_.findings.push_back("cannot make a temporary folder");
            return s_;
        }
        root_ = dir;
        Print("kill loop: seed " + Hex(o_.seed) + " (replay with QM_KILL_SEED=" + Hex(o_.seed) +
              "), folder " + root_);
        const auto start = Clock::now();
        auto report = start;
        while ((o_.kills <= 0 || s_.kills < o_.kills) &&
               (o_.seconds <= 0 ||
                std::chrono::duration<double>(Clock::now() - start).count() < o_.seconds)) {
            if (!table_.empty() && NeedsNewTable()) EndTable(false);
            if (table_.empty()) NewTable();
            ++s_.rounds;
            const bool clean = Round();
            ++tableRounds_;
            if (!clean) EndTable(o_.keepFailed);
            if (Clock::now() - report >= std::chrono::seconds(30)) {
                report = Clock::now();
                Print("  " + KillSummary(s_));
            }
        }
        if (!table_.empty()) EndTable(false);
        std::error_code ec;
        if (!kept_) std::filesystem::remove_all(root_, ec);
        return s_;
    }

private:
    void Print(const std::string& s) const {
        if (o_.print) o_.print(s);
    }

    bool NeedsNewTable() const {
        return tableRounds_ >= kRoundsPerTable ||
               fillers_ - deletedFillers_ < uint32_t(kMinLiveFillers);
    }

    void NewTable() {
        ++s_.tables;
        folder_ = root_ + "/t" + std::to_string(s_.tables);
        std::filesystem::create_directory(folder_);
        table_ = folder_ + "/kill.dbf";
        keys_.clear();
        setTexts_.clear();
        deletesIssued_ = 0;
        tableRounds_ = 0;
        std::mt19937_64 rng(SplitMix(o_.seed ^ SplitMix(uint64_t(s_.tables))));
        TTzDbf t("KillTable");
        t.SetDbfFileName(table_);
        t.SetDbfFields({"KEY, C, 12, 0", "GRP, C, 4, 0", "N, N, 8, 0", "NOTE, M, 10, 0"});
        // Four tags: unique texts, many equal texts, numbers, and descending.
        t.SetIndexList({"KEY,F,F,KEY", "", "GRP,F,F,GRP", "", "N,F,F,N", "", "RKEY,T,F,KEY", ""});
        t.SetExclusive(true);
        t.Open();
        for (int i = 1; i <= kFillers; ++i) {
            char key[16];
            std::snprintf(key, sizeof key, "F%05d", i);
            const auto lines = MemoLines(std::string("filler ") + key, rng);
            t.ClearRecord();
            t.SetField("KEY", key);
            t.SetField("GRP", "G" + std::to_string(i % 7));
            t.SetField("N", std::to_string(i * 7 % 1000));
            t.SetMField("NOTE", lines);
            t.AppendRec();
            keys_[key] = TKey{Join(lines, '|'), true, true, true, 0};
        }
        t.Close();
        fillers_ = kFillers;
        deletedFillers_ = 0;
        count_ = kFillers;
    }

    void EndTable(bool keep) {
        std::error_code ec;
        if (keep) {
            kept_ = true;
            Print("  kept " + folder_);
        } else {
            std::filesystem::remove_all(folder_, ec);
        }
        table_.clear();
    }

    std::vector<TCopy> Plan(std::mt19937_64& rng) {
        const long round = s_.rounds;
        std::uniform_int_distribution<int> pick(0, 99);
        const int n = std::uniform_int_distribution<int>(2, 5)(rng);
        std::vector<TCopy> copies(static_cast<size_t>(n));
        int deletes = 0;
        for (TCopy& c : copies) {
            const int w = pick(rng);
            c.command = w < 45   ? "append"
                        : w < 60 ? "set"
                        : w < 72 ? "delete"
                        : w < 75 ? "recall"
                        : w < 88 ? "pack"
                                 : "reindex";
            if (c.command == "delete") ++deletes;
        }
        // Deletes go to fillers that stay fillers whatever the packs of this
        // round remove first: the fillers lead the table, and a pack takes out
        // only records already deleted or deleted in this round.
        const long deleteBound = long(fillers_) - long(deletedFillers_) - deletes;
        std::uniform_real_distribution<double> logDelay(std::log(5.0), std::log(40000.0));
        for (size_t i = 0; i < copies.size(); ++i) {
            TCopy& c = copies[i];
            if (c.command == "delete" && deleteBound < 1) c.command = "set";
            c.args = {"qmtable", c.command, table_};
            const std::string tagText = std::to_string(round) + "-" + std::to_string(i);
            if (c.command == "append") {
                c.key = "A" + tagText;
                const auto lines = MemoLines("note " + c.key, rng);
                c.args.push_back("KEY=" + c.key);
                c.args.push_back("GRP=G" + std::to_string(rng() % 7));
                c.args.push_back("N=" + std::to_string(rng() % 100000));
                c.args.push_back("NOTE=" + Join(lines, '\n'));
                keys_[c.key] = TKey{Join(lines, '|'), false, false, false, round};
                ++s_.appends;
            } else if (c.command == "set") {
                const auto lines = MemoLines("set S" + tagText, rng);
                c.args.push_back(std::to_string(1 + rng() % std::max<uint32_t>(count_, 1)));
                c.args.push_back("GRP=G" + std::to_string(rng() % 7));
                c.args.push_back("N=" + std::to_string(rng() % 100000));
                c.args.push_back("NOTE=" + Join(lines, '\n'));
                setTexts_.insert(Join(lines, '|'));
            } else if (c.command == "delete") {
                ++deletesIssued_;
                c.args.push_back(std::to_string(1 + rng() % uint64_t(deleteBound)));
            } else if (c.command == "recall") {
                c.args.push_back(std::to_string(1 + rng() % std::max<uint32_t>(fillers_, 1)));
            }
            if (pick(rng) < 75) c.killAfterUs = long(std::exp(logDelay(rng)));
        }
        return copies;
    }

    // One round; false when it showed a finding.
    bool Round() {
        std::mt19937_64 rng(SplitMix(o_.seed + SplitMix(uint64_t(s_.rounds))));
        std::vector<TCopy> copies = Plan(rng);
        RunCopies(o_.qmtable, copies, o_.childTimeoutMs);

        std::vector<std::string> found;
        for (const TCopy& c : copies) {
            if (c.Killed()) ++s_.kills;
            if (c.command == "append" && c.Done()) {
                TKey& k = keys_[c.key];
                k.done = k.committed = true;
                ++s_.appendsDone;
            }
            if (c.hung) {
                found.push_back(c.command + " hangs: " + Tail(c.out));
                continue;
            }
            if (!c.ended || c.Killed() || c.status == 0) continue;
            // Waiting out another copy's exclusive hold is allowed to time out;
            // a set, delete or recall may name a record a pack just removed.
            if (c.status == 3) continue;
            if (c.status == 64 && c.command != "append" &&
                c.out.find("no record") != std::string::npos)
                continue;
            found.push_back(c.command + " fails with exit " + std::to_string(c.status) + ": " +
                            Tail(c.out));
        }

        const TInspection in = RunInspection(table_);
        s_.walks += in.walks;
        s_.indexErrors += in.indexErrors;
        s_.repairs += in.repairs;
        found.insert(found.end(), in.findings.begin(), in.findings.end());
        CheckLeftovers(found);
        CheckWithQmTable(found);
        if (in.complete) CheckRecords(in.records, found);

        if (found.empty()) return true;
        std::string commands;
        for (const TCopy& c : copies) commands += "\n      " + c.Describe();
        const std::string where = "seed " + Hex(o_.seed) + " round " + std::to_string(s_.rounds) +
                                  " (table " + std::to_string(s_.tables) + ", its round " +
                                  std::to_string(tableRounds_ + 1) + ")";
        std::string block;
        for (const std::string& f : found) {
            s_.findings.push_back("FINDING " + where + ": " + f +
                                  "\n    the round's copies:" + commands);
            block += "FINDING " + where + ": " + f + "\n";
        }
        if (++findingRounds_ <= kPrintedFindingRounds)
            Print(block + "    the round's copies:" + commands);
        else if (findingRounds_ == kPrintedFindingRounds + 1)
            Print("(further findings are counted, not printed)");
        return false;
    }

    static std::string Tail(const std::string& out) {
        std::string s = out.size() > 300 ? "..." + out.substr(out.size() - 300) : out;
        while (!s.empty() && s.back() == '\n') s.pop_back();
        std::replace(s.begin(), s.end(), '\n', ' ');
        return s.empty() ? "(no output)" : s;
    }

    // After the exclusive open, the table's own files and nothing else.
    void CheckLeftovers(std::vector<std::string>& found) const {
        std::string extra;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(folder_, ec)) {
            const std::string name = UpperAscii(e.path().filename().string());
            if (name == "KILL.DBF" || name == "KILL.DBT" || name == "KILL.MDX" ||
                name == "KILL.@S@")
                continue;
            extra += " " + e.path().filename().string();
        }
        if (!extra.empty())
            found.push_back("files left beside the table after the exclusive open:" + extra);
    }

    void CheckWithQmTable(std::vector<std::string>& found) const {
        std::vector<TCopy> check(1);
        check[0].command = "check";
        check[0].args = {"qmtable", "check", table_};
        RunCopies(o_.qmtable, check, o_.childTimeoutMs);
        const TCopy& c = check[0];
        if (c.hung)
            found.push_back("qmtable check hangs");
        else if (c.status != 0) {
            // One finding a line, each after the table's name.
            std::istringstream lines(c.out);
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind(table_ + ": ", 0) == 0) line = line.substr(table_.size() + 2);
                found.push_back("qmtable check: " + line + " [exit " + std::to_string(c.status) +
                                "]");
            }
        }
    }

    void CheckRecords(const std::vector<TRecord>& records, std::vector<std::string>& found) {
        std::map<std::string, std::vector<uint32_t>> where;
        std::vector<std::string> unknown, wrongMemo;
        fillers_ = 0;
        deletedFillers_ = 0;
        bool leading = true;
        for (const TRecord& r : records) {
            const auto k = keys_.find(r.key);
            if (k == keys_.end()) {
                unknown.push_back(std::to_string(r.recNo) + " \"" + r.key + "\"");
                leading = false;
                continue;
            }
            where[r.key].push_back(r.recNo);
            if (k->second.filler && leading) {
                ++fillers_;
                if (r.deleted) ++deletedFillers_;
            } else if (k->second.filler) {
                found.push_back("filler " + r.key + " stands at record " + std::to_string(r.recNo) +
                                ", after records appended later");
            } else {
                leading = false;
                if (r.deleted)
                    found.push_back("appended record " + std::to_string(r.recNo) + " (" + r.key +
                                    ") is marked deleted; no delete went to it");
            }
            if (r.memo != k->second.memo && !setTexts_.count(r.memo))
                wrongMemo.push_back(std::to_string(r.recNo) + " (" + r.key + ") \"" +
                                    r.memo.substr(0, 40) + "\"");
        }
        count_ = uint32_t(records.size());
        Listed(found, "records no copy wrote:", unknown);
        Listed(found, "records whose memo text is none written to them:", wrongMemo);
        std::vector<std::string> twice, lost;
        long missingFillers = 0;
        for (auto& [key, info] : keys_) {
            const auto w = where.find(key);
            const size_t n = w == where.end() ? 0 : w->second.size();
            if (n > 1) {
                std::string at;
                for (uint32_t r : w->second) at += " " + std::to_string(r);
                twice.push_back(key + " at" + at);
            }
            if (n == 0 && info.filler) ++missingFillers;
            if (n == 0 && info.committed && !info.filler)
                lost.push_back(key +
                               (info.done ? " (reported done in round " : " (seen since round ") +
                               std::to_string(info.round) + ")");
            if (n > 0) info.committed = true;
        }
        // Fillers go only through deletes and packs.
        if (missingFillers > deletesIssued_)
            found.push_back(std::to_string(missingFillers) + " fillers gone, but only " +
                            std::to_string(deletesIssued_) + " deletes were sent");
        Listed(found, "records in the table more than once:", twice);
        Listed(found, "records lost:", lost);
    }

    static void Listed(std::vector<std::string>& found, const std::string& what,
                       const std::vector<std::string>& items) {
        if (items.empty()) return;
        std::string s = what + " " + std::to_string(items.size()) + ":";
        for (size_t i = 0; i < items.size() && i < kFindingsPerCheck; ++i)
            s += " " + items[i] + ";";
        if (items.size() > kFindingsPerCheck) s += " ...";
        found.push_back(s);
    }

    TKillOptions o_;
    TKillStats s_;
    std::string root_;
    std::string folder_;
    std::string table_;
    bool kept_ = false;
    long tableRounds_ = 0;
    std::map<std::string, TKey> keys_;
    std::set<std::string> setTexts_;
    long deletesIssued_ = 0;
    long findingRounds_ = 0;
    uint32_t fillers_ = 0;
    uint32_t deletedFillers_ = 0;
    uint32_t count_ = 0;
};

} // namespace

std::string KillFindingKinds(const TKillStats& s) {
    // A finding's kind: its text without the prefix, numbers and names of records.
    std::map<std::string, std::pair<long, std::string>> kinds;
    for (const std::string& f : s.findings) {
        const size_t colon = f.find("): ");
        const size_t end = f.find('\n');
        const std::string text = f.substr(colon + 3, end - colon - 3);
        std::string kind;
        for (size_t i = 0; i < text.size() && kind.size() < 70; ++i) {
            const char c = text[i];
            if (c >= '0' && c <= '9') {
                if (kind.empty() || kind.back() != '#') kind += '#';
            } else if (c == '(' || c == '"' || c == ';' || c == '[') {
                break;
            } else if (!(c == '-' && !kind.empty() && kind.back() == '#')) {
                kind += c;
            }
        }
        auto& k = kinds[kind];
        if (k.first++ == 0) k.second = f.substr(8, colon + 1 - 8);
    }
    std::string out;
    for (const auto& [kind, n] : kinds)
        out += std::to_string(n.first) + " x " + kind + "  [first: " + n.second + "]\n";
    return out;
}

uint64_t KillSeed() {
    if (const char* s = std::getenv("QM_KILL_SEED"); s && *s) return std::strtoull(s, nullptr, 0);
    std::random_device rd;
    return (uint64_t(rd()) << 32) ^ rd();
}

TKillStats RunKillLoop(const TKillOptions& options) {
    return TKillLoop(options).Run();
}

std::string KillSummary(const TKillStats& s) {
    return "rounds " + std::to_string(s.rounds) + ", kills " + std::to_string(s.kills) +
           ", appends " + std::to_string(s.appends) + " (" + std::to_string(s.appendsDone) +
           " done), walks " + std::to_string(s.walks) + ", findings " +
           std::to_string(s.findings.size()) + ", tables " + std::to_string(s.tables) +
           ", index errors before repair " + std::to_string(s.indexErrors) + ", repair messages " +
           std::to_string(s.repairs);
}

} // namespace qm::table::testing
