#include "print/ui/extra_label_dialog.h"

#include "widgets/dialog_parts.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qm {

TF_ExtraLabel::TF_ExtraLabel(const QString& printExtraLabel, const QString& extraLabel,
                             QWidget* parent)
    : QDialog(parent), printExtraLabel_(printExtraLabel), extraLabel_(extraLabel) {
    setObjectName(QStringLiteral("F_ExtraLabel"));
    setWindowTitle(QStringLiteral("Extra Label"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* group = new QGroupBox(this);
    auto* text = new QLabel(
        QStringLiteral("Use this window to print an Address on the \"Extra Label\" located on the "
                       "upper right corner of the form.  This label is intended for the postage "
                       "label.  If you are printing the Postage on this label, you don't want to "
                       "print an address here."),
        group);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);

    auto* radios = new QGroupBox(QStringLiteral("Print Address on Extra Label?"), group);
    radios->setObjectName(QStringLiteral("rgExtraLabel"));
    rgExtraLabel_ = new QButtonGroup(this);
    rgExtraLabel_->setExclusive(true);
    auto* radioLayout = new QHBoxLayout(radios);
    int id = 0;
    for (const char* item : {"Yes", "No"}) {
        auto* rb = new QRadioButton(QString::fromLatin1(item), radios);
        rb->setObjectName(QStringLiteral("rgExtraLabel") + QString::fromLatin1(item));
        rgExtraLabel_->addButton(rb, id++);
        radioLayout->addWidget(rb);
        if (printExtraLabel == QLatin1String(item)) rb->setChecked(true);
    }

    auto* caption = new QLabel(QStringLiteral("Address for Extra Label:"), group);
    cbExtraLabel_ = new QComboBox(group);
    cbExtraLabel_->setObjectName(QStringLiteral("cbExtraLabel"));
    cbExtraLabel_->setEditable(true);
    cbExtraLabel_->addItem(QString::fromLatin1(kExtraLabelAddressedTo));
    cbExtraLabel_->addItem(QString::fromLatin1(kExtraLabelYourAddress));
    cbExtraLabel_->setEditText(extraLabel);

    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(text);
    groupLayout->addWidget(radios);
    groupLayout->addWidget(caption);
    groupLayout->addWidget(cbExtraLabel_);

    auto* btnOK = NamedButton(QStringLiteral("OK"), "btnOK", this);
    btnOK->setDefault(true);
    auto* btnCancel = NamedButton(QStringLiteral("Cancel"), "btnCancel", this);
    connect(btnOK, &QPushButton::clicked, this, &TF_ExtraLabel::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(rgExtraLabel_, &QButtonGroup::idToggled, this, [this] { rgExtraLabelClick(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(ButtonRow({btnOK, btnCancel}));
    group->setMinimumWidth(340);
    rgExtraLabelClick();
}

void TF_ExtraLabel::rgExtraLabelClick() {
    // Enabled while "Yes" is selected or nothing is.
    cbExtraLabel_->setEnabled(rgExtraLabel_->checkedId() != 1);
}

void TF_ExtraLabel::btnOKClick() {
    // With neither item selected (a setting other than "Yes" and "No") nothing changes.
    if (QAbstractButton* checked = rgExtraLabel_->checkedButton()) {
        printExtraLabel_ = checked->text();
        const QString typed = cbExtraLabel_->currentText();
        extraLabel_ = typed == QLatin1String(kExtraLabelYourAddress)
                          ? typed
                          : QString::fromLatin1(kExtraLabelAddressedTo);
    }
    accept();
}

} // namespace qm
