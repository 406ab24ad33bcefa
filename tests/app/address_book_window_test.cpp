// The address book in the main window, end to end: table mode over a real table, the
// navigator, delete and recall, leaving with the pack, mass print onto page images with log
// entries, paste in both modes, and the name-and-address import and export commands.
#include "app/address_book.h"
#include "app/file_choice.h"
#include "app/main_window.h"
#include "collecting_target.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "decode.h"
#include "log/ui/log_window.h"
#include "modal_script.h"
#include "piece/piece_log.h"
#include "print/page.h"
#include "scripted_files.h"
#include "table/engine_error.h"
#include "table/tzdbf.h"
#include "test_support.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace qm;
using namespace qm::test;

namespace {

// The records of a table as Perl's XBase module reads them: "deleted|field|field...".
QStringList XBaseRecords(const QString& file) {
    QProcess perl;
    perl.start(QStringLiteral("perl"),
               {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("dump"), file});
    perl.waitForFinished(60000);
    // Each record starts on a line of its own with its deleted flag; memo texts hold line ends.
    QStringList lines = QString::fromLatin1(perl.readAllStandardOutput())
                            .split(QRegularExpression(QStringLiteral("\n(?=[01]\\||fields |$)")));
    if (lines.size() < 2)
        return {QStringLiteral("<xbase failed: %1>")
                    .arg(QString::fromLatin1(perl.readAllStandardError()))};
    lines = lines.mid(2); // version and field lines
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

class AddressBookWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetProgramFolderOverride(dir_.path());
        Globals() = GlobalVariables{};
        table::SetErrorMode(table::TErrorMode::Exception);
        SetActivePageTarget(&pages_);
        SetFileChoiceOverride(&files_);
        QFile f(dir_.filePath(QStringLiteral("quill4.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Type]\r\nCompany=Larkfield\r\nBarCodeApp=0\r\n"
                "[YourAddress]\r\nLine1=Ann Sender\r\nCity=Dover\r\nState=DE\r\nZip=19901\r\n"
                "[Values]\r\nCustID=123456789\r\nSerialNum=0000041\r\n");
    }
    void TearDown() override {
        SetFileChoiceOverride(nullptr);
        SetActivePageTarget(nullptr);
        SetProgramFolderOverride({});
        Globals() = GlobalVariables{};
    }
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    // A table in the address shape with one record per (memo, city, state, zip).
    void MakeTable(const QString& file, const std::vector<std::array<const char*, 4>>& records) {
        table::TTzDbf t("TzDbfMake");
        t.SetDbfFields({"Address,M,10,0", "City,C,20,0", "State,C,4,0", "Zip,C,10,0"});
        t.SetDbfFileName(file.toStdString());
        t.Open();
        t.ALock();
        for (const auto& r : records) {
            t.ClearRecord();
            t.SetMField("Address", {r[0]});
            t.SetField("City", r[1]);
            t.SetField("State", r[2]);
            t.SetField("Zip", r[3]);
            t.AppendRec();
        }
        t.Close();
    }
    void Open(TF_Main& w, const QString& file) {
        files_.answers.push_back(file);
        test::Find<QAction>(w, "MIReadWriteToDB")->trigger();
    }
    void Press(TF_Main& w, TNavigateBtn b) {
        test::Find<TTzNavigator>(w, "tznavigator1")->Button(b)->click();
    }
    static QString Order(TF_Main& w) { return test::Find<QLabel>(w, "labelOrder")->text(); }

    QTemporaryDir dir_;
    CollectingTarget pages_;
    ScriptedFiles files_;
};

} // namespace

TEST_F(AddressBookWindow, BrowseInsertEditDeleteRecallAndLeaveWithThePack) {
    const QString file = Path("book.dbf");
    MakeTable(file, {{{"Ann Able", "Akron", "OH", "44301"}},
                     {{"Bob Baker", "Boise", "ID", "83702"}},
                     {{"Cy Cole", "Camden", "NJ", "08101"}},
                     {{"Dee Dunn", "Dover", "DE", "19901"}}});
    TF_Main w;
    EXPECT_FALSE(test::Find<QAction>(w, "MIMassPrint")->isEnabled());
    Open(w, file);
    ASSERT_FALSE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->isHidden());
    EXPECT_TRUE(test::Find<QPlainTextEdit>(w, "memoAddress")->isHidden());
    EXPECT_TRUE(test::Find<QPushButton>(w, "btnClear")->isHidden());
    EXPECT_FALSE(test::Find<QPushButton>(w, "btnExit")->isHidden());
    EXPECT_TRUE(test::Find<QAction>(w, "MIMassPrint")->isEnabled());
    // The temporary folder's name is long: the label shows its last part only.
    const QString shown = test::Find<QLabel>(w, "labelDatabaseName")->text();
    EXPECT_TRUE(shown == QFileInfo(file).absoluteFilePath() ||
                (shown.startsWith(QStringLiteral(".../")) &&
                 QFileInfo(file).absoluteFilePath().endsWith(shown.mid(3))))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/book.dbf")));
    EXPECT_LE(
        test::Find<QLabel>(w, "labelDatabaseName")->fontMetrics().horizontalAdvance(shown.mid(4)),
        265);
    EXPECT_EQ(test::Find<QPushButton>(w, "btnPaste")->geometry(), QRect(206, 36, 59, 25));
    EXPECT_EQ(Order(w), QStringLiteral("1/4"));
    EXPECT_EQ(test::Find<QLabel>(w, "labelOrder")->width(),
              test::Find<TTzNavigator>(w, "tznavigator1")->width());
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText(),
              QStringLiteral("Ann Able"));
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditCity")->text(), QStringLiteral("Akron"));
    EXPECT_EQ(Globals().SystemPathDefault, QFileInfo(file).absolutePath());

    // The hints of the nine buttons, in order.
    QStringList hints;
    for (int i = 0; i < TTzNavigator::kButtons; ++i)
        hints << test::Find<TTzNavigator>(w, "tznavigator1")->Button(TNavigateBtn(i))->toolTip();
    EXPECT_EQ(hints, (QStringList{"First record", "Prior record", "Next record", "Last record",
                                  "Insert record", "Delete record", "Post edit", "Cancel edit",
                                  "Refresh data"}));

    Press(w, TNavigateBtn::nbNext);
    EXPECT_EQ(Order(w), QStringLiteral("2/4"));
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText(),
              QStringLiteral("Bob Baker"));
    Press(w, TNavigateBtn::nbLast);
    EXPECT_EQ(Order(w), QStringLiteral("4/4"));
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditState")->text(), QStringLiteral("DE"));
    Press(w, TNavigateBtn::nbPrior);
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditCity")->text(), QStringLiteral("Camden"));
    Press(w, TNavigateBtn::nbFirst);
    EXPECT_EQ(Order(w), QStringLiteral("1/4"));

    // Typing starts an edit; moving posts it.
    test::Find<QLineEdit>(w, "tzeditCity")->selectAll();
    QTest::keyClicks(test::Find<QLineEdit>(w, "tzeditCity"), QStringLiteral("Alliance"));
    EXPECT_TRUE(w.AddressBook().Editing());
    Press(w, TNavigateBtn::nbNext);
    EXPECT_FALSE(w.AddressBook().Editing());
    Press(w, TNavigateBtn::nbPrior);
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditCity")->text(), QStringLiteral("Alliance"));

    // Cancel drops a pending edit.
    test::Find<QLineEdit>(w, "tzeditState")->selectAll();
    QTest::keyClicks(test::Find<QLineEdit>(w, "tzeditState"), QStringLiteral("XX"));
    Press(w, TNavigateBtn::nbCancel);
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditState")->text(), QStringLiteral("OH"));

    // Insert and post a new record; a fifth memo line is removed at once.
    Press(w, TNavigateBtn::nbInsert);
    EXPECT_TRUE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText().isEmpty());
    test::Find<QPlainTextEdit>(w, "tzmemoAddress")->setFocus();
    QTest::keyClicks(test::Find<QPlainTextEdit>(w, "tzmemoAddress"), QStringLiteral("Eve Ely"));
    for (const char* line : {"Ely & Sons", "Unit 2", "5 Fir St", "fifth"}) {
        QTest::keyClick(test::Find<QPlainTextEdit>(w, "tzmemoAddress"), Qt::Key_Return);
        QTest::keyClicks(test::Find<QPlainTextEdit>(w, "tzmemoAddress"), QString::fromLatin1(line));
    }
    // The line break before the removed line stays; an empty last line is no line.
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText().toStdString(),
              "Eve Ely\nEly & Sons\nUnit 2\n5 Fir St\n");
    QTest::keyClicks(test::Find<QLineEdit>(w, "tzeditCity"), QStringLiteral("Erie"));
    QTest::keyClicks(test::Find<QLineEdit>(w, "tzeditState"), QStringLiteral("PA"));
    test::Find<QLineEdit>(w, "tzeditZip")->setText(QStringLiteral("16501-1234"));
    Press(w, TNavigateBtn::nbPost);
    EXPECT_EQ(Order(w), QStringLiteral("5/5"));

    // Delete asks on an unmarked record and marks it; a second press recalls it at once.
    Press(w, TNavigateBtn::nbFirst);
    Press(w, TNavigateBtn::nbNext); // Bob
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        Press(w, TNavigateBtn::nbDelete);
        EXPECT_EQ(script.messages, QStringList{QStringLiteral("Delete Record ?")});
    }
    EXPECT_TRUE(w.AddressBook().Table().Deleted());
    Press(w, TNavigateBtn::nbNext); // Cy: marked, then recalled without a question
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        Press(w, TNavigateBtn::nbDelete);
        EXPECT_TRUE(w.AddressBook().Table().Deleted());
        Press(w, TNavigateBtn::nbDelete);
        EXPECT_FALSE(w.AddressBook().Table().Deleted());
        EXPECT_EQ(script.messages, QStringList{QStringLiteral("Delete Record ?")});
    }
    Press(w, TNavigateBtn::nbNext); // Dee: the question cancelled leaves it unmarked
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Cancel));
        Press(w, TNavigateBtn::nbDelete);
        EXPECT_FALSE(w.AddressBook().Table().Deleted());
    }
    // Marked records stay visible and counted.
    EXPECT_EQ(Order(w), QStringLiteral("4/5"));
    EXPECT_EQ(XBaseRecords(file).join(QLatin1Char('\n')).toStdString(),
              (QStringList{"0|Ann Able|Alliance|OH|44301", "1|Bob Baker|Boise|ID|83702",
                           "0|Cy Cole|Camden|NJ|08101", "0|Dee Dunn|Dover|DE|19901",
                           "0|Eve Ely\r\nEly & Sons\r\nUnit 2\r\n5 Fir St|Erie|PA|16501-1234"})
                  .join(QLatin1Char('\n'))
                  .toStdString());

    // Leaving packs: the marked record is gone; the free-entry controls come back.
    test::Find<QPushButton>(w, "btnExit")->click();
    EXPECT_TRUE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->isHidden());
    EXPECT_FALSE(test::Find<QPlainTextEdit>(w, "memoAddress")->isHidden());
    EXPECT_FALSE(test::Find<QPushButton>(w, "btnClear")->isHidden());
    EXPECT_FALSE(test::Find<QAction>(w, "MIMassPrint")->isEnabled());
    EXPECT_EQ(test::Find<QPushButton>(w, "btnPaste")->geometry(), QRect(10, 138, 75, 25));
    EXPECT_FALSE(w.AddressBook().IsOpen());
    const QStringList packed = XBaseRecords(file);
    ASSERT_EQ(packed.size(), 4) << packed.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(packed.join(QLatin1Char('\n')).contains(QStringLiteral("Bob")));
}

