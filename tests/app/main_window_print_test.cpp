// The print commands of the main window, end to end: menu items and buttons, the
// dialogs they open, the settings they keep, and the printed page.
#include "app/main_window.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "decode.h"
#include "ink.h"
#include "modal_script.h"
#include "numbers/barcode_data.h"
#include "piece/piece_log.h"
#include "print/page.h"
#include "table/engine_error.h"
#include "table/tzdbf.h"
#include "test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <gtest/gtest.h>

using namespace qm;
using namespace qm::test;

namespace {

class MainWindowPrint : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetProgramFolderOverride(dir_.path());
        Globals() = GlobalVariables{};
        SetActivePageTarget(&page_);
    }
    void TearDown() override {
        SetActivePageTarget(nullptr);
        SetProgramFolderOverride({});
        Globals() = GlobalVariables{};
    }
    void WriteSettings(const QByteArray& values) {
        QFile f(dir_.filePath(QStringLiteral("quill4.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Type]\r\nCompany=Larkfield\r\nBarCodeApp=0\r\n"
                "[YourAddress]\r\nLine1=Ann Sender\r\nCity=Dover\r\nState=DE\r\nZip=19901\r\n"
                "[Values]\r\n" +
                values);
    }
    QString Saved(const char* key) {
        QFile f(dir_.filePath(QStringLiteral("quill4.ini")));
        if (!f.open(QIODevice::ReadOnly)) return {};
        for (const QString& line : QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n")))
            if (line.startsWith(QLatin1String(key) + QLatin1Char('=')))
                return line.mid(int(qstrlen(key)) + 1);
        return {};
    }
    template <class T> T* Child(QWidget* w, const char* name) {
        return w->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* Action(QWidget* w, const char* name) {
        return w->findChild<QAction*>(QString::fromLatin1(name));
    }

    QTemporaryDir dir_;
    ImagePageTarget page_{300, 300};
};

} // namespace

TEST_F(MainWindowPrint, PrintButtonThenFilePrintOnTheDimmedForm) {
    WriteSettings("CustID=123456789\r\nSerialNum=0000041\r\n");
    TF_Main w;
    Child<QPlainTextEdit>(&w, "memoAddress")
        ->setPlainText(QStringLiteral("John Smith\n12 Main St"));
    Child<QLineEdit>(&w, "editCity")->setText(QStringLiteral("Springfield"));
    Child<QLineEdit>(&w, "editState")->setText(QStringLiteral("IL"));
    Child<QLineEdit>(&w, "editZip")->setText(QStringLiteral("62701"));
    {
        ModalScript script;
        QString shown;
        script.Then([&](QWidget* d) {
            shown = Child<QLineEdit>(d, "editSerialNum")->text();
            Child<QCheckBox>(d, "cbDontShow")->setChecked(true);
            PressButton("btnOK")(d);
        });
        test::Find<QPushButton>(w, "btnPrint")->click();
        EXPECT_EQ(shown, QStringLiteral("0000042"));
        EXPECT_TRUE(script.Done());
    }
    EXPECT_EQ(page_.DocumentsEnded(), 1);
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000042"));
    EXPECT_EQ(Saved("SerialNum"), QStringLiteral("0000042"));
    EXPECT_FALSE(test::Find<QPushButton>(w, "btnPrint")->isEnabled());
    const QString dataT = QStringLiteral("420627019214712345678900000428");
    // The T symbol at (0.62, 4.1) on the 300-dpi page.
    EXPECT_EQ(DecodeSymbols(page_.Image().copy(QRect(110, 1215, 870, 250))),
              QStringList{dataT.left(8) + QChar(0x1d) + dataT.mid(8)});

    ModalScript none;
    Action(&w, "MIPrint")->trigger();
    EXPECT_TRUE(none.messages.isEmpty());
    EXPECT_EQ(page_.DocumentsEnded(), 2);
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000043"));
    EXPECT_EQ(Saved("SerialNum"), QStringLiteral("0000043"));
}

TEST_F(MainWindowPrint, FirstShowingAsksForAnAllZeroCustomerId) {
    WriteSettings("CustID=000000000\r\nSerialNum=0000007\r\n");
    TF_Main w;
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Ok)).Then([&](QWidget* d) {
        QLineEdit* cust = Child<QLineEdit>(d, "editCustID");
        cust->selectAll();
        QTest::keyClicks(cust, QStringLiteral("555666777"));
        PressButton("btnOK")(d);
    });
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(script.Done(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(Globals().CustID, QStringLiteral("555666777"), 5000);
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000007"));
    EXPECT_EQ(Saved("CustID"), QStringLiteral("555666777"));
}

// A quill4.ini that another user of a shared folder replaced by a link to someone's file: the
// window says so at its first showing instead of asking for the sender, and Print prints
// nothing; the file the link leads to is neither read nor changed.
TEST_F(MainWindowPrint, APlantedSettingsLinkIsNamedAndNothingPrints) {
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim.rc"));
    const QByteArray planted = "[YourAddress]\r\nLine1=$(touch /tmp/owned)\r\n[Values]\r\n"
                               "CustID=123456789\r\nSerialNum=0000041\r\n";
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(planted);
    }
    ASSERT_TRUE(QFile::link(victim, dir_.filePath(QStringLiteral("quill4.ini"))));
    LoadSettings(Globals());
    TF_Main w;
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(script.Done(), 5000);
        ASSERT_EQ(script.messages.size(), 1);
        EXPECT_TRUE(script.messages[0].contains(dir_.filePath(QStringLiteral("quill4.ini")) +
                                                QStringLiteral(" is a symbolic link")))
            << script.messages[0].toStdString();
    }

    Globals().ConfirmNumbers = false;
    Child<QLineEdit>(&w, "editCity")->setText(QStringLiteral("Springfield"));
    Child<QLineEdit>(&w, "editZip")->setText(QStringLiteral("62701"));
    ModalScript print;
    print.Then(AnswerBox(QMessageBox::Ok));
    ASSERT_TRUE(test::Find<QPushButton>(w, "btnPrint")->isEnabled());
    test::Find<QPushButton>(w, "btnPrint")->click();
    ASSERT_EQ(print.messages.size(), 1);
    EXPECT_TRUE(print.messages[0].contains(QStringLiteral("is a symbolic link")));
    EXPECT_EQ(page_.DocumentsEnded(), 0);
    w.hide();
    QFile f(victim);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), planted);
    EXPECT_TRUE(QFileInfo(dir_.filePath(QStringLiteral("quill4.ini"))).isSymLink());
}

