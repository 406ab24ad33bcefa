#pragma once
// Pre-printing the barcodes and tracking numbers onto blank mailer forms.

#include <QDialog>
#include <QFont>
#include <QString>

class QSpinBox;
class QPushButton;
class QWidget;

namespace qm {

class PageTarget;
class RequiredDigitsEdit;
class LimitedSpinBox;

// A seven-digit serial stepped by delta: after 9999999 comes 0000001, below 0
// comes 9999999. Throws ConversionError when the serial is not an integer.
QString StepSerial(const QString& serial, int delta);

// Prints `count` labels, one document each, serials counting up from firstSerial
// with the ZIP "00000". Nothing happens for a count of 0 or less. An error ends the
// run and propagates; the labels printed before it stay printed. Returns the number
// of labels printed.
int PrePrintBarcodes(int count, const QString& custId, const QString& firstSerial,
                     const QString& leftRight, const QString& topBottom, const QFont& fontSource,
                     PageTarget& target);

// The Print Bar Code dialog: first serial, customer ID and number of labels.
class TF_PrintBarCode : public QDialog {
    Q_OBJECT
public:
    TF_PrintBarCode(const QString& custId, const QString& serialNum, QWidget* parent = nullptr);
    // After OK.
    int LabelCount() const { return labelCount_; }
    QString SerialNum() const { return serialNum_; }
    QString CustID() const { return custId_; }

private:
    void btnOKClick();
    void btnHelpClick();

    RequiredDigitsEdit* editCustID_;
    RequiredDigitsEdit* editSerialNum_;
    LimitedSpinBox* editNumLabels_;
    QWidget* panelBarCode_;
    QPushButton* btnHelp_;
    int labelCount_ = 0;
    QString serialNum_;
    QString custId_;
};

} // namespace qm
