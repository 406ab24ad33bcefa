#include "app/main_window.h"

#include "app/table_engine_setup.h"

#include "app/your_address.h"
#include "test_support.h"
#include "tzdbf.h"
#include "widgets/ask_with_buttons.h"
#include "widgets/memo_lines.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace qm {
namespace {

using test::OnNextModal;

QString Blanks(int n) {
    return QString(n, u' ');
}

class MainWindowTest : public test::ProgramFolderTest {
protected:
    // A shown, active main window over the quiet settings (plus extra lines).
    std::unique_ptr<TF_Main> Open(const QByteArray& extra = {}) {
        WriteQuietSettings(extra);
        auto w = std::make_unique<TF_Main>();
        w->show();
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        QApplication::processEvents();
        return w;
    }
    // Types text into a fee field and leaves it with the Tab key's focus move.
    void TypeAndLeave(TF_Main& w, QLineEdit* edit, const QString& text) {
        edit->setFocus(Qt::TabFocusReason);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        test::Find<QPushButton>(w, "btnPrint")->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }
};

// Tests, the installed-program driver and screen readers find each control by its object name,
// so no two controls (and no two menu items) share one.
TEST_F(MainWindowTest, EveryControlAndMenuItemHasANameOfItsOwn) {
    auto w = Open();
    const auto duplicates = [](const QStringList& names) {
        QStringList twice;
        for (const QString& name : names)
            if (names.count(name) > 1 && !twice.contains(name)) twice << name;
        return twice;
    };
    QStringList widgets;
    for (const QWidget* c : w->findChildren<QWidget*>())
        if (!c->objectName().isEmpty() && !c->objectName().startsWith("qt_"))
            widgets << c->objectName();
    QStringList actions;
    for (const QAction* a : w->findChildren<QAction*>())
        if (!a->objectName().isEmpty()) actions << a->objectName();
    EXPECT_EQ(duplicates(widgets), QStringList());
    EXPECT_EQ(duplicates(actions), QStringList());
    for (const char* name : {"editZip", "tzeditZip", "btnPrint", "btnExit", "lblYourAddress5"})
        EXPECT_TRUE(widgets.contains(name)) << name;
    EXPECT_TRUE(actions.contains("MIPrint"));
}

TEST_F(MainWindowTest, MenuBarHoldsEveryItemWithItsCaption) {
    auto w = Open();
    const struct {
        const char* name;
        const char* caption;
    } items[] = {
        {"MIReadWriteToDB", "&Read/Write to a database"},
        {"MIPrint", "&Print"},
        {"MIMassPrint", "&Mass Print"},
        {"MIReprint", "R&eprint..."},
        {"MIPrintBarCodes", "Print &Bar Codes"},
        {"MIExit", "&Exit"},
        {"MailerNumber1", "&Mailer Number"},
        {"YourNameAddress1", "&Your Name && Address"},
        {"MIPrintOptions", "Print &Options"},
        {"MIPrinterSetup", "&Printer Setup"},
        {"MIPrinterAlignment", "Printer &Alignment"},
        {"MIAlignmentTestPage", "Print Alignment &Test Page"},
        {"MIExtraLabel", "&Extra Label"},
        {"MIVerifyBarcodes", "&Verify Barcodes Before Printing"},
        {"MIKeepPdfCopy", "&Keep a PDF Copy of Each Mailer"},
        {"BarCodes1", "&BarCode's"},
        {"PrintBarCodeMI", "&Print"},
        {"DontPrintBarCodeMI", "&Don't Print"},
        {"defaultPostage1", "&Default Postage"},
        {"SaveValues1", "&Save Values"},
        {"MINameAddressTextFiles", "&Name && Address Text Files"},
        {"MIImport", "&Import"},
        {"MIExport", "&Export"},
        {"TrackItem1", "Track Item"},
        {"PrintReport1", "&Print"},
        {"miPrintFull", "Full Detail"},
        {"miPrintShort", "Short Detail"},
        {"PreviewReport1", "Pre&view"},
        {"miPreviewFull", "&Full Detail"},
        {"miPreviewShort", "&Short Detail"},
        {"ClearReport1", "&Clear"},
        {"SortRepost1", "&Sort"},
        {"MIByMailerNumber", "&By Mailer Number"},
        {"MIByName", "By &Name"},
        {"MIByDate", "By &Date"},
        {"MIByZipCode", "By &ZipCode"},
        {"miMailingLog", "Mailing Log..."},
        {"miFirmMailingBook", "Firm Mailing Book..."},
        {"miExportLog", "Export Log..."},
        {"Content1", "&Content"},
        {"MIOrderSupplies", "&Order Supplies"},
        {"MITechnicalSupport", "&Technical Support"},
        {"miAbout", "&About"},
    };
    for (const auto& item : items) {
        auto* a = w->findChild<QAction*>(QString::fromLatin1(item.name));
        ASSERT_NE(a, nullptr) << item.name;
        EXPECT_EQ(a->text(), QString::fromLatin1(item.caption)) << item.name;
    }
    QStringList bar;
    for (QAction* a : w->menuBar()->actions()) bar << a->text();
    EXPECT_EQ(bar, QStringList({"&File", "&Options", "Track Item", "&Report", "&Help"}));
    EXPECT_FALSE(test::Find<QAction>(*w, "MIMassPrint")->isEnabled());
    EXPECT_TRUE(test::Find<QAction>(*w, "PrintBarCodeMI")->isChecked());
    EXPECT_FALSE(test::Find<QAction>(*w, "DontPrintBarCodeMI")->isChecked());
    for (QAction* a :
         {test::Find<QAction>(*w, "MIByMailerNumber"), test::Find<QAction>(*w, "MIByName"),
          test::Find<QAction>(*w, "MIByDate"), test::Find<QAction>(*w, "MIByZipCode")})
        EXPECT_FALSE(a->isChecked());
    test::Find<QAction>(*w, "MIByName")->trigger();
    EXPECT_TRUE(test::Find<QAction>(*w, "MIByName")->isChecked());
    test::Find<QAction>(*w, "MIByDate")->trigger(); // radio items: one checked at a time
    EXPECT_TRUE(test::Find<QAction>(*w, "MIByDate")->isChecked());
    EXPECT_FALSE(test::Find<QAction>(*w, "MIByName")->isChecked());
    EXPECT_EQ(test::Find<QMenu>(*w, "File1")->actions().size(), 8); // six items and two separators
    EXPECT_EQ(test::Find<QMenu>(*w, "Help1")->actions().size(), 6);
}

TEST_F(MainWindowTest, BarcodeModeRadioItemsSetTheSettings) {
    auto w = Open("PrintBarCode=0\r\nIncrement=0\r\n");
    EXPECT_TRUE(test::Find<QAction>(*w, "DontPrintBarCodeMI")->isChecked());
    test::Find<QAction>(*w, "PrintBarCodeMI")->trigger();
    EXPECT_TRUE(Globals().PrintBarCode);
    EXPECT_FALSE(test::Find<QAction>(*w, "DontPrintBarCodeMI")->isChecked());
    test::Find<QAction>(*w, "DontPrintBarCodeMI")->trigger();
    EXPECT_FALSE(Globals().PrintBarCode);
    EXPECT_TRUE(Globals().Increment); // switching to pre-numbered always counts up
}

TEST_F(MainWindowTest, StartFillsFeesFoldersBrandAndSenderLabels) {
    auto w = Open();
    EXPECT_EQ(w->windowTitle(), "Quillmark");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editPostage")->text(), Blanks(10) + "0.39");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editCertFee")->text(), Blanks(10) + "2.40");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editReturn")->text(), Blanks(10) + "1.85");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editTotal")->text(), Blanks(10) + "4.64");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editRestricted")->text(), "");
    EXPECT_FALSE(test::Find<QLineEdit>(*w, "editRestricted")->isEnabled());
    EXPECT_FALSE(test::Find<QLabel>(*w, "lblRestricted")->isEnabled());
    EXPECT_TRUE(QDir(PathOf("Addresses")).exists());
    EXPECT_TRUE(QDir(PathOf("Reports")).exists());
    EXPECT_EQ(test::Find<QLabel>(*w, "lblYourAddress1")->text(), "Ann Sender");
    EXPECT_EQ(test::Find<QLabel>(*w, "lblYourAddress2")->text(), "Dover DE 19901");
    EXPECT_TRUE(test::Find<QPushButton>(*w, "btnPrint")->isEnabled());
    EXPECT_TRUE(test::Find<QLineEdit>(*w, "editPostage")->font().bold());
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editComment")->maxLength(), 35);
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editRe")->maxLength(), 25);
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editCity")->maxLength(), 35);
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editState")->maxLength(), 4);
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editZip")->displayText(), "     -    ");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editTotal")->focusPolicy() & Qt::TabFocus, 0);
    EXPECT_TRUE(test::Find<QLineEdit>(*w, "editTotal")->isReadOnly());
}

