// Copies of qmtable killed at random points of appends, sets, deletes, packs
// and reindexes on one shared table (kill_loop.h): after each round the table
// walks in every order, repairs on an exclusive open, checks clean and holds
// every append that reported done exactly once. QM_KILL_SEED replays a run,
// QM_KILL_COUNT and QM_KILL_SECONDS bound it; bench/killsoak runs it for long.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "kill_loop.h"

namespace qm::table {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

long EnvLong(const char* name, long fallback) {
    const char* s = std::getenv(name);
    return s && *s ? std::strtol(s, nullptr, 10) : fallback;
}

TEST(KillTest, KilledCopiesLoseNoReportedAppendAndLeaveARepairableTable) {
    testing::TKillOptions o;
    o.qmtable = QM_QMTABLE;
    o.seed = testing::KillSeed();
    // About 20 kills a second here, 8 with sanitized copies: half as many there keeps the
    // sanitizer run near a minute.
    o.kills = EnvLong("QM_KILL_COUNT", kSanitized ? 300 : 600);
    o.seconds = double(EnvLong("QM_KILL_SECONDS", kSanitized ? 120 : 60));
    o.keepFailed = std::getenv("QM_KILL_KEEP") != nullptr;
    o.print = [](const std::string& s) {
        std::printf("%s\n", s.c_str());
        std::fflush(stdout);
    };
    const testing::TKillStats s = testing::RunKillLoop(o);
    std::printf("%s\n%s", testing::KillSummary(s).c_str(), testing::KillFindingKinds(s).c_str());
    EXPECT_GE(s.kills, std::min(o.kills, 100L)) << "too few copies died of the kill in the time";
    EXPECT_GT(s.appendsDone, 0);
    EXPECT_TRUE(s.findings.empty()) << s.findings.size() << " findings; replay with QM_KILL_SEED="
                                    << "0x" << std::hex << o.seed;
}

} // namespace
} // namespace qm::table
