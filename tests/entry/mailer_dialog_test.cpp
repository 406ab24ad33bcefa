// Number input of the Mailer Number and Print Bar Code dialogs is whole or refused.
#include "core/settings.h"
#include "entry/ui/mailer_dialog.h"
#include "modal_script.h"
#include "print/ui/print_barcode_dialog.h"
#include "widgets/masked_edit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace qm;
using namespace qm::test;

namespace {

QLineEdit* Edit(QWidget* dialog, const char* name) {
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

// Types text over the whole field as a user does (the mask keeps the digits only).
void Retype(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
}

// Presses OK and returns the texts of the message boxes it opened (each answered OK).
QStringList PressOk(QDialog& d) {
    ModalScript script;
    for (int i = 0; i < 3; ++i) script.Then(AnswerBox(QMessageBox::Ok));
    d.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    QTest::qWait(30); // a complaint on leaving the field comes one event later
    return script.messages;
}

const QString kInvalid = QString::fromLatin1(kInvalidMaskedInput);

} // namespace

TEST(MailerNumberDialog, IncompleteBarcodeNumbersAreRefused) {
    struct Case {
        const char* field;
        const char* typed;
    };
    for (const Case c : {Case{"editCustID", "12345"}, Case{"editCustID", ""},
                         Case{"editSerialNum", "123"}, Case{"editSerialNum", ""}}) {
        GlobalVariables g;
        g.CustID = QStringLiteral("123456789");
        g.SerialNum = QStringLiteral("0000042");
        TF_Mailer d(g, true);
        d.show();
        QLineEdit* e = Edit(&d, c.field);
        Retype(e, QString::fromLatin1(c.typed));
        const QStringList messages = PressOk(d);
        ASSERT_FALSE(messages.isEmpty()) << c.field << " " << c.typed;
        EXPECT_EQ(messages.first(), kInvalid);
        EXPECT_NE(d.result(), QDialog::Accepted) << c.field << " " << c.typed;
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(g.CustID, QStringLiteral("123456789"));
        EXPECT_EQ(g.SerialNum, QStringLiteral("0000042")) << "nothing half taken";
        EXPECT_EQ(d.focusWidget(), e) << c.field << " keeps the focus";
    }
    // Whole numbers are taken.
    GlobalVariables g;
    TF_Mailer d(g, true);
    d.show();
    Retype(Edit(&d, "editCustID"), QStringLiteral("987654321"));
    Retype(Edit(&d, "editSerialNum"), QStringLiteral("0000100"));
    EXPECT_TRUE(PressOk(d).isEmpty());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(g.CustID, QStringLiteral("987654321"));
    EXPECT_EQ(g.SerialNum, QStringLiteral("0000100"));
}

TEST(MailerNumberDialog, DamagedSerialShowsAnEmptyFieldThatMustBeFilled) {
    GlobalVariables g;
    g.CustID = QStringLiteral("123456789");
    g.SerialNum = QString(); // emptied by the run: the stored one was not a number
    TF_Mailer d(g, true);
    d.show();
    EXPECT_EQ(Edit(&d, "editSerialNum")->text(), QString());
    EXPECT_EQ(PressOk(d).value(0), kInvalid) << "an untouched empty field is not taken";
    EXPECT_NE(d.result(), QDialog::Accepted);
    Retype(Edit(&d, "editSerialNum"), QStringLiteral("0000077"));
    EXPECT_TRUE(PressOk(d).isEmpty());
    EXPECT_EQ(g.SerialNum, QStringLiteral("0000077"));
}

// A pre-numbered tracking number is kept exactly as typed when its check digit is
// right, and refused otherwise.
TEST(MailerNumberDialog, PreNumberedNumberIsKeptAsTypedOrRefused) {
    struct Case {
        const char* typed;
        const char* refusal; // null: taken
    };
    const QString wrong = QStringLiteral("9407112345678900000508");
    for (const Case c :
         {Case{"940711234567890000050", "invalid"}, Case{"9407112345678900000508", "check"},
          Case{"9407112345678900000509", nullptr}, Case{"9214712345678900000503", nullptr}}) {
        GlobalVariables g;
        g.PrintBarCode = false;
        g.MailerNum = QStringLiteral("420000009214712345678900000015");
        TF_Mailer d(g, false);
        d.show();
        Retype(Edit(&d, "editMailerNum"), QString::fromLatin1(c.typed));
        const QStringList messages = PressOk(d);
        if (c.refusal) {
            ASSERT_EQ(messages.size(), 1) << c.typed;
            EXPECT_EQ(messages[0], QLatin1String(c.refusal) == QLatin1String("invalid")
                                       ? kInvalid
                                       : WrongCheckDigitMessage(wrong));
            EXPECT_NE(d.result(), QDialog::Accepted);
            EXPECT_EQ(g.MailerNum, QStringLiteral("420000009214712345678900000015"));
        } else {
            EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
            EXPECT_EQ(d.result(), QDialog::Accepted);
            EXPECT_EQ(g.MailerNum, QStringLiteral("42000000") + QLatin1String(c.typed));
        }
    }
}

TEST(PrintBarCodeDialog, IncompleteNumbersAreRefused) {
    for (const char* field : {"editCustID", "editSerialNum"}) {
        TF_PrintBarCode d(QStringLiteral("123456789"), QStringLiteral("0000042"));
        d.show();
        Retype(Edit(&d, field), QStringLiteral("12"));
        EXPECT_EQ(PressOk(d).value(0), kInvalid) << field;
        EXPECT_NE(d.result(), QDialog::Accepted) << field;
        EXPECT_EQ(d.focusWidget(), Edit(&d, field));
    }
}
