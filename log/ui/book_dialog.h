#pragma once
// "Firm Mailing Book": which book to make (the pieces of no book yet, the pieces of a date
// range, or a book made before by its number) and whether to preview or print it.

#include "log/log_commands.h"

#include <QDialog>

class QDateEdit;
class QRadioButton;
class QSpinBox;

namespace qm {

class TF_BookChoice : public QDialog {
    Q_OBJECT
public:
    // Starts from `initial`: its kind, range, number and destination; its counts name the new
    // pieces and bound the book number (no previous book: that choice is disabled).
    explicit TF_BookChoice(const BookChoice& initial, QWidget* parent = nullptr);

    // The choice as the dialog holds it, the counts as given.
    BookChoice Choice() const;

private:
    BookChoice initial_;
    QRadioButton* rbNew_;
    QRadioButton* rbRange_;
    QRadioButton* rbPrevious_;
    QDateEdit* editFrom_;
    QDateEdit* editTo_;
    QSpinBox* spinBook_;
    QRadioButton* rbPreview_;
};

} // namespace qm
