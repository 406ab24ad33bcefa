#pragma once
// The Mailer Number dialog: customer ID and serial number in barcode mode, the next
// mailer number and the counting direction in pre-numbered mode.

#include "core/settings.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qm {

class RequiredDigitsEdit;

// The refusal of a 22-digit mailer number whose check digit is wrong.
QString WrongCheckDigitMessage(const QString& tracking22);

class TF_Mailer : public QDialog {
    Q_OBJECT
public:
    // fromPrintRun shows the check box "Do not show this screen again".
    TF_Mailer(GlobalVariables& g, bool fromPrintRun, QWidget* parent = nullptr);

private:
    void FormCreate();
    void btnOKClick();
    void btnHelpClick();

    GlobalVariables& g_;
    bool barcodeMode_;
    QGroupBox* gbPrintBarcode_;
    QGroupBox* gbNoBarCode_;
    RequiredDigitsEdit* editCustID_;
    RequiredDigitsEdit* editSerialNum_;
    RequiredDigitsEdit* editMailerNum_;
    QRadioButton* rbIncrement_;
    QRadioButton* rbDecrement_;
    QCheckBox* cbDontShow_;
    QPushButton* btnHelp_;
    QWidget* panelBarCode_;
    QWidget* panelMailerNum_;
};

// A label that opens its text as a web address when clicked, with the hand cursor.
class LinkLabel : public QWidget {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QWidget* parent = nullptr);
    QString text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QSize sizeHint() const override;

private:
    QString text_;
};

} // namespace qm
