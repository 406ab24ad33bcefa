// A second running copy that prints: log_append_helper PATH COUNT NAME appends COUNT entries
// named NAME-1 ... to the log at PATH once a line arrives on stdin (so that copies start
// together); prints the error and exits 1 at the first failure.
#include "log/log_table.h"

#include "engine_date.h"
#include "engine_error.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) return 64;
    qm::table::SetErrorMode(qm::table::TErrorMode::Exception);
    qm::table::SetSystemShortDateFormat("M/d/yyyy");
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int count = atoi(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
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
    }
    return 0;
}
