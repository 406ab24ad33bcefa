// The print journal with real processes: print_one_piece killed between the printer and the
// log leaves its piece in the journal; the next start asks about it and each answer does what
// it says; a normal print and a refused one leave the journal empty.
#include "log/print_journal.h"
#include "log_test_util.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace qm {
namespace {

struct Ran {
    QProcess::ExitStatus status;
    int code; // the exit code, or the signal that ended it
    QString errors;
};

class PrintJournalTest : public ::testing::Test {
protected:
    QString Folder() const { return dir_.path() + QLatin1Char('/'); }
    QString Journal() const { return Folder() + QStringLiteral("Reports/journal.txt"); }
    QString Log() const { return Folder() + QStringLiteral("Reports/report3.dbf"); }
    QString Reprints() const { return Folder() + QStringLiteral("Reports/reprints.dbf"); }

    // One piece to NAME printed into `pdf` by a process of its own.
    Ran PrintOne(const QString& name, bool killBeforeLog, const QString& pdf = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (killBeforeLog)
            env.insert(QStringLiteral("QM_TEST_KILL_BEFORE_LOG"), QStringLiteral("1"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QM_PRINT_ONE_PIECE),
                {QStringLiteral("--folder"), dir_.path(), QStringLiteral("--pdf"),
                 pdf.isEmpty() ? Folder() + name + QStringLiteral(".pdf") : pdf,
                 QStringLiteral("--customer"), QStringLiteral("123456789"), name});
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitStatus(), p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    }

    // The records of a table as Perl's XBase reads them, without its two header lines.
    QStringList Records(const QString& dbf) {
        if (!QFile::exists(dbf)) return {};
        return testing::XBaseDump(dbf).mid(2);
    }

    std::vector<JournalEntry> Pending() { return PendingJournalEntries(Journal(), Log()); }

    QTemporaryDir dir_;
};

TEST_F(PrintJournalTest, NormalPrintLeavesTheJournalEmpty) {
    const Ran ran = PrintOne(QStringLiteral("Ada Quill"), false);
    ASSERT_EQ(ran.status, QProcess::NormalExit) << ran.errors.toStdString();
    ASSERT_EQ(ran.code, 0) << ran.errors.toStdString();
    EXPECT_EQ(Records(Log()).size(), 1);
    EXPECT_TRUE(Pending().empty());
    QFile journal(Journal());
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal.readAll(), QByteArray());
}

TEST_F(PrintJournalTest, RefusedPrintRemovesItsEntry) {
    // The printer cannot open its output: the print fails after the piece was journaled.
    const Ran ran = PrintOne(QStringLiteral("Ada Quill"), false,
                             Folder() + QStringLiteral("missing/folder/out.pdf"));
    ASSERT_EQ(ran.status, QProcess::NormalExit) << ran.errors.toStdString();
    EXPECT_EQ(ran.code, 1) << ran.errors.toStdString();
    EXPECT_TRUE(Records(Log()).isEmpty());
    EXPECT_TRUE(Pending().empty());
    QFile journal(Journal());
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal.readAll(), QByteArray());
}

TEST_F(PrintJournalTest, PieceOfALiveProcessIsLeftAlone) {
    // A process printing right now: its entry is no crash.
    QProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(sleeper.waitForStarted());
    const Ran ran = PrintOne(QStringLiteral("Ada Quill"), true);
    ASSERT_EQ(ran.status, QProcess::CrashExit);
    std::vector<JournalEntry> entries = Pending();
    ASSERT_EQ(entries.size(), 1u);
    const JournalProcess dead = entries[0].process;
    EXPECT_FALSE(dead.Alive());
    // The same entry under a live process of this host is not pending; under a pid that is
    // reused by another process it is.
    QFile journal(Journal());
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    QByteArray text = journal.readAll();
    journal.close();
    const QByteArray deadPid = "\"pid\":" + QByteArray::number(dead.pid);
    ASSERT_TRUE(text.contains(deadPid));
    QByteArray live = text;
    live.replace(deadPid, "\"pid\":" + QByteArray::number(sleeper.processId()));
    JournalProcess liveProcess{dead.host, sleeper.processId(), 0};
    // The start of the sleeper as the journal would note it.
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(sleeper.processId()));
        ASSERT_TRUE(stat.open(QIODevice::ReadOnly));
        const QByteArray s = stat.readAll();
        liveProcess.started = s.mid(s.lastIndexOf(')') + 2).split(' ')[19].toLongLong();
    }
    EXPECT_TRUE(liveProcess.Alive());
    live.replace("\"started\":" + QByteArray::number(dead.started),
                 "\"started\":" + QByteArray::number(liveProcess.started));
    ASSERT_TRUE(journal.open(QIODevice::WriteOnly | QIODevice::Truncate));
    journal.write(live);
    journal.close();
    EXPECT_TRUE(Pending().empty());
    // A pid taken over by a later process: the noted start differs.
    JournalProcess reused = liveProcess;
    reused.started += 1;
    EXPECT_FALSE(reused.Alive());
    sleeper.kill();
    sleeper.waitForFinished();
}

