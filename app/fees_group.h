#pragma once
// The fees group of the main window: postage, certified fee, return receipt, restricted
// delivery (check box and fee), the total, and the Print button. Each fee is formatted and
// checked when the user leaves it, and the total follows the fees as they stand.
#include "entry/address_checks.h"

#include <QGroupBox>
#include <QList>

class QCheckBox;
class QFont;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

struct EntryFields;
struct GlobalVariables;

class TFeesGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TFeesGroup(QWidget* parent = nullptr);

    // Shows the stored default fees, formatted, with their total.
    void LoadDefaults(const GlobalVariables& g);
    // Stores the fees as the defaults ("Save Values").
    void StoreDefaults(GlobalVariables& g) const;
    void FillFees(EntryFields& f) const;
    // Formats and checks the postage again, as leaving it does.
    void RecheckPostage();
    void FocusPostage();
    // Sends the user back to a fee a check refused.
    void FocusFee(FeeField field);
    void SetPrintEnabled(bool on);
    bool PrintEnabled() const;
    // The fee fields and the total, which show whether the piece has been printed.
    QList<QWidget*> MarkedFields() const;
    // The fee fields and the total show their amounts in this font.
    void SetAmountFont(const QFont& font);

signals:
    // A fee or the restricted delivery check box changed.
    void Edited();
    void PrintClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The fee text formatted, with the total recomputed from the fields as they stand.
    QString RecalcFees(const QString& text);
    void ExitField(QLineEdit* edit);
    QLineEdit* FeeEdit(FeeField field) const;
    void cbRestrictedClick();

    QLabel* lblPostage_ = nullptr;
    QLineEdit* editPostage_ = nullptr;
    QLabel* lblCertFee_ = nullptr;
    QLineEdit* editCertFee_ = nullptr;
    QLabel* lblReturn_ = nullptr;
    QLineEdit* editReturn_ = nullptr;
    QCheckBox* cbRestricted_ = nullptr;
    QLabel* lblRestricted_ = nullptr;
    QLineEdit* editRestricted_ = nullptr;
    QLabel* lblTotal_ = nullptr;
    QLineEdit* editTotal_ = nullptr;
    QPushButton* btnPrint_ = nullptr;
};

} // namespace qm