// A customer ID of quill4.ini that is not nine digits: Print names the file, the key and the
// value, then opens the Mailer Number dialog on it; the corrected ID prints and is stored.
TEST_F(MainWindowPrint, PrintNamesADamagedCustomerIdAndOpensTheDialogOnIt) {
    WriteSettings("CustID=12345678AB\r\nSerialNum=0000041\r\n");
    TF_Main w;
    Child<QPlainTextEdit>(&w, "memoAddress")->setPlainText(QStringLiteral("John Smith"));
    Child<QLineEdit>(&w, "editCity")->setText(QStringLiteral("Springfield"));
    Child<QLineEdit>(&w, "editState")->setText(QStringLiteral("IL"));
    Child<QLineEdit>(&w, "editZip")->setText(QStringLiteral("62701"));
    QString shown;
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok)).Then([&](QWidget* d) {
            QLineEdit* cust = Child<QLineEdit>(d, "editCustID");
            shown = cust->text();
            PressButton("btnCancel")(d);
        });
        test::Find<QPushButton>(w, "btnPrint")->click();
        ASSERT_TRUE(script.Done());
        ASSERT_EQ(script.messages.size(), 1);
        EXPECT_EQ(script.messages[0].toStdString(),
                  QStringLiteral("quill4.ini (%1): CustID=12345678AB is not a nine-digit customer "
                                 "ID.\n\nNothing is printed until it is corrected in the Mailer "
                                 "Number dialog.")
                      .arg(QDir::toNativeSeparators(dir_.filePath(QStringLiteral("quill4.ini"))))
                      .toStdString());
    }
    EXPECT_EQ(shown, QStringLiteral("12345678")) << "the digits it holds, to complete";
    EXPECT_EQ(page_.DocumentsEnded(), 0);
    EXPECT_EQ(Saved("CustID"), QStringLiteral("12345678AB"));
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok)).Then([&](QWidget* d) {
            QLineEdit* cust = Child<QLineEdit>(d, "editCustID");
            cust->selectAll();
            QTest::keyClicks(cust, QStringLiteral("123456789"));
            PressButton("btnOK")(d);
        });
        test::Find<QPushButton>(w, "btnPrint")->click();
        ASSERT_TRUE(script.Done());
    }
    ASSERT_EQ(page_.DocumentsEnded(), 1);
    EXPECT_EQ(Saved("CustID"), QStringLiteral("123456789"));
    EXPECT_EQ(Saved("SerialNum"), QStringLiteral("0000042"));
    const QString dataT = QStringLiteral("420627019214712345678900000428");
    EXPECT_EQ(DecodeSymbols(page_.Image().copy(QRect(110, 1215, 870, 250))),
              QStringList{dataT.left(8) + QChar(0x1d) + dataT.mid(8)});
}