struct Answer {
    const char* name;
    bool logIt;
    int logRecords;     // in the mailing log after the answer
    int reprintRecords; // in reprints.dbf after the answer
};

class PrintJournalAnswerTest : public PrintJournalTest,
                               public ::testing::WithParamInterface<Answer> {};

TEST_P(PrintJournalAnswerTest, KilledBetweenPrintAndLogIsAskedAndAnswered) {
    const Answer answer = GetParam();
    const Ran killed = PrintOne(QStringLiteral("Ada Quill"), true);
    ASSERT_EQ(killed.status, QProcess::CrashExit) << killed.errors.toStdString();
    // The page was printed, the log has nothing.
    EXPECT_TRUE(QFile::exists(Folder() + QStringLiteral("Ada Quill.pdf")));
    EXPECT_TRUE(Records(Log()).isEmpty());

    // The next start finds the piece in the journal and asks about it.
    const std::vector<JournalEntry> pending = Pending();
    ASSERT_EQ(pending.size(), 1u);
    const JournalEntry& e = pending[0];
    EXPECT_EQ(e.piece.addressee[0], QStringLiteral("Ada Quill"));
    EXPECT_TRUE(e.piece.mailernum.startsWith(QStringLiteral("9214 7123 4567 89")))
        << e.piece.mailernum.toStdString();
    EXPECT_FALSE(e.piece.total.trimmed().isEmpty());
    EXPECT_TRUE(e.time.isValid());
    const QString question = PendingPieceQuestion(e);
    EXPECT_TRUE(question.startsWith(QStringLiteral("Mailer ") + e.piece.mailernum.trimmed() +
                                    QStringLiteral(" for Ada Quill may have printed at ")))
        << question.toStdString();
    EXPECT_TRUE(question.endsWith(QStringLiteral("but is not in the mailing log.")));

    // Answered a day later: the log keeps the day the piece printed.
    const QDate printed = e.time.toLocalTime().date();
    const QDate answered = printed.addDays(1);
    table::SetDateClock([answered] {
        return table::TDate{answered.year(), answered.month(), answered.day()};
    });
    if (answer.logIt)
        LogPendingPiece(Journal(), Log(), e);
    else
        SpoilPendingPiece(Journal(), Log(), Reprints(), e);
    table::SetDateClock(nullptr);

    const QStringList logged = Records(Log());
    ASSERT_EQ(logged.size(), answer.logRecords);
    if (answer.logIt) {
        EXPECT_TRUE(logged[0].contains(QStringLiteral("Ada Quill"))) << logged[0].toStdString();
        EXPECT_TRUE(logged[0].contains(e.piece.mailernum)) << logged[0].toStdString();
        EXPECT_TRUE(logged[0].contains(printed.toString(QStringLiteral("yyyyMMdd"))))
            << logged[0].toStdString();
    }
    const QStringList reprinted = Records(Reprints());
    ASSERT_EQ(reprinted.size(), answer.reprintRecords);
    if (!answer.logIt) {
        EXPECT_TRUE(reprinted[0].contains(e.piece.mailernum)) << reprinted[0].toStdString();
        EXPECT_TRUE(reprinted[0].contains(QStringLiteral("Spoiled"))) << reprinted[0].toStdString();
    }
    EXPECT_TRUE(Pending().empty());

    // The number is never handed out again: the next piece has the next serial.
    const Ran next = PrintOne(QStringLiteral("Bea Quill"), false);
    ASSERT_EQ(next.code, 0) << next.errors.toStdString();
    const QStringList after = Records(Log());
    ASSERT_EQ(after.size(), answer.logRecords + 1);
    EXPECT_FALSE(after.last().contains(e.piece.mailernum)) << after.last().toStdString();
    EXPECT_TRUE(Pending().empty());
}

INSTANTIATE_TEST_SUITE_P(Answers, PrintJournalAnswerTest,
                         ::testing::Values(Answer{"LogIt", true, 1, 0},
                                           Answer{"DidNotPrint", false, 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qm
