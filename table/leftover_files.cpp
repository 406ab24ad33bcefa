#include "leftover_files.h"

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "engine_error.h"
#include "engine_util.h"
#include "file_io.h"
#include "pack_swap.h"

namespace qm::table {

namespace {

std::string BaseOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process id in `name` between `prefix` and `suffix` (the prefix's case
// as given, or any case with `anyCase`); 0 when the name is not of that form.
long PidIn(const std::string& name, const std::string& prefix, const std::string& suffix,
           bool anyCase) {
    if (name.size() <= prefix.size() + suffix.size()) return 0;
    const std::string head = name.substr(0, prefix.size());
    if (anyCase ? UpperAscii(head) != UpperAscii(prefix) : head != prefix) return 0;
    if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return 0;
    const std::string digits =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stol(digits);
}

bool Running(long pid) {
    if (pid <= 0 || pid == long(::getpid())) return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

void RemoveLeftoverTemporaries(const std::string& table, const std::string& memo) {
    const std::string base = BaseOf(table);
    const size_t dot = base.find_last_of('.');
    const std::string stem = dot == std::string::npos ? base : base.substr(0, dot);
    struct TPattern {
        std::string prefix, suffix;
        bool anyCase;
    };
    std::vector<TPattern> patterns = {{base + ".pack", "", false},
                                      {BaseOf(PackMarkerName(table)) + ".new", "", false},
                                      {stem + ".MDX.", ".tmp", true}};
    if (!memo.empty() && FolderOf(memo) == FolderOf(table))
        patterns.push_back({BaseOf(memo) + ".pack", "", false});
    std::error_code ec;
    std::filesystem::directory_iterator it(FolderOf(table), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (const TPattern& p : patterns) {
            const long pid = PidIn(name, p.prefix, p.suffix, p.anyCase);
            if (pid == 0 || Running(pid)) continue;
            const std::string path = it->path().string();
            // Removing the name never writes through it: a link goes, not its target.
            const int r = FileSystem().Remove(path);
            if (r == 0)
                ShowEngineMessage("Removed " + path + ", left by copy " + std::to_string(pid) +
                                  " of the program, which is no longer running.");
            else if (r != -ENOENT)
                ShowEngineMessage("Cannot remove " + path + ", left by copy " +
                                  std::to_string(pid) + " of the program.");
            break;
        }
    }
}

} // namespace qm::table
