#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace qm::table {

namespace {

class PosixFile final : public IFile {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    ssize_t ReadAt(void* buf, size_t len, off_t offset) override {
        for (;;) {
            ssize_t r = ::pread(fd_, buf, len, offset);
            if (r >= 0) return r;
            if (errno != EINTR) return -errno;
        }
    }
    ssize_t WriteAt(const void* buf, size_t len, off_t offset) override {
        for (;;) {
            ssize_t r = ::pwrite(fd_, buf, len, offset);
            if (r >= 0) return r;
            if (errno != EINTR) return -errno;
        }
    }
    int Truncate(off_t size) override { return ::ftruncate(fd_, size) == 0 ? 0 : -errno; }
    int Sync() override { return ::fsync(fd_) == 0 ? 0 : -errno; }
    int Lock(off_t offset, off_t len, TLockKind kind) override {
        struct flock fl {};
        fl.l_type = kind == TLockKind::Read    ? F_RDLCK
                    : kind == TLockKind::Write ? F_WRLCK
                                               : F_UNLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = offset;
        fl.l_len = len;
        fl.l_pid = 0;
        if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return 0;
        return -errno;
    }
    int LockHeld(off_t offset, off_t len, TLockKind kind) override {
        struct flock fl {};
        fl.l_type = kind == TLockKind::Read ? F_RDLCK : F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = offset;
        fl.l_len = len;
        fl.l_pid = 0;
        if (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) return -errno;
        return fl.l_type == F_UNLCK ? 0 : 1;
    }
    off_t Size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return -errno;
        return st.st_size;
    }
    int Id(TFileId& id) override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return -errno;
        id = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
        return 0;
    }
    int Stat(TFileStat& out) override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return -errno;
        out.id = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
        out.regular = S_ISREG(st.st_mode);
        out.links = uint64_t(st.st_nlink);
        out.owner = uint32_t(st.st_uid);
        out.size = st.st_size;
        return 0;
    }
    int Close() override {
        if (fd_ < 0) return -EBADF;
        const int r = ::close(fd_);
        fd_ = -1;
        // Linux releases the descriptor even when close reports an error: never retry.
        return r == 0 || errno == EINTR ? 0 : -errno;
    }

private:
    int fd_;
};

// Gives a file or folder just created the access its folder calls for (umask aside). Best
// effort: a file system without Unix modes (a mounted share of another kind) keeps its own.
void ApplyAccess(int fd, unsigned mode, const TNewEntryAccess& access) {
    if (!access.overrideUmask) return;
    if (::fchmod(fd, mode) != 0) return;
    struct stat st {};
    if (access.group >= 0 && ::fstat(fd, &st) == 0 && st.st_gid != gid_t(access.group) &&
        ::fchown(fd, uid_t(-1), gid_t(access.group)) != 0)
        return; // not a member of the folder's group: the file keeps the user's
}

// Opens the file at `path`, creating it when it is missing. An existing file is opened as it is
// and keeps its access; only a file this open creates (O_EXCL) gets the folder's.
int OpenCreating(const std::string& path, int flags, int& err) {
    const bool mustBeNew = flags & O_EXCL;
    for (int attempt = 0; attempt < kReopenTries; ++attempt) {
        if (!mustBeNew) {
            const int fd = ::open(path.c_str(), flags);
            if (fd >= 0 || errno != ENOENT) {
                if (fd < 0) err = errno;
                return fd;
            }
        }
        const TNewEntryAccess access = NewEntryAccess(FolderOf(path));
        const int fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, mode_t(access.fileMode));
        if (fd >= 0) {
            ApplyAccess(fd, access.fileMode, access);
            return fd;
        }
        if (errno != EEXIST || mustBeNew) {
            err = errno;
            return -1;
        }
        // Another copy created it meanwhile: open that one.
    }
    err = EEXIST;
    return -1;
}

class PosixFs final : public IFileSystem {
public:
    // A write beyond the file-size limit must fail with EFBIG (the engine's
    // disk write error), not end the process with SIGXFSZ.
    PosixFs() { ::signal(SIGXFSZ, SIG_IGN); }