// Another copy of the program writes to the shared book while this window shows it: each move
// and Refresh shows the records as the file holds them, the counter counts the appended one,
// and an edit here posts over the other copy's record as the controls show it.
TEST_F(AddressBookWindow, MovesShowWhatAnotherCopyWrote) {
    const QString file = Path("shared.dbf");
    MakeTable(file, {{{"Ann Able", "Akron", "OH", "44301"}},
                     {{"Bob Baker", "Boise", "ID", "83702"}},
                     {{"Cy Cole", "Camden", "NJ", "08101"}}});
    TF_Main w;
    Open(w, file);
    Press(w, TNavigateBtn::nbNext);
    Press(w, TNavigateBtn::nbPrior);
    ASSERT_EQ(test::Find<QLineEdit>(w, "tzeditCity")->text(), QStringLiteral("Akron"));
    // The other copy: a second handle, excluded by the same locks as a second process.
    table::TTzDbf other("TzDbfOtherCopy");
    other.SetDbfFileName(file.toStdString());
    other.Open();
    other.SetRecNo(2);
    other.SetMField("Address", {"Bo Baker", "Baker Farm"});
    other.SetField("City", "Burley");
    other.Post();
    other.SetRecNo(1);
    other.SetField("City", "Ada");
    other.Post();
    other.Insert();
    other.SetMField("Address", {"Dee Dunn"});
    other.SetField("City", "Dover");
    other.Post();
    other.Close();

    Press(w, TNavigateBtn::nbNext);
    EXPECT_EQ(Order(w), QStringLiteral("2/4"));
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText(),
              QStringLiteral("Bo Baker\nBaker Farm"));
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditCity")->text(), QStringLiteral("Burley"));
    Press(w, TNavigateBtn::nbLast);
    EXPECT_EQ(Order(w), QStringLiteral("4/4"));
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText(),
              QStringLiteral("Dee Dunn"));
    Press(w, TNavigateBtn::nbFirst);
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditCity")->text(), QStringLiteral("Ada"));

    // Refresh rereads the record shown.
    {
        table::TTzDbf again("TzDbfOtherCopy");
        again.SetDbfFileName(file.toStdString());
        again.Open();
        again.SetField("State", "ID");
        again.Post();
        again.Close();
    }
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditState")->text(), QStringLiteral("OH"));
    Press(w, TNavigateBtn::nbRefresh);
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditState")->text(), QStringLiteral("ID"));
    test::Find<QLineEdit>(w, "tzeditZip")->setText(QStringLiteral("83301"));
    Press(w, TNavigateBtn::nbPost);
    test::Find<QPushButton>(w, "btnExit")->click();
    EXPECT_EQ(XBaseRecords(file).join(QLatin1Char('\n')).toStdString(),
              (QStringList{"0|Ann Able|Ada|ID|83301", "0|Bo Baker\r\nBaker Farm|Burley|ID|83702",
                           "0|Cy Cole|Camden|NJ|08101", "0|Dee Dunn|Dover||"})
                  .join(QLatin1Char('\n'))
                  .toStdString());
}

