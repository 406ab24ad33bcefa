#pragma once
// Small building blocks shared by the program's dialogs.
#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QString;
class QWidget;

namespace qm {

// A label that wraps its text at the width it gets; bold when asked.
QLabel* WrappedLabel(const QString& text, QWidget* parent, bool bold = false);
// A label in the bold face of its parent, on one line.
QLabel* BoldLabel(const QString& text, QWidget* parent);

// A push button that tests and automation find by its object name.
QPushButton* NamedButton(const QString& caption, const char* objectName, QWidget* parent);

// A dialog's row of buttons, right-aligned, in the order given.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons);

// Moves a window to the centre of the screen it is on.
void CentreOnScreen(QWidget* window);

} // namespace qm
