#include "app/return_focus.h"

#include <QFocusEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>

namespace qm {
namespace {

bool returningFocus = false;

} // namespace

void ReturnFocus(QWidget* field) {
    QTimer::singleShot(0, field, [field] {
        if (!field->isVisible() || !field->isEnabled()) return;
        returningFocus = true;
        field->setFocus(Qt::OtherFocusReason);
        returningFocus = false;
    });
}

void ReturnFocusToLine(QPlainTextEdit* memo, int line, int column) {
    const QTextBlock block = memo->document()->findBlockByNumber(line);
    if (block.isValid()) {
        QTextCursor c(block);
        c.setPosition(block.position() + std::min(column, block.length() - 1));
        memo->setTextCursor(c);
        memo->ensureCursorVisible();
    }
    ReturnFocus(memo);
}

bool LeavesField(const QEvent* event) {
    if (event->type() != QEvent::FocusOut || returningFocus) return false;
    const auto reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

} // namespace qm