TEST_F(AddressBookWindow, NewAndUnsuitableTables) {
    TF_Main w;
    // A new name creates a table in the import's shape with one blank record.
    const QString fresh = Path("fresh.dbf");
    Open(w, fresh);
    ASSERT_TRUE(w.AddressBook().IsOpen());
    EXPECT_EQ(Order(w), QStringLiteral("1/1"));
    EXPECT_TRUE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText().isEmpty());
    test::Find<QPushButton>(w, "btnExit")->click();
    QProcess perl;
    perl.start(QStringLiteral("perl"),
               {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("dump"), fresh});
    perl.waitForFinished(60000);
    const QStringList dump = QString::fromLatin1(perl.readAllStandardOutput()).split('\n');
    ASSERT_GE(dump.size(), 2);
    EXPECT_EQ(dump[1], QStringLiteral("fields ADDRESS:M:10:0,CITY:C:20:0,STATE:C:4:0,ZIP:C:10:0"));

    // A table without a ZIP field is refused before table mode starts.
    const QString other = Path("other.dbf");
    {
        table::TTzDbf t("TzDbfOther");
        t.SetDbfFields({"Address,M,10,0", "City,C,20,0", "State,C,4,0"});
        t.SetDbfFileName(other.toStdString());
        t.Open();
        t.Close();
    }
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Ok));
    Open(w, other);
    ASSERT_EQ(script.messages.size(), 1);
    EXPECT_TRUE(script.messages[0].contains(QStringLiteral("ZIP")))
        << script.messages[0].toStdString();
    EXPECT_TRUE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->isHidden());
    EXPECT_FALSE(test::Find<QAction>(w, "MIMassPrint")->isEnabled());

    // Cancelling the open dialog changes nothing.
    Open(w, QString());
    EXPECT_TRUE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->isHidden());
}

