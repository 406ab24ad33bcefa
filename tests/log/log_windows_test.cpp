// The log step of the print run and the log's windows: the date range dialog, the report status
// window.
#include "log_test_util.h"
#include "modal_script.h"
#include "test_support.h"

#include "core/program_folder.h"
#include "core/settings.h"
#include "entry/entry_fields.h"
#include "entry/print_run.h"
#include "log/book_table.h"
#include "log/reprint_log.h"
#include "log/ui/book_dialog.h"
#include "log/ui/log_dialogs.h"
#include "log/ui/log_menu.h"
#include "log/ui/log_window.h"
#include "tzdbf.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

namespace qm::testing {
namespace {

using qm::test::ModalScript;
using qm::test::OnNextModal;
using qm::test::PressButton;

class LogWindowTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        SetProgramFolderOverride(dir_.path());
    }
    void TearDown() override {
        SetProgramFolderOverride(QString());
        LogTest::TearDown();
    }
};

TEST_F(LogWindowTest, PieceThatCannotBeLoggedIsNamedInTheRunsWarning) {
    EntryFields fields;
    fields.addresseeLines = {QStringLiteral("Jane Roe"), QString(), QString(), QString()};
    fields.city = QStringLiteral("Springfield");
    fields.state = QStringLiteral("IL");
    fields.zipText = QStringLiteral("62701-    ");
    const PrintRequest r = BuildPrintRequest(fields, GlobalVariables{});
    const QString data = QStringLiteral("420627019214712345678900000159");
    ASSERT_EQ(LogTablePath(), LogPath());
    MailingLog log;
    EXPECT_EQ(log.Append(r, fields, data), QString());

    table::TTzDbf other("OtherCopy");
    other.SetDbfFileName(LogPath().toStdString());
    other.Open();
    ASSERT_TRUE(other.ALock());
    const QString error = log.Append(r, fields, data);
    ASSERT_FALSE(error.isEmpty());
    EXPECT_TRUE(NotLoggedWarning(data, error)
                    .contains(QStringLiteral("9214 7123 4567 8900 0001 59 was printed")))
        << NotLoggedWarning(data, error).toStdString();
    other.UnLock();
    other.Close();
    log.Close();
    EXPECT_EQ(XBaseDump(LogPath()).size(), 2 + 1);
}

// The Mailing Log window may stay open beside the main window: every other user of the log in
// the same program (the print run's log step, reprint's look-up, the reports, the firm mailing
// book, the export) works on while it is open, and the window shows what they appended.
TEST_F(LogWindowTest, EveryUserOfTheLogWorksWhileTheLogWindowIsOpen) {
    SetDay(2008, 3, 5);
    Append(Piece(QStringLiteral("Alice Adams"), QStringLiteral("62701"), QStringLiteral("1")));
    LogWindow window(LogTablePath());
    window.show();
    ASSERT_EQ(window.ShownRows(), 1);

    EntryFields fields;
    fields.addresseeLines = {QStringLiteral("Jane Roe"), QString(), QString(), QString()};
    fields.city = QStringLiteral("Springfield");
    fields.state = QStringLiteral("IL");
    fields.zipText = QStringLiteral("62701-    ");
    const PrintRequest request = BuildPrintRequest(fields, GlobalVariables{});
    const QString data = QStringLiteral("420627019214712345678900000159");
    ScriptedUi ui;
    ui.bookRange = {QDate(2008, 3, 1), QDate(2008, 3, 31)};
    ui.bookPreview = true;
    ui.exportFile = File(QStringLiteral("log.csv"));
    const struct {
        const char* user;
        std::function<QString()> run; // empty when it worked
    } cases[] = {
        {"print run's log step",
         [&] {
             MailingLog log;
             const QString error = log.Append(request, fields, data);
             log.Close();
             return error;
         }},
        {"reprint's look-up",
         [&] {
             try {
                 return FindLoggedPiece(LogTablePath(),
                                        QStringLiteral("9214 7123 4567 8900 0001 59"))
                            ? QString()
                            : QStringLiteral("not found");
             } catch (const std::exception& e) {
                 return QString::fromUtf8(e.what());
             }
         }},
        {"report preview",
         [&] {
             RunLogReport(ui, LogTablePath(), CompanionProject(), LogOrder::Name,
                          ReportDestination::Preview, LogReport::FullDetail);
             return ui.previews == 1 ? QString() : ui.errors.join(u'\n');
         }},
        {"firm mailing book",
         [&] {
             RunFirmMailingBook(ui, LogTablePath(), {QStringLiteral("Acme")});
             return ui.previews == 2 ? QString() : ui.errors.join(u'\n');
         }},
        {"export",
         [&] {
             RunExportLog(ui, LogTablePath());
             return ui.infos == QStringList{QStringLiteral("Export Done.")} ? QString()
                                                                            : ui.errors.join(u'\n');
         }},
        {"second print run's log step",
         [&] {
             MailingLog log;
             const QString error = log.Append(request, fields, data);
             log.Close();
             return error;
         }},
    };
    for (const auto& c : cases) EXPECT_EQ(c.run(), QString()) << c.user;
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_TRUE(window.RefreshIfChanged());
    EXPECT_EQ(window.ShownRows(), 3);
    EXPECT_EQ(XBaseDump(LogPath()).size(), 2 + 3);
    EXPECT_EQ(RunTool(QStringLiteral("grep"),
                      {QStringLiteral("-c"), QStringLiteral("Jane Roe"), ui.exportFile})
                  .trimmed(),
              QStringLiteral("1"));
}

