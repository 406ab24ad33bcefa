// The log table: its file as another dBase reader sees it, the entry of a printed piece, and
// a failed append reported instead of dropped.
#include "log_test_util.h"

#include "core/settings.h"
#include "entry/entry_fields.h"
#include "tzdbf.h"

#include <QProcess>

namespace qm::testing {
namespace {

uint16_t Le16(const QByteArray& b, int at) {
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}
uint32_t Le32(const QByteArray& b, int at) {
    return uint32_t(Le16(b, at)) | uint32_t(Le16(b, at + 2)) << 16;
}

// The entry of a piece printed from `f`, through the print request the form is printed from.
LogEntry EntryOf(const EntryFields& f, const QString& data) {
    return LogEntryOf(BuildPrintRequest(f, GlobalVariables{}), f, data);
}

const QString kData = QStringLiteral("420627019214712345678900000159");

TEST_F(LogTest, FirstPrintCreatesTheLogThatXBaseReads) {
    // Four lines typed: the city line has no room and stays in its own slot.
    const EntryFields full = FieldsOf({QStringLiteral("Jane Roe"), QStringLiteral("Roe & Sons"),
                                       QStringLiteral("400 Oak Ave"), QStringLiteral("Suite 5")},
                                      QStringLiteral("Springfield "), QStringLiteral(" IL"),
                                      QStringLiteral("62701-1234"));
    ASSERT_FALSE(QFile::exists(LogPath()));
    ASSERT_EQ(AppendLogEntry(LogPath(), EntryOf(full, kData)), QString());

    QFile f(LogPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(Le32(bytes, 4), 1u);   // records
    EXPECT_EQ(Le16(bytes, 8), 545);  // header: 32 + 16 fields of 32 + terminator
    EXPECT_EQ(Le16(bytes, 10), 348); // record: flag + 347
    ASSERT_GE(bytes.size(), 545 + 348);
    EXPECT_EQ(bytes[545], ' '); // not deleted

    const QStringList dump = XBaseDump(LogPath());
    ASSERT_EQ(dump.size(), 3) << dump.join(u'\n').toStdString();
    EXPECT_EQ(dump[0], QStringLiteral("version 3 count 1"));
    EXPECT_EQ(dump[1], QStringLiteral(
                           "fields SENTNAME0:C:30:0,SENTNAME1:C:30:0,SENTNAME2:C:30:0,SENTNAME3:C:"
                           "30:0,CITY:C:35:0,STATE:C:4:0,ZIP:C:10:0,RDATE:D:8:0,MAILERNUM:C:35:0,"
                           "POSTAGE:C:15:0,CERTIFIED:C:15:0,RESTRICTED:C:15:0,RETURN:C:15:0,TOTAL:"
                           "C:15:0,COMMENTS:C:35:0,RE:C:25:0"));
    const QStringList v = dump[2].split(u'|');
    ASSERT_EQ(v.size(), 17);
    EXPECT_EQ(v[0], QStringLiteral("0"));
    EXPECT_EQ(v[1], QStringLiteral("Jane Roe"));
    EXPECT_EQ(v[2], QStringLiteral("Roe & Sons"));
    EXPECT_EQ(v[3], QStringLiteral("400 Oak Ave"));
    EXPECT_EQ(v[4], QStringLiteral("Suite 5"));
    EXPECT_EQ(v[5], QStringLiteral("Springfield"));
    EXPECT_EQ(v[6], QStringLiteral("IL"));
    EXPECT_EQ(v[7], QStringLiteral("62701-1234"));
    EXPECT_EQ(v[8], QStringLiteral("20080305"));
    EXPECT_EQ(v[9], QStringLiteral("9214 7123 4567 8900 0001 59"));
    EXPECT_EQ(v[9].size(), 27);
    EXPECT_EQ(v[10], QStringLiteral("  1.35")); // money texts keep their leading blanks
    EXPECT_EQ(v[11], QStringLiteral("  4.40"));
    EXPECT_EQ(v[12], QStringLiteral("")); // XBase trims the single blank of a fee that is off
    EXPECT_EQ(v[13], QStringLiteral("  3.55"));
    EXPECT_EQ(v[14], QStringLiteral("  9.30"));
    EXPECT_EQ(v[15], QStringLiteral("Lease"));
    EXPECT_EQ(v[16], QStringLiteral("Account 17"));
    // The off fee is stored as one blank in a blank field: raw bytes of `restricted`.
    const int restrictedAt = 545 + 1 + 30 * 4 + 35 + 4 + 10 + 8 + 35 + 15 + 15;
    EXPECT_EQ(bytes.mid(restrictedAt, 15), QByteArray(15, ' '));
}

TEST_F(LogTest, MailerNumberGroupsOfTheDataText) {
    struct Case {
        QString data, grouped, why;
    } cases[] = {
        {kData, QStringLiteral("9214 7123 4567 8900 0001 59"), "30 characters: 27 grouped"},
        {QStringLiteral("12345678ABCDEFGHIJKL"), QStringLiteral("ABCD EFGH IJKL   "),
         "pre-numbered, 20 characters: three groups and three blanks"},
        {QString(), QStringLiteral("     "), "nothing printed: the blanks remain"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LogMailerNumber(c.data), c.grouped) << c.why.toStdString();
}

TEST_F(LogTest, EntryHoldsTheLinesAsTypedWhereverTheCityLineWasPrinted) {
    struct Case {
        std::array<QString, 4> lines;
        QString city, state, zipText;
        QString loggedCity, loggedState, loggedZip, why;
    } cases[] = {
        {{"Jane Roe", "1 Elm St", "", ""},
         "Springfield",
         "IL",
         "62701-    ",
         "Springfield",
         "IL",
         "62701",
         "two lines typed: the city line is printed in line 3, the log keeps line 3 empty"},
        {{"Jane Roe", "", "Attn: Legal", ""},
         " Springfield ",
         "IL ",
         "62701-    ",
         "Springfield",
         "IL",
         "62701",
         "line 2 left empty: printed there; city and state trimmed"},
        {{"A", "B", "C", "D"},
         "New York",
         "NY",
         "10001-0001",
         "New York",
         "NY",
         "10001-0001",
         "four lines: the city line has its own slot; a city of two words"},
        {{"Jane Roe", "Lot 4 Unit 62701", "", ""},
         "Springfield",
         "",
         "62701-    ",
         "Springfield",
         "",
         "62701",
         "a typed line that ends like a city line stays as typed; no state"},
    };
    for (const Case& c : cases) {
        const LogEntry e = EntryOf(FieldsOf(c.lines, c.city, c.state, c.zipText), kData);
        EXPECT_EQ(e.addressee, c.lines) << c.why.toStdString();
        EXPECT_EQ(e.city, c.loggedCity) << c.why.toStdString();
        EXPECT_EQ(e.state, c.loggedState) << c.why.toStdString();
        EXPECT_EQ(e.zip, c.loggedZip) << c.why.toStdString();
        EXPECT_EQ(e.total, QStringLiteral("  9.30")) << c.why.toStdString();
    }
}

TEST_F(LogTest, LongTextsAreCutToTheirFields) {
    LogEntry e = Piece(QString(45, u'N'), QStringLiteral("62701"), QStringLiteral("1"));
    e.re = QString(40, u'R');
    Append(e);
    const QStringList v = XBaseDump(LogPath()).at(2).split(u'|');
    EXPECT_EQ(v[1], QString(30, u'N'));
    EXPECT_EQ(v[16], QString(25, u'R'));
}

TEST_F(LogTest, LockedLogGivesAnErrorTextAndAppendsNothing) {
    Append(Piece(QStringLiteral("First"), QStringLiteral("62701"), QStringLiteral("1")));
    {
        // Another copy of the program in the middle of its own append.
        table::TTzDbf other("OtherCopy");
        other.SetDbfFileName(LogPath().toStdString());
        other.Open();
        ASSERT_TRUE(other.ALock());
        const QString error =
            AppendLogEntry(LogPath(), Piece(QStringLiteral("Second"), QStringLiteral("62701"),
                                            QStringLiteral("2")));
        EXPECT_TRUE(error.contains(QStringLiteral("locked"))) << error.toStdString();
        other.UnLock();
    }
    EXPECT_EQ(XBaseDump(LogPath()).size(), 3); // header lines and the first entry only
}

TEST_F(LogTest, CopiesPrintingAtOnceLoseNoEntry) {
    Append(Piece(QStringLiteral("First"), QStringLiteral("62701"), QStringLiteral("1")));
    constexpr int kEach = 1000; // enough that the copies overlap even on a loaded machine
    QProcess a, b;
    a.start(QStringLiteral(QM_LOG_APPEND_HELPER), {LogPath(), QString::number(kEach), "A"});
    b.start(QStringLiteral(QM_LOG_APPEND_HELPER), {LogPath(), QString::number(kEach), "B"});
    ASSERT_TRUE(a.waitForStarted() && b.waitForStarted());
    a.write("go\n");
    b.write("go\n");
    a.waitForBytesWritten();
    b.waitForBytesWritten();
    for (int i = 1; i <= 50; ++i)
        Append(Piece(QStringLiteral("C-%1").arg(i), QStringLiteral("62701"), QString::number(i)));
    for (QProcess* p : {&a, &b}) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    const QStringList dump = XBaseDump(LogPath());
    ASSERT_EQ(dump.size(), 2 + 1 + 2 * kEach + 50);
    // Every copy's entries are there, each once and in its own order; the copies took turns.
    int turns = 0;
    for (int i = 3; i < dump.size(); ++i)
        turns += dump[i].section(u'|', 1, 1).left(1) != dump[i - 1].section(u'|', 1, 1).left(1);
    EXPECT_GT(turns, 3);
    for (const char* copy : {"A", "B"}) {
        int next = 1;
        for (const QString& line : dump.mid(2)) {
            const QString name = line.section(u'|', 1, 1);
            if (name.startsWith(QLatin1String(copy) + u'-')) {
                EXPECT_EQ(name, QStringLiteral("%1-%2").arg(QLatin1String(copy)).arg(next));
                ++next;
            }
        }
        EXPECT_EQ(next, kEach + 1) << copy;
    }
}

TEST_F(LogTest, UnusableLogFileGivesTheEngineText) {
    QFile bad(LogPath());
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("this is no table");
    bad.close();
    const QString error = AppendLogEntry(
        LogPath(), Piece(QStringLiteral("Jane"), QStringLiteral("62701"), QStringLiteral("1")));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Error # "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("report3"), Qt::CaseInsensitive))
        << error.toStdString();
}

TEST_F(LogTest, FieldObjectsAgreeWithTheFile) {
    Append(Piece(QStringLiteral("Jane"), QStringLiteral("62701"), QStringLiteral("1")));
    const auto log = MakeLogTable(LogPath());
    log->Open();
    EXPECT_TRUE(IsLogShaped(*log));
    ASSERT_EQ(LogFieldObjects().size(), 16u);
    EXPECT_STREQ(LogFieldObjects().back().name, "MAILERNUM");
    for (const LogFieldObject& o : LogFieldObjects()) {
        const int i = log->FieldIndex(o.name);
        ASSERT_GE(i, 0) << o.name;
        EXPECT_EQ(log->FieldDef(i).type, o.type) << o.name;
        if (o.type == 'C') {
            EXPECT_EQ(log->FieldDef(i).width, o.size) << o.name;
        }
        EXPECT_EQ(QString::fromLatin1(o.component), QStringLiteral("TzDbfReport") + o.name);
    }
}

} // namespace
} // namespace qm::testing
