#include "print/ui/print_barcode_dialog.h"

#include "core/integer.h"
#include "print/ui/align_dialog.h"
#include "widgets/dialog_parts.h"
#include "widgets/masked_edit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

namespace {

const char* kHelpHint = "Click on \"Help\" for more information";

} // namespace

TF_PrintBarCode::TF_PrintBarCode(const QString& custId, const QString& serialNum, QWidget* parent)
    : QDialog(parent), serialNum_(serialNum), custId_(custId) {
    setObjectName(QStringLiteral("F_PrintBarCode"));
    setWindowTitle(QStringLiteral("Print Bar Code's"));

    auto* group = new QGroupBox(this);
    auto* intro =
        new QLabel(QStringLiteral("Please enter the starting Identifier Serial Number, "
                                  "and how many labels you will be printing Bar Code's on."),
                   group);
    intro->setWordWrap(true);
    auto* lblCust = new QLabel(QStringLiteral("Customer ID (DUNS #)"), group);
    auto* lblSerial = new QLabel(QStringLiteral("Enter Identifier Serial Number"), group);
    auto* lblCount = new QLabel(QStringLiteral("Number of Labels"), group);
    editCustID_ = new RequiredDigitsEdit(9, group);
    editCustID_->setObjectName(QStringLiteral("editCustID"));
    editSerialNum_ = new RequiredDigitsEdit(7, group);
    editSerialNum_->setObjectName(QStringLiteral("editSerialNum"));
    editNumLabels_ = new LimitedSpinBox(1, group);
    editNumLabels_->setObjectName(QStringLiteral("editNumLabels"));
    editNumLabels_->setRange(1, 1000);
    editNumLabels_->setSingleStep(1);
    editNumLabels_->setValue(1);
    for (QWidget* w : {static_cast<QWidget*>(lblCust), static_cast<QWidget*>(lblSerial),
                       static_cast<QWidget*>(editCustID_), static_cast<QWidget*>(editSerialNum_)})
        w->setToolTip(QString::fromLatin1(kHelpHint));
    editSerialNum_->SetValue(serialNum);
    editCustID_->SetValue(custId);

    auto* grid = new QGridLayout(group);
    grid->addWidget(intro, 0, 0, 1, 2);
    grid->addWidget(lblCust, 1, 0);
    grid->addWidget(editCustID_, 1, 1);
    grid->addWidget(lblSerial, 2, 0);
    grid->addWidget(editSerialNum_, 2, 1);
    grid->addWidget(lblCount, 3, 0);
    grid->addWidget(editNumLabels_, 3, 1);

    panelBarCode_ = new QWidget(this);
    panelBarCode_->setObjectName(QStringLiteral("panelBarCode"));
    auto* help = new QVBoxLayout(panelBarCode_);
    help->addWidget(BoldLabel(QStringLiteral("Customer ID:"), panelBarCode_));
    for (const char* line :
         {"You may request a nine-digit customer ID (i.e., your DUNS number) from your postal "
          "representative, or from the issuer of DUNS numbers by telephone or on the web at "
          "www.dnb.com.",
          "This number uniquely identifies business entities at specific physical addresses.  If "
          "you are generating mailings at multiple locations, you must use the DUNS number "
          "appropriate for each mailing location."}) {
        help->addWidget(WrappedLabel(QString::fromLatin1(line), panelBarCode_));
    }
    help->addWidget(BoldLabel(QStringLiteral("Identifier Serial Number:"), panelBarCode_));
    help->addWidget(new QLabel(QStringLiteral("You will self-assign an eight-digit Identifier"),
                               panelBarCode_));
    help->addWidget(WrappedLabel(QStringLiteral("Serial Number.  This number must remain unique "
                                                "for at least 2 years in order to ensure that it "
                                                "identifies only one mailpiece."),
                                 panelBarCode_));
    panelBarCode_->hide();

    auto* btnOK = NamedButton(QStringLiteral("OK"), "btnOK", this);
    btnOK->setDefault(true);
    auto* btnCancel = NamedButton(QStringLiteral("Cancel"), "btnCancel", this);
    btnHelp_ = NamedButton(QStringLiteral("Help"), "btnHelp", this);
    connect(btnOK, &QPushButton::clicked, this, &TF_PrintBarCode::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp_, &QPushButton::clicked, this, &TF_PrintBarCode::btnHelpClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(ButtonRow({btnOK, btnCancel, btnHelp_}));
    layout->addWidget(panelBarCode_);
    group->setMinimumWidth(360);
}

void TF_PrintBarCode::btnHelpClick() {
    panelBarCode_->show();
    btnHelp_->setEnabled(false);
    resize(width(), std::max(383, sizeHint().height()));
    CentreOnScreen(this);
}

void TF_PrintBarCode::btnOKClick() {
    if (!editCustID_->CheckOrComplain() || !editSerialNum_->CheckOrComplain()) return;
    const QString countText = editNumLabels_->text().trimmed();
    const auto count = TryStrToInt(countText);
    if (!count) {
        // Keep the dialog open rather than run with an unknown count.
        QMessageBox::critical(this, windowTitle(),
                              QStringLiteral("'%1' is not a valid integer value").arg(countText));
        editNumLabels_->setFocus();
        return;
    }
    labelCount_ = *count;
    serialNum_ = editSerialNum_->text();
    custId_ = editCustID_->text();
    accept();
}

} // namespace qm
