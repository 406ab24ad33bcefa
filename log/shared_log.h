#pragma once
// The mailing log of this process: one table component under the alias "TzDbfReport", shared by
// every user of the log (the print run's log step, reprint, the Mailing Log window, the reports,
// the firm mailing book, the export). The table is opened by the first use and closed when the
// last use ends; each user takes the lock it needs (table::TTableLock) for as long as it needs
// it. Used from the thread of the windows only.
//
//   SharedLogUse use(LogTablePath());
//   table::TTzDbf& log = use.Table();
//   if (table::TTableLock lock(log, table::TTableLock::Append); lock.Held()) log.AppendRec();

#include <QString>

namespace qm {

namespace table {
class TTzDbf;
}

class SharedLogUse {
public:
    enum class Opening {
        Now,   // opened now when no other use has it open; a missing log is created
        Later, // left as it is; OpenIfPresent opens an existing log
    };
    // Joins the use of the log at `path`. Throws the engine's error when it cannot be opened
    // (the use is then not taken).
    explicit SharedLogUse(const QString& path, Opening opening = Opening::Now);
    ~SharedLogUse();
    SharedLogUse(const SharedLogUse&) = delete;
    SharedLogUse& operator=(const SharedLogUse&) = delete;

    // Opens the log when it exists and no use has it open; true when it is open. Throws the
    // engine's error.
    bool OpenIfPresent();
    table::TTzDbf& Table();
    // The number of uses of this process's log at `path` (for tests).
    static int Users(const QString& path);

    struct Shared; // the table and its count of uses

private:
    Shared* shared_;
};

// Puts the shared log into exclusive mode for a scope (another copy holding it open makes the
// constructor throw) and back into shared mode at its end.
class ExclusiveLogUse {
public:
    explicit ExclusiveLogUse(table::TTzDbf& log);
    ~ExclusiveLogUse();
    ExclusiveLogUse(const ExclusiveLogUse&) = delete;
    ExclusiveLogUse& operator=(const ExclusiveLogUse&) = delete;

private:
    void BackToShared() noexcept;
    table::TTzDbf& log_;
};

} // namespace qm
