#include "app/tracking_address.h"

#include "core/program_folder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

namespace qm {

void ShowTrackingAddress(QWidget* parent, const QString& address) {
    QMessageBox box(QMessageBox::Information, ApplicationTitle(),
                    QStringLiteral("No web browser could be opened. To track an item, open "
                                   "this address in a web browser:\n\n%1")
                        .arg(address),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("boxTrackingAddress"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* copy = box.addButton(QStringLiteral("&Copy Address"), QMessageBox::ActionRole);
    copy->setObjectName(QStringLiteral("btnCopyAddress"));
    box.exec();
    if (box.clickedButton() == copy) QGuiApplication::clipboard()->setText(address);
}

} // namespace qm