TEST_F(AddressBookWindow, ImportedFourLineAddressesMassPrintWithConsecutiveSerials) {
    // Three addresses, the first with four lines; imported memo lines end in LF CR.
    const QString text = Path("names.txt");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\"Ann Able\",\"Able & Co\",\"Suite 4\",\"1 Elm St\",\"Akron\",\"OH\",\"44301\"\r\n"
                "Bob Baker,2 Oak Ave,,,Boise,ID,83702\r\n"
                "\"Cy Cole\",\"3 Pine Rd\",\"\",\"\",\"Camden\",\"NJ\",\"08101-2345\"\r\n");
    }
    const QString table = Path("names.dbf");
    TF_Main w;
    {
        files_.answers = {text, table};
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        test::Find<QAction>(w, "MIImport")->trigger();
        EXPECT_EQ(script.messages, QStringList{QStringLiteral("Import Done.")});
        EXPECT_EQ(files_.proposed, QStringList{QStringLiteral("names.dbf")});
    }
    Open(w, table);
    ASSERT_TRUE(w.AddressBook().IsOpen());
    EXPECT_EQ(Order(w), QStringLiteral("1/3"));
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText(),
              QStringLiteral("Ann Able\nAble & Co\nSuite 4\n1 Elm St"));
    const EntryFields fields = w.FilledEntryFields();
    EXPECT_EQ(fields.addresseeLines,
              (std::array<QString, 4>{"Ann Able", "Able & Co", "Suite 4", "1 Elm St"}));

    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Yes))
            .Then([&](QWidget* d) {
                // The progress window stands beside the main window while the run goes on.
                auto* progress = w.findChild<QProgressDialog*>(QStringLiteral("MassPrintProgress"));
                ASSERT_NE(progress, nullptr);
                EXPECT_TRUE(progress->isVisible());
                EXPECT_EQ(progress->labelText(), QStringLiteral("Printing 1 of 3"));
                EXPECT_FALSE(w.centralWidget()->isEnabled());
                d->findChild<QCheckBox*>(QStringLiteral("cbDontShow"))->setChecked(true);
                PressButton("btnOK")(d);
            })
            .Then(AnswerBox(QMessageBox::Ok));
        test::Find<QAction>(w, "MIMassPrint")->trigger();
        EXPECT_TRUE(script.Done());
        ASSERT_EQ(script.messages.size(), 2);
        EXPECT_EQ(
            script.messages[0],
            QStringLiteral("You are about to print 3 labels.\n\rWould you like to continue?"));
        EXPECT_TRUE(script.messages[1].startsWith(
            QStringLiteral("3 of the pieces were printed and 3 entered in the mailing log.")))
            << script.messages[1].toStdString();
    }
    ASSERT_EQ(pages_.pages.size(), 3u);
    QStringList serials;
    for (const QImage& page : pages_.pages) {
        for (const QString& symbol : DecodeSymbols(page)) {
            const qsizetype at = symbol.indexOf(QLatin1String("92147123456789"));
            if (at >= 0) serials << symbol.mid(at + 14, 7);
        }
    }
    EXPECT_EQ(serials, (QStringList{"0000042", "0000043", "0000044"}));
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000044"));

    // Three log entries, each with the addressee lines of its record, all four for the first.
    const QStringList log = XBaseRecords(ProgramFolder() + QStringLiteral("Reports/report3.dbf"));
    ASSERT_EQ(log.size(), 3) << log.join('\n').toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("|Ann Able|Able & Co|Suite 4|1 Elm St|")))
        << log[0].toStdString();
    EXPECT_TRUE(log[1].contains(QStringLiteral("|Bob Baker|2 Oak Ave|"))) << log[1].toStdString();
    EXPECT_TRUE(log[2].contains(QStringLiteral("|Cy Cole|3 Pine Rd|"))) << log[2].toStdString();
    EXPECT_TRUE(w.centralWidget()->isEnabled());
    EXPECT_EQ(w.findChild<QProgressDialog*>(), nullptr);
    // The table stays on its last record.
    EXPECT_EQ(Order(w), QStringLiteral("3/3"));
}