// An alignment of quill4.ini that is no number prints nothing until it is set again; it is never
// read as zero, nor saved over.
TEST_F(MainWindowPrint, ADamagedAlignmentStopsPrintingUntilItIsSet) {
    WriteSettings("CustID=123456789\r\nSerialNum=0000041\r\n[Print Align]\r\nLeftRight=1O\r\n");
    auto w = std::make_unique<TF_Main>();
    Child<QPlainTextEdit>(w.get(), "memoAddress")->setPlainText(QStringLiteral("John Smith"));
    Child<QLineEdit>(w.get(), "editZip")->setText(QStringLiteral("62701"));
    for (const char* command : {"btnPrint", "MIAlignmentTestPage"}) {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        if (QAction* a = Action(w.get(), command))
            a->trigger();
        else
            test::Find<QPushButton>(*w, command)->click();
        ASSERT_TRUE(script.Done()) << command;
        EXPECT_TRUE(script.messages.value(0).startsWith(
            QStringLiteral("quill4.ini (%1): LeftRight=1O is not ")
                .arg(QDir::toNativeSeparators(dir_.filePath(QStringLiteral("quill4.ini"))))))
            << script.messages.value(0).toStdString();
        EXPECT_TRUE(script.messages.value(0).contains(QStringLiteral("Printer Alignment")));
        EXPECT_EQ(page_.DocumentsEnded(), 0) << command;
    }
    w->close(); // saves the settings
    EXPECT_EQ(Saved("LeftRight"), QStringLiteral("1O")) << "kept as stored, not a zero";
    EXPECT_EQ(Saved("SerialNum"), QStringLiteral("0000041"));

    w = std::make_unique<TF_Main>();
    Child<QPlainTextEdit>(w.get(), "memoAddress")->setPlainText(QStringLiteral("John Smith"));
    Child<QLineEdit>(w.get(), "editZip")->setText(QStringLiteral("62701"));
    {
        ModalScript script;
        script.Then([&](QWidget* d) {
            Child<QSpinBox>(d, "spinLeftRight")->setValue(10);
            PressButton("btnOK")(d);
        });
        Action(w.get(), "MIPrinterAlignment")->trigger();
        ASSERT_TRUE(script.Done());
    }
    ModalScript script;
    script.Then(PressButton("btnOK")); // the Mailer Number dialog
    test::Find<QPushButton>(*w, "btnPrint")->click();
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(script.messages.isEmpty()) << script.messages.join('|').toStdString();
    EXPECT_EQ(page_.DocumentsEnded(), 1);
    w->close();
    EXPECT_EQ(Saved("LeftRight"), QStringLiteral("10"));
}

TEST_F(MainWindowPrint, AlignmentAndExtraLabelMenuItemsStoreTheirSettings) {
    WriteSettings("CustID=123456789\r\n");
    TF_Main w;
    {
        ModalScript script;
        script.Then([&](QWidget* d) {
            Child<QSpinBox>(d, "spinLeftRight")->setValue(-12);
            Child<QSpinBox>(d, "SpinUpDown")->setValue(30);
            PressButton("btnOK")(d);
        });
        Action(&w, "MIPrinterAlignment")->trigger();
    }
    EXPECT_EQ(Globals().LeftRight, -12);
    EXPECT_EQ(Globals().TopBottom, 30);
    {
        ModalScript script;
        script.Then([&](QWidget* d) {
            Child<QRadioButton>(d, "rgExtraLabelYes")->click();
            Child<QComboBox>(d, "cbExtraLabel")
                ->setEditText(QStringLiteral("Your Name and Address"));
            PressButton("btnOK")(d);
        });
        Action(&w, "MIExtraLabel")->trigger();
    }
    EXPECT_EQ(Globals().PrintExtraLabel, QStringLiteral("Yes"));
    EXPECT_EQ(Globals().ExtraLabel, QStringLiteral("Your Name and Address"));
}

