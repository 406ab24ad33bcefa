// The dialog flows of the print commands: the Mailer Number dialog from the menu and
// from a print run, the single print, the first-show check and the pre-print run.
#include "app/core/program_folder.h"
#include "app/core/settings.h"
#include "entry/mailer_dialog.h"
#include "entry/mailer_numbers.h"
#include "entry/print_run.h"
#include "entry_form_fixture.h"
#include "modal_script.h"
#include "print/barcode_data.h"
#include "print/page.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPalette>
#include <QProcess>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace qm;
using namespace qm::test;

namespace {

// A small page that counts the documents printed onto it.
class CountingTarget : public ImagePageTarget {
public:
    CountingTarget() : ImagePageTarget(100, 100) {}
};

QLineEdit* Edit(QWidget* dialog, const char* name) {
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

ModalScript::Step TypeAndPress(const char* field, QString text, const char* button) {
    return [=](QWidget* w) {
        QLineEdit* e = Edit(w, field);
        e->selectAll();
        QTest::keyClicks(e, text);
        PressButton(button)(w);
    };
}

// Notes what a field shows, then answers the dialog.
ModalScript::Step NoteThen(const char* field, QString* seen, ModalScript::Step then) {
    return [=](QWidget* w) {
        *seen = Edit(w, field)->text();
        then(w);
    };
}

// A printer that cannot begin a document.
class FailingTarget : public ImagePageTarget {
public:
    FailingTarget() : ImagePageTarget(100, 100) {}
    QPainter& BeginDoc() override { throw PrintError("There is no printer available."); }
};

// Every test writes its settings into a folder of its own.
class PrintFlows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const QString child = qEnvironmentVariable("QM_CHILD_FOLDER");
        SetProgramFolderOverride(child.isEmpty() ? dir_.path() : child);
        g_ = GlobalVariables{};
        g_.CustID = QStringLiteral("123456789");
        g_.SerialNum = QStringLiteral("0000041");
    }
    void TearDown() override { SetProgramFolderOverride(QString()); }
    QString SavedValue(const char* key) {
        QFile f(SettingsFilePath());
        if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<no settings file>");
        const QString text = QString::fromLatin1(f.readAll());
        for (const QString& line : text.split(QStringLiteral("\r\n")))
            if (line.startsWith(QLatin1String(key) + QLatin1Char('=')))
                return line.mid(int(qstrlen(key)) + 1);
        return QStringLiteral("<no key>");
    }

    QTemporaryDir dir_;
    GlobalVariables g_;
    CountingTarget target_;
};

} // namespace

TEST_F(PrintFlows, MenuDialogShowsNextSerialAndOkKeepsLastUsed) {
    QString seen;
    {
        ModalScript script;
        script.Then(NoteThen("editSerialNum", &seen, PressButton("btnOK")));
        RunMailerNumberCommand(nullptr, g_);
        EXPECT_TRUE(script.Done());
    }
    EXPECT_EQ(seen, QStringLiteral("0000042"));
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("<no settings file>"))
        << "nothing changed, nothing written";
    {
        ModalScript script;
        script.Then(TypeAndPress("editSerialNum", QStringLiteral("0000100"), "btnOK"));
        RunMailerNumberCommand(nullptr, g_);
    }
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000099"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000099")) << "written at once";
    {
        ModalScript script;
        script.Then(TypeAndPress("editSerialNum", QStringLiteral("0000500"), "btnCancel"));
        RunMailerNumberCommand(nullptr, g_);
    }
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000099")) << "Cancel restores";
}

TEST_F(PrintFlows, MenuDialogCancelDropsHyphensOfCustomerId) {
    g_.CustID = QStringLiteral("00-000-0000");
    QString seen;
    ModalScript script;
    script.Then(NoteThen("editCustID", &seen, PressButton("btnCancel")));
    RunMailerNumberCommand(nullptr, g_);
    EXPECT_EQ(seen, QStringLiteral("000000000"));
    EXPECT_EQ(g_.CustID, QStringLiteral("000000000"));
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
}

