#include "app/settings_not_saved.h"

#include "core/program_folder.h"

#include <QMessageBox>
#include <QPushButton>

namespace qm {

UnsavedSettingsChoice AskUnsavedSettings(QWidget* parent, const QString& error) {
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(), error, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("boxUnsavedSettings"));
    box.setInformativeText(
        QStringLiteral("Your settings (sender, fees, numbers) cannot be saved."));
    QPushButton* retry = box.addButton(QStringLiteral("Retry"), QMessageBox::AcceptRole);
    retry->setObjectName(QStringLiteral("btnRetry"));
    QPushButton* discard =
        box.addButton(QStringLiteral("Exit without saving"), QMessageBox::DestructiveRole);
    discard->setObjectName(QStringLiteral("btnExitWithoutSaving"));
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    box.setDefaultButton(retry);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == retry) return UnsavedSettingsChoice::Retry;
    if (box.clickedButton() == discard) return UnsavedSettingsChoice::ExitWithoutSaving;
    return UnsavedSettingsChoice::Cancel;
}

} // namespace qm