TEST_F(MainWindowPrint, PrintBarCodesMenuRunsThePrePrint) {
    WriteSettings("CustID=123456789\r\nSerialNum=9999997\r\n");
    TF_Main w;
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Yes)).Then([&](QWidget* d) {
        Child<QSpinBox>(d, "editNumLabels")->setValue(3);
        PressButton("btnOK")(d);
    });
    Action(&w, "MIPrintBarCodes")->trigger();
    EXPECT_EQ(page_.DocumentsEnded(), 3);
    // SerialNum stays at the last label printed: 9999998, 9999999, 0000001.
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000001"));
    EXPECT_EQ(Saved("SerialNum"), QStringLiteral("0000001"));
    const QString last = QStringLiteral("420000009214712345678900000015");
    EXPECT_EQ(DecodeSymbols(page_.Image().copy(QRect(110, 1215, 870, 250))),
              QStringList{last.mid(8)});
}

namespace {
class RefusingLog : public PieceLog {
public:
    QString Append(const PrintRequest&, const EntryFields&, const QString&) override {
        return QStringLiteral("The log table is locked.");
    }
    void Close() noexcept override { ++closed; }
    int closed = 0;
};
} // namespace

// A piece that prints but cannot be logged: the window says so, with its number, and the
// form is dimmed as after every printed piece.
TEST_F(MainWindowPrint, UnloggedPieceIsShownWithItsTrackingNumber) {
    WriteSettings("CustID=123456789\r\nSerialNum=0000041\r\n");
    TF_Main w;
    RefusingLog log;
    w.SetPieceLog(&log);
    Globals().ConfirmNumbers = false;
    Child<QLineEdit>(&w, "editCity")->setText(QStringLiteral("Springfield"));
    Child<QLineEdit>(&w, "editZip")->setText(QStringLiteral("62701"));
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Ok));
    test::Find<QPushButton>(w, "btnPrint")->click();
    ASSERT_EQ(script.messages.size(), 1);
    EXPECT_TRUE(script.messages[0].contains(QLatin1String("9214 7123 4567 8900 0004 28")))
        << script.messages[0].toStdString();
    EXPECT_TRUE(script.messages[0].contains(QLatin1String("The log table is locked.")));
    EXPECT_EQ(log.closed, 1);
    EXPECT_FALSE(test::Find<QPushButton>(w, "btnPrint")->isEnabled());
    EXPECT_EQ(Saved("SerialNum"), QStringLiteral("0000042"));
}

// Print with an empty addressee asks first; No uses no number.
TEST_F(MainWindowPrint, EmptyAddresseeAsksFirst) {
    WriteSettings("CustID=123456789\r\nSerialNum=0000041\r\n");
    TF_Main w;
    Globals().ConfirmNumbers = false;
    ModalScript script;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    script.Then(AnswerBoxNotingDefault(QMessageBox::No, defaultButton));
    test::Find<QPushButton>(w, "btnPrint")->click();
    EXPECT_EQ(script.messages,
              QStringList{QStringLiteral("The addressee is empty. Print anyway?")});
    EXPECT_EQ(defaultButton, QMessageBox::No);
    EXPECT_EQ(page_.DocumentsEnded(), 0);
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000041"));
}

