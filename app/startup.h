#pragma once

namespace qm {

// The start-up sequence: splash, main window, message loop. Returns the program's exit code.
// Needs a QApplication.
int RunProgram();

} // namespace qm
