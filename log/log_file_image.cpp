#include "log/log_file_image.h"

#include "dbf_file.h"
#include "file_io.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace qm {

namespace {

std::string Why(int err) {
    return std::strerror(err < 0 ? -err : err);
}

// The read lock on the append byte, waited for as long as an appender's write lock is.
class SharedAppendLock {
public:
    explicit SharedAppendLock(table::IFile& file) : file_(file) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(table::kLockWaitMs);
        std::chrono::microseconds pause(100);
        for (;;) {
            result_ = file_.Lock(table::kAppendLockOffset, 1, table::TLockKind::Read);
            if (result_ == 0 || (result_ != -EAGAIN && result_ != -EACCES) ||
                std::chrono::steady_clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(pause);
            pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(2));
        }
    }
    ~SharedAppendLock() {
        if (result_ == 0) file_.Lock(table::kAppendLockOffset, 1, table::TLockKind::Unlock);
    }
    SharedAppendLock(const SharedAppendLock&) = delete;
    SharedAppendLock& operator=(const SharedAppendLock&) = delete;

    // 0 when held, else -errno (-EAGAIN or -EACCES: another copy kept appending).
    int Result() const { return result_; }

private:
    table::IFile& file_;
    int result_ = -EAGAIN;
};

} // namespace

std::string ReadLogFileImage(const std::string& path) {
    int err = 0;
    const std::unique_ptr<table::IFile> file =
        table::FileSystem().Open(path, table::TOpenMode::ReadOnly, err);
    if (!file) throw LogFileError("The mailing log " + path + " cannot be opened: " + Why(err));
    const SharedAppendLock lock(*file);
    if (lock.Result() == -EAGAIN || lock.Result() == -EACCES)
        throw LogFileError("The mailing log " + path +
                           " is being written by another user; try again.");
    if (lock.Result() != 0)
        throw LogFileError("The mailing log " + path + " cannot be locked: " + Why(lock.Result()));
    const off_t size = file->Size();
    if (size < 0)
        throw LogFileError("The mailing log " + path + " cannot be read: " + Why(int(size)));
    std::string bytes(size_t(size), '\0');
    // Nobody appends while the lock is held, and a pack needs the table exclusively: the file
    // cannot end sooner than its size said.
    if (const int r = table::ReadAll(*file, bytes.data(), bytes.size(), 0); r < 0)
        throw LogFileError("The mailing log " + path + " cannot be read: " +
                           (r == -ENODATA ? std::string("it ended while it was read") : Why(r)));
    return bytes;
}

} // namespace qm
