#pragma once
// The print journal: Reports/journal.txt beside the mailing log, one line per piece that went
// to the printer and is not yet in the log. A piece is noted before its page is printed and the
// note dropped once it is logged (or its print refused), so a copy killed between the printer
// and the log leaves a note behind. Each note names the host, the process and the process's
// start, so a piece another running copy is printing right now is not taken for a crash.
// The journal is read and rewritten whole under the mailing log's append lock.
//
//   for (const JournalEntry& e : PendingJournalEntries(JournalPath(), LogTablePath()))
//       ask(PendingPieceQuestion(e)) ? LogPendingPiece(...) : SpoilPendingPiece(...);

#include "log/log_table.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace qm {

// DataFolder() + "Reports/journal.txt".
QString JournalPath();

// The process a note belongs to.
struct JournalProcess {
    QString host;
    qint64 pid = 0;
    qint64 started = 0; // the process's start in clock ticks after boot, 0 when unknown

    // This process.
    static JournalProcess Current();
    // True when the process runs on this host now (a pid taken over by a later process
    // does not count).
    bool Alive() const;
};

struct JournalEntry {
    JournalProcess process;
    QDateTime time; // when the piece went to the printer
    LogEntry piece; // the log entry it is to have
};

// Notes `piece` as going to the printer now from this process. Throws qm::Error naming the
// journal when it cannot be written.
void JournalPiece(const QString& journalPath, const QString& logPath, const LogEntry& piece);

// Drops the note of the piece with the log number `mailernum` left by this process. Throws
// qm::Error naming the journal.
void DropJournalEntry(const QString& journalPath, const QString& logPath, const QString& mailernum);

// The notes whose piece may have printed without being logged: those of this host whose
// process is gone, and this process's own (its log entry failed). Notes of a live copy and of
// other hosts are left to them. Throws qm::Error naming the journal when it cannot be read.
std::vector<JournalEntry> PendingJournalEntries(const QString& journalPath, const QString& logPath);

// The question about a pending piece and its two answers (the first logs it).
QString PendingPieceQuestion(const JournalEntry& entry);
QString LogItAnswer();
QString SpoiledAnswer();

// "Log it": appends the piece to the mailing log as printed, then drops its note. Throws
// qm::Error with what went wrong; the note stays then.
void LogPendingPiece(const QString& journalPath, const QString& logPath, const JournalEntry& entry);

// "It did not print": records the number in the reprints table with the reason "Spoiled"
// (the serial is past it already, so it is never handed out again), then drops its note.
// Throws qm::Error with what went wrong; the note stays then.
void SpoilPendingPiece(const QString& journalPath, const QString& logPath,
                       const QString& reprintPath, const JournalEntry& entry);

} // namespace qm