TEST_F(MainWindowTest, TabOrderThroughTheFeeGroup) {
    auto w = Open();
    QWidget* expected[] = {
        test::Find<QLineEdit>(*w, "editPostage"),    test::Find<QLineEdit>(*w, "editCertFee"),
        test::Find<QLineEdit>(*w, "editReturn"),     test::Find<QCheckBox>(*w, "cbRestricted"),
        test::Find<QLineEdit>(*w, "editRestricted"), test::Find<QPushButton>(*w, "btnPrint")};
    for (size_t i = 0; i + 1 < std::size(expected); ++i)
        EXPECT_EQ(expected[i]->nextInFocusChain(), expected[i + 1]) << i;
    EXPECT_EQ(QApplication::focusWidget(),
              test::Find<QLineEdit>(*w, "editPostage")); // the fee group holds the focus
}

TEST_F(MainWindowTest, LeavingAFeeFieldFormatsItAndTheTotal) {
    auto w = Open();
    const struct {
        const char* typed;
        QString shown;
        QString total;
    } cases[] = {
        {"2.4", Blanks(10) + "2.40", Blanks(10) + "6.65"},
        {"12.5", Blanks(8) + "12.50", Blanks(8) + "16.75"},
        {"3", Blanks(10) + "3.00", Blanks(10) + "7.25"},
        {"2.456", Blanks(10) + "2.456", Blanks(10) + "6.706"},
        {"0", " ", Blanks(10) + "4.25"},
    };
    for (const auto& c : cases) {
        TypeAndLeave(*w, test::Find<QLineEdit>(*w, "editPostage"), QString::fromLatin1(c.typed));
        EXPECT_EQ(test::Find<QLineEdit>(*w, "editPostage")->text(), c.shown) << c.typed;
        EXPECT_EQ(test::Find<QLineEdit>(*w, "editTotal")->text(), c.total) << c.typed;
    }
}

