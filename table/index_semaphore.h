// The index semaphore: a file beside a shared table, named like the table with
// the extension ".@S@", through which the copies of the program that have an
// index of the table open coordinate. A copy logs in (a shared lock on byte 0)
// while it has the index open; a reader holds a shared and a writer an
// exclusive lock on byte 1 for the length of one operation.
#pragma once

#include <memory>
#include <string>

#include "file_io.h"

namespace qm::table {

inline constexpr int kSemaphoreAttempts = 1000;

class TIndexSemaphore {
public:
    TIndexSemaphore() = default;
    ~TIndexSemaphore() { Close(); }
    TIndexSemaphore(const TIndexSemaphore&) = delete;
    TIndexSemaphore& operator=(const TIndexSemaphore&) = delete;

    static std::string PathFor(const std::string& tablePath);
    // True when a copy is logged in on the table's semaphore file.
    static bool InUse(const std::string& tablePath);

    // Opens (creating when missing) and logs in; fails with the system's code.
    void Open(const std::string& tablePath);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    // Up to kSemaphoreAttempts tries with a short pause; then code 1202.
    void Lock(bool write, const std::string& action);
    void Unlock();

private:
    std::unique_ptr<IFile> file_;
    std::string path_;
    bool locked_ = false;
};

// Holds the semaphore's read or write lock for one index operation (nothing
// when the semaphore is not open, as for an exclusive table).
class TSemaphoreGuard {
public:
    TSemaphoreGuard(TIndexSemaphore& s, bool write, const std::string& action) : s_(s) {
        if (s_.IsOpen()) {
            s_.Lock(write, action);
            held_ = true;
        }
    }
    ~TSemaphoreGuard() {
        if (held_) s_.Unlock();
    }
    TSemaphoreGuard(const TSemaphoreGuard&) = delete;
    TSemaphoreGuard& operator=(const TSemaphoreGuard&) = delete;

private:
    TIndexSemaphore& s_;
    bool held_ = false;
};

} // namespace qm::table
