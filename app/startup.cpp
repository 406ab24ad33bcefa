#include "app/startup.h"

#include "app/about.h"
#include "app/main_window.h"
#include "app/table_engine_setup.h"
#include "core/program_folder.h"
#include "print/page.h"

#include <QApplication>
#include <QPointer>

namespace qm {

int RunProgram() {
    QPointer<TF_About> splash = new TF_About;
    splash->IsSplash = 1;
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();

    QCoreApplication::setApplicationName(ApplicationTitle());
    RegisterPrintFonts();
    InstallTableEngine();

    TF_Main mainWindow(splash);
    mainWindow.show();
    const int rc = QApplication::exec();
    delete splash.data(); // still there only when the main window never showed
    return rc;
}

} // namespace qm
