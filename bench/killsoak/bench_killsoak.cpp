// The table tests' kill loop for as long as asked: bench_killsoak [SECONDS]
// (or QM_KILL_SOAK_SECONDS; default ten minutes). QM_KILL_SEED replays a run,
// QM_KILL_KEEP keeps the tables that showed a finding. Prints the seed, every
// finding as it comes, a progress line every 30 seconds and the totals; exits
// 1 when there was a finding.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kill_loop.h"

int main(int argc, char** argv) {
    using namespace qm::table::testing;
    double seconds = 600;
    if (const char* env = std::getenv("QM_KILL_SOAK_SECONDS"); env && *env)
        seconds = std::atof(env);
    if (argc > 1) seconds = std::atof(argv[1]);
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: bench_killsoak [SECONDS]\n");
        return 64;
    }
    TKillOptions o;
    o.qmtable = argc > 2 ? argv[2] : QM_QMTABLE;
    o.seed = KillSeed();
    o.seconds = seconds;
    o.keepFailed = std::getenv("QM_KILL_KEEP") != nullptr;
    o.print = [](const std::string& s) {
        std::printf("%s\n", s.c_str());
        std::fflush(stdout);
    };
    const TKillStats s = RunKillLoop(o);
    std::printf("kills %ld\nappends %ld\nappends done %ld\nwalks %ld\nfindings %zu\n", s.kills,
                s.appends, s.appendsDone, s.walks, s.findings.size());
    std::printf("%s\n%s", KillSummary(s).c_str(), KillFindingKinds(s).c_str());
    if (!s.findings.empty())
        std::printf("replay with QM_KILL_SEED=0x%016llx\n",
                    static_cast<unsigned long long>(o.seed));
    return s.findings.empty() ? 0 : 1;
}
