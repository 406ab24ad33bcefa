// A second running copy for the multi-process tests:
//   mp_helper append PATH COUNT TAG      append COUNT records under ALock
//   mp_helper append-forever PATH TAG    append until killed, "n" on stdout every 100
//   mp_helper hold PATH [RECNO]          open shared (and RLock RECNO), say "ready", wait for stdin
//   mp_helper open-exclusive PATH        open exclusively in report mode (exits with the code)
//   mp_helper log-append PATH COUNT TAG  the log's road: one ALock attempt per entry, a failed
//                                        lock drops the entry; prints "failed N", exits 0
//   mp_helper edit-loop PATH STOPFILE    open, edit record 1, post, close, until STOPFILE exists;
//                                        prints the number of rounds
//   mp_helper hold-alock PATH MS         take the append lock, say "ready", hold it MS ms
//                                        (0: until stdin closes), release, exit
//   mp_helper pack PATH                  open exclusively, say "packing", pack, say "packed"
//   mp_helper index-update PATH INDEX COUNT TAG
//                                        open shared with the index file INDEX, append COUNT
//                                        records under ALock, then rewrite the pad of every
//                                        fifth of them under a record lock
//   mp_helper index-hold PATH INDEX STOP open shared with the index file INDEX, say "ready",
//                                        wait until the file STOP exists
//   mp_helper index-rebuild PATH INDEX COUNT
//                                        open shared and build the index file INDEX on pad
//                                        COUNT times
//   mp_helper append-each PATH TAG MS    for MS ms: open, append one record, close; prints
//                                        the number of every append that succeeded. The
//                                        open pauses between opening and locking the table,
//                                        where another copy's pack may swap the file.
//   mp_helper pack-loop PATH MS          for MS ms: open exclusively, append a record, mark
//                                        it deleted, pack (every pack swaps a new file in);
//                                        prints the number of packs
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "dbf_file.h"
#include "tzdbf.h"

using namespace qm::table;

namespace {

// Pauses before every sharing lock: the window between a table's open and its
// lock, in which a pack may rename another file onto the name, grows from
// microseconds to a millisecond.
class SlowLockFs final : public IFileSystem {
public:
    class File final : public IFile {
    public:
        explicit File(std::unique_ptr<IFile> inner) : inner_(std::move(inner)) {}
        ssize_t ReadAt(void* b, size_t n, off_t o) override { return inner_->ReadAt(b, n, o); }
        ssize_t WriteAt(const void* b, size_t n, off_t o) override {
            return inner_->WriteAt(b, n, o);
        }
        int Truncate(off_t s) override { return inner_->Truncate(s); }
        int Sync() override { return inner_->Sync(); }
        int Lock(off_t o, off_t l, TLockKind k) override {
            if (o == kSharingLockOffset && k != TLockKind::Unlock) usleep(1000);
            return inner_->Lock(o, l, k);
        }
        int LockHeld(off_t o, off_t l, TLockKind k) override { return inner_->LockHeld(o, l, k); }
        off_t Size() override { return inner_->Size(); }
        int Id(TFileId& id) override { return inner_->Id(id); }
        int Close() override { return inner_->Close(); }

