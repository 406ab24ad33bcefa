// The "&Report" commands end to end over a real log file: reports in every order rendered to
// PDF and read back, and the Clear flows checked against Perl's XBase. The firm mailing book
// and the export have their own files.
#include "log_test_util.h"

#include "core/short_date.h"
#include "tzdbf.h"

#include <QRegularExpression>

#include <memory>
#include <vector>

namespace qm::testing {
namespace {

struct Dated {
    const char* name;
    const char* zip;
    const char* serial;
    int y, m, d;
};

// Each order puts these five in a different sequence; the dates also differ from their text
// order ("3/10/2008" < "3/4/2008" < "12/31/2007" as texts).
const Dated kFive[] = {
    {"Carol", "30303", "3", 2008, 3, 7},  {"Eve", "10001", "1", 2008, 3, 5},
    {"Alice", "50505", "5", 2008, 3, 10}, {"Bob", "90210", "2", 2007, 12, 31},
    {"Dave", "20202", "4", 2008, 3, 6},
};

class LogCommandTest : public LogTest {
protected:
    void AppendFive() {
        for (const Dated& e : kFive) {
            SetDay(e.y, e.m, e.d);
            Append(Piece(QString::fromLatin1(e.name), QString::fromLatin1(e.zip),
                         QString::fromLatin1(e.serial)));
        }
        SetDay(2008, 3, 5);
    }
    QByteArray Bytes(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        return f.readAll();
    }
    int Records(const QString& path) {
        const QStringList dump = XBaseDump(path);
        return dump.isEmpty() ? -1 : dump.size() - 2;
    }
    // The report printed to a PDF, as text.
    QString Report(LogOrder order, LogReport report, const QString& project = CompanionProject()) {
        ui.pdf = File(QStringLiteral("report.pdf"));
        QFile::remove(ui.pdf);
        table::SetClock([] { return table::TLocalTime{{2008, 3, 5}, 14, 30, 0}; });
        RunLogReport(ui, LogPath(), project, order, ReportDestination::Printer, report);
        EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
        return QFile::exists(ui.pdf) ? PdfText(ui.pdf) : QString();
    }