TEST(LogMenu, CheckedSortItemGivesTheOrder) {
    QAction byMailer(nullptr), byName(nullptr), byDate(nullptr), byZip(nullptr);
    QActionGroup group(nullptr);
    for (QAction* a : {&byMailer, &byName, &byDate, &byZip}) {
        a->setCheckable(true);
        group.addAction(a);
    }
    EXPECT_EQ(CheckedLogOrder(&byMailer, &byName, &byDate, &byZip), LogOrder::Record);
    const std::pair<QAction*, LogOrder> cases[] = {{&byMailer, LogOrder::MailerNumber},
                                                   {&byName, LogOrder::Name},
                                                   {&byDate, LogOrder::Date},
                                                   {&byZip, LogOrder::ZipCode}};
    for (const auto& [action, order] : cases) {
        action->setChecked(true);
        EXPECT_EQ(CheckedLogOrder(&byMailer, &byName, &byDate, &byZip), order);
    }
}

TEST_F(LogWindowTest, DateRangeDialogRefusesABackwardRange) {
    const DateRange today{QDate(2008, 3, 5), QDate(2008, 3, 5)};
    TF_DateRange exportRange(QStringLiteral("Export Log"), today);
    EXPECT_FALSE(exportRange.RangeChosen()); // the whole log unless asked
    EXPECT_FALSE(exportRange.findChild<QDateEdit*>(QStringLiteral("editFrom"))->isEnabled());
    exportRange.findChild<QCheckBox*>(QStringLiteral("cbRange"))->setChecked(true);
    EXPECT_TRUE(exportRange.RangeChosen());
    EXPECT_TRUE(exportRange.findChild<QDateEdit*>(QStringLiteral("editFrom"))->isEnabled());
    EXPECT_EQ(exportRange.Range().from, today.from);

    exportRange.findChild<QDateEdit*>(QStringLiteral("editFrom"))->setDate(QDate(2008, 3, 9));
    QString refused;
    OnNextModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) refused = box->text();
        modal->close();
    });
    exportRange.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    EXPECT_EQ(refused, QStringLiteral("The first date lies after the last date."));
    EXPECT_EQ(exportRange.result(), 0);
}

