#include "app/your_address.h"

#include "core/codepage.h"
#include "core/format_zip.h"
#include "core/settings.h"
#include "widgets/dialog_parts.h"
#include "widgets/memo_lines.h"
#include "widgets/zip_edit.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace qm {

TF_YourAddress::TF_YourAddress(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("F_youraddress"));
    setWindowTitle(QStringLiteral("Your Name and Address"));
    setFixedSize(303, 181);

    gbEnter = new QGroupBox(QStringLiteral("Enter your Name and Address"), this);
    gbEnter->setObjectName(QStringLiteral("gbEnter"));
    gbEnter->setGeometry(8, 4, 287, 136);

    memoYourAddress = new QPlainTextEdit(gbEnter);
    memoYourAddress->setObjectName(QStringLiteral("memoYourAddress"));
    memoYourAddress->setGeometry(12, 20, 264, 60);
    memoYourAddress->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memoYourAddress->setTabChangesFocus(true);
    memoYourAddress->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoYourAddress->installEventFilter(this);

    editYourCity = new QLineEdit(gbEnter);
    editYourCity->setObjectName(QStringLiteral("editYourCity"));
    editYourCity->setMaxLength(35);
    editYourCity->setGeometry(12, 90, 145, 22);

    editYourState = new QLineEdit(gbEnter);
    editYourState->setObjectName(QStringLiteral("editYourState"));
    editYourState->setMaxLength(4);
    editYourState->setGeometry(163, 90, 24, 22);

    editYourZip = new QLineEdit(gbEnter);
    editYourZip->setObjectName(QStringLiteral("editYourZip"));
    SetupZipEdit(editYourZip);
    editYourZip->setGeometry(193, 90, 83, 22);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(64, 148, 75, 25);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(164, 148, 75, 25);

    connect(btnOK, &QPushButton::clicked, this, &TF_YourAddress::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TF_YourAddress::btnCancelClick);
    FormCreate();
    connect(memoYourAddress, &QPlainTextEdit::textChanged, this,
            &TF_YourAddress::memoYourAddressChange);

    CentreOnScreen(this);
}

void TF_YourAddress::FormCreate() {
    const GlobalVariables& g = Globals();
    QStringList lines;
    for (const QString* line : {&g.Line1, &g.Line2, &g.Line3, &g.Line4})
        if (!line->isEmpty()) lines.append(*line);
    memoYourAddress->setPlainText(lines.join(u'\n'));
    editYourCity->setText(g.City);
    editYourState->setText(g.State);
    editYourZip->setText(g.Zip);
}

void TF_YourAddress::memoYourAddressChange() {
    if (inLineRule_) return;
    inLineRule_ = true;
    KeepFourLines(memoYourAddress);
    inLineRule_ = false;
}

void TF_YourAddress::memoYourAddressExit() {
    memoYourAddressChange();
}

void TF_YourAddress::btnOKClick() {
    GlobalVariables& g = Globals();
    g.Line1 = DisplayedLineAt(memoYourAddress, 1);
    g.Line2 = DisplayedLineAt(memoYourAddress, 2);
    g.Line3 = DisplayedLineAt(memoYourAddress, 3);
    g.Line4 = DisplayedLineAt(memoYourAddress, 4);
    g.City = editYourCity->text();
    g.State = editYourState->text();
    g.Zip = FormatZip(ZipEditText(editYourZip));
    WarnOfCharactersAnsiCannotHold(g);
    accept();
}

void TF_YourAddress::WarnOfCharactersAnsiCannotHold(const GlobalVariables& g) {
    const QStringList missing = CharactersAnsiCannotHold(
        QStringList{g.Line1, g.Line2, g.Line3, g.Line4, g.City, g.State}.join(QString()));
    if (missing.isEmpty()) return;
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("The settings file can hold only Windows-1252 characters. These "
                       "characters of your name and address are printed now but read as "
                       "\"?\" at the next start: %1\n\nReplace them if you wish.")
            .arg(missing.join(QStringLiteral(" "))));
}

void TF_YourAddress::btnCancelClick() {
    reject();
}

bool TF_YourAddress::eventFilter(QObject* watched, QEvent* event) {
    if (watched == memoYourAddress && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            memoYourAddressExit();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qm