// Leaving a fee field runs its exit handler once: a refused fee shows one message, and
// the field and total are formatted once from what was typed.
TEST_F(MainWindowTest, TooLargeFeeIsRefusedWithOneMessage) {
    auto w = Open();
    const struct {
        const char* typed;
        int messages;
        QString shown;
        QString total;
    } cases[] = {
        {"1e308", 1, "1e308", Blanks(10) + "4.25"},
        {"1e309", 1, "1e309", Blanks(10) + "4.25"},
        {"123456789012345", 1, "123456789012345", Blanks(10) + "4.25"},
        {"99999999999.99", 1, "99999999999.99",
         Blanks(10) + "4.25"}, // fits alone, not in the total
        // Not money: refused, the text kept for the user to correct.
        {"0.39f", 1, "0.39f", Blanks(10) + "4.25"},
        {"abc", 1, "abc", Blanks(10) + "4.25"},
        {"-2", 1, "-2", Blanks(10) + "4.25"},
        {"9999999999.99", 0, Blanks(1) + "9999999999.99", Blanks(1) + "10000000004.24"},
        {"1234.5", 0, Blanks(5) + "1234.50", Blanks(5) + "1238.75"},
    };
    for (const auto& c : cases) {
        // Closing a message box leaves no window active on a platform without a window
        // manager; focus moves need an active window.
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        QStringList texts;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        closer.start(10);
        TypeAndLeave(*w, test::Find<QLineEdit>(*w, "editPostage"), QString::fromLatin1(c.typed));
        QTest::qWait(200); // a second run would show its message by now
        closer.stop();
        EXPECT_EQ(texts.size(), c.messages) << c.typed << ": " << texts.join(" | ").toStdString();
        if (!texts.isEmpty()) {
            EXPECT_TRUE(texts.first().contains(QString::fromLatin1(c.typed))) << c.typed;
        }
        EXPECT_EQ(test::Find<QLineEdit>(*w, "editPostage")->text(), c.shown) << c.typed;
        EXPECT_EQ(test::Find<QLineEdit>(*w, "editTotal")->text(), c.total) << c.typed;
        // A refused fee gets the focus back.
        if (c.messages > 0) {
            QTRY_VERIFY_WITH_TIMEOUT(test::Find<QLineEdit>(*w, "editPostage")->hasFocus(), 2000);
        }
    }
}