TEST_F(PrintFlows, PreNumberedDialogShowsTrackingNumberAndStoresDataText) {
    g_.PrintBarCode = false;
    g_.MailerNum = QStringLiteral("420000009214712345678900000015");
    QString seen;
    bool decrementShown = true;
    ModalScript script;
    script.Then([&](QWidget* w) {
        seen = Edit(w, "editMailerNum")->text();
        EXPECT_FALSE(w->findChild<QWidget*>(QStringLiteral("gbPrintBarcode"))->isVisible());
        EXPECT_FALSE(w->findChild<QCheckBox*>(QStringLiteral("cbDontShow"))->isVisible());
        decrementShown =
            w->findChild<QRadioButton*>(QStringLiteral("rgCountTypeDecrement"))->isChecked();
        TypeAndPress("editMailerNum", QStringLiteral("9214712345678900000503"), "btnOK")(w);
    });
    RunMailerNumberCommand(nullptr, g_);
    EXPECT_EQ(seen, TrackingDigits(BuildBarcodeData(QStringLiteral("123456789"),
                                                    QStringLiteral("0000002"),
                                                    QStringLiteral("00000"), QStringLiteral("T"))));
    EXPECT_FALSE(decrementShown);
    // OK keeps the last used number: one step back from the confirmed one.
    EXPECT_EQ(g_.MailerNum, BuildBarcodeData(QStringLiteral("123456789"), QStringLiteral("0000049"),
                                             QStringLiteral("00000"), QStringLiteral("T")));
    EXPECT_EQ(SavedValue("MailerNum"), g_.MailerNum);
}

TEST_F(PrintFlows, HelpGrowsTheDialogOnce) {
    TF_Mailer d(g_, true);
    d.show();
    const int h = d.height();
    d.findChild<QPushButton*>(QStringLiteral("btnHelp"))->click();
    EXPECT_TRUE(d.findChild<QWidget*>(QStringLiteral("panelBarCode"))->isVisible());
    EXPECT_FALSE(d.findChild<QPushButton*>(QStringLiteral("btnHelp"))->isEnabled());
    EXPECT_GE(d.height(), h + 152);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Mailer Number"));
}

TEST_F(PrintFlows, PrintRunCancelPrintsNothingAndRestores) {
    auto form = MakeEntryForm();
    bool checkBoxShown = false;
    ModalScript script;
    script.Then([&](QWidget* w) {
        checkBoxShown = w->findChild<QCheckBox*>(QStringLiteral("cbDontShow"))->isVisible();
        PressButton("btnCancel")(w);
    });
    EXPECT_FALSE(RunSinglePrint(form.get(), g_, target_));
    EXPECT_TRUE(checkBoxShown);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
    EXPECT_EQ(target_.DocumentsEnded(), 0);
}

TEST_F(PrintFlows, DoNotShowAgainSkipsTheDialogOnLaterPrints) {
    auto form = MakeEntryForm();
    {
        ModalScript script;
        script.Then([](QWidget* w) {
            w->findChild<QCheckBox*>(QStringLiteral("cbDontShow"))->setChecked(true);
            PressButton("btnOK")(w);
        });
        EXPECT_TRUE(RunSinglePrint(form.get(), g_, target_));
        EXPECT_TRUE(script.Done());
    }
    EXPECT_FALSE(g_.ConfirmNumbers);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
    auto* btnPrint = form->findChild<QPushButton*>(QStringLiteral("btnPrint"));
    EXPECT_FALSE(btnPrint->isEnabled()) << "the form is dimmed after a print";
    // File, Print on the dimmed form prints again, with the next number, no dialog.
    {
        ModalScript script; // no steps: any window would be unexpected
        EXPECT_TRUE(RunSinglePrint(form.get(), g_, target_));
        EXPECT_TRUE(script.messages.isEmpty())
            << script.messages.join(QLatin1Char('|')).toStdString();
    }
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000043"));
    EXPECT_EQ(target_.DocumentsEnded(), 2);
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000043"));
}

TEST_F(PrintFlows, UnsetCustomerIdsAreRefusedInBarcodeMode) {
    for (const char* cust : {"00-000-0000", "000000000"}) {
        g_.CustID = QString::fromLatin1(cust);
        g_.ConfirmNumbers = false;
        auto form = MakeEntryForm();
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        EXPECT_FALSE(RunSinglePrint(form.get(), g_, target_)) << cust;
        ASSERT_EQ(script.messages.size(), 1) << cust;
        EXPECT_EQ(script.messages[0], SinglePrintUnsetCustomerMessage());
        EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041")) << cust;
        EXPECT_EQ(g_.CustID, QString::fromLatin1(cust));
        EXPECT_EQ(target_.DocumentsEnded(), 0);
    }
    // Pre-numbered mailers carry their own number: the customer ID does not matter.
    g_.PrintBarCode = false;
    g_.ConfirmNumbers = false;
    auto form = MakeEntryForm();
    EXPECT_TRUE(RunSinglePrint(form.get(), g_, target_));
}

