#pragma once
// The Print Bar Code dialog: first serial, customer ID and number of labels.

#include <QDialog>
#include <QString>

class QPushButton;

namespace qm {

class RequiredDigitsEdit;
class LimitedSpinBox;

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