TEST_F(MainWindowTest, RestrictedDeliveryAddsAndRemovesItsFee) {
    auto w = Open();
    test::Find<QCheckBox>(*w, "cbRestricted")->click();
    EXPECT_TRUE(test::Find<QLineEdit>(*w, "editRestricted")->isEnabled());
    EXPECT_TRUE(test::Find<QLabel>(*w, "lblRestricted")->isEnabled());
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editRestricted")->text(), Blanks(10) + "3.50");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editTotal")->text(), Blanks(10) + "8.14");
    test::Find<QCheckBox>(*w, "cbRestricted")->click();
    EXPECT_FALSE(test::Find<QLineEdit>(*w, "editRestricted")->isEnabled());
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editRestricted")->text(), " ");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editTotal")->text(), Blanks(10) + "4.64");
}

TEST_F(MainWindowTest, PrintedFormDimsUntilTheNextChange) {
    auto w = Open();
    const QStringList names = {"editPostage", "editCertFee", "editRestricted", "editReturn",
                               "editTotal",   "editRe",      "editComment",    "memoAddress",
                               "editCity",    "editState",   "editZip",        "tzmemoAddress",
                               "tzeditCity",  "tzeditState", "tzeditZip"};
    ASSERT_EQ(w->MarkedControls().size(), 15);
    auto colours = [&](const QColor& c) {
        for (const QString& name : names) {
            auto* control = w->findChild<QWidget*>(name);
            ASSERT_NE(control, nullptr) << name.toStdString();
            EXPECT_TRUE(w->MarkedControls().contains(control)) << name.toStdString();
            EXPECT_EQ(control->palette().color(QPalette::Base), c) << name.toStdString();
        }
    };
    // Every change source brightens the form again.
    const std::function<void()> changes[] = {
        [&] { QTest::keyClicks(test::Find<QLineEdit>(*w, "editComment"), "x"); },
        [&] { QTest::keyClicks(test::Find<QPlainTextEdit>(*w, "memoAddress"), "x"); },
        [&] { test::Find<QLineEdit>(*w, "editZip")->setText("1"); },
        [&] { test::Find<QCheckBox>(*w, "cbRestricted")->click(); },
        [&] { // leaving the check box
            test::Find<QCheckBox>(*w, "cbRestricted")->setFocus(Qt::TabFocusReason);
            test::Find<QLineEdit>(*w, "editComment")->setFocus(Qt::TabFocusReason);
        },
        [&] { test::Find<QLineEdit>(*w, "tzeditCity")->setText("x"); },
    };
    for (const auto& change : changes) {
        w->MarkPrinted();
        colours(QColor(192, 192, 192));
        EXPECT_FALSE(test::Find<QPushButton>(*w, "btnPrint")->isEnabled());
        EXPECT_TRUE(test::Find<QAction>(*w, "MIPrint")->isEnabled());
        change();
        QApplication::processEvents();
        colours(Qt::white);
        EXPECT_TRUE(test::Find<QPushButton>(*w, "btnPrint")->isEnabled());
    }
}

TEST_F(MainWindowTest, AddresseeMemoKeepsFourDisplayedLines) {
    auto w = Open();
    test::Find<QPlainTextEdit>(*w, "memoAddress")->setFocus();
    QTest::keyClicks(test::Find<QPlainTextEdit>(*w, "memoAddress"), "One");
    for (const char* line : {"Two", "Three", "Four", "Five"}) {
        QTest::keyClick(test::Find<QPlainTextEdit>(*w, "memoAddress"), Qt::Key_Return);
        QTest::keyClicks(test::Find<QPlainTextEdit>(*w, "memoAddress"), line);
    }
    EXPECT_EQ(test::Find<QPlainTextEdit>(*w, "memoAddress")->toPlainText(),
              "One\nTwo\nThree\nFour\n");
    EXPECT_EQ(DisplayedLines(test::Find<QPlainTextEdit>(*w, "memoAddress")),
              QStringList({"One", "Two", "Three", "Four"}));

    // The memo does not wrap: a long line stays one line, whole, and pushes no line out.
    const QString longLine = QString("word ").repeated(30).trimmed();
    test::Find<QPlainTextEdit>(*w, "memoAddress")->setPlainText(longLine + "\nTwo\nThree\nFour");
    EXPECT_EQ(DisplayedLines(test::Find<QPlainTextEdit>(*w, "memoAddress")),
              QStringList({longLine, "Two", "Three", "Four"}));
}

