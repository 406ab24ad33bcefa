#include "widgets/masked_edit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMessageBox>
#include <QTimer>

namespace qm {

RequiredDigitsEdit::RequiredDigitsEdit(int digits, QWidget* parent) : QLineEdit(parent) {
    // Every place requires a digit.
    setInputMask(QString(digits, QLatin1Char('9')) + QStringLiteral(";_"));
}

void RequiredDigitsEdit::SetValue(const QString& value) {
    QString digits;
    for (QChar c : value)
        if (c.isDigit()) digits += c;
    setText(digits);
    setModified(false);
}

bool RequiredDigitsEdit::Acceptable() const {
    return hasAcceptableInput();
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
    // A click on Cancel, a closing window or another window coming up (the complaint
    // itself) does not count as leaving the field.
    if (Acceptable() || event->reason() == Qt::PopupFocusReason ||
        event->reason() == Qt::ActiveWindowFocusReason || !window()->isVisible())
        return;
    QTimer::singleShot(0, this, [this] {
        if (window()->isVisible() && !Acceptable() && !hasFocus()) CheckOrComplain();
    });
}

} // namespace qm