// The book dialog offers the new pieces first, a date range, and a recorded book by number
// only when there is one.
TEST_F(LogWindowTest, BookDialogOffersTheNewPiecesARangeAndARecordedBook) {
    BookChoice offered;
    offered.range = {QDate(2008, 3, 5), QDate(2008, 3, 5)};
    offered.unlisted = 4;
    {
        TF_BookChoice first(offered);
        auto* rbNew = first.findChild<QRadioButton*>(QStringLiteral("rbNew"));
        EXPECT_TRUE(rbNew->isChecked());
        EXPECT_EQ(rbNew->text().remove(u'&'), QStringLiteral("The 4 pieces not yet in a book"));
        EXPECT_FALSE(first.findChild<QRadioButton*>(QStringLiteral("rbPrevious"))->isEnabled());
        EXPECT_FALSE(first.findChild<QDateEdit*>(QStringLiteral("editFrom"))->isEnabled());
        const BookChoice c = first.Choice();
        EXPECT_EQ(c.kind, BookChoice::Kind::New);
        EXPECT_TRUE(c.preview);
        EXPECT_EQ(c.unlisted, 4);
    }

    offered.lastBook = 3;
    TF_BookChoice dialog(offered);
    auto* rbPrevious = dialog.findChild<QRadioButton*>(QStringLiteral("rbPrevious"));
    auto* spin = dialog.findChild<QSpinBox*>(QStringLiteral("spinBook"));
    ASSERT_TRUE(rbPrevious->isEnabled());
    EXPECT_FALSE(spin->isEnabled());
    rbPrevious->setChecked(true);
    EXPECT_TRUE(spin->isEnabled());
    EXPECT_EQ(spin->maximum(), 3);
    spin->setValue(2);
    dialog.findChild<QRadioButton*>(QStringLiteral("rbPrint"))->setChecked(true);
    BookChoice c = dialog.Choice();
    EXPECT_EQ(c.kind, BookChoice::Kind::Previous);
    EXPECT_EQ(c.number, 2);
    EXPECT_FALSE(c.preview);

    dialog.findChild<QRadioButton*>(QStringLiteral("rbRange"))->setChecked(true);
    EXPECT_FALSE(spin->isEnabled());
    dialog.findChild<QDateEdit*>(QStringLiteral("editFrom"))->setDate(QDate(2008, 3, 1));
    c = dialog.Choice();
    EXPECT_EQ(c.kind, BookChoice::Kind::Range);
    EXPECT_EQ(c.range.from, QDate(2008, 3, 1));
    EXPECT_EQ(c.range.to, QDate(2008, 3, 5));

    dialog.findChild<QDateEdit*>(QStringLiteral("editFrom"))->setDate(QDate(2008, 3, 9));
    QString refused;
    OnNextModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) refused = box->text();
        modal->close();
    });
    dialog.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    EXPECT_EQ(refused, QStringLiteral("The first date lies after the last date."));
    EXPECT_EQ(dialog.result(), 0);
}

// The windows' road: the book dialog as it opens, the preview, Print... in it and the print
// dialog's PDF file. The book printed from the preview is recorded; one only looked at is not.
TEST_F(LogWindowTest, ABookPrintedFromThePreviewWindowIsRecorded) {
    Append(Piece(QStringLiteral("Ann Archer"), QStringLiteral("62701"), QStringLiteral("61")));
    Append(Piece(QStringLiteral("Ben Baker"), QStringLiteral("62701"), QStringLiteral("62")));
    const QString books = File(QStringLiteral("Reports/books.dbf"));
    const QString pdf = File(QStringLiteral("from-preview.pdf"));
    QWidget parent;
    WidgetLogUi ui(&parent);
    for (const bool print : {false, true}) {
        SCOPED_TRACE(print ? "printed" : "only looked at");
        ModalScript script;
        script
            .Then(PressButton("btnOK")) // the book dialog: the new pieces, preview
            .Then([print](QWidget* preview) {
                QTimer::singleShot(0, preview, [preview, print] {
                    if (print)
                        preview->findChild<QPushButton*>(QStringLiteral("btnPrint"))->click();
                    qobject_cast<QDialog*>(preview)->accept();
                });
            });
        if (print)
            script
                .Then([&pdf](QWidget* dialog) { // Output Options: print to a PDF file
                    auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
                    ASSERT_NE(printers, nullptr);
                    printers->setCurrentIndex(printers->count() - 1);
                    auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
                    ASSERT_NE(file, nullptr);
                    file->setText(pdf);
                    qobject_cast<QDialog*>(dialog)->accept();
                })
                .Then([](QWidget*) {}); // the status window
        RunFirmMailingBook(ui, LogPath(), {QStringLiteral("Acme Title Company")});
        // The status window may pass too quickly to be met.
        EXPECT_EQ(script.Answered(), print ? 3 + int(script.Done()) : 2);
        EXPECT_EQ(script.messages, QStringList());
        EXPECT_EQ(QFile::exists(pdf), print);
        EXPECT_EQ(ReadBooks(books).size(), print ? 1u : 0u);
    }
    EXPECT_TRUE(PdfText(pdf).contains(QStringLiteral("Book No. 1"))) << PdfText(pdf).toStdString();
    EXPECT_EQ(ReadBooks(books).at(1).mailernums.size(), 2);
}