TEST_F(MainWindowTest, ClearEmptiesTheAddresseeOnly) {
    auto w = Open();
    test::Find<QPlainTextEdit>(*w, "memoAddress")->setPlainText("John Smith\n12 Main St");
    test::Find<QLineEdit>(*w, "editCity")->setText("Springfield");
    test::Find<QLineEdit>(*w, "editState")->setText("IL");
    test::Find<QLineEdit>(*w, "editZip")->setText("62701");
    test::Find<QLineEdit>(*w, "editComment")->setText("note");
    test::Find<QLineEdit>(*w, "editRe")->setText("case 7");
    test::Find<QPushButton>(*w, "btnClear")->click();
    EXPECT_EQ(test::Find<QPlainTextEdit>(*w, "memoAddress")->toPlainText(), "");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editCity")->text(), "");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editState")->text(), "");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editZip")->displayText(), "     -    ");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editComment")->text(), "note");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editRe")->text(), "case 7");
    EXPECT_EQ(test::Find<QLineEdit>(*w, "editPostage")->text(), Blanks(10) + "0.39");
}

TEST_F(MainWindowTest, SaveValuesStoresTheTrimmedFeeTexts) {
    auto w = Open();
    TypeAndLeave(*w, test::Find<QLineEdit>(*w, "editPostage"), "0.44");
    TypeAndLeave(*w, test::Find<QLineEdit>(*w, "editReturn"), "0");
    test::Find<QAction>(*w, "SaveValues1")->trigger();
    EXPECT_EQ(Globals().Postage, "0.44");
    EXPECT_EQ(Globals().CertFee, "2.40");
    EXPECT_EQ(Globals().Return, ""); // a blank field saves an empty default
    EXPECT_EQ(Globals().Restricted, "3.50");

    test::Find<QCheckBox>(*w, "cbRestricted")->click();
    TypeAndLeave(*w, test::Find<QLineEdit>(*w, "editRestricted"), "4.1");
    test::Find<QAction>(*w, "SaveValues1")->trigger();
    EXPECT_EQ(Globals().Restricted, "4.10");
    test::Find<QCheckBox>(*w, "cbRestricted")->click(); // off: the field holds a single blank
    test::Find<QAction>(*w, "SaveValues1")->trigger();
    EXPECT_EQ(Globals().Restricted, "4.10");
}

TEST_F(MainWindowTest, ReturnOrEnterPressesTheFocusedButton) {
    auto w = Open();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        // Clear: no window opens, the addressee is emptied.
        test::Find<QPlainTextEdit>(*w, "memoAddress")->setPlainText("John Smith");
        test::Find<QPushButton>(*w, "btnClear")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(test::Find<QPushButton>(*w, "btnClear"), key);
        EXPECT_EQ(test::Find<QPlainTextEdit>(*w, "memoAddress")->toPlainText(), "");

        // Paste: no window opens either.
        QSignalSpy pasted(test::Find<QPushButton>(*w, "btnPaste"), &QPushButton::clicked);
        test::Find<QPushButton>(*w, "btnPaste")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(test::Find<QPushButton>(*w, "btnPaste"), key);
        EXPECT_EQ(pasted.count(), 1);

        // The others open their windows; each is answered with Escape.
        for (QPushButton* button : {test::Find<QPushButton>(*w, "btnChangeYourAddress"),
                                    test::Find<QPushButton>(*w, "btnPrint")}) {
            QSignalSpy clicked(button, &QPushButton::clicked);
            bool opened = false;
            OnNextModal([&](QWidget* modal) {
                opened = true;
                QTest::keyClick(modal, Qt::Key_Escape);
            });
            button->setFocus(Qt::TabFocusReason);
            QTest::keyClick(button, key);
            EXPECT_EQ(clicked.count(), 1) << button->objectName().toStdString();
            EXPECT_TRUE(opened) << button->objectName().toStdString();
            QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
            w->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        }
    }
    EXPECT_TRUE(w->isVisible()); // no key reached the window's own Escape or default action
}

