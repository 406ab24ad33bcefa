// A day at the desk, through the real windows and a real print queue: the Mailing Log window
// stays open throughout; three single prints (one without a ZIP), a mass print of an address
// book with a deleted record and a wrong ZIP, a reprint from the log window, the firm mailing
// book and an export, while a second desk (its own process) prints five pieces into the same
// data folder. Then what the office relies on: every spooled mailer is a logged piece or a
// reprint, every logged piece has its proof, the serial moved by the logged pieces exactly, the
// book lists the live pieces once each with their whole addresses, the journal is empty.
#include "app/file_choice.h"
#include "app/main_window.h"
#include "core/mailer_proof.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "decode.h"
#include "log/print_journal.h"
#include "log/ui/log_window.h"
#include "log_test_util.h"
#include "modal_script.h"
#include "private_cups.h"
#include "scripted_files.h"
#include "table/engine_error.h"
#include "table/tzdbf.h"
#include "test_support.h"

#include <QAction>
#include <QComboBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qm;
using namespace qm::test;
using qm::testing::PdfText;
using qm::testing::RunTool;
using qm::testing::XBaseDump;

namespace {

const QString kQueue = QStringLiteral("QuillmarkOfficeDay");

// The values of one field of a table as Perl's XBase reads it, with each record's deleted flag.
struct Column {
    QStringList values;
    QList<bool> deleted;
};
Column XBaseColumn(const QString& dbf, const QString& field) {
    Column c;
    const QStringList lines = XBaseDump(dbf);
    if (lines.size() < 2) return c;
    // "fields NAME:C:30:0,..."
    qsizetype at = -1;
    const QStringList fields = lines[1].section(u' ', 1).split(u',');
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (fields[i].section(u':', 0, 0) == field) at = i;
    EXPECT_GE(at, 0) << field.toStdString() << " in " << lines[1].toStdString();
    for (const QString& line : lines.mid(2)) {
        const QStringList parts = line.split(u'|');
        c.deleted << (parts.value(0) == u"1");
        c.values << parts.value(at + 1).trimmed();
    }
    return c;
}

// The 22 digits of a logged or printed tracking number.
QString Digits(QString number) {
    return number.remove(QRegularExpression(QStringLiteral("[^0-9]"))).right(22);
}

// The 22 digits in the groups the book, the reports and the export print.
QString Grouped(const QString& n) {
    return n.left(4) + u' ' + n.mid(4, 4) + u' ' + n.mid(8, 4) + u' ' + n.mid(12, 4) + u' ' +
           n.mid(16, 4) + u' ' + n.mid(20);
}

class OfficeDay : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cups_ = std::make_unique<PrivateCups>(kQueue); }
    static void TearDownTestSuite() { cups_.reset(); }

    void SetUp() override {
        if (!cups_->Problem().empty())
            GTEST_SKIP() << "no private print queue: " << cups_->Problem();
        ASSERT_TRUE(dir_.isValid());
        SetProgramFolderOverride(dir_.path());
        Globals() = GlobalVariables{};
        table::SetErrorMode(table::TErrorMode::Exception);
        SetFileChoiceOverride(&files_);
        QFile f(dir_.filePath(QStringLiteral("quill4.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Type]\r\nCompany=Larkfield\r\nBarCodeApp=0\r\n"
                "[YourAddress]\r\nLine1=Larkfield Title Co\r\nLine2=1 Bank St\r\nCity=Dover\r\n"
                "State=DE\r\nZip=19901\r\n"
                "[Values]\r\nCustID=123456789\r\nSerialNum=0000041\r\n");
        started_ = QDateTime::currentDateTime();
        jobsBefore_ = CompletedJobs();
    }
    void TearDown() override {
        SetFileChoiceOverride(nullptr);
        SetProgramFolderOverride({});
        Globals() = GlobalVariables{};
        for (const QString& pdf : QueueFiles()) QFile::remove(pdf);
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Reports(const char* name) const {
        return ProgramFolder() + QStringLiteral("Reports/") + QString::fromLatin1(name);
    }

    // An address book: one record per address (memo lines, city, state, ZIP); records whose
    // first line starts with "VOID" are marked deleted.
    void MakeBook(const QString& file, const QList<std::array<QString, 4>>& records) {
        table::TTzDbf t("TzDbfMake");
        t.SetDbfFields({"Address,M,10,0", "City,C,20,0", "State,C,4,0", "Zip,C,10,0"});
        t.SetDbfFileName(file.toStdString());
        t.Open();
        t.ALock();
        std::vector<uint32_t> voided;
        for (const auto& r : records) {
            t.ClearRecord();
            std::vector<std::string> lines;
            for (const QString& line : r[0].split(u'\n')) lines.push_back(line.toStdString());
            t.SetMField("Address", lines);
            t.SetField("City", r[1].toStdString());
            t.SetField("State", r[2].toStdString());
            t.SetField("Zip", r[3].toStdString());
            t.AppendRec();
            if (r[0].startsWith(QLatin1String("VOID"))) voided.push_back(t.RecNo());
        }
        t.UnLock();
        for (const uint32_t n : voided) {
            t.SetRecNo(n);
            ASSERT_TRUE(t.RLock());
            t.DeleteRec();
            t.UnLock();
        }
        t.Close();
    }

    static int CompletedJobs() {
        QProcess lpstat;
        lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("completed"),
                                                QStringLiteral("-o"), kQueue});
        lpstat.waitForFinished(20000);
        return int(QString::fromLocal8Bit(lpstat.readAllStandardOutput())
                       .split(u'\n', Qt::SkipEmptyParts)
                       .size());
    }

    // Waits until the queue has completed `jobs` jobs since the test began.
    void WaitForJobs(int jobs) {
        QDeadlineTimer deadline(120000);
        while (CompletedJobs() - jobsBefore_ < jobs && !deadline.hasExpired()) QThread::msleep(200);
        EXPECT_EQ(CompletedJobs() - jobsBefore_, jobs) << cups_->ErrorLog().toStdString();
    }

    // The files the queue wrote since the test began, whole.
    QStringList QueueFiles(const QString& pattern = QStringLiteral("*.pdf")) const {
        QStringList files;
        for (const QFileInfo& f : QDir(OutputFolder()).entryInfoList({pattern}, QDir::Files))
            if (f.lastModified() >= started_.addSecs(-1) && WrittenWhole(f.absoluteFilePath()))
                files << f.absoluteFilePath();
        return files;
    }

    void Type(TF_Main& w, const QString& lines, const char* city, const char* state,
              const char* zip) {
        Find<QPlainTextEdit>(w, "memoAddress")->setPlainText(lines);
        Find<QLineEdit>(w, "editCity")->setText(QString::fromLatin1(city));
        Find<QLineEdit>(w, "editState")->setText(QString::fromLatin1(state));
        Find<QLineEdit>(w, "editZip")->setText(QString::fromLatin1(zip));
    }

    static inline std::unique_ptr<PrivateCups> cups_;
    QTemporaryDir dir_;
    ScriptedFiles files_;
    QDateTime started_;
    int jobsBefore_ = 0;
};

} // namespace