    private:
        std::unique_ptr<IFile> inner_;
    };
    std::unique_ptr<IFile> Open(const std::string& p, TOpenMode m, int& err) override {
        auto f = PosixFileSystem().Open(p, m, err);
        return f ? std::make_unique<File>(std::move(f)) : nullptr;
    }
    int Remove(const std::string& p) override { return PosixFileSystem().Remove(p); }
    int LinkNoReplace(const std::string& a, const std::string& b) override {
        return PosixFileSystem().LinkNoReplace(a, b);
    }
    bool Exists(const std::string& p) override { return PosixFileSystem().Exists(p); }
};

bool Expired(const std::chrono::steady_clock::time_point& end) {
    return std::chrono::steady_clock::now() >= end;
}

void OpenShared(TTzDbf& t, const char* path) {
    t.SetDbfFileName(path);
    t.SetDbfFields({"tag,C,8,0", "seq,N,8,0", "pad,C,40,0"});
    t.Open();
}

void AppendOne(TTzDbf& t, const std::string& tag, long seq) {
    t.ClearRecord();
    t.SetField("tag", tag);
    t.SetField("seq", std::to_string(seq));
    t.SetField("pad", tag + ":" + std::to_string(seq) + std::string(30, '.'));
    while (!t.ALock()) usleep(50);
    t.AppendRec();
    t.UnLock();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 64;
    const std::string cmd = argv[1];
    SetErrorMode(TErrorMode::Exception);
    try {
        if (cmd == "append" && argc == 5) {
            TTzDbf t("Appender");
            OpenShared(t, argv[2]);
            const long n = std::atol(argv[3]);
            for (long i = 1; i <= n; ++i) AppendOne(t, argv[4], i);
            t.Close();
            return 0;
        }
        if (cmd == "append-forever" && argc == 4) {
            TTzDbf t("Appender");
            OpenShared(t, argv[2]);
            for (long i = 1;; ++i) {
                AppendOne(t, argv[3], i);
                if (i % 100 == 0) {
                    std::printf("%ld\n", i);
                    std::fflush(stdout);
                }
            }
        }
        if (cmd == "log-append" && argc == 5) {
            const long n = std::atol(argv[3]);
            long failed = 0;
            TTzDbf t("Appender");
            OpenShared(t, argv[2]);
            for (long i = 1; i <= n; ++i) {
                t.ClearRecord();
                t.SetField("tag", argv[4]);
                t.SetField("seq", std::to_string(i));
                t.SetField("pad",
                           std::string(argv[4]) + ":" + std::to_string(i) + std::string(30, '.'));
                if (!t.ALock()) {
                    ++failed;
                    continue;
                }
                t.AppendRec();
                t.UnLock();
            }
            t.Close();
            std::printf("failed %ld\n", failed);
            return 0;
        }
        if (cmd == "edit-loop" && argc == 4) {
            long rounds = 0;
            while (access(argv[3], F_OK) != 0) {
                TTzDbf t("Editor");
                OpenShared(t, argv[2]);
                if (t.RecCount() > 0) {
                    t.SetRecNo(1);
                    t.Edit();
                    t.SetField("pad", "edited " + std::to_string(rounds));
                    t.Post();
                }
                t.Close();
                ++rounds;
            }
            std::printf("%ld\n", rounds);
            return 0;
        }
        if (cmd == "index-update" && argc == 6) {
            TTzDbf t("Indexer");
            OpenShared(t, argv[2]);
            t.SetIndexTo(argv[3]);
            const long n = std::atol(argv[4]);
            std::vector<uint32_t> mine;
            for (long i = 1; i <= n; ++i) {
                AppendOne(t, argv[5], (i * 7919) % 100003);
                mine.push_back(t.RecNo());
            }
            for (size_t i = 0; i < mine.size(); i += 5) {
                t.SetRecNo(mine[i]);
                t.Edit();
                t.SetField("pad", "rewritten " + std::to_string((i * 31) % 97) + argv[5]);
                t.Post();
            }
            t.Close();
            return 0;
        }
        if (cmd == "index-hold" && argc == 5) {
            TTzDbf t("Holder");
            OpenShared(t, argv[2]);
            t.SetIndexTo(argv[3]);
            std::printf("ready\n");
            std::fflush(stdout);
            while (access(argv[4], F_OK) != 0) usleep(1000);
            t.Close();
            return 0;
        }
        if (cmd == "index-rebuild" && argc == 5) {
            TTzDbf t("Builder");
            OpenShared(t, argv[2]);
            for (long i = std::atol(argv[4]); i > 0; --i)
                if (!t.IndexOnOne("pad", argv[3])) return 1;
            t.Close();
            return 0;
        }
        if (cmd == "hold-alock" && argc == 4) {
            TTzDbf t("Holder");
            OpenShared(t, argv[2]);
            if (!t.ALock()) return 3;
            std::printf("ready\n");
            std::fflush(stdout);
            const long ms = std::atol(argv[3]);
            if (ms > 0) {
                usleep(useconds_t(ms * 1000));
            } else {
                std::string line;
                std::getline(std::cin, line);
            }
            t.UnLock();
            t.Close();
            return 0;
        }
        if (cmd == "append-each" && argc == 5) {
            static SlowLockFs slow;
            SetFileSystem(&slow);
            const auto end =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atol(argv[4]));
            for (long i = 1; !Expired(end); ++i) {
                try {
                    TTzDbf t("Appender");
                    t.SetCreateIfNotFound(false);
                    t.SetDbfFileName(argv[2]);
                    t.Open();
                    AppendOne(t, argv[3], i);
                    t.Close();
                } catch (const EZezudError& e) {
                    if (e.Error() == TErrorCode::SharingViolation) continue; // the packer has it
                    throw;
                }
                std::printf("%ld\n", i);
                std::fflush(stdout);
            }
            return 0;
        }
        if (cmd == "pack-loop" && argc == 4) {
            const auto end =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atol(argv[3]));
            long packs = 0;
            while (!Expired(end)) {
                try {
                    TTzDbf t("Packer");
                    t.SetExclusive(true);
                    t.SetCreateIfNotFound(false);
                    t.SetDbfFileName(argv[2]);
                    t.Open();
                    AppendOne(t, "junk", packs);
                    t.Last();
                    t.DeleteRec();
                    t.Pack();
                    t.Close();
                    ++packs;
                    usleep(2000); // the appenders' turn
                } catch (const EZezudError& e) {
                    if (e.Error() != TErrorCode::SharingViolation) throw;
                    usleep(200);
                }
            }
            std::printf("%ld\n", packs);
            return 0;
        }
        if (cmd == "pack" && argc == 3) {
            TTzDbf t("Packer");
            t.SetExclusive(true);
            t.SetCreateIfNotFound(false);
            t.SetDbfFileName(argv[2]);
            t.Open();
            std::printf("packing\n");
            std::fflush(stdout);
            t.Pack();
            std::printf("packed\n");
            std::fflush(stdout);
            t.Close();
            return 0;
        }
        if (cmd == "hold") {
            TTzDbf t("Holder");
            OpenShared(t, argv[2]);
            if (argc == 4) {
                t.SetRecNo(uint32_t(std::atol(argv[3])));
                if (!t.RLock()) return 3;
            }
            std::printf("ready\n");
            std::fflush(stdout);
            std::string line;
            std::getline(std::cin, line);
            t.Close();
            return 0;
        }
        if (cmd == "open-exclusive") {
            SetErrorMode(TErrorMode::Report);
            SetHaltHook([](const std::string& caption, const std::string& text) {
                std::fprintf(stderr, "%s|%s\n", caption.c_str(), text.c_str());
            });
            TTzDbf t("Exclusive");
            t.SetExclusive(true);
            t.SetDbfFileName(argv[2]);
            t.Open();
            t.Close();
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 70;
    }
    return 64;
}