TEST_F(PrintFlows, PrintErrorIsShownFormStaysUndimmedNumberStaysUsed) {
    g_.ConfirmNumbers = false;
    g_.LeftRight = 0;
    auto form = MakeEntryForm();
    FailingTarget broken;
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Ok));
    EXPECT_FALSE(RunSinglePrint(form.get(), g_, broken));
    ASSERT_EQ(script.messages.size(), 1);
    EXPECT_EQ(script.messages[0], QStringLiteral("There is no printer available."));
    EXPECT_TRUE(form->findChild<QPushButton*>(QStringLiteral("btnPrint"))->isEnabled());
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000042"));
}

TEST_F(PrintFlows, FirstShowAsksForAnUnsetCustomerId) {
    for (const char* cust : {"00-000-0000", "000000000"}) {
        g_.CustID = QString::fromLatin1(cust);
        ModalScript script;
        QString shownSerial;
        script.Then(AnswerBox(QMessageBox::Ok)).Then([&](QWidget* w) {
            shownSerial = Edit(w, "editSerialNum")->text();
            TypeAndPress("editCustID", QStringLiteral("987654321"), "btnOK")(w);
        });
        RunFirstShowCustomerCheck(nullptr, g_);
        ASSERT_EQ(script.messages.size(), 1);
        EXPECT_EQ(script.messages[0], FirstShowCustomerMessage());
        EXPECT_EQ(shownSerial, QStringLiteral("0000041")) << "stored values, no stepping";
        EXPECT_EQ(g_.CustID, QStringLiteral("987654321"));
        EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
        EXPECT_EQ(SavedValue("CustID"), QStringLiteral("987654321"));
    }
    ModalScript none;
    RunFirstShowCustomerCheck(nullptr, g_);
    g_.PrintBarCode = false;
    g_.CustID = QStringLiteral("000000000");
    RunFirstShowCustomerCheck(nullptr, g_);
    EXPECT_TRUE(none.messages.isEmpty());
}

TEST_F(PrintFlows, PrePrintRunLeavesSerialAtTheFirstLabel) {
    ImagePageTarget pages(100, 100);
    g_.SerialNum = QStringLiteral("9999997");
    QString proposed;
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Yes)).Then([&](QWidget* w) {
        proposed = Edit(w, "editSerialNum")->text();
        w->findChild<QSpinBox*>(QStringLiteral("editNumLabels"))->setValue(3);
        PressButton("btnOK")(w);
    });
    EXPECT_EQ(RunPrePrint(nullptr, g_, pages), 3);
    EXPECT_EQ(proposed, QStringLiteral("9999998"));
    EXPECT_EQ(pages.DocumentsEnded(), 3);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("9999998"));
}

TEST_F(PrintFlows, PrePrintCancelRestoresAndUnsetCustomerIsRefused) {
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Yes)).Then(PressButton("btnCancel"));
        EXPECT_EQ(RunPrePrint(nullptr, g_, target_), 0);
        EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
    }
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::No));
        EXPECT_EQ(RunPrePrint(nullptr, g_, target_), 0);
        EXPECT_EQ(script.Answered(), 1);
    }
    g_.CustID = QStringLiteral("00-000-0000");
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Yes))
        .Then(PressButton("btnOK"))
        .Then(AnswerBox(QMessageBox::Ok));
    EXPECT_EQ(RunPrePrint(nullptr, g_, target_), 0);
    ASSERT_EQ(script.messages.size(), 2);
    EXPECT_EQ(script.messages[1], PrePrintUnsetCustomerMessage());
    EXPECT_EQ(target_.DocumentsEnded(), 0);
    EXPECT_EQ(g_.CustID, QStringLiteral("000000000")) << "the dialog's values stay";
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
}

// The numbers reach the disk with the print itself: a process that ends without
// closing any window leaves the file with the number it used last.
TEST_F(PrintFlows, NumbersSurviveAProcessThatNeverClosesItsWindow) {
    if (qEnvironmentVariableIsSet("QM_CHILD_PRINT")) {
        g_.ConfirmNumbers = false;
        auto form = MakeEntryForm();
        form->show();
        RunSinglePrint(form.get(), g_, target_);
        RunSinglePrint(form.get(), g_, target_);
        std::_Exit(0); // no close, no SaveSettings at exit
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QM_CHILD_PRINT"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QM_CHILD_FOLDER"), dir_.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral(
                    "--gtest_filter=PrintFlows.NumbersSurviveAProcessThatNeverClosesItsWindow")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000043"));
}
