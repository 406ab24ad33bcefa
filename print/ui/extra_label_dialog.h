#pragma once
// The Extra Label dialog: whether the extra label carries an address, and which.

#include <QDialog>

class QButtonGroup;
class QComboBox;

namespace qm {

inline constexpr const char* kExtraLabelAddressedTo = "Addressed To";
inline constexpr const char* kExtraLabelYourAddress = "Your Name and Address";

class TF_ExtraLabel : public QDialog {
    Q_OBJECT
public:
    TF_ExtraLabel(const QString& printExtraLabel, const QString& extraLabel,
                  QWidget* parent = nullptr);
    // The settings after OK (unchanged after Cancel).
    QString PrintExtraLabel() const { return printExtraLabel_; }
    QString ExtraLabel() const { return extraLabel_; }

private:
    void rgExtraLabelClick();
    void btnOKClick();

    QButtonGroup* rgExtraLabel_;
    QComboBox* cbExtraLabel_;
    QString printExtraLabel_;
    QString extraLabel_;
};

} // namespace qm
