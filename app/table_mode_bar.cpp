#include "app/table_mode_bar.h"

#include "addresses/address_book_texts.h"
#include "app/address_book.h"
#include "app/form_parts.h"
#include "app/return_focus.h"
#include "entry/entry_fields.h"
#include "widgets/memo_lines.h"
#include "widgets/zip_edit.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace qm {

TTableModeBar::TTableModeBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("panelTableMode"));
    // The same sizes as the free-entry controls, below the navigator.
    tzmemoAddress_ = AddMemo(this, "tzmemoAddress", QRect(8, 89, 265, 68));
    tzeditCity_ = AddEdit(this, "tzeditCity", 35, QRect(8, 173, 144, 22));
    tzeditState_ = AddEdit(this, "tzeditState", 4, QRect(156, 173, 40, 22));
    tzeditZip_ = AddEdit(this, "tzeditZip", 0, QRect(200, 173, 90, 22));
    SetupZipEdit(tzeditZip_);
    tznavigator1_ = new TTzNavigator(this);
    tznavigator1_->setObjectName(QStringLiteral("tznavigator1"));
    tznavigator1_->setGeometry(8, 44, 189, 18);
    labelOrder_ = new QLabel(this);
    labelOrder_->setObjectName(QStringLiteral("labelOrder"));
    labelOrder_->setGeometry(8, 62, 189, 16);
    labelOrder_->setAlignment(Qt::AlignCenter);
    labelOrder_->setAutoFillBackground(true);
    QPalette aqua = labelOrder_->palette();
    aqua.setColor(QPalette::Window, QColor(0, 255, 255));
    labelOrder_->setPalette(aqua);
    labelDeleted_ = new QLabel(QStringLiteral("Deleted"), this);
    labelDeleted_->setObjectName(QStringLiteral("labelDeleted"));
    labelDeleted_->setGeometry(137, 62, 60, 16);
    labelDeleted_->setAlignment(Qt::AlignCenter);
    labelDeleted_->setAutoFillBackground(true);
    QPalette red = labelDeleted_->palette();
    red.setColor(QPalette::Window, QColor(192, 0, 0));
    red.setColor(QPalette::WindowText, Qt::white);
    labelDeleted_->setPalette(red);
    labelDeleted_->hide();
    labelDatabaseName_ = new QLabel(this);
    labelDatabaseName_->setObjectName(QStringLiteral("labelDatabaseName"));
    labelDatabaseName_->move(8, 20);
    QPalette blue = labelDatabaseName_->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    labelDatabaseName_->setPalette(blue);
    btnExit_ = new QPushButton(QStringLiteral("&Exit"), this);
    btnExit_->setObjectName(QStringLiteral("btnExit"));
    btnExit_->setGeometry(206, 60, 59, 25);
    for (QWidget* w :
         std::initializer_list<QWidget*>{tzmemoAddress_, tzeditCity_, tzeditState_, tzeditZip_,
                                         tznavigator1_, labelOrder_, labelDatabaseName_, btnExit_})
        w->hide();
    hide();

    addressBook_ = new TAddressBook(tzmemoAddress_, tzeditCity_, tzeditState_, tzeditZip_, this);
    connect(tznavigator1_, &TTzNavigator::Click, this, &TTableModeBar::NavigatorClicked);
    connect(btnExit_, &QPushButton::clicked, this, &TTableModeBar::ExitClicked);
    connect(tzmemoAddress_, &QPlainTextEdit::textChanged, this,
            &TTableModeBar::tzmemoAddressChange);
    for (QLineEdit* e : {tzeditCity_, tzeditState_, tzeditZip_})
        connect(e, &QLineEdit::textChanged, this, &TTableModeBar::Edited);
    tzmemoAddress_->installEventFilter(this);
}

bool TTableModeBar::eventFilter(QObject* watched, QEvent* event) {
    // Lines 1 to 4 written back count as a change of the memo; the record is not edited by it.
    if (watched == tzmemoAddress_ && LeavesField(event) && !tzmemoAddress_->document()->isEmpty())
        tzmemoAddressChange();
    return QWidget::eventFilter(watched, event);
}

void TTableModeBar::tzmemoAddressChange() {
    emit Edited();
    if (inLineRule_) return;
    inLineRule_ = true;
    KeepFourLines(tzmemoAddress_);
    inLineRule_ = false;
}

bool TTableModeBar::IsShown() const {
    return !tzmemoAddress_->isHidden();
}

void TTableModeBar::ShowTableMode(bool on) {
    if (!on) labelDeleted_->hide();
    for (QWidget* w :
         std::initializer_list<QWidget*>{btnExit_, tznavigator1_, labelDatabaseName_, labelOrder_,
                                         tzmemoAddress_, tzeditCity_, tzeditState_, tzeditZip_})
        w->setVisible(on);
    setVisible(on);
}

void TTableModeBar::ShowTableName(const QString& fileName) {
    const QFontMetrics metrics(labelDatabaseName_->font());
    labelDatabaseName_->setText(addresses::ShortenedDatabaseName(
        QFileInfo(fileName).absoluteFilePath(),
        [&](const QString& text) { return metrics.horizontalAdvance(text); }));
    labelDatabaseName_->adjustSize();
}

void TTableModeBar::ShowOrder() {
    labelOrder_->setText(addressBook_->OrderText());
    labelOrder_->resize(tznavigator1_->width(), labelOrder_->height());
    ShowDeletedMark();
}

void TTableModeBar::ShowDeletedMark() {
    const bool deleted =
        addressBook_->IsOpen() && !addressBook_->Editing() && addressBook_->Table().Deleted();
    // The counter makes room for the mark beside it, under the navigator.
    if (deleted)
        labelOrder_->resize(tznavigator1_->width() - labelDeleted_->width(), labelOrder_->height());
    labelDeleted_->move(labelOrder_->x() + labelOrder_->width(), labelOrder_->y());
    labelDeleted_->setVisible(deleted && IsShown());
    // A deleted record's fields are greyed; recalling the record brings them back.
    for (QWidget* w :
         std::initializer_list<QWidget*>{tzmemoAddress_, tzeditCity_, tzeditState_, tzeditZip_})
        w->setEnabled(!deleted);
}

void TTableModeBar::FocusMemo() {
    tzmemoAddress_->setFocus();
}

void TTableModeBar::FocusZip() {
    ReturnFocus(tzeditZip_);
}

void TTableModeBar::FocusAddressLine(int line, int column) {
    ReturnFocusToLine(tzmemoAddress_, line, column);
}

void TTableModeBar::ClearMemo() {
    tzmemoAddress_->clear();
}

void TTableModeBar::ShowPasted(const QString& text) {
    ShowPastedAddress(text, tzmemoAddress_, tzeditCity_, tzeditState_, tzeditZip_);
}

void TTableModeBar::FillAddressee(EntryFields& f) const {
    for (int i = 0; i < 4; ++i)
        f.addresseeLines[size_t(i)] = DisplayedLineAt(tzmemoAddress_, i + 1);
    f.city = tzeditCity_->text();
    f.state = tzeditState_->text();
    f.zipText = ZipEditText(tzeditZip_);
}

QList<QWidget*> TTableModeBar::MarkedFields() const {
    return {tzmemoAddress_, tzeditCity_, tzeditState_, tzeditZip_};
}

} // namespace qm