    ScriptedUi ui;
};

QStringList NamesInOrder(const QString& text) {
    QList<std::pair<qsizetype, QString>> found;
    for (const Dated& e : kFive) {
        const QString name = QString::fromLatin1(e.name);
        const qsizetype at = text.indexOf(name);
        EXPECT_GE(at, 0) << e.name;
        found.append({at, name});
    }
    std::sort(found.begin(), found.end());
    QStringList names;
    for (const auto& f : found) names << f.second;
    return names;
}

TEST_F(LogCommandTest, EveryOrderListsTheEntriesInItsSequence) {
    AppendFive();
    struct Case {
        LogOrder order;
        QStringList names;
        const char* why;
    } cases[] = {
        {LogOrder::Record, {"Carol", "Eve", "Alice", "Bob", "Dave"}, "order of printing"},
        {LogOrder::MailerNumber, {"Eve", "Bob", "Carol", "Dave", "Alice"}, "serials 1 to 5"},
        {LogOrder::Name, {"Alice", "Bob", "Carol", "Dave", "Eve"}, "first addressee line"},
        {LogOrder::Date, {"Bob", "Eve", "Dave", "Carol", "Alice"}, "by day, not by date text"},
        {LogOrder::ZipCode, {"Eve", "Dave", "Carol", "Alice", "Bob"}, "ZIP texts"},
    };
    for (const Case& c : cases) {
        for (LogReport r : {LogReport::ShortDetail, LogReport::FullDetail}) {
            const QString text = Report(c.order, r);
            EXPECT_EQ(NamesInOrder(text), c.names) << c.why;
            EXPECT_TRUE(text.contains(QStringLiteral("Number of pieces: 5"))) << c.why;
            EXPECT_TRUE(text.contains(QStringLiteral("Total: 46.50"))) << c.why; // 5 x 9.30
            EXPECT_TRUE(text.contains(QStringLiteral("Date Printed: "))) << c.why;
        }
    }
    EXPECT_TRUE(ui.errors.isEmpty());
    // Each order came from its index file in the log's folder, named by the tag.
    QStringList indexes;
    for (const QString& f : QDir(File(QStringLiteral("Reports"))).entryList(QDir::Files))
        if (f.endsWith(QStringLiteral(".mdx"), Qt::CaseInsensitive)) indexes << f.toLower();
    indexes.sort();
    EXPECT_EQ(indexes, QStringList({"mailernum.mdx", "name.mdx", "rdate.mdx", "zip.mdx"}));
}

TEST_F(LogCommandTest, FullDetailShowsEveryField) {
    AppendFive();
    const QString text = Report(LogOrder::Record, LogReport::FullDetail);
    for (const char* s :
         {"Full Detail Report", "9214 7123 4567 8900 0000 30", "Carol", "12 Main St", "Springfield",
          "IL", "30303", "03/07/2008", "1.35", "4.40", "3.55", "9.30", "comment 3", "re 3"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(s))) << s << "\n" << text.toStdString();
}

TEST_F(LogCommandTest, ChangedHeadingAndWidthInTheProjectFileTakeEffect) {
    AppendFive();
    QString project = QString::fromUtf8(Bytes(CompanionProject()));
    project.replace(QStringLiteral("column 1 mailernum 2.0 left \"Mailer Number\""),
                    QStringLiteral("column 1 mailernum 0.9 left \"Tracking No.\""));
    QFile f(File(QStringLiteral("Quill3.rav")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(project.toUtf8());
    f.close();
    const QString text = Report(LogOrder::Record, LogReport::ShortDetail, f.fileName());
    EXPECT_TRUE(text.contains(QStringLiteral("Tracking No.")));
    EXPECT_FALSE(text.contains(QStringLiteral("Mailer Number")));
    // 0.9 inch holds only the start of the number.
    EXPECT_FALSE(text.contains(QStringLiteral("9214 7123 4567")));
}

TEST_F(LogCommandTest, EmptyLogSaysSoAndOpensNothing) {
    RunLogReport(ui, LogPath(), CompanionProject(), LogOrder::Date, ReportDestination::Preview,
                 LogReport::FullDetail);
    EXPECT_EQ(ui.errors, QStringList{"Report is empty."});
    EXPECT_EQ(ui.previews, 0);
    ClearLog(ui, LogPath());
    EXPECT_EQ(ui.errors, QStringList({"Report is empty.", "Report is already empty."}));
    EXPECT_EQ(ui.asked, 0);
}

TEST_F(LogCommandTest, PreviewGetsTheReportInItsOrder) {
    AppendFive();
    QStringList firstLines;
    ui.onPreview = [&](PagedDocument& doc) {
        EXPECT_EQ(doc.PageCount(), 1);
        auto* report = dynamic_cast<ReportDocument*>(&doc);
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(report->Layout().name, QStringLiteral("ShortDetail"));
        QPrinter printer;
        PreparePrinter(printer, doc);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(File(QStringLiteral("preview.pdf")));
        ScriptedUi quiet;
        EXPECT_TRUE(PrintReport(doc, printer, *quiet.Status()));
    };
    RunLogReport(ui, LogPath(), CompanionProject(), LogOrder::Name, ReportDestination::Preview,
                 LogReport::ShortDetail);
    EXPECT_EQ(ui.previews, 1);
    EXPECT_EQ(NamesInOrder(PdfText(File(QStringLiteral("preview.pdf")))),
              QStringList({"Alice", "Bob", "Carol", "Dave", "Eve"}));
}

TEST_F(LogCommandTest, TheProgramsClockDatesTheLoggedPieceAndTheReport) {
    // Logged on one pinned day, reported on another: both come from the one clock.
    table::SetClock([] { return table::TLocalTime{{2009, 7, 4}, 9, 15, 0}; });
    Append(Piece(QStringLiteral("Frank"), QStringLiteral("60606"), QStringLiteral("6")));
    table::TTzDbf log("Log");
    log.SetDbfFileName(LogPath().toStdString());
    log.Open();
    log.GoTop();
    EXPECT_EQ(log.GetField("rdate"), table::FormatEngineDate({2009, 7, 4}));
    log.Close();

    table::SetClock([] { return table::TLocalTime{{2010, 1, 2}, 8, 0, 0}; });
    ui.pdf = File(QStringLiteral("report.pdf"));
    RunLogReport(ui, LogPath(), CompanionProject(), LogOrder::Record, ReportDestination::Printer,
                 LogReport::FullDetail);
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    const QString text = PdfText(ui.pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Date Printed: ") + ShortDateText({2010, 1, 2})))
        << text.toStdString();
    EXPECT_TRUE(text.contains(ShortDateText({2009, 7, 4}))) << text.toStdString();
}

TEST_F(LogCommandTest, MissingProjectIsReportedAndTheLogClosed) {
    AppendFive();
    ui.pdf = File(QStringLiteral("x.pdf"));
    RunLogReport(ui, LogPath(), File(QStringLiteral("nothing")), LogOrder::Record,
                 ReportDestination::Printer, LogReport::FullDetail);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("nothing.rav"))) << ui.errors[0].toStdString();
    // Closed: an exclusive open succeeds.
    const auto log = MakeLogTable(LogPath());
    log->SetExclusive(true);
    EXPECT_NO_THROW(log->Open());
}

TEST_F(LogCommandTest, DamagedLogOrProjectIsReportedAndLosesNothing) {
    // A log that is no table: every command says so and leaves the file as it is.
    QFile bad(LogPath());
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(40, '\x03'));
    bad.close();
    const QByteArray damaged = Bytes(LogPath());
    ui.answer = LogUi::SaveAnswer::No;
    ui.exportFile = File(QStringLiteral("x.csv"));
    RunLogReport(ui, LogPath(), CompanionProject(), LogOrder::Name, ReportDestination::Preview,
                 LogReport::FullDetail);
    ClearLog(ui, LogPath());
    RunExportLog(ui, LogPath());
    ASSERT_EQ(ui.errors.size(), 3);
    for (const QString& e : ui.errors)
        EXPECT_TRUE(e.contains(QStringLiteral("Error # "))) << e.toStdString();
    EXPECT_TRUE(ui.errors[2].startsWith(QStringLiteral("Error on export: ")));
    EXPECT_EQ(Bytes(LogPath()), damaged);
    EXPECT_FALSE(QFile::exists(ui.exportFile));
    EXPECT_EQ(ui.previews, 0);

    // A project with a mistake: its line is named, the log stays whole and closed.
    QFile::remove(LogPath());
    AppendFive();
    QFile project(File(QStringLiteral("Quill3.rav")));
    ASSERT_TRUE(project.open(QIODevice::WriteOnly));
    project.write("report FullDetail\n  column 1 zip 1 centre Zip\nend\n");
    project.close();
    ScriptedUi second;
    RunLogReport(second, LogPath(), project.fileName(), LogOrder::Record,
                 ReportDestination::Preview, LogReport::FullDetail);
    ASSERT_EQ(second.errors.size(), 1);
    EXPECT_TRUE(second.errors[0].contains(QStringLiteral("Quill3.rav, line 2")))
        << second.errors[0].toStdString();
    // A project without the requested report.
    ASSERT_TRUE(project.open(QIODevice::WriteOnly));
    project.write("report FullDetail\n  column 1 zip 1 left Zip\nend\n");
    project.close();
    RunLogReport(second, LogPath(), project.fileName(), LogOrder::Record,
                 ReportDestination::Preview, LogReport::ShortDetail);
    ASSERT_EQ(second.errors.size(), 2);
    EXPECT_TRUE(second.errors[1].contains(QStringLiteral("no report \"ShortDetail\"")));
    EXPECT_EQ(Records(LogPath()), 5);
}

// The window's report preview, firm mailing book and export read a log whose structure is sound
// only: a deletion flag other than blank or "*" in a record, which the engine would take for
// the end of the records, is shown with the log and the record; nothing is previewed or written.
TEST_F(LogCommandTest, DamagedRecordStopsPreviewBookAndExport) {
    AppendFive();
    QFile file(LogPath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray sound = file.readAll();
    const int headerLength = uchar(sound[8]) | uchar(sound[9]) << 8;
    const int recordLength = uchar(sound[10]) | uchar(sound[11]) << 8;
    ASSERT_TRUE(file.seek(headerLength + 3 * recordLength)); // record 4
    ASSERT_EQ(file.write("\x1A"), 1);
    file.close();

    ui.exportFile = File(QStringLiteral("x.csv"));
    ui.bookRange = {QDate(2000, 1, 1), QDate(2030, 1, 1)};
    ui.bookPreview = true;
    RunLogReport(ui, LogPath(), CompanionProject(), LogOrder::Record, ReportDestination::Preview,
                 LogReport::FullDetail);
    RunFirmMailingBook(ui, LogPath(), {QStringLiteral("Acme")});
    RunExportLog(ui, LogPath());
    ASSERT_EQ(ui.errors.size(), 3) << ui.errors.join(u'\n').toStdString();
    for (const QString& e : ui.errors) {
        EXPECT_TRUE(e.contains(QStringLiteral("The mailing log ") + LogPath() +
                               QStringLiteral(" is damaged: record 4 begins with 0x1A")))
            << e.toStdString();
    }
    EXPECT_EQ(ui.previews, 0);
    EXPECT_FALSE(QFile::exists(ui.exportFile));
    EXPECT_TRUE(ui.infos.isEmpty()) << ui.infos.join(u'\n').toStdString();
}

// Other copies append while reports and exports run: the check waits for no half-written
// append and takes no other copy's append in progress for damage. The copies pause between
// pieces as desks do, so that the exports surely run among their appends.
TEST_F(LogCommandTest, AppendsOfOtherCopiesAreNoDamage) {
    AppendFive();
    std::vector<std::unique_ptr<QProcess>> copies;
    for (const char* name : {"P", "Q"}) {
        auto& p = copies.emplace_back(std::make_unique<QProcess>());
        p->start(
            QStringLiteral(QM_LOG_APPEND_HELPER),
            {LogPath(), QStringLiteral("20"), QString::fromLatin1(name), QStringLiteral("10")});
        ASSERT_TRUE(p->waitForStarted());
    }
    for (auto& p : copies) {
        p->write("go\n");
        ASSERT_TRUE(p->waitForBytesWritten(10000));
        p->closeWriteChannel();
    }
    int runs = 0;
    auto running = [&] {
        bool any = false;
        for (auto& p : copies) any = !p->waitForFinished(1) || any; // notices an ended copy
        return any;
    };
    while ((running() || runs < 3) && runs < 1000) {
        ScriptedUi each;
        each.exportFile = File(QStringLiteral("run.csv"));
        RunExportLog(each, LogPath());
        ASSERT_TRUE(each.errors.isEmpty()) << runs << ": " << each.errors.join(u'\n').toStdString();
        ++runs;
    }
    EXPECT_GT(runs, 3);
    for (auto& p : copies) {
        if (p->state() != QProcess::NotRunning) {
            ASSERT_TRUE(p->waitForFinished(60000));
        }
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    EXPECT_EQ(Records(LogPath()), 45);
}

TEST_F(LogCommandTest, ClearFlows) {
    struct Case {
        LogUi::SaveAnswer answer;
        bool chooseFile;
        bool emptied;
        bool archived;
        const char* why;
    } cases[] = {
        {LogUi::SaveAnswer::Yes, true, true, true, "Yes, new archive: a copy, then empty"},
        {LogUi::SaveAnswer::Yes, false, true, false, "Yes, save dialog cancelled: still empty"},
        {LogUi::SaveAnswer::No, false, true, false, "No: empty without a copy"},
        {LogUi::SaveAnswer::Cancel, false, false, false, "Cancel: unchanged"},
    };
    int n = 0;
    for (const Case& c : cases) {
        QFile::remove(LogPath());
        AppendFive();
        const QByteArray before = Bytes(LogPath());
        ScriptedUi clear;
        clear.answer = c.answer;
        const QString archive = File(QStringLiteral("archive%1.dbf").arg(++n));
        if (c.chooseFile) clear.archive = archive;
        ClearLog(clear, LogPath());
        EXPECT_TRUE(clear.errors.isEmpty()) << c.why << clear.errors.join(u'\n').toStdString();
        EXPECT_EQ(clear.asked, 1) << c.why;
        EXPECT_EQ(Records(LogPath()), c.emptied ? 0 : 5) << c.why;
        if (!c.emptied) {
            EXPECT_EQ(Bytes(LogPath()), before) << c.why;
        }
        EXPECT_EQ(QFile::exists(archive), c.archived) << c.why;
        if (c.archived) {
            EXPECT_EQ(Bytes(archive), before) << c.why;
        }
    }
}

TEST_F(LogCommandTest, ClearIntoAnEarlierArchiveAppends) {
    AppendFive();
    ui.answer = LogUi::SaveAnswer::Yes;
    ui.archive = File(QStringLiteral("old.dbf"));
    ClearLog(ui, LogPath());
    SetDay(2008, 4, 1);
    Append(Piece(QStringLiteral("Frank"), QStringLiteral("60606"), QStringLiteral("6")));
    Append(Piece(QStringLiteral("Grace"), QStringLiteral("70707"), QStringLiteral("7")));
    ClearLog(ui, LogPath());
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_EQ(Records(LogPath()), 0);
    const QStringList dump = XBaseDump(ui.archive);
    ASSERT_EQ(dump.size(), 2 + 7);
    EXPECT_TRUE(dump[2 + 0].contains(QStringLiteral("|Carol|")));
    EXPECT_TRUE(dump[2 + 5].contains(QStringLiteral("|Frank|")));
    EXPECT_TRUE(dump[2 + 6].contains(QStringLiteral("|20080401|")));
}

TEST_F(LogCommandTest, ArchiveThatIsNoLogIsRefusedBeforeAnythingIsDeleted) {
    AppendFive();
    const QByteArray before = Bytes(LogPath());
    const QString other = File(QStringLiteral("other.dbf"));
    RunTool(QStringLiteral("perl"),
            {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("write"), other});
    const QString text = File(QStringLiteral("notes.txt"));
    QFile t(text);
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write("shopping list\n");
    t.close();
    for (const QString& archive : {other, text, LogPath()}) {
        ScriptedUi clear;
        clear.answer = LogUi::SaveAnswer::Yes;
        clear.archive = archive;
        const QByteArray archiveBefore = Bytes(archive);
        ClearLog(clear, LogPath());
        ASSERT_EQ(clear.errors.size(), 1) << archive.toStdString();
        EXPECT_TRUE(clear.errors[0].contains(QStringLiteral("Nothing was deleted")))
            << clear.errors[0].toStdString();
        EXPECT_EQ(Bytes(LogPath()), before) << archive.toStdString();
        EXPECT_EQ(Bytes(archive), archiveBefore) << archive.toStdString();
    }
}

TEST_F(LogCommandTest, ArchiveLockedByAnotherCopyIsRefusedBeforeAnythingIsDeleted) {
    AppendFive();
    ui.answer = LogUi::SaveAnswer::Yes;
    ui.archive = File(QStringLiteral("old.dbf"));
    ClearLog(ui, LogPath()); // the archive now exists
    AppendFive();
    const QByteArray before = Bytes(LogPath());
    table::TTzDbf other("OtherCopy");
    other.SetDbfFileName(ui.archive.toStdString());
    other.Open();
    ASSERT_TRUE(other.ALock());
    ClearLog(ui, LogPath());
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0],
              ui.archive + QStringLiteral(" is in use by another user. Nothing was deleted."));
    EXPECT_EQ(Bytes(LogPath()), before);
    other.UnLock();
    other.Close();
    EXPECT_EQ(Records(ui.archive), 5);
}

TEST_F(LogCommandTest, ClearWhileAnotherCopyHasTheLogOpenChangesNothing) {
    AppendFive();
    const QByteArray before = Bytes(LogPath());
    table::TTzDbf other("OtherCopy");
    other.SetDbfFileName(LogPath().toStdString());
    other.Open();
    ui.answer = LogUi::SaveAnswer::Yes;
    ui.archive = File(QStringLiteral("saved.dbf"));
    ClearLog(ui, LogPath());
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("File sharing violation")))
        << ui.errors[0].toStdString();
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("not cleared")));
    EXPECT_EQ(Bytes(LogPath()), before);
    EXPECT_EQ(Records(ui.archive), 5); // the saved copy is whole
    other.Close();
    // The program goes on: a second try succeeds.
    ScriptedUi again;
    again.answer = LogUi::SaveAnswer::No;
    ClearLog(again, LogPath());
    EXPECT_TRUE(again.errors.isEmpty());
    EXPECT_EQ(Records(LogPath()), 0);
}

TEST_F(LogCommandTest, ClearWhileAnotherRunningCopyHoldsTheLogChangesNothing) {
    AppendFive();
    const QByteArray before = Bytes(LogPath());
    QProcess copy;
    copy.start(QStringLiteral(QM_MP_HELPER), {QStringLiteral("hold"), LogPath()});
    ASSERT_TRUE(copy.waitForReadyRead(10000));
    ASSERT_TRUE(copy.readLine().startsWith("ready"));
    ui.answer = LogUi::SaveAnswer::No;
    ClearLog(ui, LogPath());
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("File sharing violation")))
        << ui.errors[0].toStdString();
    EXPECT_EQ(Bytes(LogPath()), before);
    copy.write("\n");
    copy.closeWriteChannel();
    ASSERT_TRUE(copy.waitForFinished(10000));
    // The other copy has gone: the report still runs and shows all five.
    ui.errors.clear();
    EXPECT_EQ(NamesInOrder(Report(LogOrder::Name, LogReport::ShortDetail)),
              QStringList({"Alice", "Bob", "Carol", "Dave", "Eve"}));
}

} // namespace
} // namespace qm::testing
