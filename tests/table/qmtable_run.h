// Runs the qmtable command line as a real process, as administrators and
// scripts do.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace qm::table::testing {

struct TRun {
    int status = -1;
    std::string out; // standard output and standard error
};

inline TRun QmTable(const std::string& args) {
    TRun r;
    const std::string cmd = std::string("'" QM_QMTABLE "' ") + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return r;
}

inline std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

} // namespace qm::table::testing
