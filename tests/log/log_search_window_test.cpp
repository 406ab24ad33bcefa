// The Mailing Log window: search by name, tracking number, city and ZIP, a date range, the
// orders, the commands on the selected piece and the re-read when another copy logs a piece.
#include "log_test_util.h"
#include "modal_script.h"
#include "test_support.h"

#include "core/mailer_proof.h"
#include "core/program_folder.h"
#include "log/log_commands.h"
#include "log/log_search.h"
#include "log/ui/log_window.h"
#include "tzdbf.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

namespace qm::testing {
namespace {

using qm::test::Find;
using qm::test::OnNextModal;

class MailingLogWindowTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        SetProgramFolderOverride(dir_.path());
        // Three pieces on three days: Adams (oldest), Brown, Carter (newest).
        SetDay(2008, 3, 3);
        adams_ =
            Piece(QStringLiteral("Alice Adams"), QStringLiteral("62701"), QStringLiteral("1111"));
        Append(adams_);
        SetDay(2008, 3, 4);
        brown_ =
            Piece(QStringLiteral("Bob Brown"), QStringLiteral("10001"), QStringLiteral("2222"));
        brown_.city = QStringLiteral("New York");
        Append(brown_);
        SetDay(2008, 3, 5);
        carter_ =
            Piece(QStringLiteral("Carol Carter"), QStringLiteral("60601"), QStringLiteral("3333"));
        carter_.city = QStringLiteral("Chicago");
        Append(carter_);
    }
    void TearDown() override {
        SetProgramFolderOverride(QString());
        LogTest::TearDown();
    }

    // The first addressee line of each shown row, top to bottom.
    static QStringList Names(LogWindow& w) {
        auto* view = Find<QTableView>(w, "tvLog");
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            names << view->model()->index(row, 0).data().toString().trimmed();
        return names;
    }
    static void Select(LogWindow& w, const QString& name) {
        auto* view = Find<QTableView>(w, "tvLog");
        for (int row = 0; row < view->model()->rowCount(); ++row)
            if (view->model()->index(row, 0).data().toString().trimmed() == name) {
                view->selectRow(row);
                return;
            }
        FAIL() << "no row for " << name.toStdString();
    }

    LogEntry adams_, brown_, carter_;
};

TEST_F(MailingLogWindowTest, SearchFindsAPieceByEachKeyAsTyped) {
    LogWindow w(LogTablePath());
    auto* search = Find<QLineEdit>(w, "leLogSearch");
    const QString grouped = brown_.mailernum;
    ASSERT_TRUE(grouped.contains(u' '));
    const QString bare = UngroupedNumber(grouped);
    const struct {
        QString typed;
        QStringList shown;
    } cases[] = {
        {QString(), {"Carol Carter", "Bob Brown", "Alice Adams"}},
        {QStringLiteral("brown"), {"Bob Brown"}},
        {QStringLiteral("CAROL"), {"Carol Carter"}},
        {grouped, {"Bob Brown"}},
        {bare, {"Bob Brown"}},
        {grouped.left(12), {"Carol Carter", "Bob Brown", "Alice Adams"}}, // a prefix all share
        {bare.right(8), {"Bob Brown"}},                                   // a partial number
        {grouped.right(9), {"Bob Brown"}},                                // partial with its blanks
        {QStringLiteral("new york"), {"Bob Brown"}},
        {QStringLiteral("Chic"), {"Carol Carter"}},
        {QStringLiteral("62701"), {"Alice Adams"}},
        {QStringLiteral("606"), {"Carol Carter"}},
        {QStringLiteral("nobody"), {}},
    };
    for (const auto& c : cases) {
        search->setText(c.typed);
        EXPECT_EQ(Names(w), c.shown) << c.typed.toStdString();
    }
}

TEST_F(MailingLogWindowTest, DateRangeLimitsThePieces) {
    LogWindow w(LogTablePath());
    auto* from = Find<QDateEdit>(w, "deLogFrom");
    auto* to = Find<QDateEdit>(w, "deLogTo");
    from->setDate(QDate(2008, 3, 4));
    EXPECT_EQ(Names(w), (QStringList{"Carol Carter", "Bob Brown"}));
    to->setDate(QDate(2008, 3, 4));
    EXPECT_EQ(Names(w), (QStringList{"Bob Brown"}));
    from->setDate(from->minimumDate()); // no lower limit
    EXPECT_EQ(Names(w), (QStringList{"Bob Brown", "Alice Adams"}));
    Find<QLineEdit>(w, "leLogSearch")->setText(QStringLiteral("Carter"));
    EXPECT_EQ(Names(w), QStringList());
}

