#include "entry/ui/mailer_dialog.h"

#include "numbers/mailer_numbers.h"
#include "widgets/dialog_parts.h"
#include "widgets/masked_edit.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

namespace qm {

namespace {

const char* kDnBAddress = "http://www.dnb.com";

} // namespace

QString WrongCheckDigitMessage(const QString& tracking22) {
    return QStringLiteral("The mailer number %1 is not a valid tracking number: its last digit "
                          "(the check digit) is wrong. Please type the number exactly as it is "
                          "printed on your mailer.")
        .arg(tracking22);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
    setObjectName(QStringLiteral("labelDnB"));
    setCursor(Qt::PointingHandCursor); // LabelDnBMouseMove / LabelDnBMouseLeave
}

void LinkLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QFont f = font();
    f.setUnderline(true);
    p.setFont(f);
    p.setPen(Qt::blue);
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text_);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) // LabelDnBClick
        QDesktopServices::openUrl(QUrl::fromUserInput(text_));
}

QSize LinkLabel::sizeHint() const {
    QFont f = font();
    f.setUnderline(true);
    const QFontMetrics fm(f);
    return {fm.horizontalAdvance(text_) + 4, fm.height() + 2};
}

TF_Mailer::TF_Mailer(GlobalVariables& g, bool fromPrintRun, QWidget* parent)
    : QDialog(parent), g_(g), barcodeMode_(g.PrintBarCode) {
    setObjectName(QStringLiteral("F_Mailer"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    // Barcode mode.
    gbPrintBarcode_ = new QGroupBox(this);
    gbPrintBarcode_->setObjectName(QStringLiteral("gbPrintBarcode"));
    auto* lblCust = WrappedLabel(QStringLiteral("Mailer Number"), gbPrintBarcode_);
    lblCust->setToolTip(QStringLiteral("Click on \"Help\" for information on the Customer ID"));
    auto* lblSerial =
        WrappedLabel(QStringLiteral("Enter Identifier Serial Number"), gbPrintBarcode_);
    lblSerial->setToolTip(
        QStringLiteral("Click on \"Help\" for information on the Identifier Serial Number"));
    editCustID_ = new RequiredDigitsEdit(9, gbPrintBarcode_);
    editCustID_->setObjectName(QStringLiteral("editCustID"));
    editSerialNum_ = new RequiredDigitsEdit(7, gbPrintBarcode_);
    editSerialNum_->setObjectName(QStringLiteral("editSerialNum"));
    auto* barcodeGrid = new QGridLayout(gbPrintBarcode_);
    barcodeGrid->addWidget(lblCust, 0, 0);
    barcodeGrid->addWidget(editCustID_, 0, 1);
    barcodeGrid->addWidget(lblSerial, 1, 0);
    barcodeGrid->addWidget(editSerialNum_, 1, 1);

    // Pre-numbered mode.
    gbNoBarCode_ = new QGroupBox(this);
    gbNoBarCode_->setObjectName(QStringLiteral("gbNoBarCode"));
    auto* lblMailer = WrappedLabel(QStringLiteral("22 Digit Mailer Number"), gbNoBarCode_);
    editMailerNum_ = new RequiredDigitsEdit(22, gbNoBarCode_);
    editMailerNum_->setObjectName(QStringLiteral("editMailerNum"));
    auto* rgCountType = new QGroupBox(QStringLiteral("Count Type"), gbNoBarCode_);
    rgCountType->setObjectName(QStringLiteral("rgCountType"));
    rbIncrement_ = new QRadioButton(QStringLiteral("Increment"), rgCountType);
    rbIncrement_->setObjectName(QStringLiteral("rgCountTypeIncrement"));
    rbDecrement_ = new QRadioButton(QStringLiteral("Decrement"), rgCountType);
    rbDecrement_->setObjectName(QStringLiteral("rgCountTypeDecrement"));
    auto* countLayout = new QHBoxLayout(rgCountType);
    countLayout->addWidget(rbIncrement_);
    countLayout->addWidget(rbDecrement_);
    auto* noBarcodeLayout = new QVBoxLayout(gbNoBarCode_);
    noBarcodeLayout->addWidget(lblMailer);
    noBarcodeLayout->addWidget(editMailerNum_);
    noBarcodeLayout->addWidget(rgCountType);

    cbDontShow_ = new QCheckBox(QStringLiteral("Do not show this screen again"), this);
    cbDontShow_->setObjectName(QStringLiteral("cbDontShow"));
    cbDontShow_->setVisible(fromPrintRun);

    auto* btnOK = NamedButton(QStringLiteral("OK"), "btnOK", this);
    btnOK->setDefault(true);
    auto* btnCancel = NamedButton(QStringLiteral("Cancel"), "btnCancel", this);
    btnHelp_ = NamedButton(QStringLiteral("Help"), "btnHelp", this);
    connect(btnOK, &QPushButton::clicked, this, &TF_Mailer::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp_, &QPushButton::clicked, this, &TF_Mailer::btnHelpClick);

    // Help panels.
    panelBarCode_ = new QWidget(this);
    panelBarCode_->setObjectName(QStringLiteral("panelBarCode"));
    auto* helpBarcode = new QVBoxLayout(panelBarCode_);
    helpBarcode->addWidget(WrappedLabel(QStringLiteral("Customer ID:"), panelBarCode_, true));
    helpBarcode->addWidget(
        WrappedLabel(QStringLiteral("You may request a nine-digit customer ID (i.e., your DUNS"),
                     panelBarCode_));
    helpBarcode->addWidget(
        WrappedLabel(QStringLiteral("number) from your postal representative or by "
                                    "contacting Dun & Bradstreet"),
                     panelBarCode_));
    helpBarcode->addWidget(WrappedLabel(
        QStringLiteral("by telephone (see their web site) or via Internet at"), panelBarCode_));
    helpBarcode->addWidget(new LinkLabel(QString::fromLatin1(kDnBAddress), panelBarCode_));
    helpBarcode->addWidget(WrappedLabel(
        QStringLiteral("This number uniquely identifies business entities at specific physical "
                       "addresses.  If you are generating mailings at multiple locations, you must "
                       "use the DUNS number appropriate for each mailing location."),
        panelBarCode_));
    helpBarcode->addWidget(
        WrappedLabel(QStringLiteral("Identifier Serial Number:"), panelBarCode_, true));
    helpBarcode->addWidget(WrappedLabel(
        QStringLiteral("You will self-assign an eight-digit Identifier"), panelBarCode_));
    helpBarcode->addWidget(WrappedLabel(
        QStringLiteral("Serial Number.  This number must remain unique for at least 2 years in "
                       "order to ensure that it identifies only one mailpiece."),
        panelBarCode_));
    panelBarCode_->hide();

    panelMailerNum_ = new QWidget(this);
    panelMailerNum_->setObjectName(QStringLiteral("panelMailerNum"));
    auto* helpMailer = new QVBoxLayout(panelMailerNum_);
    helpMailer->addWidget(
        WrappedLabel(QStringLiteral("20 Digit Mailer Number:"), panelMailerNum_, true));
    helpMailer->addWidget(WrappedLabel(
        QStringLiteral("You have chosen not to print the bar code's,"), panelMailerNum_));
    helpMailer->addWidget(WrappedLabel(
        QStringLiteral("thus your mailers must have the bar code already printed on them.  You "
                       "must enter all 22 digits of the next Mailer Number in your printer."),
        panelMailerNum_));
    helpMailer->addWidget(
        WrappedLabel(QStringLiteral("Increment/Decrement:"), panelMailerNum_, true));
    helpMailer->addWidget(
        WrappedLabel(QStringLiteral("You can select either \"Increment\", or "), panelMailerNum_));
    auto* block = new QPlainTextEdit(panelMailerNum_);
    block->setReadOnly(true);
    block->setFrameShape(QFrame::NoFrame);
    block->setPlainText(QStringLiteral(
        "\"Decrement\" depending on the order you have the Mailer's in your printer. \n"
        "Some printers  pull paper from the bottom of the pile and some from the top. \n"
        "Thus if your printer takes paper from the bottom of the pile, you must use \n"
        "the mailer number from the bottom of the pile of mailers and have the \n"
        "counter decrement the number for each new label. "));
    block->setMaximumHeight(block->fontMetrics().lineSpacing() * 6);
    helpMailer->addWidget(block);
    helpMailer->addWidget(WrappedLabel(
        QStringLiteral("To determine the order of your mailer numbers, look at the last 10 digits "
                       "of the Mailer Number and ignore the last digit.  The remaining 9 digits "
                       "will be"),
        panelMailerNum_));
    auto* unique = new QHBoxLayout;
    unique->addWidget(new QLabel(QStringLiteral("your"), panelMailerNum_));
    unique->addWidget(WrappedLabel(QStringLiteral("unique number"), panelMailerNum_, true));
    unique->addWidget(new QLabel(QStringLiteral(". These"), panelMailerNum_));
    unique->addWidget(WrappedLabel(QStringLiteral("unique numbers"), panelMailerNum_, true));
    unique->addWidget(new QLabel(QStringLiteral("should be consecutive."), panelMailerNum_));
    unique->addStretch();
    helpMailer->addLayout(unique);
    panelMailerNum_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gbPrintBarcode_);
    layout->addWidget(gbNoBarCode_);
    layout->addWidget(cbDontShow_);
    layout->addLayout(ButtonRow({btnOK, btnCancel, btnHelp_}));
    layout->addWidget(panelBarCode_);
    layout->addWidget(panelMailerNum_);
    // The dialog is as large as its content, also when the help or the check box shows.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FormCreate();
}

void TF_Mailer::FormCreate() {
    setWindowTitle(QStringLiteral("Mailer Number"));
    gbPrintBarcode_->setVisible(barcodeMode_);
    gbNoBarCode_->setVisible(!barcodeMode_);
    if (barcodeMode_) {
        editSerialNum_->SetValue(g_.SerialNum);
        editCustID_->SetValue(g_.CustID);
    } else {
        // A damaged number leaves the field empty for the user to repair.
        editMailerNum_->SetValue(g_.MailerNum.isEmpty() ? QString() : TrackingDigits(g_.MailerNum));
        (g_.Increment ? rbIncrement_ : rbDecrement_)->setChecked(true);
    }
}

void TF_Mailer::btnOKClick() {
    if (barcodeMode_) {
        if (!editCustID_->CheckOrComplain() || !editSerialNum_->CheckOrComplain()) return;
        g_.CustID = editCustID_->text();
        g_.SerialNum = editSerialNum_->text();
    } else {
        if (!editMailerNum_->CheckOrComplain()) return;
        const QString digits = editMailerNum_->text();
        if (!TrackingCheckDigitRight(digits)) {
            QMessageBox::critical(this, windowTitle(), WrongCheckDigitMessage(digits));
            editMailerNum_->setFocus();
            return;
        }
        // Kept exactly as typed.
        g_.MailerNum = MailerNumFromTracking(digits);
        g_.Increment = rbIncrement_->isChecked();
    }
    g_.ConfirmNumbers = !cbDontShow_->isChecked();
    accept();
}

void TF_Mailer::btnHelpClick() {
    QWidget* panel = barcodeMode_ ? panelBarCode_ : panelMailerNum_;
    panel->show();
    btnHelp_->setEnabled(false);
    layout()->activate();
    CentreOnScreen(this);
}

} // namespace qm