TEST_F(AddressBookWindow, PasteInBothModesAndExportThenImport) {
    TF_Main w;
    // A lone line feed stays in its line and is not shown.
    QGuiApplication::clipboard()->setText(
        QStringLiteral("Ann\nAble\r\n1 Elm St\r\nAkron, OH 44301-1234"));
    test::Find<QPushButton>(w, "btnPaste")->click();
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "memoAddress")->toPlainText(),
              QStringLiteral("AnnAble\n1 Elm St\n"));
    EXPECT_EQ(test::Find<QLineEdit>(w, "editCity")->text(), QStringLiteral("Akron"));
    EXPECT_EQ(test::Find<QLineEdit>(w, "editState")->text(), QStringLiteral("OH"));
    EXPECT_EQ(test::Find<QLineEdit>(w, "editZip")->text(), QStringLiteral("44301-1234"));

    const QString file = Path("book.dbf");
    MakeTable(file, {{{"Old Name", "Oldtown", "OR", "97001"}}});
    Open(w, file);
    QGuiApplication::clipboard()->setText(QStringLiteral("Bob Baker\r\nBoise, ID 83702"));
    test::Find<QPushButton>(w, "btnPaste")->click();
    // The paste starts an edit; the hidden free-entry fields were cleared.
    EXPECT_TRUE(w.AddressBook().Editing());
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText(),
              QStringLiteral("Bob Baker\n"));
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditCity")->text(), QStringLiteral("Boise"));
    EXPECT_TRUE(test::Find<QLineEdit>(w, "editCity")->text().isEmpty());
    Press(w, TNavigateBtn::nbPost);
    test::Find<QPushButton>(w, "btnExit")->click();
    EXPECT_EQ(XBaseRecords(file), QStringList{QStringLiteral("0|Bob Baker|Boise|ID|83702")});
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "memoAddress")->toPlainText(), QString());

    // A text with no separator ending in a lone line feed stops after the clear.
    Open(w, file);
    QGuiApplication::clipboard()->setText(QStringLiteral("Carl\nCamden, NJ 08101\n"));
    test::Find<QPushButton>(w, "btnPaste")->click();
    EXPECT_TRUE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText().isEmpty());
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditCity")->text(), QStringLiteral("Boise"));
    Press(w, TNavigateBtn::nbCancel);
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText(),
              QStringLiteral("Bob Baker"));

    // Export proposes the text name and writes every field quoted.
    const QString text = Path("book-out.txt");
    files_.answers = {file, text};
    files_.proposed.clear();
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        test::Find<QAction>(w, "MIExport")->trigger();
        EXPECT_EQ(script.messages, QStringList{QStringLiteral("Export Done.")});
    }
    EXPECT_EQ(files_.proposed, QStringList{QStringLiteral("book.txt")});
    QFile out(text);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(),
              QByteArray("\"Bob Baker\",\"\",\"\",\"\",\"Boise\",\"ID\",\"83702\"\r\n"));

    // Import with Append into the open table: the table is closed for it and reopened after.
    files_.answers = {text, file};
    {
        ModalScript script;
        script
            .Then([](QWidget* d) {
                QList<QPushButton*> buttons = d->findChildren<QPushButton*>();
                for (QPushButton* b : buttons)
                    if (b->text() == QStringLiteral("&Append")) b->click();
            })
            .Then(AnswerBox(QMessageBox::Ok));
        test::Find<QAction>(w, "MIImport")->trigger();
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(script.messages, QStringList{QStringLiteral("Import Done.")});
    }
    ASSERT_TRUE(w.AddressBook().IsOpen());
    EXPECT_EQ(Order(w), QStringLiteral("1/2"));
    Press(w, TNavigateBtn::nbLast);
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText(),
              QStringLiteral("Bob Baker"));
    EXPECT_EQ(test::Find<QLineEdit>(w, "tzeditZip")->text(), QStringLiteral("83702-"));

    // Overwrite replaces the table; an unsuitable table is refused with the import's error.
    files_.answers = {text, file};
    {
        ModalScript script;
        script
            .Then([](QWidget* d) {
                for (QPushButton* b : d->findChildren<QPushButton*>())
                    if (b->text() == QStringLiteral("&Overwrite")) b->click();
            })
            .Then(AnswerBox(QMessageBox::Ok));
        test::Find<QAction>(w, "MIImport")->trigger();
        EXPECT_TRUE(script.Done());
    }
    EXPECT_EQ(Order(w), QStringLiteral("1/1"));
    EXPECT_TRUE(QDir(dir_.path()).entryList({QStringLiteral("*.old")}).isEmpty());
    test::Find<QPushButton>(w, "btnExit")->click();

    const QString other = Path("other.dbf");
    {
        table::TTzDbf t("TzDbfOther");
        t.SetDbfFields({"Name,C,20,0"});
        t.SetDbfFileName(other.toStdString());
        t.Open();
        t.Close();
    }
    files_.answers = {text, other};
    {
        ModalScript script;
        script
            .Then([](QWidget* d) {
                for (QPushButton* b : d->findChildren<QPushButton*>())
                    if (b->text() == QStringLiteral("&Append")) b->click();
            })
            .Then(AnswerBox(QMessageBox::Ok));
        test::Find<QAction>(w, "MIImport")->trigger();
        ASSERT_EQ(script.messages.size(), 1);
        EXPECT_TRUE(script.messages[0].startsWith(QStringLiteral("Error on import: ")));
        EXPECT_TRUE(script.messages[0].contains(QStringLiteral("ADDRESS")));
    }
}