TEST_F(MailingLogWindowTest, NewestFirstAndTheReportsOrdersLeaveDeletedPiecesOut) {
    // A fourth piece on the first day, deleted: never shown.
    SetDay(2008, 3, 3);
    Append(Piece(QStringLiteral("Dan Deleted"), QStringLiteral("00001"), QStringLiteral("4444")));
    {
        auto log = MakeLogTable(LogPath());
        log->Open();
        log->SetRecNo(4);
        log->Delete();
        log->Close();
    }
    LogWindow w(LogTablePath());
    auto* order = Find<QComboBox>(w, "cbLogOrder");
    const struct {
        int combo;
        QStringList shown;
    } cases[] = {
        {0, {"Carol Carter", "Bob Brown", "Alice Adams"}}, // newest first
        {1, {"Alice Adams", "Bob Brown", "Carol Carter"}}, // mailer number (serials ascend)
        {2, {"Alice Adams", "Bob Brown", "Carol Carter"}}, // name
        {3, {"Alice Adams", "Bob Brown", "Carol Carter"}}, // date
        {4, {"Bob Brown", "Carol Carter", "Alice Adams"}}, // ZIP 10001, 60601, 62701
    };
    for (const auto& c : cases) {
        order->setCurrentIndex(c.combo);
        EXPECT_EQ(Names(w), c.shown) << "order " << c.combo;
    }
    // A click on a column heading of an order chooses it; a second click goes back to newest
    // first.
    auto* view = Find<QTableView>(w, "tvLog");
    int zipColumn = -1;
    for (int c = 0; c < view->model()->columnCount(); ++c)
        if (view->model()->headerData(c, Qt::Horizontal).toString().toUpper() == "ZIP")
            zipColumn = c;
    ASSERT_GE(zipColumn, 0);
    order->setCurrentIndex(0);
    emit view->horizontalHeader()->sectionClicked(zipColumn);
    EXPECT_EQ(order->currentIndex(), 4);
    EXPECT_EQ(Names(w), cases[4].shown);
    emit view->horizontalHeader()->sectionClicked(zipColumn);
    EXPECT_EQ(Names(w), cases[0].shown);
}

TEST_F(MailingLogWindowTest, OpenProofOpensThePiecesPdfOrNamesTheMissingPath) {
    LogWindow w(LogTablePath());
    QList<QUrl> opened;
    w.SetUrlOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    Select(w, QStringLiteral("Bob Brown"));
    const QString proof = MailerProofPath(brown_.mailernum, QDate(2008, 3, 4));
    EXPECT_TRUE(proof.endsWith(QStringLiteral("Reports/Mailers/2008/03/") +
                               UngroupedNumber(brown_.mailernum) + QStringLiteral(".pdf")));

    QString warned;
    OnNextModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) warned = box->text();
        modal->close();
    });
    Find<QPushButton>(w, "btnOpenProof")->click();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(warned.contains(proof)) << warned.toStdString();

    ASSERT_TRUE(QDir().mkpath(QFileInfo(proof).path()));
    QFile file(proof);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4\n");
    file.close();
    Find<QPushButton>(w, "btnOpenProof")->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(proof));
}

TEST_F(MailingLogWindowTest, TrackAndReprintCarryTheSelectedNumber) {
    LogWindow w(LogTablePath());
    QList<QUrl> opened;
    w.SetUrlOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    QSignalSpy reprint(&w, &LogWindow::reprintRequested);
    EXPECT_FALSE(Find<QPushButton>(w, "btnTrack")->isEnabled()); // nothing selected
    Select(w, QStringLiteral("Carol Carter"));
    Find<QPushButton>(w, "btnTrack")->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].host(), QStringLiteral("tools.usps.com"));
    EXPECT_TRUE(opened[0].query().endsWith(UngroupedNumber(carter_.mailernum)))
        << opened[0].toString().toStdString();
    Find<QPushButton>(w, "btnReprint")->click();
    ASSERT_EQ(reprint.size(), 1);
    EXPECT_EQ(reprint[0][0].toString(), carter_.mailernum);
}