    std::unique_ptr<IFile> Open(const std::string& path, TOpenMode mode, int& err) override {
        int flags = O_CLOEXEC;
        bool creating = true;
        switch (mode) {
        case TOpenMode::ReadOnly:
            flags |= O_RDONLY;
            creating = false;
            break;
        case TOpenMode::ReadWrite:
            flags |= O_RDWR;
            creating = false;
            break;
        case TOpenMode::CreateNew: flags |= O_RDWR | O_EXCL | O_NOFOLLOW; break;
        case TOpenMode::CreateTruncate: flags |= O_RDWR | O_TRUNC | O_NOFOLLOW; break;
        case TOpenMode::ReadNoFollow:
            flags |= O_RDONLY | O_NOFOLLOW;
            creating = false;
            break;
        case TOpenMode::ReadWriteNoFollow:
            flags |= O_RDWR | O_NOFOLLOW;
            creating = false;
            break;
        case TOpenMode::OpenOrCreate: flags |= O_RDWR | O_NOFOLLOW; break;
        }
        int fd = -1;
        if (creating) {
            fd = OpenCreating(path, flags, err);
            if (fd < 0) return nullptr;
        } else {
            fd = ::open(path.c_str(), flags);
            if (fd < 0) {
                err = errno;
                return nullptr;
            }
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            err = EACCES;
            return nullptr;
        }
        err = 0;
        return std::make_unique<PosixFile>(fd);
    }
    int Remove(const std::string& path) override {
        return ::unlink(path.c_str()) == 0 ? 0 : -errno;
    }
    int LinkNoReplace(const std::string& from, const std::string& to) override {
        return ::link(from.c_str(), to.c_str()) == 0 ? 0 : -errno;
    }
    bool Exists(const std::string& path) override { return ::access(path.c_str(), F_OK) == 0; }
    int Rename(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : -errno;
    }
    int SyncFolder(const std::string& path) override {
        const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return -errno;
        const int r = ::fsync(fd) == 0 ? 0 : -errno;
        ::close(fd);
        return r;
    }
};

IFileSystem* g_fs = nullptr;

} // namespace

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

TNewEntryAccess NewEntryAccess(const std::string& folder) {
    TNewEntryAccess access;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return access;
    const mode_t m = st.st_mode;
    if ((m & S_IWGRP) && !(m & S_IWOTH)) {
        access.fileMode = 0660;
        access.folderMode = 02770;
        access.overrideUmask = true;
        access.group = int(st.st_gid);
        return access;
    }
    // Read access for the group and others only as far as the folder lets them in.
    access.fileMode = 0600 | (m & (S_IRGRP | S_IROTH));
    access.folderMode = 0700 | (m & (S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH));
    return access;
}

int IFile::Id(TFileId&) {
    return -ENOSYS;
}

int IFile::Stat(TFileStat&) {
    return -ENOSYS;
}

int IFile::Close() {
    return 0;
}

int IFileSystem::CreateFolder(const std::string& path) {
    const TNewEntryAccess access = NewEntryAccess(FolderOf(path));
    if (::mkdir(path.c_str(), mode_t(access.folderMode)) != 0) {
        const int error = errno;
        struct stat st {};
        if (error == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return 0;
        return -error;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -errno;
    ApplyAccess(fd, access.folderMode, access);
    ::close(fd);
    return 0;
}

int IFile::LockHeld(off_t, off_t, TLockKind) {
    return -ENOSYS;
}

int IFileSystem::PathId(const std::string& path, TFileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -errno;
    id = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
    return 0;
}

int IFileSystem::EntryId(const std::string& path, TFileId& id) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return -errno;
    id = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
    return 0;
}

bool StillAtPath(IFile& f, const std::string& path) {
    TFileId open, named;
    if (f.Id(open) == -ENOSYS) return true;
    if (f.Id(open) < 0) return false;
    return FileSystem().PathId(path, named) == 0 && open == named;
}

int IFileSystem::Rename(const std::string& from, const std::string& to) {
    return PosixFileSystem().Rename(from, to);
}
int IFileSystem::SyncFolder(const std::string& path) {
    return PosixFileSystem().SyncFolder(path);
}

IFileSystem& PosixFileSystem() {
    static PosixFs fs;
    return fs;
}

IFileSystem& FileSystem() {
    return g_fs ? *g_fs : PosixFileSystem();
}
void SetFileSystem(IFileSystem* fs) {
    g_fs = fs;
}

int WriteAll(IFile& f, const void* buf, size_t len, off_t offset) {
    const char* p = static_cast<const char*>(buf);
    while (len > 0) {
        ssize_t r = f.WriteAt(p, len, offset);
        if (r < 0) return static_cast<int>(r);
        if (r == 0) return -ENOSPC;
        p += r;
        len -= static_cast<size_t>(r);
        offset += r;
    }
    return 0;
}

int LockWithin(IFile& f, off_t offset, off_t length, TLockKind kind, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    std::chrono::microseconds pause(100);
    for (;;) {
        const int r = f.Lock(offset, length, kind);
        // Only another copy's lock is worth waiting for.
        if (r == 0 || (r != -EAGAIN && r != -EACCES)) return r;
        if (std::chrono::steady_clock::now() >= deadline) return r;
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(2));
    }
}

int ReadAll(IFile& f, void* buf, size_t len, off_t offset) {
    char* p = static_cast<char*>(buf);
    while (len > 0) {
        ssize_t r = f.ReadAt(p, len, offset);
        if (r < 0) return static_cast<int>(r);
        if (r == 0) return -ENODATA;
        p += r;
        len -= static_cast<size_t>(r);
        offset += r;
    }
    return 0;
}

} // namespace qm::table
