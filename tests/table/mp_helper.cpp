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
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tzdbf.h"

using namespace qm::table;

namespace {

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