TEST_F(LogWindowTest, ExportRangeStartsOnTheDayOfTheProgramsClock) {
    // The one clock of engine_date.h, pinned to a day the system clock never shows.
    table::SetClock([] { return table::TLocalTime{{1999, 12, 31}, 23, 59, 0}; });
    QWidget parent;
    WidgetLogUi ui(&parent);
    QDate from, to;
    qm::test::ModalScript script;
    script.Then([&](QWidget* w) {
        if (auto* edit = w->findChild<QDateEdit*>(QStringLiteral("editFrom"))) from = edit->date();
        if (auto* edit = w->findChild<QDateEdit*>(QStringLiteral("editTo"))) to = edit->date();
        qm::test::PressButton("btnCancel")(w);
    });
    ExportChoice choice;
    EXPECT_FALSE(ui.ChooseExport(choice));
    EXPECT_EQ(from, QDate(1999, 12, 31));
    EXPECT_EQ(to, QDate(1999, 12, 31));
}

TEST_F(LogWindowTest, SaveDialogsStartInReportsAndAddTheirType) {
    using qm::test::ModalScript;
    const QString reports = QDir(dir_.path()).absoluteFilePath(QStringLiteral("Reports"));
    QWidget parent;
    WidgetLogUi ui(&parent);
    auto answer = [](const QString& name, const QString& filter, QString* folder,
                     QStringList* filters) {
        return [=](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            *folder = dialog->directory().absolutePath();
            *filters = dialog->nameFilters();
            if (!filter.isEmpty()) dialog->selectNameFilter(filter);
            // Typed as a user types it: selectFile() races the folder's loading.
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(edit, nullptr);
            edit->setText(name);
            QMetaObject::invokeMethod(dialog, "accept");
        };
    };
    // Clear's archive: in Reports/, ".dbf" added.
    QString folder;
    QStringList filters;
    {
        ModalScript script;
        script.Then(answer(QStringLiteral("archive"), {}, &folder, &filters));
        EXPECT_EQ(ui.ChooseArchiveFile(), reports + QStringLiteral("/archive.dbf"));
        EXPECT_EQ(folder, reports);
    }
    // The export: both types offered; the chosen type's extension added.
    const QString xlsx = QStringLiteral("Excel workbooks (*.xlsx)");
    const QString csv = QStringLiteral("CSV files (*.csv)");
    for (const auto& [filter, expected] : {std::pair{csv, QStringLiteral("/day.csv")},
                                           std::pair{xlsx, QStringLiteral("/day.xlsx")}}) {
        // Voided pieces join the workbook only: the check box starts unchecked.
        const bool voided = filter == xlsx;
        bool startedUnchecked = false;
        ModalScript script;
        script
            .Then([&](QWidget* w) {
                auto* box = w->findChild<QCheckBox*>(QStringLiteral("cbVoided"));
                ASSERT_NE(box, nullptr);
                startedUnchecked = !box->isChecked();
                box->setChecked(voided);
                qm::test::PressButton("btnOK")(w);
            })
            .Then(answer(QStringLiteral("day"), filter, &folder, &filters));
        ExportChoice choice;
        ASSERT_TRUE(ui.ChooseExport(choice));
        EXPECT_EQ(choice.fileName.toStdString(), (reports + expected).toStdString());
        EXPECT_EQ(folder, reports);
        EXPECT_EQ(filters, QStringList({csv, xlsx}));
        EXPECT_FALSE(choice.range.has_value());
        EXPECT_TRUE(startedUnchecked);
        EXPECT_EQ(choice.includeVoided, voided);
    }
}

TEST_F(LogWindowTest, StatusWindowShowsThePageAndItsCancel) {
    QWidget parent;
    WidgetLogUi ui(&parent);
    const auto status = ui.Status();
    EXPECT_TRUE(status->Step(QStringLiteral("Printing page 3")));
    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == u"ReportStatus" && w->isVisible()) window = w;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Report Status"));
    auto* cancel = window->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    cancel->click();
    EXPECT_FALSE(status->Step(QStringLiteral("Printing page 4")));
}

} // namespace
} // namespace qm::testing
