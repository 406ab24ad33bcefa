#include "log/print_journal.h"

#include "core/clock.h"
#include "core/data_folder.h"
#include "core/error.h"
#include "core/whole_file.h"
#include "log/reprint_log.h"
#include "log/shared_log.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <unistd.h>

#include <functional>

namespace qm {

namespace {

// The start of process `pid` in clock ticks after boot (field 22 of /proc/<pid>/stat), 0 when
// there is no such process.
qint64 ProcessStart(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    // The command name in parentheses may hold blanks; the fields after it start at the third.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0) return 0;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields[19].toLongLong() : 0;
}

bool SameProcess(const JournalProcess& a, const JournalProcess& b) {
    return a.host == b.host && a.pid == b.pid && a.started == b.started;
}

QJsonObject ToJson(const JournalEntry& e) {
    const LogEntry& p = e.piece;
    QJsonArray addressee;
    for (const QString& line : p.addressee) addressee.append(line);
    return QJsonObject{{QStringLiteral("host"), e.process.host},
                       {QStringLiteral("pid"), e.process.pid},
                       {QStringLiteral("started"), e.process.started},
                       {QStringLiteral("time"), e.time.toString(Qt::ISODate)},
                       {QStringLiteral("mailernum"), p.mailernum},
                       {QStringLiteral("addressee"), addressee},
                       {QStringLiteral("city"), p.city},
                       {QStringLiteral("state"), p.state},
                       {QStringLiteral("zip"), p.zip},
                       {QStringLiteral("postage"), p.postage},
                       {QStringLiteral("certified"), p.certified},
                       {QStringLiteral("restricted"), p.restricted},
                       {QStringLiteral("return"), p.returnFee},
                       {QStringLiteral("total"), p.total},
                       {QStringLiteral("comments"), p.comments},
                       {QStringLiteral("re"), p.re}};
}

JournalEntry FromJson(const QJsonObject& o) {
    JournalEntry e;
    auto text = [&o](const char* key) { return o.value(QLatin1String(key)).toString(); };
    e.process.host = text("host");
    e.process.pid = o.value(QLatin1String("pid")).toInteger();
    e.process.started = o.value(QLatin1String("started")).toInteger();
    e.time = QDateTime::fromString(text("time"), Qt::ISODate);
    LogEntry& p = e.piece;
    p.mailernum = text("mailernum");
    const QJsonArray addressee = o.value(QLatin1String("addressee")).toArray();
    for (qsizetype i = 0; i < 4 && i < addressee.size(); ++i)
        p.addressee[size_t(i)] = addressee[i].toString();
    p.city = text("city");
    p.state = text("state");
    p.zip = text("zip");
    p.postage = text("postage");
    p.certified = text("certified");
    p.restricted = text("restricted");
    p.returnFee = text("return");
    p.total = text("total");
    p.comments = text("comments");
    p.re = text("re");
    return e;
}

std::vector<JournalEntry> ReadJournal(const QString& path) {
    QFile file(path);
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("The print journal %1 could not be read: %2")
                        .arg(path, file.errorString()));
    std::vector<JournalEntry> entries;
    int number = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        ++number;
        if (line.trimmed().isEmpty()) continue;
        QJsonParseError parse;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &parse);
        if (!doc.isObject())
            throw Error(QStringLiteral("The print journal %1 is damaged at line %2: %3")
                            .arg(path)
                            .arg(number)
                            .arg(parse.error == QJsonParseError::NoError
                                     ? QStringLiteral("not a piece")
                                     : parse.errorString()));
        entries.push_back(FromJson(doc.object()));
    }
    return entries;
}

void WriteJournal(const QString& path, const std::vector<JournalEntry>& entries) {
    QByteArray bytes;
    for (const JournalEntry& e : entries)
        bytes += QJsonDocument(ToJson(e)).toJson(QJsonDocument::Compact) + '\n';
    try {
        WriteWholeFile(path, bytes);
    } catch (const WholeFileError& e) {
        throw Error(
            QStringLiteral("The print journal %1 could not be written: %2").arg(path, e.Reason()));
    }
}

// Runs `use` on the journal's entries under the mailing log's append lock.
void WithJournal(const QString& journalPath, const QString& logPath,
                 const std::function<void(std::vector<JournalEntry>&)>& use) {
    try {
        SharedLogUse log(logPath);
        table::TTableLock lock(log.Table(), table::TTableLock::Append);
        if (!lock.Held())
            throw Error(QStringLiteral("The mailing log %1 is locked by another user; the print "
                                       "journal %2 was not read.")
                            .arg(logPath, journalPath));
        std::vector<JournalEntry> entries = ReadJournal(journalPath);
        use(entries);
    } catch (const Error&) {
        throw;
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("The print journal %1 could not be used: %2")
                        .arg(journalPath, QString::fromUtf8(e.what())));
    }
}

