#pragma once
// Named, hand-placed controls of the main window's form, and the pasted address shown in them.
#include <QRect>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QString;
class QWidget;

namespace qm {

QLabel* AddLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry);
// maxLength 0: no limit of the edit's own (masked and money fields).
QLineEdit* AddEdit(QWidget* parent, const char* name, int maxLength, QRect geometry);
// An address memo: lines as typed, Tab leaves it, no scroll bars.
QPlainTextEdit* AddMemo(QWidget* parent, const char* name, QRect geometry);

// Splits clipboard text into an address and shows it in the fields; nothing changes when the
// text holds no address.
void ShowPastedAddress(const QString& text, QPlainTextEdit* memo, QLineEdit* city, QLineEdit* state,
                       QLineEdit* zip);

} // namespace qm
