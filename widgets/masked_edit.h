#pragma once
// Masked entry fields whose places are all required: an incomplete entry is refused
// when the user leaves the field, and the field keeps the focus.

#include <QLineEdit>
#include <QString>

namespace qm {

inline constexpr const char* kInvalidMaskedInput =
    "Invalid input value.  Use escape key to abandon changes";

// A line edit with an input mask of `digits` required digits, blank places shown
// as "_". Leaving it changed and incomplete shows the invalid-input message and
// takes the focus back.
class RequiredDigitsEdit : public QLineEdit {
    Q_OBJECT
public:
    RequiredDigitsEdit(int digits, QWidget* parent = nullptr);
    // Puts a stored value into the field: its digits only.
    void SetValue(const QString& value);
    // True when the field may be taken: every place holds a digit.
    bool Acceptable() const;
    // Shows the invalid-input message and focuses the field when it is not acceptable.
    bool CheckOrComplain();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace qm