namespace {

// The addressee lines of the mailing log's entries, as the table engine reads them.
QList<QStringList> LoggedAddressees() {
    QList<QStringList> rows;
    table::TTzDbf log("TzDbfCheck");
    log.SetDbfFileName((ProgramFolder() + QStringLiteral("Reports/report3.dbf")).toStdString());
    log.SetCreateIfNotFound(false);
    log.Open();
    for (log.First(); !log.Eof(); log.Next()) {
        QStringList row;
        for (int i = 0; i < 4; ++i)
            row << QString::fromStdString(log.GetField("sentname" + std::to_string(i))).trimmed();
        rows << row;
    }
    log.Close();
    return rows;
}

// Ink of one line of the first addressee block (x 7.1, turned by 180 degrees) on a 300-dpi
// page: the line at y runs leftwards from x 7.1 within the 10-point cell above y.
QRect AddresseeLineInk(const QImage& page, double y) {
    return InkBox(page, QRect(QPoint(int(3.0 * 300), int((y - 0.12) * 300)),
                              QPoint(int(7.12 * 300), int(y * 300) - 1)));
}

} // namespace

// The Print button over pieces a new user gets wrong, through the real print road into page
// images and the mailing log: a four-digit ZIP prints nothing and says why, an empty ZIP asks,
// a 34-character line asks and Shorten prints and logs the same 30 characters, a fee with a
// letter keeps its text and says so, and four lines whose first is long all print.
TEST_F(MainWindowPrint, WrongPiecesAreStoppedAndLongLinesPrintAsLogged) {
    WriteSettings("CustID=123456789\r\nSerialNum=0000041\r\n");
    table::SetErrorMode(table::TErrorMode::Exception);
    TF_Main w;
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    Globals().ConfirmNumbers = false;
    test::Find<QPlainTextEdit>(w, "memoAddress")
        ->setPlainText(QStringLiteral("John Smith\n12 Main St"));
    test::Find<QLineEdit>(w, "editCity")->setText(QStringLiteral("Springfield"));
    test::Find<QLineEdit>(w, "editState")->setText(QStringLiteral("IL"));
    test::Find<QLineEdit>(w, "editZip")->setText(QStringLiteral("1990"));
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        test::Find<QPushButton>(w, "btnPrint")->click();
        ASSERT_EQ(script.messages.size(), 1);
        EXPECT_TRUE(script.messages[0].startsWith(QStringLiteral("The ZIP code \"1990\" cannot")))
            << script.messages[0].toStdString();
    }
    QTRY_VERIFY_WITH_TIMEOUT(test::Find<QLineEdit>(w, "editZip")->hasFocus(), 2000);
    EXPECT_EQ(page_.DocumentsEnded(), 0);
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000041"));

    test::Find<QLineEdit>(w, "editZip")->clear();
    {
        ModalScript script;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        script.Then(AnswerBoxNotingDefault(QMessageBox::No, defaultButton));
        test::Find<QPushButton>(w, "btnPrint")->click();
        EXPECT_EQ(script.messages,
                  QStringList{QStringLiteral(
                      "The ZIP code is empty. The mailer will be printed without one: its "
                      "tracking barcodes will carry the tracking number alone, without a ZIP "
                      "routing code. Print anyway?")});
        EXPECT_EQ(defaultButton, QMessageBox::No);
    }
    EXPECT_EQ(page_.DocumentsEnded(), 0);

    // Edit goes back to the line, the cursor after character 30; Shorten prints.
    const QString line2 = QStringLiteral("1234 Very Long Avenue Name Ste 5");
    ASSERT_EQ(line2.size(), 32);
    const QString line2Long = line2 + QStringLiteral("AB");
    test::Find<QPlainTextEdit>(w, "memoAddress")
        ->setPlainText(QStringLiteral("John Smith\n") + line2Long);
    test::Find<QLineEdit>(w, "editZip")->setText(QStringLiteral("62701"));
    const auto pressCaption = [](const char* caption, QStringList* captions = nullptr) {
        return [=](QWidget* box) {
            auto* b = qobject_cast<QMessageBox*>(box);
            if (captions) {
                for (QAbstractButton* button : b->buttons()) *captions << button->text();
                *captions << QStringLiteral("default:") + b->defaultButton()->text();
            }
            for (QAbstractButton* button : b->buttons())
                if (button->text() == QLatin1String(caption)) button->click();
        };
    };
    {
        ModalScript script;
        QStringList captions;
        script.Then(pressCaption("Edit", &captions));
        test::Find<QPushButton>(w, "btnPrint")->click();
        EXPECT_EQ(script.messages,
                  QStringList{QStringLiteral("Line 2 has 34 characters; the mailing log keeps 30. "
                                             "Print it shortened to 30 on the form and in the "
                                             "log?")});
        captions.sort();
        EXPECT_EQ(captions, (QStringList{"Edit", "Shorten", "default:Edit"}));
    }
    QTRY_VERIFY_WITH_TIMEOUT(test::Find<QPlainTextEdit>(w, "memoAddress")->hasFocus(), 2000);
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "memoAddress")->textCursor().blockNumber(), 1);
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "memoAddress")->textCursor().positionInBlock(), 30);
    EXPECT_EQ(page_.DocumentsEnded(), 0);
    {
        ModalScript script;
        script.Then(pressCaption("Shorten"));
        test::Find<QPushButton>(w, "btnPrint")->click();
        EXPECT_TRUE(script.Done());
    }
    ASSERT_EQ(page_.DocumentsEnded(), 1);
    EXPECT_EQ(LoggedAddressees().value(0), (QStringList{"John Smith", line2Long.left(30), "", ""}));
    // The form carries the same 30 characters: 30 OCR-A characters of 1/12 inch.
    const QRect printed = AddresseeLineInk(page_.Image(), 6.55);
    EXPECT_NEAR(printed.width(), 30 * 25, 25) << printed.width();
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000042"));

    // A fee with a letter: the message, the text kept, the focus back.
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        test::Find<QLineEdit>(w, "editPostage")->setFocus(Qt::TabFocusReason);
        test::Find<QLineEdit>(w, "editPostage")->setText(QStringLiteral("0.39f"));
        test::Find<QLineEdit>(w, "editCertFee")->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY_WITH_TIMEOUT(script.Done(), 2000);
        ASSERT_EQ(script.messages.size(), 1);
        EXPECT_TRUE(script.messages[0].contains(QStringLiteral("\"0.39f\"")));
    }
    EXPECT_EQ(test::Find<QLineEdit>(w, "editPostage")->text(), QStringLiteral("0.39f"));
    w.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(test::Find<QLineEdit>(w, "editPostage")->hasFocus(), 2000);
    test::Find<QLineEdit>(w, "editPostage")->setText(QStringLiteral("0.39"));
    test::Find<QLineEdit>(w, "editCertFee")->setFocus(Qt::TabFocusReason);

    // Four lines, the first as wide as the box: nothing wraps, all four print and are logged.
    const QString wide(26, QLatin1Char('W'));
    test::Find<QPlainTextEdit>(w, "memoAddress")
        ->setPlainText(wide + QStringLiteral("\nLine two\nLine three\nLine four"));
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "memoAddress")->document()->blockCount(), 4);
    {
        ModalScript none;
        test::Find<QPushButton>(w, "btnPrint")->click();
        EXPECT_TRUE(none.messages.isEmpty()) << none.messages.join('|').toStdString();
    }
    ASSERT_EQ(page_.DocumentsEnded(), 2);
    EXPECT_EQ(LoggedAddressees().value(1),
              (QStringList{wide, "Line two", "Line three", "Line four"}));
    EXPECT_NEAR(AddresseeLineInk(page_.Image(), 6.7).width(), 26 * 25, 25);
    for (const double y : {6.55, 6.4, 6.25, 6.1})
        EXPECT_FALSE(AddresseeLineInk(page_.Image(), y).isNull()) << "line at " << y;
}

// The mailer's print job is titled with its tracking number.
TEST_F(MainWindowPrint, PrintJobsAreTitled) {
    WriteSettings("CustID=123456789\r\nSerialNum=0000011\r\n");
    TF_Main w;
    Globals().ConfirmNumbers = false;
    test::Find<QPlainTextEdit>(w, "memoAddress")->setPlainText(QStringLiteral("John Smith"));
    test::Find<QLineEdit>(w, "editZip")->setText(QStringLiteral("62701"));
    test::Find<QPushButton>(w, "btnPrint")->click();
    const QString data = BuildBarcodeData(QStringLiteral("123456789"), QStringLiteral("0000012"),
                                          QStringLiteral("62701"), QStringLiteral("T"));
    EXPECT_EQ(page_.DocumentTitles(),
              QStringList{QStringLiteral("Certified Mail ") + ReadableNumber(data)});
    EXPECT_TRUE(page_.DocumentTitles().value(0).startsWith(
        QStringLiteral("Certified Mail 9214 7123 4567 8900 0001 2")));
}
