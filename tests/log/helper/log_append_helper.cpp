// A second running copy that prints: log_append_helper PATH COUNT NAME [PAUSE_MS] appends
// COUNT entries named NAME-1 ... to the log at PATH once a line arrives on stdin (so that
// copies start together), pausing PAUSE_MS between appends as a desk does between pieces;
// prints the error and exits 1 at the first failure. log_append_helper PATH hold
// opens the log exclusively (as Clear does), says "ready" and keeps it until stdin closes.
#include "log/log_table.h"

#include "engine_date.h"
#include "engine_error.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qm::table::SetErrorMode(qm::table::TErrorMode::Exception);
    qm::table::SetSystemShortDateFormat("M/d/yyyy");
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (argc == 3 && std::string(argv[2]) == "hold") {
        const auto log = qm::MakeLogTable(path);
        log->SetExclusive(true);
        log->Open();
        std::printf("ready\n");
        std::fflush(stdout);
        char line[8];
        while (std::fgets(line, sizeof line, stdin)) {
        }
        log->Close();
        return 0;
    }
    if (argc != 4 && argc != 5) return 64;
    const int count = atoi(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    const unsigned long pauseMs = argc == 5 ? std::strtoul(argv[4], nullptr, 10) : 0;
    char go[8];
    if (!std::fgets(go, sizeof go, stdin)) return 65;
    for (int i = 1; i <= count; ++i) {
        qm::LogEntry e;
        e.addressee[0] = QStringLiteral("%1-%2").arg(name).arg(i);
        e.total = QStringLiteral("  1.00");
        const QString error = qm::AppendLogEntry(path, e);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        if (pauseMs > 0 && i < count) QThread::msleep(pauseMs);
    }
    return 0;
}
