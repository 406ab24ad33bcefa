#include "widgets/zip_edit.h"

#include <QLineEdit>
#include <QString>

namespace qm {

void SetupZipEdit(QLineEdit* edit) {
    edit->setInputMask(QStringLiteral("00000-0000; "));
}

QString ZipEditText(const QLineEdit* edit) {
    return edit->displayText();
}

} // namespace qm
