#include "index_semaphore.h"

#include <time.h>

#include <cerrno>

#include "engine_error.h"

namespace qm::table {

std::string TIndexSemaphore::PathFor(const std::string& tablePath) {
    const size_t slash = tablePath.find_last_of('/');
    const size_t dot = tablePath.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? tablePath.substr(0, dot) : tablePath) + ".@S@";
}

bool TIndexSemaphore::InUse(const std::string& tablePath) {
    int err = 0;
    auto f = FileSystem().Open(PathFor(tablePath), TOpenMode::ReadWrite, err);
    if (!f) return false;
    if (f->Lock(0, 1, TLockKind::Write) != 0) return true;
    f->Lock(0, 1, TLockKind::Unlock);
    return false;
}

void TIndexSemaphore::Open(const std::string& tablePath) {
    Close();
    path_ = PathFor(tablePath);
    int err = 0;
    auto f = FileSystem().Open(path_, TOpenMode::ReadWrite, err);
    if (!f && err == ENOENT) {
        f = FileSystem().Open(path_, TOpenMode::CreateNew, err);
        if (!f && err == EEXIST) f = FileSystem().Open(path_, TOpenMode::ReadWrite, err);
    }
    if (!f) Fail(CodeFromErrno(err, TIoKind::Open), "Cannot open index semaphore file: " + path_);
    const int rc = f->Lock(0, 1, TLockKind::Read);
    if (rc != 0)
        Fail(TErrorCode::SemaphoreTimeout, "Cannot log in to index semaphore file: " + path_ +
                                               " Lock result code: " + std::to_string(-rc));
    file_ = std::move(f);
}

void TIndexSemaphore::Close() {
    if (!file_) return;
    if (locked_) Unlock();
    file_->Lock(0, 1, TLockKind::Unlock);
    file_.reset();
}

void TIndexSemaphore::Lock(bool write, const std::string& action) {
    int rc = 0;
    for (int attempt = 0; attempt < kSemaphoreAttempts; ++attempt) {
        rc = file_->Lock(1, 1, write ? TLockKind::Write : TLockKind::Read);
        if (rc == 0) {
            locked_ = true;
            return;
        }
        const timespec pause{0, 10'000'000};
        nanosleep(&pause, nullptr);
    }
    Fail(TErrorCode::SemaphoreTimeout,
         "10 second timeout: Cannot lock index semaphore file: " + path_ + " " + action +
             "\nPossible cause: Network lock limit exceeded\n Lock result code: " +
             std::to_string(-rc));
}

void TIndexSemaphore::Unlock() {
    if (!file_ || !locked_) return;
    file_->Lock(1, 1, TLockKind::Unlock);
    locked_ = false;
}

} // namespace qm::table