TEST_F(MainWindowTest, EscapeAnywhereClosesAndSavesTheSettings) {
    auto w = Open();
    test::Find<QLineEdit>(*w, "editComment")->setFocus();
    Globals().SerialNum = "0000042";
    QTest::keyClick(test::Find<QLineEdit>(*w, "editComment"), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(ReadFile("quill4.ini").contains("SerialNum=0000042\r\n"));
}

TEST_F(MainWindowTest, UnwritableSettingsOfferRetryExitWithoutSavingAndCancel) {
    const auto readOnly = QFileDevice::ReadOwner;
    const auto readWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    // Answers the next question with the button of that name and records what it showed.
    auto answer = [](const char* button, QString* shown, std::function<void()> before = {}) {
        OnNextModal([=](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            *shown = box->text();
            EXPECT_EQ(box->windowTitle(), "Quillmark");
            QStringList captions;
            for (QAbstractButton* b : box->buttons()) captions << b->text().remove('&');
            captions.sort();
            EXPECT_EQ(captions, QStringList({"Cancel", "Exit without saving", "Retry"}));
            if (before) before();
            box->findChild<QAbstractButton*>(button)->click();
        });
    };

    // Cancel (and Escape) keep the window open; the next close tries again.
    auto w = Open();
    QFile::setPermissions(PathOf("quill4.ini"), readOnly);
    QString shown;
    answer("btnCancel", &shown);
    test::Find<QAction>(*w, "MIExit")->trigger();
    EXPECT_EQ(shown, "Unable to write to " + PathOf("quill4.ini"));
    EXPECT_TRUE(w->isVisible());
    OnNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());

    // Retry after the user mended the file's permissions saves and closes.
    Globals().SerialNum = "0000077";
    shown.clear();
    answer("btnRetry", &shown, [&] { QFile::setPermissions(PathOf("quill4.ini"), readWrite); });
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_TRUE(ReadFile("quill4.ini").contains("SerialNum=0000077\r\n"));

    // Exit without saving closes and leaves the file as it was.
    w = Open();
    const QByteArray kept = ReadFile("quill4.ini");
    QFile::setPermissions(PathOf("quill4.ini"), readOnly);
    Globals().SerialNum = "0000099";
    answer("btnExitWithoutSaving", &shown);
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(w->isVisible());
    QFile::setPermissions(PathOf("quill4.ini"), readWrite);
    EXPECT_EQ(ReadFile("quill4.ini"), kept);
}

TEST_F(MainWindowTest, SenderDialogStoresDisplayedLinesAndUpdatesTheLabels) {
    auto w = Open();
    Globals().Line1 = "John Smith";
    Globals().Line3 = "Suite 4";
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TF_YourAddress*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->memoYourAddress->toPlainText(), "John Smith\nSuite 4");
        EXPECT_EQ(dialog->editYourZip->displayText(), "19901-    ");
        dialog->editYourCity->setText("Dover ");
        dialog->btnOK->click();
    });
    test::Find<QAction>(*w, "YourNameAddress1")->trigger();
    const GlobalVariables& g = Globals();
    EXPECT_EQ(g.Line1, "John Smith");
    EXPECT_EQ(g.Line2, "Suite 4");
    EXPECT_EQ(g.Line3, "");
    EXPECT_EQ(g.Line4, "");
    EXPECT_EQ(g.City, "Dover "); // as typed
    EXPECT_EQ(g.Zip, "19901");
    EXPECT_EQ(test::Find<QLabel>(*w, "lblYourAddress2")->text(), "Suite 4");
    EXPECT_EQ(test::Find<QLabel>(*w, "lblYourAddress3")->text(), "Dover  DE 19901");

    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TF_YourAddress*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->memoYourAddress->setPlainText("Someone Else");
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    test::Find<QPushButton>(*w, "btnChangeYourAddress")->click();
    EXPECT_EQ(g.Line1, "John Smith");
    EXPECT_EQ(test::Find<QLabel>(*w, "lblYourAddress1")->text(), "John Smith");
}

