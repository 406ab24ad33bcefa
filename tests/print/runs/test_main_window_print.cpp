// The print commands of the main window, end to end: menu items and buttons, the
// dialogs they open, the settings they keep, and the printed page.
#ifdef QM_HAVE_MAIN_WINDOW

#include "app/core/program_folder.h"
#include "app/core/settings.h"
#include "app/main_window.h"
#include "decode.h"
#include "modal_script.h"
#include "print/barcode_data.h"
#include "print/page.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
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
        w.btnPrint->click();
        EXPECT_EQ(shown, QStringLiteral("0000042"));
        EXPECT_TRUE(script.Done());
    }
    EXPECT_EQ(page_.DocumentsEnded(), 1);
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000042"));
    EXPECT_EQ(Saved("SerialNum"), QStringLiteral("0000042"));
    EXPECT_FALSE(w.btnPrint->isEnabled());
    const QString dataT = BuildBarcodeData(QStringLiteral("123456789"), QStringLiteral("0000042"),
                                           QStringLiteral("62701"), QStringLiteral("T"));
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
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("9999998"));
    const QString last = BuildBarcodeData(QStringLiteral("123456789"), QStringLiteral("0000001"),
                                          QStringLiteral("00000"), QStringLiteral("T"));
    EXPECT_EQ(DecodeSymbols(page_.Image().copy(QRect(110, 1215, 870, 250))),
              QStringList{last.left(8) + QChar(0x1d) + last.mid(8)});
}

#endif
