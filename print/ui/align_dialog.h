#pragma once
// The Printer Alignment dialog: the user's left-right and top-bottom correction.

#include <QDialog>
#include <QSpinBox>

// A spin field that limits typing (not the arrows) to a number of characters, refuses
// other characters than digits, signs and the decimal separator with a beep, and
// leaves an unfinished text as it is when it loses the focus.
namespace qm {

class LimitedSpinBox : public QSpinBox {
    Q_OBJECT
public:
    LimitedSpinBox(int maxTyped, QWidget* parent = nullptr);
    // The value of the text as typed; minimum() when it is not an integer.
    int TypedValue() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int maxTyped_;
};

class TF_Align : public QDialog {
    Q_OBJECT
public:
    TF_Align(int leftRight, int topBottom, QWidget* parent = nullptr);
    // The stored values after OK.
    int LeftRight() const { return leftRight_; }
    int TopBottom() const { return topBottom_; }

private:
    void btnOKClick();

    LimitedSpinBox* spinLeftRight_;
    LimitedSpinBox* SpinUpDown_;
    int leftRight_;
    int topBottom_;
};

} // namespace qm