TEST_F(MainWindowTest, SenderDialogNamesCharactersTheSettingsFileCannotHold) {
    auto w = Open();
    QString warning;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TF_YourAddress*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->memoYourAddress->setPlainText(QString::fromUtf8("Zo\u0142ta \u0141\u00F3d\u017A"));
        dialog->editYourCity->setText(QString::fromUtf8("M\u00FCnchen \u4E2D"));
        OnNextModal([&](QWidget* box) {
            auto* message = qobject_cast<QMessageBox*>(box);
            ASSERT_NE(message, nullptr);
            EXPECT_EQ(message->icon(), QMessageBox::Warning);
            warning = message->text();
            message->accept();
        });
        dialog->btnOK->click();
    });
    test::Find<QAction>(*w, "YourNameAddress1")->trigger();
    EXPECT_TRUE(warning.endsWith(
        QString::fromUtf8(": \u0142 \u0141 \u017A \u4E2D\n\nReplace them if you wish.")))
        << warning.toStdString();
    EXPECT_FALSE(warning.contains(QString::fromUtf8("\u00F3"))); // held by the code page
    EXPECT_EQ(Globals().City, QString::fromUtf8("M\u00FCnchen \u4E2D"));
    EXPECT_EQ(test::Find<QLabel>(*w, "lblYourAddress1")->text(),
              QString::fromUtf8("Zo\u0142ta \u0141\u00F3d\u017A"));
}

TEST_F(MainWindowTest, FirstStartAsksForTheSenderAndShowsTheReminderOnce) {
    // No settings file: the sender dialog opens first and the registration reminder last
    // (the customer-ID check of the unset ID comes between them).
    std::vector<QString> seen;
    std::function<void(QWidget*)> answer = [&](QWidget* modal) {
        seen.push_back(modal->windowTitle());
        if (auto* ask = qobject_cast<AskDialog*>(modal)) {
            auto* button = ask->findChild<QPushButton*>("button1");
            EXPECT_EQ(button->text(), "&Never Print again");
            const QString text = ask->findChild<QLabel*>("labelMessage")->text();
            EXPECT_TRUE(text.startsWith("This software prints the newly required Bar Code on "
                                        "your mailers. Thus the U.S. Postal Service"))
                << text.toStdString();
            button->click();
            return;
        }
        if (auto* dialog = qobject_cast<TF_YourAddress*>(modal))
            dialog->btnCancel->click();
        else
            modal->close();
        OnNextModal(answer);
    };
    OnNextModal(answer);
    auto w = std::make_unique<TF_Main>();
    EXPECT_EQ(Globals().Company, "Larkfield");
    w->show();
    QTRY_VERIFY_WITH_TIMEOUT(!seen.empty() && seen.back() == "Bar Code Printing Registration",
                             8000);
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() == nullptr, 5000);
    EXPECT_EQ(seen.front(), "Your Name and Address");
    EXPECT_FALSE(Globals().BarCodeApp);
    ASSERT_TRUE(w->close());
    EXPECT_TRUE(ReadFile("quill4.ini").contains("BarCodeApp=0\r\n"));
}

TEST_F(MainWindowTest, PartnerLogoChoosesThePartnerBrand) {
    QImage logo(20, 10, QImage::Format_RGB32);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(PathOf("Scr_logo.bmp"), "BMP"));
    WriteFile("quill4.ini", "[Type]\r\nBarCodeApp=0\r\n[YourAddress]\r\nLine1=A\r\n");
    TF_Main w;
    EXPECT_EQ(Globals().Company, "Osterby");
    // Stretched to the height of its place under the product logo, proportions kept.
    EXPECT_EQ(test::Find<QLabel>(w, "imageCompany")->size(), QSize(104, 52));
    EXPECT_GT(test::Find<QLabel>(w, "imageCompany")->y(),
              test::Find<QLabel>(w, "Image1")->geometry().bottom());
    EXPECT_LT(test::Find<QLabel>(w, "imageCompany")->geometry().bottom(),
              test::Find<QLineEdit>(w, "editComment")->y());
}

// With the engine set up as at start, a damaged table ends the command that opened it,
// with the engine's text, and the program goes on.
TEST_F(MainWindowTest, DamagedTableEndsTheCommandNotTheProgram) {
    InstallTableEngine();
    const QByteArray damaged("\x03\x7a\x0c\x09not a table at all");
    WriteFile("damaged.dbf", damaged);
    table::TTzDbf table("TzDbfDamaged");
    table.SetDbfFileName(PathOf("damaged.dbf").toStdString());
    std::string shown;
    const bool ok = table::RunTableCommand([&] { table.Open(); }, {&table},
                                           [&](const std::string& text) { shown = text; });
    EXPECT_FALSE(ok);
    EXPECT_EQ(shown.rfind("Error # ", 0), 0u) << shown;
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(ReadFile("damaged.dbf"), damaged) << "a failed open must not touch the file";
}

} // namespace
} // namespace qm

