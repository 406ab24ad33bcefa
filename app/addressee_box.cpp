#include "app/addressee_box.h"

#include "app/form_parts.h"
#include "app/return_focus.h"
#include "app/table_mode_bar.h"
#include "core/format_zip.h"
#include "entry/entry_fields.h"
#include "widgets/font_scale.h"
#include "widgets/memo_lines.h"
#include "widgets/zip_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace qm {
namespace {

constexpr int kTableModeBoxHeight = 204;

} // namespace

TAddresseeBox::TAddresseeBox(QWidget* parent) : QGroupBox(QStringLiteral("Addressed To"), parent) {
    setObjectName(QStringLiteral("gbAddress"));
    // The memo is 265 wide and high enough for all four lines.
    memoAddress_ = AddMemo(this, "memoAddress", QRect(10, 22, 265, 68));
    lblCity_ = AddLabel(this, "lblCity", QStringLiteral("City"), QRect(10, 90, 144, 16));
    lblState_ = AddLabel(this, "lblState", QStringLiteral("State"), QRect(158, 90, 40, 16));
    lblZip_ = AddLabel(this, "lblZip", QStringLiteral("ZIP"), QRect(202, 90, 90, 16));
    editCity_ = AddEdit(this, "editCity", 35, QRect(10, 106, 144, 22));
    editState_ = AddEdit(this, "editState", 4, QRect(158, 106, 40, 22));
    editZip_ = AddEdit(this, "editZip", 0, QRect(202, 106, 90, 22));
    SetupZipEdit(editZip_);
    // The bar covers the box in table mode; Paste, created after it, stays on top.
    tableBar_ = new TTableModeBar(this);
    tableBar_->setGeometry(0, 0, 320, kTableModeBoxHeight);
    btnPaste_ = new QPushButton(QStringLiteral("P&aste"), this);
    btnPaste_->setObjectName(QStringLiteral("btnPaste"));
    btnPaste_->setGeometry(10, 138, 75, 25);
    btnClear_ = new QPushButton(QStringLiteral("&Clear"), this);
    btnClear_->setObjectName(QStringLiteral("btnClear"));
    btnClear_->setGeometry(95, 138, 75, 25);

    connect(btnPaste_, &QPushButton::clicked, this, &TAddresseeBox::btnPasteClick);
    connect(btnClear_, &QPushButton::clicked, this, &TAddresseeBox::btnClearClick);
    for (QLineEdit* e : {editCity_, editState_, editZip_})
        connect(e, &QLineEdit::textChanged, this, &TAddresseeBox::Edited);
    connect(memoAddress_, &QPlainTextEdit::textChanged, this, &TAddresseeBox::memoAddressChange);
    connect(tableBar_, &TTableModeBar::Edited, this, &TAddresseeBox::Edited);
    memoAddress_->installEventFilter(this);
}

bool TAddresseeBox::eventFilter(QObject* watched, QEvent* event) {
    // Writing lines 1 to 4 back into their places counts as a change of each line.
    if (watched == memoAddress_ && LeavesField(event) && !memoAddress_->document()->isEmpty())
        memoAddressChange();
    return QGroupBox::eventFilter(watched, event);
}

void TAddresseeBox::memoAddressChange() {
    emit Edited();
    if (inLineRule_) return;
    inLineRule_ = true;
    if (KeepFourLines(memoAddress_)) QApplication::beep(); // a fifth line is refused
    inLineRule_ = false;
}

bool TAddresseeBox::InTableMode() const {
    return tableBar_->IsShown();
}

void TAddresseeBox::ShowTableMode(bool on, double scale) {
    // The captions stand above the city, state and ZIP fields of either mode.
    const QRect captions[3] = {{10, 90, 144, 16}, {158, 90, 40, 16}, {202, 90, 90, 16}};
    const QRect tableCaptions[3] = {{8, 157, 144, 16}, {156, 157, 40, 16}, {200, 157, 90, 16}};
    QLabel* captionLabels[3] = {lblCity_, lblState_, lblZip_};
    for (int i = 0; i < 3; ++i)
        captionLabels[i]->setGeometry(Scaled(on ? tableCaptions[i] : captions[i], scale));
    if (on) {
        pasteFreeGeometry_ = btnPaste_->geometry();
        btnPaste_->setGeometry(Scaled(QRect(206, 36, 59, 25), scale));
        if (height() < Scaled(kTableModeBoxHeight, scale))
            resize(width(), Scaled(kTableModeBoxHeight, scale));
    } else {
        btnPaste_->setGeometry(pasteFreeGeometry_);
    }
    tableBar_->ShowTableMode(on);
    for (QWidget* w :
         std::initializer_list<QWidget*>{btnClear_, memoAddress_, editCity_, editState_, editZip_})
        w->setVisible(!on);
}

void TAddresseeBox::FillAddressee(EntryFields& f) const {
    // The address-table controls stand in for the free-entry ones while a table is open.
    if (memoAddress_->isHidden()) {
        tableBar_->FillAddressee(f);
        return;
    }
    for (int i = 0; i < 4; ++i) f.addresseeLines[size_t(i)] = DisplayedLineAt(memoAddress_, i + 1);
    f.city = editCity_->text();
    f.state = editState_->text();
    f.zipText = ZipEditText(editZip_);
}

void TAddresseeBox::FocusZip() {
    if (InTableMode())
        tableBar_->FocusZip();
    else
        ReturnFocus(editZip_);
}

void TAddresseeBox::FocusAddressLine(int line, int column) {
    if (InTableMode())
        tableBar_->FocusAddressLine(line, column);
    else
        ReturnFocusToLine(memoAddress_, line, column);
}

bool TAddresseeBox::HoldsTypedAddress() const {
    for (const QLineEdit* e : {editCity_, editState_})
        if (!e->text().trimmed().isEmpty()) return true;
    return !memoAddress_->toPlainText().trimmed().isEmpty() ||
           !FormatZip(ZipEditText(editZip_)).isEmpty();
}

QList<QWidget*> TAddresseeBox::MarkedFields() const {
    return QList<QWidget*>{memoAddress_, editCity_, editState_, editZip_} +
           tableBar_->MarkedFields();
}

void TAddresseeBox::btnClearClick() {
    // The memo is empty, city and state are empty, every ZIP place is blank.
    // Comment, reference and fees keep their texts.
    memoAddress_->clear();
    editCity_->clear();
    editState_->clear();
    editZip_->clear();
}

void TAddresseeBox::btnPasteClick() {
    btnClearClick();
    const bool table = InTableMode();
    if (table) tableBar_->ClearMemo();
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) return;
    if (table)
        tableBar_->ShowPasted(text);
    else
        ShowPastedAddress(text, memoAddress_, editCity_, editState_, editZip_);
}

} // namespace qm
