// A file system for fault tests: counts every read, write, truncate, sync and
// lock call on the files it opens and fails the n-th one (counting from 1),
// once (a transient fault) or from then on (a crash: the disk is gone).
#pragma once

#include <cerrno>
#include <memory>
#include <string>

#include "file_io.h"

namespace qm::table::testing {

enum TFaultCall : unsigned {
    kFaultRead = 1,
    kFaultWrite = 2,
    kFaultTruncate = 4,
    kFaultSync = 8,
    kFaultLock = 16,
    kFaultAll = 31,
    kFaultRename = 32 // renames count too (not part of kFaultAll)
};

class FaultyFileSystem : public IFileSystem {
public:
    unsigned kinds = kFaultAll; // which calls count
    int failAt = 0;             // 0: never fail
    bool persistent = false;    // every counted call after the first failure fails too
    size_t partial = 0;         // a failing write first writes this many bytes (torn write)
    std::string denyWrite;      // opening this path for writing fails with EACCES
    int calls = 0;              // counted calls so far
    int faults = 0;             // faults injected so far

    class File : public IFile {
    public:
        File(FaultyFileSystem& fs, std::unique_ptr<IFile> inner)
            : fs_(fs), inner_(std::move(inner)) {}
        ssize_t ReadAt(void* b, size_t n, off_t o) override {
            if (fs_.Fault(kFaultRead)) return -EIO;
            return inner_->ReadAt(b, n, o);
        }
        ssize_t WriteAt(const void* b, size_t n, off_t o) override {
            if (fs_.Fault(kFaultWrite)) {
                if (fs_.partial > 0 && fs_.partial < n && fs_.faults == 1)
                    return inner_->WriteAt(b, fs_.partial, o);
                return -ENOSPC;
            }
            return inner_->WriteAt(b, n, o);
        }
        int Truncate(off_t s) override {
            return fs_.Fault(kFaultTruncate) ? -EIO : inner_->Truncate(s);
        }
        int Sync() override { return fs_.Fault(kFaultSync) ? -EIO : inner_->Sync(); }
        int Lock(off_t o, off_t l, TLockKind k) override {
            // A failing release is only recorded by the engine; fail the taking of locks.
            if (k != TLockKind::Unlock && fs_.Fault(kFaultLock)) return -ENOLCK;
            return inner_->Lock(o, l, k);
        }
        int LockHeld(off_t o, off_t l, TLockKind k) override { return inner_->LockHeld(o, l, k); }
        off_t Size() override { return inner_->Size(); }
        int Id(TFileId& id) override { return inner_->Id(id); }
        int Stat(TFileStat& st) override { return inner_->Stat(st); }
        int Close() override { return inner_->Close(); }

    private:
        FaultyFileSystem& fs_;
        std::unique_ptr<IFile> inner_;
    };

    bool Fault(unsigned kind) {
        if (!(kinds & kind)) return false;
        const int k = ++calls;
        if (failAt <= 0) return false;
        if (k == failAt || (persistent && k > failAt)) {
            ++faults;
            return true;
        }
        return false;
    }

    std::unique_ptr<IFile> Open(const std::string& p, TOpenMode m, int& err) override {
        if (!denyWrite.empty() && p == denyWrite && m != TOpenMode::ReadOnly) {
            err = EACCES;
            return nullptr;
        }
        auto f = PosixFileSystem().Open(p, m, err);
        if (!f) return nullptr;
        return std::make_unique<File>(*this, std::move(f));
    }
    int Remove(const std::string& p) override { return PosixFileSystem().Remove(p); }
    int LinkNoReplace(const std::string& a, const std::string& b) override {
        return PosixFileSystem().LinkNoReplace(a, b);
    }
    bool Exists(const std::string& p) override { return PosixFileSystem().Exists(p); }
    int Rename(const std::string& a, const std::string& b) override {
        if (Fault(kFaultRename)) return -EIO;
        return (persistent && failAt > 0 && calls >= failAt) ? -EIO
                                                             : PosixFileSystem().Rename(a, b);
    }
    int SyncFolder(const std::string& p) override { return PosixFileSystem().SyncFolder(p); }
};

} // namespace qm::table::testing
