#include "app/your_address.h"

#include "core/codepage.h"
#include "core/format_zip.h"
#include "core/settings.h"
#include "widgets/dialog_parts.h"
#include "widgets/font_scale.h"
#include "widgets/memo_lines.h"
#include "widgets/zip_edit.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

TF_YourAddress::TF_YourAddress(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("F_youraddress"));
    setWindowTitle(QStringLiteral("Your Name and Address"));
    const double scale = FontScale(font());

    gbEnter = new QGroupBox(QStringLiteral("Enter your Name and Address"), this);
    gbEnter->setObjectName(QStringLiteral("gbEnter"));

    // 264 wide, as the line rule counts the lines wrapped at that width; four lines high.
    memoYourAddress = new QPlainTextEdit(gbEnter);
    memoYourAddress->setObjectName(QStringLiteral("memoYourAddress"));
    memoYourAddress->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memoYourAddress->setTabChangesFocus(true);
    memoYourAddress->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoYourAddress->setFixedSize(Scaled(264, scale), MemoHeightForLines(memoYourAddress, 4));
    memoYourAddress->installEventFilter(this);

    editYourCity = new QLineEdit(gbEnter);
    editYourCity->setObjectName(QStringLiteral("editYourCity"));
    editYourCity->setMaxLength(35);

    // Wide enough for four letters ("ILLX") and a whole ZIP+4.
    editYourState = new QLineEdit(gbEnter);
    editYourState->setObjectName(QStringLiteral("editYourState"));
    editYourState->setMaxLength(4);
    editYourState->setFixedWidth(Scaled(40, scale));

    editYourZip = new QLineEdit(gbEnter);
    editYourZip->setObjectName(QStringLiteral("editYourZip"));
    SetupZipEdit(editYourZip);
    editYourZip->setFixedWidth(Scaled(90, scale));

    const auto caption = [this](const QString& text, const char* name, QWidget* buddy) {
        auto* label = new QLabel(text, gbEnter);
        label->setObjectName(QString::fromLatin1(name));
        label->setBuddy(buddy);
        return label;
    };
    auto* grid = new QGridLayout(gbEnter);
    grid->addWidget(memoYourAddress, 0, 0, 1, 3);
    grid->addWidget(caption(QStringLiteral("C&ity"), "lblYourCity", editYourCity), 1, 0);
    grid->addWidget(caption(QStringLiteral("S&tate"), "lblYourState", editYourState), 1, 1);
    grid->addWidget(caption(QStringLiteral("&ZIP"), "lblYourZip", editYourZip), 1, 2);
    grid->addWidget(editYourCity, 2, 0);
    grid->addWidget(editYourState, 2, 1);
    grid->addWidget(editYourZip, 2, 2);
    grid->setVerticalSpacing(2);

    btnOK = NamedButton(QStringLiteral("OK"), "btnOK", this);
    btnOK->setDefault(true);
    btnCancel = NamedButton(QStringLiteral("Cancel"), "btnCancel", this);

    // The dialog is as large as its content.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gbEnter);
    layout->addLayout(ButtonRow({btnOK, btnCancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOK, &QPushButton::clicked, this, &TF_YourAddress::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TF_YourAddress::btnCancelClick);
    FormCreate();
    connect(memoYourAddress, &QPlainTextEdit::textChanged, this,
            &TF_YourAddress::memoYourAddressChange);

    adjustSize();
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
