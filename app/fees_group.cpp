#include "app/fees_group.h"

#include "app/form_parts.h"
#include "app/return_focus.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "entry/entry_fields.h"
#include "entry/money.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace qm {

TFeesGroup::TFeesGroup(QWidget* parent) : QGroupBox(QStringLiteral("Fees"), parent) {
    setObjectName(QStringLiteral("gbFees"));
    // Fee fields show a money text up to 99999.99 with its leading blanks.
    lblPostage_ = AddLabel(this, "lblPostage", QStringLiteral("Postage"), QRect(30, 25, 166, 18));
    editPostage_ = AddEdit(this, "editPostage", 0, QRect(198, 22, 92, 22));
    lblCertFee_ =
        AddLabel(this, "lblCertFee", QStringLiteral("Certified Fee"), QRect(30, 53, 166, 18));
    editCertFee_ = AddEdit(this, "editCertFee", 0, QRect(198, 50, 92, 22));
    lblReturn_ =
        AddLabel(this, "lblReturn", QStringLiteral("Return Receipt"), QRect(30, 81, 166, 18));
    editReturn_ = AddEdit(this, "editReturn", 0, QRect(198, 78, 92, 22));
    cbRestricted_ = new QCheckBox(this);
    cbRestricted_->setObjectName(QStringLiteral("cbRestricted"));
    cbRestricted_->setGeometry(10, 109, 18, 18);
    lblRestricted_ = AddLabel(this, "lblRestricted", QStringLiteral("Restricted Delivery Fee"),
                              QRect(30, 109, 166, 18));
    editRestricted_ = AddEdit(this, "editRestricted", 0, QRect(198, 106, 92, 22));
    lblTotal_ = AddLabel(this, "lblTotal", QStringLiteral("Total"), QRect(30, 143, 166, 18));
    editTotal_ = AddEdit(this, "editTotal", 0, QRect(198, 140, 92, 22));
    editTotal_->setReadOnly(true);
    editTotal_->setFocusPolicy(Qt::ClickFocus);
    btnPrint_ = new QPushButton(QStringLiteral("&Print"), this);
    btnPrint_->setObjectName(QStringLiteral("btnPrint"));
    btnPrint_->setGeometry(68, 180, 161, 56);
    QFont big = btnPrint_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    btnPrint_->setFont(big);

    lblRestricted_->setEnabled(false);
    editRestricted_->setEnabled(false);

    connect(btnPrint_, &QPushButton::clicked, this, &TFeesGroup::PrintClicked);
    connect(cbRestricted_, &QCheckBox::clicked, this, &TFeesGroup::cbRestrictedClick);
    for (QLineEdit* e : {editPostage_, editCertFee_, editRestricted_, editReturn_})
        connect(e, &QLineEdit::textChanged, this, &TFeesGroup::Edited);
    // Leaving a fee formats and checks it; leaving the check box counts as a change.
    for (QWidget* w : std::initializer_list<QWidget*>{editPostage_, editCertFee_, editReturn_,
                                                      editRestricted_, cbRestricted_})
        w->installEventFilter(this);
}

bool TFeesGroup::eventFilter(QObject* watched, QEvent* event) {
    if (LeavesField(event)) {
        if (watched == cbRestricted_)
            emit Edited();
        else if (auto* edit = qobject_cast<QLineEdit*>(watched))
            ExitField(edit);
    }
    return QGroupBox::eventFilter(watched, event);
}

void TFeesGroup::LoadDefaults(const GlobalVariables& g) {
    editPostage_->setText(RecalcFees(g.Postage));
    editCertFee_->setText(RecalcFees(g.CertFee));
    editReturn_->setText(RecalcFees(g.Return));
    RecheckPostage();
}

void TFeesGroup::StoreDefaults(GlobalVariables& g) const {
    g.Postage = editPostage_->text().trimmed();
    g.CertFee = editCertFee_->text().trimmed();
    g.Return = editReturn_->text().trimmed();
    // A blank restricted field (restricted delivery off) keeps the stored default.
    const QString restricted = editRestricted_->text().trimmed();
    if (!restricted.isEmpty()) g.Restricted = restricted;
}

void TFeesGroup::FillFees(EntryFields& f) const {
    f.restricted = cbRestricted_->isChecked();
    f.postage = editPostage_->text();
    f.certFee = editCertFee_->text();
    f.returnFee = editReturn_->text();
    f.restrictedFee = editRestricted_->text();
    f.total = editTotal_->text();
}

void TFeesGroup::RecheckPostage() {
    ExitField(editPostage_);
}

void TFeesGroup::FocusPostage() {
    editPostage_->setFocus();
}

void TFeesGroup::FocusFee(FeeField field) {
    if (QLineEdit* e = FeeEdit(field)) ReturnFocus(e);
}

void TFeesGroup::SetPrintEnabled(bool on) {
    btnPrint_->setEnabled(on);
}

bool TFeesGroup::PrintEnabled() const {
    return btnPrint_->isEnabled();
}

QList<QWidget*> TFeesGroup::MarkedFields() const {
    return {editPostage_, editCertFee_, editRestricted_, editReturn_, editTotal_};
}

void TFeesGroup::SetAmountFont(const QFont& font) {
    for (QLineEdit* e : {editPostage_, editCertFee_, editReturn_, editRestricted_, editTotal_})
        e->setFont(font);
}

QString TFeesGroup::RecalcFees(const QString& text) {
    const RecalcResult r = qm::RecalcFees(text, {editPostage_->text(), editCertFee_->text(),
                                                 editRestricted_->text(), editReturn_->text()});
    editTotal_->setText(r.totalText);
    if (!r.refusal.isEmpty()) QMessageBox::warning(window(), ApplicationTitle(), r.refusal);
    return r.fieldText;
}

void TFeesGroup::ExitField(QLineEdit* edit) {
    const RecalcResult r =
        qm::RecalcFees(edit->text(), {editPostage_->text(), editCertFee_->text(),
                                      editRestricted_->text(), editReturn_->text()});
    editTotal_->setText(r.totalText);
    if (r.refusal.isEmpty()) {
        edit->setText(r.fieldText);
        return;
    }
    // The typed text stays for the user to correct; the total leaves it out meanwhile.
    QMessageBox::warning(window(), ApplicationTitle(), r.refusal);
    ReturnFocus(edit);
}

QLineEdit* TFeesGroup::FeeEdit(FeeField field) const {
    switch (field) {
    case FeeField::Postage: return editPostage_;
    case FeeField::CertFee: return editCertFee_;
    case FeeField::Return: return editReturn_;
    case FeeField::Restricted: return editRestricted_;
    case FeeField::None: break;
    }
    return nullptr;
}

void TFeesGroup::cbRestrictedClick() {
    const bool on = cbRestricted_->isChecked();
    lblRestricted_->setEnabled(on);
    editRestricted_->setEnabled(on);
    if (on)
        editRestricted_->setText(Globals().Restricted);
    else
        editRestricted_->clear();
    ExitField(editRestricted_);
}

} // namespace qm
