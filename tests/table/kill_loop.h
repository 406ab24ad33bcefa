// Copies of qmtable killed at random points on one shared table with a memo
// field and a production index of several tags: appends, sets, deletes,
// recalls, packs and reindexes run a few at a time, and some of them get
// SIGKILL microseconds to tens of milliseconds after they start. After each
// round the table is walked in every tag's order (bounded, in a child of its
// own with a time limit), opened exclusively (which repairs a stale index and
// finishes a half-done pack), checked by `qmtable check`, and read back:
// every append that reported done is there exactly once with its memo text,
// an append killed before it reported is there at most once and whole, and
// nothing once in the table is lost later except records deleted.
//
// The kill points come from one seed: the same seed gives the same commands,
// targets and delays, so a finding can be replayed (QM_KILL_SEED).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm::table::testing {

struct TKillOptions {
    std::string qmtable;        // the program to run
    uint64_t seed = 0;          // see KillSeed()
    long kills = 0;             // stop after this many kills (0: no bound)
    double seconds = 0;         // stop after this long (0: no bound)
    int childTimeoutMs = 20000; // a copy running longer has hung: killed and reported
    bool keepFailed = false;    // keep the folder of a table that showed a finding
    // Progress lines and findings as they come; nothing when unset.
    std::function<void(const std::string&)> print;
};

struct TKillStats {
    long rounds = 0;
    long kills = 0;       // copies that died of the SIGKILL (were still running)
    long appends = 0;     // append commands started
    long appendsDone = 0; // of them, reported done (exit 0)
    long walks = 0;       // tag walks that ended within their bound
    long tables = 0;      // tables used (a new one after a finding or when worn out)
    long indexErrors = 0; // walks before the repair that ended with the engine's index error
    long repairs = 0;     // exclusive opens that reported a repair
    std::vector<std::string> findings; // each with its seed, round and the round's commands
};

// QM_KILL_SEED when set (decimal or 0x hex), else a fresh random seed.
uint64_t KillSeed();

// Runs rounds until the kill count or the time is reached, in a temporary
// folder of its own that is removed at the end.
TKillStats RunKillLoop(const TKillOptions& options);

// One line per kind of finding: how often, and the seed and round of the first.
std::string KillFindingKinds(const TKillStats& stats);

// "kills N, appends N (N done), walks N, findings N, ..."
std::string KillSummary(const TKillStats& stats);

} // namespace qm::table::testing