TEST_F(AddressBookWindow, ImportTellsOnceHowManyCharactersWereReplaced) {
    // Windows-1252 text: the euro sign and the left quote have no place in code page 437.
    const QString text = Path("shops.txt");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x80uro Shop,,,,K\xf6ln,NW,50667\r\n\x91Quote\x94 Inn,,,,Bonn,NW,53111\r\n");
    }
    const QString table = Path("shops.dbf");
    files_.answers = {text, table};
    TF_Main w;
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Ok));
    test::Find<QAction>(w, "MIImport")->trigger();
    EXPECT_EQ(script.messages,
              QStringList{QStringLiteral("Import Done.\n\n3 character(s) of the text file could "
                                         "not be stored in the table's code page and were "
                                         "replaced by \"?\".")});
    const QStringList records = XBaseRecords(table);
    ASSERT_EQ(records.size(), 2);
    EXPECT_TRUE(records[0].startsWith(QStringLiteral("0|?uro Shop\n\r|K")))
        << records[0].toStdString();
}

TEST_F(AddressBookWindow, ImportNamesTheLinesItRefused) {
    // Two good lines around a five-field line and an unclosed quote; a blank line at the end.
    const QString text = Path("some.txt");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Ann Able,1 Elm St,,,Akron,OH,44301\r\n"
                "Bob Baker,2 Oak Ave,,,Boise\r\n"
                "\"Cy Cole\",\"3 Pine Rd\",\"\",\"\",\"Tampa,FL,33602\r\n"
                "\"Jos\xC3\xA9 Ruiz\",,,,Tampa,FL,33602\r\n"
                "\r\n");
    }
    const QString table = Path("some.dbf");
    MakeTable(table, {{{"Old Name", "Oldtown", "OR", "97001"}}});
    TF_Main w;
    Open(w, table);
    auto overwrite = [](QWidget* d) {
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("&Overwrite")) b->click();
    };
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    auto noteIcon = [&](QWidget* d) {
        if (auto* box = qobject_cast<QMessageBox*>(d)) icon = box->icon();
        AnswerBox(QMessageBox::Ok)(d);
    };
    // Overwrite with some lines refused: the good lines replace the table.
    files_.answers = {text, table};
    {
        ModalScript script;
        script.Then(overwrite).Then(noteIcon);
        test::Find<QAction>(w, "MIImport")->trigger();
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(script.messages, QStringList{QStringLiteral("2 lines were imported; 2 were not:\n"
                                                              "line 2: 5 fields, 7 expected\n"
                                                              "line 3: a quote is not closed")});
        EXPECT_EQ(icon, QMessageBox::Warning);
    }
    EXPECT_EQ(Order(w), QStringLiteral("1/2"));
    EXPECT_EQ(XBaseRecords(table),
              (QStringList{QStringLiteral("0|Ann Able\n\r\r\n1 Elm St\n\r|Akron|OH|44301"),
                           QStringLiteral("0|Jos\u0082 Ruiz\n\r|Tampa|FL|33602")}));

    // Overwrite with every line refused: the table stays as it was.
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Bob Baker,2 Oak Ave,,,Boise,ID,83702,USA\n");
    }
    files_.answers = {text, table};
    {
        ModalScript script;
        script.Then(overwrite).Then(AnswerBox(QMessageBox::Ok));
        test::Find<QAction>(w, "MIImport")->trigger();
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(script.messages,
                  QStringList{QStringLiteral("0 lines were imported; 1 was not:\n"
                                             "line 1: 8 fields, 7 expected\n\n"
                                             "Nothing was written to the table.")});
    }
    EXPECT_EQ(Order(w), QStringLiteral("1/2"));
    EXPECT_EQ(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->toPlainText(),
              QStringLiteral("Ann Able\n1 Elm St"));
}

TEST_F(AddressBookWindow, CancelInTheProgressWindowStopsAfterThePieceBeingPrinted) {
    const QString file = Path("four.dbf");
    MakeTable(file, {{{"Ann Able", "Akron", "OH", "44301"}},
                     {{"Bob Baker", "Boise", "ID", "83702"}},
                     {{"Cy Cole", "Camden", "NJ", "08101"}},
                     {{"Dee Dunn", "Dover", "DE", "19901"}}});
    TF_Main w;
    Open(w, file);
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Yes))
        .Then([&](QWidget* d) {
            // Cancel pressed while the first piece is on its way.
            auto* progress = w.findChild<QProgressDialog*>(QStringLiteral("MassPrintProgress"));
            ASSERT_NE(progress, nullptr);
            progress->cancel();
            PressButton("btnOK")(d);
        })
        .Then(AnswerBox(QMessageBox::Ok));
    test::Find<QAction>(w, "MIMassPrint")->trigger();
    EXPECT_TRUE(script.Done());
    ASSERT_EQ(script.messages.size(), 2);
    EXPECT_TRUE(script.messages[1].startsWith(
        QStringLiteral("1 of the pieces were printed and 1 entered in the mailing log.")))
        << script.messages[1].toStdString();
    EXPECT_TRUE(script.messages[1].contains(QStringLiteral("cancelled")));
    EXPECT_EQ(pages_.pages.size(), 1u);
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000042"));
    EXPECT_EQ(XBaseRecords(ProgramFolder() + QStringLiteral("Reports/report3.dbf")).size(), 1);
}

