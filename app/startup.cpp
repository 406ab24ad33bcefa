#include "app/startup.h"

#include "app/about.h"
#include "app/data_folder_start.h"
#include "app/main_window.h"
#include "app/table_engine_setup.h"
#include "core/program_folder.h"
#include "print/page.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>

namespace qm {

int RunProgram() {
    QString error;
    if (!ApplyFolderArgument(QCoreApplication::arguments(), error)) {
        std::fprintf(stderr, "quillmark: %s\n", qPrintable(error));
        QMessageBox::critical(nullptr, ApplicationTitle(), error);
        return 2;
    }
    if (!PrepareDataFolder()) return 1;

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
    if (RestartRequested() && !StartAgain()) {
        QMessageBox::critical(nullptr, ApplicationTitle(),
                              QStringLiteral("Quillmark could not start again; please start it."));
        return 1;
    }
    return rc;
}

} // namespace qm
