#pragma once
// The program's outputs for scripts, without a window:
//   quillmark --firm-mailing-book [--from YYYY-MM-DD] [--to YYYY-MM-DD] --pdf FILE
//   quillmark --export-log FILE.csv|FILE.xlsx [--from ...] [--to ...]
//   quillmark --report full|short [--order number|name|date|zip|record] --pdf FILE
// each over the mailing log of the program folder (or --folder DIR); exit 0 on success, else a
// one-line message on standard error and a non-zero code.

#include <QString>
#include <QStringList>

#include <optional>

namespace qm {

// The text of --help.
QString CommandLineHelp();

// Runs the command the arguments name, before any window exists, and returns the exit code;
// nothing when they name none (the window program starts; --folder DIR has been applied).
std::optional<int> RunCommandLine(int argc, char** argv);

} // namespace qm