// Reads the journal, lets `change` edit its entries and writes it back, all under the mailing
// log's append lock.
void ChangeJournal(const QString& journalPath, const QString& logPath,
                   const std::function<void(std::vector<JournalEntry>&)>& change) {
    WithJournal(journalPath, logPath, [&](std::vector<JournalEntry>& entries) {
        change(entries);
        WriteJournal(journalPath, entries);
    });
}

void DropEntry(const QString& journalPath, const QString& logPath, const JournalProcess& process,
               const QString& mailernum) {
    ChangeJournal(journalPath, logPath, [&](std::vector<JournalEntry>& entries) {
        std::erase_if(entries, [&](const JournalEntry& e) {
            return SameProcess(e.process, process) && e.piece.mailernum == mailernum;
        });
    });
}

QString FirstAddresseeLine(const LogEntry& piece) {
    for (const QString& line : piece.addressee)
        if (!line.trimmed().isEmpty()) return line.trimmed();
    return QStringLiteral("(no addressee)");
}

} // namespace

QString JournalPath() {
    return DataFolder() + QStringLiteral("Reports/journal.txt");
}

JournalProcess JournalProcess::Current() {
    const qint64 pid = ::getpid();
    return {QSysInfo::machineHostName(), pid, ProcessStart(pid)};
}

bool JournalProcess::Alive() const {
    return host == QSysInfo::machineHostName() && pid > 0 && ProcessStart(pid) == started;
}

void JournalPiece(const QString& journalPath, const QString& logPath, const LogEntry& piece) {
    const JournalEntry entry{JournalProcess::Current(), CurrentDateTime(), piece};
    ChangeJournal(journalPath, logPath,
                  [&entry](std::vector<JournalEntry>& entries) { entries.push_back(entry); });
}

void DropJournalEntry(const QString& journalPath, const QString& logPath,
                      const QString& mailernum) {
    DropEntry(journalPath, logPath, JournalProcess::Current(), mailernum);
}

std::vector<JournalEntry> PendingJournalEntries(const QString& journalPath,
                                                const QString& logPath) {
    std::vector<JournalEntry> pending;
    // Most starts and prints find no journal or an empty one: nothing to lock.
    if (QFileInfo(journalPath).size() == 0) return pending;
    WithJournal(journalPath, logPath, [&pending](std::vector<JournalEntry>& entries) {
        const JournalProcess self = JournalProcess::Current();
        for (const JournalEntry& e : entries) {
            if (e.process.host != self.host) continue;
            if (SameProcess(e.process, self) || !e.process.Alive()) pending.push_back(e);
        }
    });
    return pending;
}

QString PendingPieceQuestion(const JournalEntry& e) {
    return QStringLiteral("Mailer %1 for %2 may have printed at %3 but is not in the mailing log.")
        .arg(e.piece.mailernum.trimmed(), FirstAddresseeLine(e.piece),
             e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QString LogItAnswer() {
    return QStringLiteral("Log it");
}

QString SpoiledAnswer() {
    return QStringLiteral("It did not print (number spoiled)");
}

void LogPendingPiece(const QString& journalPath, const QString& logPath, const JournalEntry& e) {
    // The day it printed, which is the day it went to the post office.
    const QString error = AppendLogEntry(logPath, e.piece, e.time.toLocalTime().date());
    if (!error.isEmpty())
        throw Error(QStringLiteral("Mailer %1 could not be entered in the mailing log: %2")
                        .arg(e.piece.mailernum.trimmed(), error));
    DropEntry(journalPath, logPath, e.process, e.piece.mailernum);
}

void SpoilPendingPiece(const QString& journalPath, const QString& logPath,
                       const QString& reprintPath, const JournalEntry& e) {
    const QString error = AppendReprint(reprintPath, e.piece.mailernum, QStringLiteral("Spoiled"));
    if (!error.isEmpty())
        throw Error(QStringLiteral("Mailer %1 could not be recorded as spoiled in %2: %3")
                        .arg(e.piece.mailernum.trimmed(), reprintPath, error));
    DropEntry(journalPath, logPath, e.process, e.piece.mailernum);
}

} // namespace qm
