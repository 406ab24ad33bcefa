#pragma once
// Windows placed in pixels grow with the user's font, so that every caption and field keeps
// its whole text at any font size. The pixel values are designed for a reference font of
// 14 pixels' height (the 9-point sans serif of a plain desktop); a larger font scales them.
#include <QRect>

class QFont;
class QPlainTextEdit;
class QWidget;

namespace qm {

// The factor by which the reference design grows for font: at least 1, and large enough for
// both the font's height and its average advance.
double FontScale(const QFont& font);

// A designed length or rectangle at the scale.
int Scaled(int pixels, double scale);
QRect Scaled(const QRect& rect, double scale);

// Scales the geometry of every descendant of root that is placed by hand (its parent has no
// layout).
void ScaleChildGeometry(QWidget* root, double scale);

// The height at which the memo shows lines lines of its font without scrolling.
int MemoHeightForLines(const QPlainTextEdit* memo, int lines);

} // namespace qm