// A record marked deleted shows so (the mark beside the navigator, its fields greyed) and is
// never mass-printed: the question counts only the pieces to print and names the skipped
// record, as the closing message does; the Mailer Number dialog comes once, before the first
// piece, although its "do not show" box stays unticked; the counter follows the record being
// printed.
TEST_F(AddressBookWindow, MassPrintSkipsTheDeletedRecordAndAsksForTheNumberOnce) {
    const QString file = Path("book.dbf");
    MakeTable(file, {{{"Ann Able", "Akron", "OH", "44301"}},
                     {{"Bob Baker", "Boise", "ID", "83702"}},
                     {{"Cy Cole", "Camden", "NJ", "08101"}}});
    TF_Main w;
    w.show();
    Open(w, file);
    EXPECT_TRUE(test::Find<QLabel>(w, "labelDeleted")->isHidden());
    Press(w, TNavigateBtn::nbNext);
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        Press(w, TNavigateBtn::nbDelete);
    }
    ASSERT_TRUE(w.AddressBook().Table().Deleted());
    EXPECT_FALSE(test::Find<QLabel>(w, "labelDeleted")->isHidden());
    EXPECT_EQ(test::Find<QLabel>(w, "labelDeleted")->text(), QStringLiteral("Deleted"));
    EXPECT_FALSE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->isEnabled());
    EXPECT_FALSE(test::Find<QLineEdit>(w, "tzeditZip")->isEnabled());
    // The mark stands beside the counter, both under the navigator.
    EXPECT_FALSE(test::Find<QLabel>(w, "labelDeleted")
                     ->geometry()
                     .intersects(test::Find<QLabel>(w, "labelOrder")->geometry()));
    EXPECT_EQ(test::Find<QLabel>(w, "labelOrder")->width() +
                  test::Find<QLabel>(w, "labelDeleted")->width(),
              test::Find<TTzNavigator>(w, "tznavigator1")->width());
    Press(w, TNavigateBtn::nbNext);
    EXPECT_TRUE(test::Find<QLabel>(w, "labelDeleted")->isHidden());
    EXPECT_TRUE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->isEnabled());
    EXPECT_EQ(test::Find<QLabel>(w, "labelOrder")->width(),
              test::Find<TTzNavigator>(w, "tznavigator1")->width());

    int numberDialogs = 0;
    QStringList countersWhilePrinting;
    {
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Yes))
            .Then([&](QWidget* d) {
                ++numberDialogs;
                countersWhilePrinting << Order(w);
                EXPECT_FALSE(d->findChild<QCheckBox*>(QStringLiteral("cbDontShow"))->isChecked());
                PressButton("btnOK")(d);
            })
            .Then(AnswerBox(QMessageBox::Ok));
        test::Find<QAction>(w, "MIMassPrint")->trigger();
        EXPECT_TRUE(script.Done());
        ASSERT_EQ(script.messages.size(), 2) << script.messages.join('\n').toStdString();
        EXPECT_EQ(script.messages[0],
                  QStringLiteral("You are about to print 2 labels (1 deleted record skipped)."
                                 "\n\rWould you like to continue?"));
        EXPECT_TRUE(script.messages[1].startsWith(
            QStringLiteral("2 of the pieces were printed and 2 entered in the mailing log.")))
            << script.messages[1].toStdString();
        EXPECT_TRUE(
            script.messages[1].contains(QStringLiteral("1 record marked deleted was skipped.")))
            << script.messages[1].toStdString();
    }
    EXPECT_EQ(numberDialogs, 1);
    // The counter showed the first record while the first piece was confirmed.
    EXPECT_EQ(countersWhilePrinting, QStringList{QStringLiteral("1/3")});
    EXPECT_EQ(pages_.pages.size(), 2u);
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000043"));
    const QStringList log = XBaseRecords(ProgramFolder() + QStringLiteral("Reports/report3.dbf"));
    ASSERT_EQ(log.size(), 2) << log.join('\n').toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("|Ann Able|"))) << log[0].toStdString();
    EXPECT_TRUE(log[1].contains(QStringLiteral("|Cy Cole|"))) << log[1].toStdString();

    // Recall removes the mark.
    Press(w, TNavigateBtn::nbFirst);
    Press(w, TNavigateBtn::nbNext);
    EXPECT_FALSE(test::Find<QLabel>(w, "labelDeleted")->isHidden());
    Press(w, TNavigateBtn::nbDelete);
    EXPECT_FALSE(w.AddressBook().Table().Deleted());
    EXPECT_TRUE(test::Find<QLabel>(w, "labelDeleted")->isHidden());
    EXPECT_TRUE(test::Find<QPlainTextEdit>(w, "tzmemoAddress")->isEnabled());
}