namespace qm {
namespace {

// The print reads the free-entry controls, or the address-table ones while a table is
// open (the free-entry memo hidden), from the window's own members.
TEST_F(MainWindowTest, PrintReadsTheControlsOfTheOpenAddressSource) {
    auto w = Open();
    test::Find<QPlainTextEdit>(*w, "memoAddress")->setPlainText("Free Person\n1 Free St");
    test::Find<QLineEdit>(*w, "editCity")->setText("Dover");
    test::Find<QLineEdit>(*w, "editState")->setText("DE");
    test::Find<QLineEdit>(*w, "editZip")->setText("19901");
    test::Find<QPlainTextEdit>(*w, "tzmemoAddress")
        ->setPlainText("Table Person\n2 Table Rd\nSuite 3");
    test::Find<QLineEdit>(*w, "tzeditCity")->setText("Newark");
    test::Find<QLineEdit>(*w, "tzeditState")->setText("NJ");
    test::Find<QLineEdit>(*w, "tzeditZip")->setText("071021234");
    test::Find<QLineEdit>(*w, "editRe")->setText("Ref 9");
    EntryFields f = w->FilledEntryFields();
    EXPECT_EQ(f.addresseeLines[0], "Free Person");
    EXPECT_EQ(f.addresseeLines[1], "1 Free St");
    EXPECT_EQ(f.addresseeLines[2], "");
    EXPECT_EQ(f.city, "Dover");
    EXPECT_EQ(f.zipText.left(5), "19901");
    EXPECT_EQ(f.re, "Ref 9");
    EXPECT_EQ(f.senderLabels[0], test::Find<QLabel>(*w, "lblYourAddress1")->text());
    test::Find<QPlainTextEdit>(*w, "memoAddress")->hide();
    f = w->FilledEntryFields();
    EXPECT_EQ(f.addresseeLines[0], "Table Person");
    EXPECT_EQ(f.addresseeLines[2], "Suite 3");
    EXPECT_EQ(f.city, "Newark");
    EXPECT_EQ(f.state, "NJ");
    EXPECT_EQ(f.zipText, "07102-1234");
    EXPECT_EQ(f.re, "Ref 9");
}

} // namespace
} // namespace qm

namespace qm {
namespace {

// Escape ends the program at once over an empty or printed form; over a typed piece that was
// not printed it asks first, No being the default.
TEST_F(MainWindowTest, EscapeAsksBeforeThrowingAwayATypedPiece) {
    {
        auto w = Open();
        QTest::keyClick(test::Find<QLineEdit>(*w, "editPostage"), Qt::Key_Escape);
        EXPECT_FALSE(w->isVisible());
    }
    auto w = Open();
    test::Find<QPlainTextEdit>(*w, "memoAddress")->setPlainText("John Smith");
    QString question;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        question = box->text();
        defaultButton = box->standardButton(box->defaultButton());
        box->button(QMessageBox::No)->click();
    });
    QTest::keyClick(test::Find<QLineEdit>(*w, "editPostage"), Qt::Key_Escape);
    EXPECT_EQ(question, "Exit Quillmark? The piece you typed has not been printed.");
    EXPECT_EQ(defaultButton, QMessageBox::No);
    EXPECT_TRUE(w->isVisible());
    // Printed (the form dimmed): Escape ends at once.
    w->MarkPrinted();
    QTest::keyClick(test::Find<QLineEdit>(*w, "editPostage"), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}

// The city, state and ZIP fields carry captions above them, in both modes of the addressee.
TEST_F(MainWindowTest, CityStateAndZipHaveCaptions) {
    auto w = Open();
    const std::pair<QLabel*, QLineEdit*> pairs[] = {
        {test::Find<QLabel>(*w, "lblCity"), test::Find<QLineEdit>(*w, "editCity")},
        {test::Find<QLabel>(*w, "lblState"), test::Find<QLineEdit>(*w, "editState")},
        {test::Find<QLabel>(*w, "lblZip"), test::Find<QLineEdit>(*w, "editZip")}};
    QStringList captions;
    for (const auto& [label, edit] : pairs) {
        captions << label->text();
        EXPECT_TRUE(label->isVisible());
        EXPECT_EQ(label->x(), edit->x());
        EXPECT_LE(label->geometry().bottom(), edit->y());
        EXPECT_GE(label->y(), test::Find<QPlainTextEdit>(*w, "memoAddress")->geometry().bottom());
    }
    EXPECT_EQ(captions, QStringList({"City", "State", "ZIP"}));
}

} // namespace
} // namespace qm