TEST_F(OfficeDay, EveryPieceIsLoggedProvedNumberedOnceAndInTheBook) {
    const QString full1 = QStringLiteral("ACCOUNTS PAYABLE DEPARTMENT 30");
    const QString full2 = QStringLiteral("ATTN: BUILDING 7 FLOOR 12 ROOM");
    const QString full3 = QStringLiteral("SUITE 1200 NORTH TOWER OFFICES");
    const QString full4 = QStringLiteral("1234 MASSACHUSETTS AVENUE NW A");
    for (const QString& line : {full1, full2, full3, full4}) ASSERT_EQ(line.size(), 30);
    const QString book = Path(QStringLiteral("clients.dbf"));
    const auto record = [](const QString& lines, const char* city, const char* state,
                           const char* zip) {
        return std::array<QString, 4>{lines, QString::fromLatin1(city), QString::fromLatin1(state),
                                      QString::fromLatin1(zip)};
    };
    const QString fourLines = full1 + u'\n' + full2 + u'\n' + full3 + u'\n' + full4;
    MakeBook(book, {record(QStringLiteral("Ann Able\n1 Elm St"), "Akron", "OH", "44301"),
                    record(fourLines, "Washington", "DC", "20005"),
                    record(QStringLiteral("Bob Baker\n2 Oak Ave"), "Boise", "ID", "83702"),
                    record(QStringLiteral("VOID Vera Void\n3 Gone Rd"), "Reno", "NV", "89501"),
                    record(QStringLiteral("Cy Cole\n4 Pine Rd"), "Camden", "NJ", "08101"),
                    record(QStringLiteral("Wrong Zip Wanda\n5 Bad Way"), "Salem", "OR", "1990"),
                    record(QStringLiteral("Dee Dunn\n6 Ash Ct"), "Dayton", "OH", "45402"),
                    record(QStringLiteral("Eve Eads\n7 Birch Ln"), "Erie", "PA", "16501"),
                    record(QStringLiteral("Fay Finch\n8 Cedar Dr"), "Fargo", "ND", "58102"),
                    record(QStringLiteral("Gus Gray\n9 Dogwood Pl"), "Gary", "IN", "46402")});

    TF_Main w;
    w.show();
    Globals().ConfirmNumbers = false;
    Find<QAction>(w, "miMailingLog")->trigger();
    auto* logWindow = w.findChild<LogWindow*>(QStringLiteral("LogWindow"));
    ASSERT_NE(logWindow, nullptr);
    ASSERT_TRUE(logWindow->isVisible());

    // The second desk: five pieces, one process each, onto the same queue.
    QProcess desk2;
    desk2.setProcessChannelMode(QProcess::MergedChannels);
    desk2.start(QStringLiteral("sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("for n in 1 2 3 4 5; do \"$0\" --folder \"$1\" --customer "
                                "123456789 \"Desk Two $n\" || exit 1; done"),
                 QStringLiteral(QM_PRINT_ONE_PIECE), dir_.path()});
    ASSERT_TRUE(desk2.waitForStarted());

    const struct {
        const char* step;
        std::function<void(ModalScript&)> run;
    } steps[] = {
        {"first single print",
         [&](ModalScript&) {
             Type(w, QStringLiteral("Hal Hart\n10 Elm St"), "Springfield", "IL", "62701");
             Find<QPushButton>(w, "btnPrint")->click();
         }},
        {"second single print",
         [&](ModalScript&) {
             Type(w, QStringLiteral("Ida Ives\n11 Elm St"), "Topeka", "KS", "66603");
             Find<QPushButton>(w, "btnPrint")->click();
         }},
        {"single print without a ZIP",
         [&](ModalScript& script) {
             Type(w, QStringLiteral("Jo Jones\nGeneral Delivery"), "Juneau", "AK", "");
             script.Then(AnswerBox(QMessageBox::Yes));
             Find<QPushButton>(w, "btnPrint")->click();
         }},
        {"mass print",
         [&](ModalScript& script) {
             files_.answers.push_back(book);
             Find<QAction>(w, "MIReadWriteToDB")->trigger();
             script.Then(AnswerBox(QMessageBox::Yes))
                 .Then(PressButton("btnOK"))
                 .Then(AnswerBox(QMessageBox::Ok));
             Find<QAction>(w, "MIMassPrint")->trigger();
         }},
        {"reprint from the log window",
         [&](ModalScript& script) {
             logWindow->RefreshIfChanged();
             Find<QTableView>(*logWindow, "tvLog")->selectRow(0);
             script.Then(AnswerInput()).Then(AnswerBox(QMessageBox::Yes));
             Find<QPushButton>(*logWindow, "btnReprint")->click();
         }},
    };
    for (const auto& s : steps) {
        ModalScript script;
        s.run(script);
        EXPECT_TRUE(script.Done()) << s.step;
        for (const QString& m : script.messages)
            EXPECT_FALSE(m.contains(QStringLiteral("could not")) ||
                         m.contains(QStringLiteral("rror")))
                << s.step << ": " << m.toStdString();
        if (QString(QLatin1String(s.step)) == u"mass print") {
            ASSERT_EQ(script.messages.size(), 2);
            EXPECT_TRUE(script.messages[0].startsWith(QStringLiteral(
                "You are about to print 8 labels (1 deleted record skipped, 1 record with a wrong "
                "ZIP code skipped).")))
                << script.messages[0].toStdString();
            EXPECT_TRUE(script.messages[1].startsWith(
                QStringLiteral("8 of the pieces were printed and 8 entered in the mailing log.")))
                << script.messages[1].toStdString();
        }
    }
    // The dialogs' event loops may have seen it end already.
    if (desk2.state() != QProcess::NotRunning) {
        ASSERT_TRUE(desk2.waitForFinished(120000));
    }
    EXPECT_EQ(desk2.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(desk2.exitCode(), 0) << desk2.readAll().toStdString();

    // The book of the new pieces, the dialog's first choice.
    const QString bookPdf = Path(QStringLiteral("book.pdf"));
    {
        ModalScript script;
        script
            .Then([](QWidget* d) {
                auto* fresh = d->findChild<QRadioButton*>(QStringLiteral("rbNew"));
                ASSERT_NE(fresh, nullptr);
                EXPECT_TRUE(fresh->isChecked());
                EXPECT_EQ(fresh->text(), QStringLiteral("The 16 pieces not yet in a &book"));
                d->findChild<QRadioButton*>(QStringLiteral("rbPrint"))->setChecked(true);
                d->findChild<QAbstractButton*>(QStringLiteral("btnOK"))->click();
            })
            .Then([&](QWidget* d) { // Output Options: printed to a PDF file, as a user may
                auto* printers = d->findChild<QComboBox*>(QStringLiteral("printers"));
                ASSERT_NE(printers, nullptr);
                const int toFile = printers->findText(QStringLiteral("Print to File (PDF)"));
                ASSERT_GE(toFile, 0);
                printers->setCurrentIndex(toFile);
                auto* file = d->findChild<QLineEdit*>(QStringLiteral("filename"));
                ASSERT_NE(file, nullptr);
                file->setText(bookPdf);
                QMetaObject::invokeMethod(d, "accept");
            })
            .Then([](QWidget*) {}); // the status window
        Find<QAction>(w, "miFirmMailingBook")->trigger();
        for (const QString& m : script.messages) ADD_FAILURE() << "book: " << m.toStdString();
    }
    // The export of the whole log.
    const QString csv = Path(QStringLiteral("day.csv"));
    {
        ModalScript script;
        script.Then(PressButton("btnOK"))
            .Then([&](QWidget* d) {
                auto* save = qobject_cast<QFileDialog*>(d);
                ASSERT_NE(save, nullptr) << d->metaObject()->className();
                // Typed as a user types it: selectFile() races the folder's loading.
                auto* edit = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                ASSERT_NE(edit, nullptr);
                edit->setText(csv);
                QMetaObject::invokeMethod(save, "accept");
            })
            .Then(AnswerBox(QMessageBox::Ok));
        Find<QAction>(w, "miExportLog")->trigger();
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(script.messages, QStringList{QStringLiteral("Export Done.")});
    }

    // The log: 3 + 8 pieces of this desk and 5 of the other, none voided.
    const Column logged = XBaseColumn(Reports("report3.dbf"), QStringLiteral("MAILERNUM"));
    ASSERT_EQ(logged.values.size(), 16) << logged.values.join(u'\n').toStdString();
    EXPECT_FALSE(logged.deleted.contains(true));
    QSet<QString> loggedNumbers;
    for (const QString& n : logged.values) loggedNumbers.insert(Digits(n));
    EXPECT_EQ(loggedNumbers.size(), 16) << "a number logged twice";
    const Column reprinted = XBaseColumn(Reports("reprints.dbf"), QStringLiteral("MAILERNUM"));
    ASSERT_EQ(reprinted.values.size(), 1);
    EXPECT_TRUE(loggedNumbers.contains(Digits(reprinted.values[0])));

    // Spooled mailers = log entries + reprints, and each carries a logged number.
    WaitForJobs(16 + 1); // the mailers and the reprint
    QSet<QString> printedNumbers;
    for (const QString& pdf : QueueFiles(QStringLiteral("Certified*Mail*"))) {
        const QStringList numbers = TrackingNumbersOn(RasterisePdf(pdf, 300));
        EXPECT_EQ(numbers.size(), 1) << pdf.toStdString();
        for (const QString& n : numbers) printedNumbers.insert(n);
    }
    EXPECT_EQ(printedNumbers, loggedNumbers);

    // A proof for every logged piece, and no other.
    QSet<QString> proofs;
    for (QDirIterator it(MailerProofFolder(), {QStringLiteral("*.pdf")}, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        proofs.insert(QFileInfo(it.next()).completeBaseName());
    EXPECT_EQ(proofs, loggedNumbers);

    // The serial moved by the logged pieces exactly.
    QFile ini(Path(QStringLiteral("quill4.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch serial = QRegularExpression(QStringLiteral("SerialNum=([0-9]+)"))
                                               .match(QString::fromLatin1(ini.readAll()));
    ASSERT_TRUE(serial.hasMatch());
    EXPECT_EQ(serial.captured(1).toInt(), 41 + 16);

    // The book: every live piece once, whole; the deleted and the wrong-ZIP record never.
    const QString text = PdfText(bookPdf);
    for (const QString& n : loggedNumbers)
        EXPECT_EQ(text.count(Grouped(n)), 1) << Grouped(n).toStdString();
    for (const QString& line : {full1, full2, full3, full4})
        EXPECT_EQ(text.count(line), 1) << line.toStdString();
    for (const char* name : {"Desk Two 5", "Jo Jones", "Gus Gray", "General Delivery"})
        EXPECT_TRUE(text.contains(QLatin1String(name))) << name;
    EXPECT_FALSE(text.contains(QStringLiteral("Vera Void")));
    EXPECT_FALSE(text.contains(QStringLiteral("Wanda")));

    // The book is recorded with every piece it listed.
    const Column listed = XBaseColumn(Reports("books.dbf"), QStringLiteral("MAILERNUM"));
    QSet<QString> listedNumbers;
    for (const QString& n : listed.values) listedNumbers.insert(Digits(n));
    EXPECT_EQ(listed.values.size(), 16);
    EXPECT_EQ(listedNumbers, loggedNumbers);
    EXPECT_EQ(XBaseColumn(Reports("books.dbf"), QStringLiteral("BOOKNO")).values,
              QStringList(16, QStringLiteral("1")));

    // The export has every piece; the log window shows them all; nothing is left in the journal.
    const QString exported = RunTool(QStringLiteral("cat"), {csv});
    for (const QString& n : loggedNumbers)
        EXPECT_EQ(exported.count(Grouped(n)) + exported.count(n), 1) << n.toStdString();
    EXPECT_TRUE(logWindow->isVisible());
    logWindow->RefreshIfChanged();
    EXPECT_EQ(logWindow->ShownRows(), 16);
    EXPECT_TRUE(PendingJournalEntries(JournalPath(), Reports("report3.dbf")).empty());
}
