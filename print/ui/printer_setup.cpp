#include "print/ui/printer_setup.h"

#include "print/page.h"

#include <QPrintDialog>
#include <QPrinter>

namespace qm {

bool RunPrinterSetup(QWidget* parent) {
    QPrintDialog dialog(&CurrentPrinter(), parent);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    // One page per document: page ranges and copies mean nothing here.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qm
