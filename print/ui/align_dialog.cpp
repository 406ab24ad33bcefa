#include "print/ui/align_dialog.h"

#include "core/integer.h"
#include "print/page.h"
#include "widgets/dialog_parts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

LimitedSpinBox::LimitedSpinBox(int maxTyped, QWidget* parent)
    : QSpinBox(parent), maxTyped_(maxTyped) {}

int LimitedSpinBox::TypedValue() const {
    const auto v = TryStrToInt(lineEdit()->text().trimmed());
    if (!v) return minimum();
    return *v;
}

void LimitedSpinBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    if (!typed.isEmpty() && typed[0].isPrint()) {
        const QChar c = typed[0];
        const QChar decimal = QLocale().decimalPoint().at(0);
        if (!(c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+') || c == decimal)) {
            QApplication::beep();
            return;
        }
        const QLineEdit* edit = lineEdit();
        const qsizetype kept = edit->text().size() - edit->selectedText().size();
        if (kept >= maxTyped_) {
            QApplication::beep();
            return;
        }
    }
    QSpinBox::keyPressEvent(event);
}

void LimitedSpinBox::focusOutEvent(QFocusEvent* event) {
    // Keep what was typed; the dialog reads it on OK.
    QWidget::focusOutEvent(event);
}

TF_Align::TF_Align(int leftRight, int topBottom, QWidget* parent)
    : QDialog(parent), leftRight_(leftRight), topBottom_(topBottom) {
    setObjectName(QStringLiteral("F_Align"));
    setWindowTitle(QStringLiteral("Printer Alignment"));

    auto* group = new QGroupBox(this);
    auto* text = new QLabel(
        QStringLiteral("The numbers below will move the text on the form either 1/100\" to the "
                       "right if a negative number or to the left if a positive number.  It also "
                       "can move the text  1/100\" up if a positive number and down if a negative "
                       "number."),
        group);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);

    auto* lblLeftRight = new QLabel(QStringLiteral("Left & Right"), group);
    auto* lblUpDown = new QLabel(QStringLiteral("Up and Down"), group);
    QFont bold = lblLeftRight->font();
    bold.setBold(true);
    lblLeftRight->setFont(bold);
    lblUpDown->setFont(bold);

    spinLeftRight_ = new LimitedSpinBox(3, group);
    spinLeftRight_->setObjectName(QStringLiteral("spinLeftRight"));
    SpinUpDown_ = new LimitedSpinBox(3, group);
    SpinUpDown_->setObjectName(QStringLiteral("SpinUpDown"));
    for (auto* spin : {spinLeftRight_, SpinUpDown_}) {
        spin->setRange(-999, 999);
        spin->setSingleStep(1);
    }
    spinLeftRight_->setValue(leftRight); // shown clamped to the range
    SpinUpDown_->setValue(topBottom);

    auto* grid = new QGridLayout(group);
    grid->addWidget(text, 0, 0, 1, 2);
    grid->addWidget(lblLeftRight, 1, 0, Qt::AlignCenter);
    grid->addWidget(lblUpDown, 1, 1, Qt::AlignCenter);
    grid->addWidget(spinLeftRight_, 2, 0, Qt::AlignCenter);
    grid->addWidget(SpinUpDown_, 2, 1, Qt::AlignCenter);

    auto* btnOK = NamedButton(QStringLiteral("OK"), "btnOK", this);
    btnOK->setDefault(true);
    auto* btnCancel = NamedButton(QStringLiteral("Cancel"), "btnCancel", this);
    connect(btnOK, &QPushButton::clicked, this, &TF_Align::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(ButtonRow({btnOK, btnCancel}));
    group->setMinimumWidth(320);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TF_Align::btnOKClick() {
    leftRight_ = spinLeftRight_->TypedValue();
    topBottom_ = SpinUpDown_->TypedValue();
    accept();
}

} // namespace qm