// The Mailing Log window may stay open beside the main window while the user prints: a single
// print, a mass print, a reprint from File, Reprint and one from the window itself each work and
// are recorded, and the window shows the logged pieces.
TEST_F(AddressBookWindow, PrintsAndReprintsAreLoggedWithTheMailingLogWindowOpen) {
    const QString file = Path("three.dbf");
    MakeTable(file, {{{"Ann Able", "Akron", "OH", "44301"}},
                     {{"Bob Baker", "Boise", "ID", "83702"}},
                     {{"Cy Cole", "Camden", "NJ", "08101"}}});
    const QString log = ProgramFolder() + QStringLiteral("Reports/report3.dbf");
    const QString reprints = ProgramFolder() + QStringLiteral("Reports/reprints.dbf");
    TF_Main w;
    w.show();
    Globals().ConfirmNumbers = false;
    test::Find<QAction>(w, "miMailingLog")->trigger();
    auto* logWindow = w.findChild<LogWindow*>(QStringLiteral("LogWindow"));
    ASSERT_NE(logWindow, nullptr);
    ASSERT_TRUE(logWindow->isVisible());

    const struct {
        const char* command;
        std::function<void(ModalScript&)> run;
        int logged;   // pieces in the log after it
        int reprints; // records of the reprints table after it
    } cases[] = {
        {"single print",
         [&](ModalScript&) {
             test::Find<QPlainTextEdit>(w, "memoAddress")->setPlainText(QStringLiteral("Jane Roe"));
             test::Find<QLineEdit>(w, "editCity")->setText(QStringLiteral("Springfield"));
             test::Find<QLineEdit>(w, "editState")->setText(QStringLiteral("IL"));
             test::Find<QLineEdit>(w, "editZip")->setText(QStringLiteral("62701"));
             test::Find<QPushButton>(w, "btnPrint")->click();
         },
         1, -1},
        {"File, Reprint",
         [&](ModalScript& script) {
             script.Then(AnswerInput(QStringLiteral("9214 7123 4567 8900 0004 28")))
                 .Then(AnswerInput())
                 .Then(AnswerBox(QMessageBox::Yes));
             test::Find<QAction>(w, "MIReprint")->trigger();
         },
         1, 1},
        {"Reprint in the log window",
         [&](ModalScript& script) {
             logWindow->RefreshIfChanged();
             ASSERT_EQ(logWindow->ShownRows(), 1);
             test::Find<QTableView>(*logWindow, "tvLog")->selectRow(0);
             script.Then(AnswerInput()).Then(AnswerBox(QMessageBox::Yes));
             test::Find<QPushButton>(*logWindow, "btnReprint")->click();
         },
         1, 2},
        {"mass print",
         [&](ModalScript& script) {
             Open(w, file);
             script.Then(AnswerBox(QMessageBox::Yes))
                 .Then(PressButton("btnOK"))
                 .Then(AnswerBox(QMessageBox::Ok));
             test::Find<QAction>(w, "MIMassPrint")->trigger();
         },
         4, 2},
    };
    for (const auto& c : cases) {
        ModalScript script;
        c.run(script);
        EXPECT_TRUE(script.Done()) << c.command;
        for (const QString& m : script.messages)
            EXPECT_FALSE(m.contains(QStringLiteral("could not")) || m.contains(u'<'))
                << c.command << ": " << m.toStdString();
        EXPECT_EQ(XBaseRecords(log).size(), c.logged) << c.command;
        if (c.reprints >= 0) {
            EXPECT_EQ(XBaseRecords(reprints).size(), c.reprints) << c.command;
        }
    }
    EXPECT_EQ(pages_.pages.size(), 6u);
    logWindow->RefreshIfChanged();
    EXPECT_EQ(logWindow->ShownRows(), 4);
}

// A mass print whose log refuses the pieces: the first piece prints, the run stops before the
// second, and one message (no warning per piece over the progress window) names the piece.
TEST_F(AddressBookWindow, MassPrintStopsAtThePieceItCouldNotLog) {
    class RefusingLog : public PieceLog {
    public:
        QString Append(const PrintRequest&, const EntryFields&, const QString&) override {
            return QStringLiteral("The log table is locked.");
        }
        void Close() noexcept override {}
    } refusing;
    const QString file = Path("three.dbf");
    MakeTable(file, {{{"Ann Able", "Akron", "OH", "44301"}},
                     {{"Bob Baker", "Boise", "ID", "83702"}},
                     {{"Cy Cole", "Camden", "NJ", "08101"}}});
    TF_Main w;
    w.SetPieceLog(&refusing);
    Open(w, file);
    ModalScript script;
    script.Then(AnswerBox(QMessageBox::Yes))
        .Then(PressButton("btnOK"))
        .Then(AnswerBox(QMessageBox::Ok));
    test::Find<QAction>(w, "MIMassPrint")->trigger();
    EXPECT_TRUE(script.Done());
    ASSERT_EQ(script.messages.size(), 2) << script.messages.join('\n').toStdString();
    EXPECT_TRUE(script.messages[1].startsWith(
        QStringLiteral("1 of the pieces were printed and 0 entered in the mailing log.")))
        << script.messages[1].toStdString();
    EXPECT_TRUE(script.messages[1].contains(
        QStringLiteral("9214 7123 4567 8900 0004 28 was printed, but it could not be entered")))
        << script.messages[1].toStdString();
    EXPECT_EQ(pages_.pages.size(), 1u);
}
