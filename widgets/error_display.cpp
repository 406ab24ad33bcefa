#include "widgets/error_display.h"

#include "core/program_folder.h"

#include <QMessageBox>

namespace qm {

void ShowError(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, ApplicationTitle(), message);
}

void ShowError(QWidget* parent, const std::exception& error) {
    ShowError(parent, QString::fromUtf8(error.what()));
}

} // namespace qm
