#pragma once
// File, Mass Print: one mailer for every record of the open address table, each piece through
// the same per-piece road as a single print (numbering locked across copies, the log).

#include "entry/print_run.h"

#include <QList>

#include <functional>

namespace qm {

// The records a mass print walks through (records marked deleted included). A move may throw
// the table engine's error (a damaged index, for one).
class MassPrintSource {
public:
    virtual ~MassPrintSource() = default;
    virtual unsigned Count() = 0;
    virtual void First() = 0;
    virtual bool AtEnd() = 0;
    virtual void Next() = 0;
    // The entry form with the current record's addressee.
    virtual EntryFields Fields() = 0;
    // Whether the current record is marked deleted, and its number.
    virtual bool Deleted() = 0;
    virtual unsigned RecNo() = 0;
};

// A record the run leaves out or changes: its number and the addressee's first line.
struct MassPrintRecord {
    unsigned recNo = 0;
    QString name;
    QString zip; // as typed
};

struct MassPrintOutcome {
    bool asked = false; // the question was answered Yes
    int printed = 0;
    int logged = 0;
    bool cancelled = false;          // the user stopped the run between two pieces
    QString firstNumber, lastNumber; // tracking numbers of the first and last printed piece
    PrintOutcome::Result stop = PrintOutcome::Result::Printed; // how the last piece ended
    // What the walk over the records found before printing.
    int toPrint = 0;                  // the records the run prints
    int deletedSkipped = 0;           // records marked deleted, never printed
    QList<MassPrintRecord> wrongZip;  // not printed: the ZIP cannot be printed
    QList<MassPrintRecord> shortened; // lines longer than the log keeps, cut to it
    int withoutZip = 0;               // printed without a ZIP
    NoZipPrint noZipPrint;            // what those carry
    QString error;                    // the table engine's error that ended the run
    // The piece that was printed but could not be logged, which ended the run: the warning
    // naming it and the log's error.
    QString notLogged;
};

// A run stops at the first piece it cannot log, before the next one prints. Any other warning
// about a printed piece asks whether to go on (RunWarningQuestion), so the run can be stopped
// there as well.
//
// Called before each piece with its number (from 1) and the count, with the source on the
// piece's record; false stops the run there.
using MassPrintProgress = std::function<bool(int piece, int count)>;

MassPrintOutcome RunMassPrint(MassPrintSource& source, GlobalVariables& g, PiecePrinter& printer,
                              RunDialogs& dialogs, PieceLog& log,
                              const MassPrintProgress& progress = {});

QString MassPrintUnsetCustomerMessage();
// The question before a mass print of `count` records.
QString MassPrintQuestion(unsigned count);
// The question before the run: the labels it will print and the records it skips.
QString MassPrintQuestion(const MassPrintOutcome& plan);
// The closing message: how many pieces were printed and logged, first and last number, the
// records skipped or shortened and the error that stopped the run.
QString MassPrintSummary(const MassPrintOutcome& outcome);
// The question after a warning about a printed piece during the run; its buttons are
// RunWarningButtons (the first goes on, the second stops).
QString RunWarningQuestion(const QString& warning);
QStringList RunWarningButtons();
// The number a person reads for a printed piece's data text.
QString PrintedNumberText(const QString& barcodeData);

} // namespace qm
