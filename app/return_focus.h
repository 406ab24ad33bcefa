#pragma once
// Leaving a field and being sent back to it.
class QEvent;
class QPlainTextEdit;
class QWidget;

namespace qm {

// Puts the focus back into a field the user has to correct, once the event that took it away
// has been handled.
void ReturnFocus(QWidget* field);
// Puts the text cursor at a line and column of the memo (both from 0) and the focus back into
// it.
void ReturnFocusToLine(QPlainTextEdit* memo, int line, int column);
// The event is a focus loss that counts as leaving the field: not a popup or another window
// taking the focus, and not the focus returning to a field to correct (the field it leaves is
// not checked again).
bool LeavesField(const QEvent* event);

} // namespace qm
