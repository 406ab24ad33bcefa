#include "app/startup.h"

#include "app/about.h"
#include "app/core/program_folder.h"
#include "app/main_window.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QPointer>

namespace qm {
namespace {

// The OCR-A face is registered under its file's family name; the print code asks for
// "OCR A Extended".
void RegisterPrintFonts() {
    const int id = QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/ocr-a/OCRA.ttf"));
    if (id >= 0) {
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty())
            QFont::insertSubstitution(QStringLiteral("OCR A Extended"), families.first());
    }
}

} // namespace

int RunProgram() {
    QPointer<TF_About> splash = new TF_About;
    splash->IsSplash = 1;
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();

    QCoreApplication::setApplicationName(ApplicationTitle());
    RegisterPrintFonts();

    TF_Main mainWindow(splash);
    mainWindow.show();
    const int rc = QApplication::exec();
    delete splash.data(); // still there only when the main window never showed
    return rc;
}

} // namespace qm
