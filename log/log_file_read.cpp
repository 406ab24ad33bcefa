#include "log/log_file_read.h"

#include "dbf_file.h"
#include "engine_util.h"
#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace qm {

namespace {

// Bytes a block read asks for at most (whole records).
constexpr size_t kBlockBytes = size_t(1) << 18;

std::string Why(int err) {
    return std::strerror(err < 0 ? -err : err);
}

// The read lock on the append byte, waited for as long as an appender's write lock is.
class SharedAppendLock {
public:
    explicit SharedAppendLock(table::IFile& file)
        : file_(file), result_(table::LockWithin(file, table::kAppendLockOffset, 1,
                                                 table::TLockKind::Read, table::kLockWaitMs)) {}
    ~SharedAppendLock() {
        if (result_ == 0) file_.Lock(table::kAppendLockOffset, 1, table::TLockKind::Unlock);
    }
    SharedAppendLock(const SharedAppendLock&) = delete;
    SharedAppendLock& operator=(const SharedAppendLock&) = delete;

    // 0 when held, else -errno (-EAGAIN or -EACCES: another copy kept appending).
    int Result() const { return result_; }

private:
    table::IFile& file_;
    int result_;
};

} // namespace

size_t HeaderLengthOf(std::string_view h) {
    return h.size() < 12 ? 0 : table::Get16(reinterpret_cast<const uint8_t*>(h.data()) + 8);
}

size_t RecordLengthOf(std::string_view h) {
    return h.size() < 12 ? 0 : table::Get16(reinterpret_cast<const uint8_t*>(h.data()) + 10);
}

void ReadLogFile(const std::string& path, LogFileVisitor& visitor) {
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
    // Nobody appends while the lock is held, and a pack needs the table exclusively: the file
    // cannot end sooner than its size said.
    std::vector<char> buffer;
    auto read = [&](uint64_t at, size_t length) {
        buffer.resize(length);
        if (const int r = table::ReadAll(*file, buffer.data(), length, off_t(at)); r < 0)
            throw LogFileError(
                "The mailing log " + path + " cannot be read: " +
                (r == -ENODATA ? std::string("it ended while it was read") : Why(r)));
        return std::string_view(buffer.data(), length);
    };
    const uint64_t fileSize = uint64_t(size);
    std::string_view header = read(0, size_t(std::min<uint64_t>(fileSize, 32)));
    const size_t headerLength = HeaderLengthOf(header);
    const size_t recordLength = RecordLengthOf(header);
    if (header.size() < 32 || headerLength < 32 || recordLength == 0 || headerLength > fileSize) {
        visitor.Header(header, fileSize);
        return;
    }
    visitor.Header(read(0, headerLength), fileSize);
    const uint64_t whole = (fileSize - headerLength) / recordLength;
    const uint64_t perBlock = std::max<uint64_t>(1, kBlockBytes / recordLength);
    for (uint64_t n = 1; n <= whole;) {
        const uint64_t k = std::min(perBlock, whole - n + 1);
        const std::string_view block =
            read(headerLength + (n - 1) * recordLength, size_t(k * recordLength));
        for (uint64_t i = 0; i < k; ++i, ++n)
            visitor.Record(n, block.substr(size_t(i * recordLength), recordLength));
    }
    const uint64_t end = headerLength + whole * recordLength;
    visitor.Tail(read(end, size_t(fileSize - end)));
}

} // namespace qm
