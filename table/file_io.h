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

// Which file an open handle or a path is: device and inode.
struct TFileId {
    uint64_t dev = 0;
    uint64_t ino = 0;
    bool operator==(const TFileId&) const = default;
};

// What fstat(2) tells of an open file: enough to judge a file found on disk
// before renaming it into place (a link, a stranger's file or one with a
// second name is not ours to move).
struct TFileStat {
    TFileId id;
    bool regular = false;
    uint64_t links = 0;
    uint32_t owner = 0;
    off_t size = 0;
};

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
    // Whether another open file holds a lock in the range that a lock of `kind`
    // would meet: 1 or 0, without taking one; -ENOSYS when the file cannot tell.
    virtual int LockHeld(off_t offset, off_t len, TLockKind kind);
    virtual off_t Size() = 0; // -errno on failure
    // The file this handle has open; -ENOSYS when the file system cannot tell.
    virtual int Id(TFileId& id);
    // What the handle has open; -ENOSYS when the file system cannot tell.
    virtual int Stat(TFileStat& st);
    // Closes the file and reports what the close found (a write the system could not finish
    // shows here on some file systems); the destructor closes unchecked otherwise.
    virtual int Close();
};

// Creating modes never follow a symbolic link at the path (a planted link gives
// an error, not a write through it); ReadNoFollow and ReadWriteNoFollow open files
// found on disk (temporaries, markers) the same way: a link there gives -ELOOP.
// OpenOrCreate keeps an existing file's bytes (a lock file shared by every copy).
// A file the open creates takes its access from its folder (NewEntryAccess).
enum class TOpenMode {
    ReadOnly,
    ReadWrite,
    CreateNew,
    CreateTruncate,
    ReadNoFollow,
    ReadWriteNoFollow,
    OpenOrCreate
};

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
    // The file at `path` now (stat(2)); -errno on failure.
    virtual int PathId(const std::string& path, TFileId& id);
    // The entry at `path` itself, a symbolic link not followed (lstat(2)); -errno on failure.
    virtual int EntryId(const std::string& path, TFileId& id);
    // Creates the folder `path` (its parent must exist) with the access NewEntryAccess gives;
    // 0 also when it exists as a folder already, else -errno.
    virtual int CreateFolder(const std::string& path);
};

// Who may use a file or folder created in `folder`: a group-writable folder (a shared
// folder prepared for an office's group) gives its group read and write, whatever the
// umask, so every member can append to the log and take the locks; any other folder gives
// the group and others at most the read access they have to the folder, less the umask
// (a private folder 0700 keeps its files 0600).
struct TNewEntryAccess {
    unsigned fileMode = 0600;
    unsigned folderMode = 0700;
    bool overrideUmask = false; // shared: the modes are set after creating, umask or not
    int group = -1;             // the folder's group for a shared folder, else -1 (unchanged)
};
TNewEntryAccess NewEntryAccess(const std::string& folder);
// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

// Whether `f` is still the file at `path`: false when another file took the
// name (a pack swapped the table in) or the name is gone. A file system that
// cannot tell counts as the same.
bool StillAtPath(IFile& f, const std::string& path);
// How often an open retries when the file at its path was replaced meanwhile.
inline constexpr int kReopenTries = 20;

// The POSIX implementation (open/pread/pwrite/ftruncate/fsync/fcntl F_OFD_SETLK).
IFileSystem& PosixFileSystem();

// The file system the engine uses; tests may install their own (nullptr restores POSIX).
IFileSystem& FileSystem();
void SetFileSystem(IFileSystem* fs);

// Whole-buffer helpers that retry short transfers; return 0 or -errno
// (-ENOSPC for a write that makes no progress, -ENODATA for a short read at end of file).
int WriteAll(IFile& f, const void* buf, size_t len, off_t offset);
int ReadAll(IFile& f, void* buf, size_t len, off_t offset);

// Takes a byte-range lock, waiting up to `waitMs` while another copy holds a conflicting one
// (pauses growing from 0.1 to 2 ms). Returns 0 when held, else the last -errno (-EAGAIN or
// -EACCES: the other copy kept it; any other error is returned at once).
int LockWithin(IFile& f, off_t offset, off_t length, TLockKind kind, int waitMs);

} // namespace qm::table