// The window lists what a damaged log holds and names the damage in its title until the log is
// sound again.
TEST_F(MailingLogWindowTest, ADamagedLogIsNamedInTheTitle) {
    LogWindow w(LogTablePath());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Mailing Log"));

    QFile file(LogPath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray sound = file.readAll();
    const int headerLength = uchar(sound[8]) | uchar(sound[9]) << 8;
    const int recordLength = uchar(sound[10]) | uchar(sound[11]) << 8;
    ASSERT_TRUE(file.seek(headerLength + 2 * recordLength + 1)); // record 3's first name byte
    ASSERT_EQ(file.write("\x81"), 1);                            // u umlaut in code page 437
    ASSERT_TRUE(file.seek(4));
    ASSERT_EQ(file.write("\x05"), 1); // the header counts 5 records
    file.flush();
    file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    file.close();
    EXPECT_TRUE(w.RefreshIfChanged());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Mailing Log - The mailing log ") + LogTablePath() +
                                   QStringLiteral(" is damaged: record 4 is missing: the header "
                                                  "counts 5 records, the file holds 3 records."));
    EXPECT_EQ(w.ShownRows(), 3);
    // The stored byte reads through the log's code page, as the report shows it.
    Find<QLineEdit>(w, "leLogSearch")->setText(QStringLiteral("\u00FCarol"));
    EXPECT_EQ(Names(w), QStringList{QStringLiteral("\u00FCarol Carter")});

    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(sound);
    file.flush();
    file.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime);
    file.close();
    EXPECT_TRUE(w.RefreshIfChanged());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Mailing Log"));
}

// A log on a file system mounted read-only (an archive share): the window lists it, and the
// report of the same process reads it beside the window.
TEST_F(MailingLogWindowTest, ALogOnAReadOnlyFileSystemIsShown) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    const QByteArray folder = QFile::encodeName(QFileInfo(LogPath()).absolutePath());
    ASSERT_EQ(::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr), 0)
        << std::strerror(errno);
    struct Unmount {
        QByteArray folder;
        ~Unmount() { ::umount2(folder.constData(), MNT_DETACH); }
    } unmount{folder};
    ASSERT_EQ(
        ::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0)
        << std::strerror(errno);

    LogWindow w(LogTablePath());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Mailing Log"));
    EXPECT_EQ(w.ShownRows(), 3);
    ScriptedUi ui;
    ui.exportFile = File(QStringLiteral("beside.csv"));
    RunExportLog(ui, LogTablePath());
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_TRUE(QFile::exists(ui.exportFile));
}

TEST_F(MailingLogWindowTest, APieceAnotherCopyLogsAppears) {
    LogWindow w(LogTablePath());
    Find<QLineEdit>(w, "leLogSearch")->setText(QStringLiteral("Z-1"));
    EXPECT_EQ(Names(w), QStringList());
    EXPECT_FALSE(w.RefreshIfChanged()); // nothing changed: no re-read

    QProcess other;
    other.start(QStringLiteral(QM_LOG_APPEND_HELPER),
                {LogPath(), QStringLiteral("1"), QStringLiteral("Z")});
    ASSERT_TRUE(other.waitForStarted());
    other.write("go\n");
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForFinished(60000));
    ASSERT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();

    EXPECT_TRUE(w.RefreshIfChanged());
    EXPECT_EQ(Names(w), QStringList{QStringLiteral("Z-1")});
    Find<QLineEdit>(w, "leLogSearch")->clear();
    EXPECT_EQ(Names(w).value(0), QStringLiteral("Z-1")); // the helper's piece is dated today
    EXPECT_EQ(w.ShownRows(), 4);
}

TEST(LogSearch, QueryReadsNumbersWithOrWithoutBlanks) {
    EXPECT_EQ(LogQuery::Of(QStringLiteral(" 9214 8901 ")).digits, "92148901");
    EXPECT_EQ(LogQuery::Of(QStringLiteral("92148901")).digits, "92148901");
    EXPECT_EQ(LogQuery::Of(QStringLiteral("9214 Main")).digits, "");
    EXPECT_EQ(LogQuery::Of(QStringLiteral("smith")).text, "SMITH");
}

} // namespace
} // namespace qm::testing
