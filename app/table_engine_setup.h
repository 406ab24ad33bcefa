#pragma once

namespace qm {

// Connects the dBase table engine to the program: exception mode (a failed table
// command ends that command, not the program), the engine date format from the
// short date of core/short_date.h, and message boxes for the engine's messages and for
// the halt box of report mode. Needs a QApplication.
void InstallTableEngine();

} // namespace qm
