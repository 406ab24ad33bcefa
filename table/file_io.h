// The one file interface of the table engine: the table, memo and index
// files all read, write, truncate, sync, lock and rename through it, so tests
// can install a file system that fails or stops halfway at a chosen call.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

namespace qm::table {

enum class TLockKind { Read, Write, Unlock };

// Calls return 0 or a byte count on success and -errno on failure.
class IFile {
public:
    virtual ~IFile() = default;
    virtual ssize_t ReadAt(void* buf, size_t len, off_t offset) = 0;
    virtual ssize_t WriteAt(const void* buf, size_t len, off_t offset) = 0;
    virtual int Truncate(off_t size) = 0;
    virtual int Sync() = 0;
    // Non-blocking byte-range lock owned by this open file (Linux OFD lock).
    virtual int Lock(off_t offset, off_t len, TLockKind kind) = 0;
    virtual off_t Size() = 0; // -errno on failure
};

enum class TOpenMode { ReadOnly, ReadWrite, CreateNew, CreateTruncate };

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // Returns nullptr and sets err (an errno value) on failure.
    virtual std::unique_ptr<IFile> Open(const std::string& path, TOpenMode mode, int& err) = 0;
    virtual int Remove(const std::string& path) = 0;
    // Publishes `from` as `to` only if `to` does not exist yet (-EEXIST otherwise).
    virtual int LinkNoReplace(const std::string& from, const std::string& to) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // Replaces `to` by `from` in one step (rename(2)); -errno on failure.
    // (A test file system that does not fault these may keep the POSIX ones.)
    virtual int Rename(const std::string& from, const std::string& to);
    // Flushes the folder that holds `path`, so a rename in it survives a crash.
    virtual int SyncFolder(const std::string& path);
};

// The POSIX implementation (open/pread/pwrite/ftruncate/fsync/fcntl F_OFD_SETLK).
IFileSystem& PosixFileSystem();

// The file system the engine uses; tests may install their own (nullptr restores POSIX).
IFileSystem& FileSystem();
void SetFileSystem(IFileSystem* fs);

// Whole-buffer helpers that retry short transfers; return 0 or -errno
// (-ENOSPC for a write that makes no progress, -ENODATA for a short read at end of file).
int WriteAll(IFile& f, const void* buf, size_t len, off_t offset);
int ReadAll(IFile& f, void* buf, size_t len, off_t offset);

} // namespace qm::table
