#include "app/window_dialogs.h"

#include "core/program_folder.h"
#include "entry/ui/mailer_dialog.h"
#include "print/ui/print_barcode_dialog.h"
#include "widgets/error_display.h"
#include "widgets/wait_cursor.h"

#include <QMessageBox>
#include <QPushButton>

namespace qm {

bool WindowDialogs::EditNumbers(GlobalVariables& g, bool fromPrintRun) {
    NormalCursor normal;
    TF_Mailer dialog(g, fromPrintRun, parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool WindowDialogs::EditPrePrint(QString& custId, QString& serialNum, int& labelCount) {
    NormalCursor normal;
    TF_PrintBarCode dialog(custId, serialNum, parent_);
    if (dialog.exec() != QDialog::Accepted) return false;
    custId = dialog.CustID();
    serialNum = dialog.SerialNum();
    labelCount = dialog.LabelCount();
    return true;
}

bool WindowDialogs::AskYesNo(const QString& question, bool yesIsDefault) {
    NormalCursor normal;
    return QMessageBox::question(
               parent_, ApplicationTitle(), question, QMessageBox::Yes | QMessageBox::No,
               yesIsDefault ? QMessageBox::Yes : QMessageBox::No) == QMessageBox::Yes;
}

void WindowDialogs::Refuse(const QString& message) {
    NormalCursor normal;
    QMessageBox::critical(parent_, ApplicationTitle(), message);
}

void WindowDialogs::Inform(const QString& message) {
    NormalCursor normal;
    QMessageBox::information(parent_, ApplicationTitle(), message);
}

void WindowDialogs::ShowError(const QString& message) {
    NormalCursor normal;
    qm::ShowError(parent_, message);
}

void WindowDialogs::Warn(const QString& message) {
    NormalCursor normal;
    QMessageBox::warning(parent_, ApplicationTitle(), message);
}

int WindowDialogs::Choose(const QString& question, const QStringList& buttons, int defaultButton) {
    NormalCursor normal;
    QMessageBox box(QMessageBox::Question, ApplicationTitle(), question, QMessageBox::NoButton,
                    parent_);
    QList<QPushButton*> pushed;
    for (const QString& caption : buttons)
        pushed << box.addButton(caption, QMessageBox::AcceptRole);
    if (defaultButton >= 1 && defaultButton <= pushed.size()) {
        box.setDefaultButton(pushed[defaultButton - 1]);
        // Escape answers with the default button.
        box.setEscapeButton(pushed[defaultButton - 1]);
    }
    box.exec();
    const int pressed = int(pushed.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
    return pressed >= 0 ? pressed + 1 : defaultButton;
}

} // namespace qm
