#include "print/masked_edit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMessageBox>
#include <QTimer>

namespace qm {

RequiredDigitsEdit::RequiredDigitsEdit(int digits, QWidget* parent) : QLineEdit(parent) {
    setInputMask(QString(digits, QLatin1Char('0')) + QStringLiteral(";_"));
}

void RequiredDigitsEdit::SetValue(const QString& value) {
    QString digits;
    for (QChar c : value)
        if (c.isDigit()) digits += c;
    setText(digits);
    setModified(false);
}

bool RequiredDigitsEdit::Acceptable() const {
    return !isModified() || hasAcceptableInput();
}

bool RequiredDigitsEdit::CheckOrComplain() {
    if (Acceptable()) return true;
    QMessageBox::critical(window(), QApplication::applicationName(),
                          QString::fromLatin1(kInvalidMaskedInput));
    setFocus();
    return false;
}

void RequiredDigitsEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A click on Cancel or a closing window does not count as leaving the field.
    if (Acceptable() || event->reason() == Qt::PopupFocusReason || !window()->isVisible()) return;
    QTimer::singleShot(0, this, [this] {
        if (window()->isVisible() && !Acceptable() && !hasFocus()) CheckOrComplain();
    });
}

} // namespace qm
