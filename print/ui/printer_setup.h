#pragma once
// Options, Print Options, Printer Setup: the system's print dialog on the current printer.

class QWidget;

namespace qm {

// Lets the user choose the printer (or a PDF file), paper and orientation for every
// later document of this run. Returns true when the choice was confirmed.
bool RunPrinterSetup(QWidget* parent);

} // namespace qm
