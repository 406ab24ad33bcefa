#include "app/table_engine_setup.h"

#include "core/program_folder.h"
#include "core/short_date.h"
#include "engine_date.h"
#include "engine_error.h"

#include <QApplication>
#include <QMessageBox>

namespace qm {

void InstallTableEngine() {
    table::SetSystemShortDateFormat(ShortDateFormat().toStdString());
    table::SetErrorMode(table::TErrorMode::Exception);
    table::SetMessageHook([](const std::string& text) {
        QMessageBox::information(QApplication::activeWindow(), ApplicationTitle(),
                                 QString::fromStdString(text));
    });
    table::SetHaltHook([](const std::string& caption, const std::string& text) {
        QMessageBox::critical(QApplication::activeWindow(), QString::fromStdString(caption),
                              QString::fromStdString(text));
    });
}

} // namespace qm
