#include "log/ui/range_buttons.h"

#include "widgets/dialog_parts.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

namespace qm {

QHBoxLayout* RangeDialogButtons(QDialog& dialog, std::function<bool()> backward) {
    auto* ok = NamedButton(QStringLiteral("OK"), "btnOK", &dialog);
    auto* cancel = NamedButton(QStringLiteral("Cancel"), "btnCancel", &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog, backward = std::move(backward)] {
        if (backward()) {
            QMessageBox::critical(&dialog, dialog.windowTitle(),
                                  QStringLiteral("The first date lies after the last date."));
            return;
        }
        dialog.accept();
    });
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    return ButtonRow({ok, cancel});
}

} // namespace qm
