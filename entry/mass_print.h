#pragma once
// File, Mass Print: one mailer for every record of the open address table, each piece through
// the same per-piece road as a single print (numbering locked across copies, the log).

#include "entry/print_run.h"

#include <functional>

namespace qm {

// The records a mass print walks through, in record order (records marked deleted included).
class MassPrintSource {
public:
    virtual ~MassPrintSource() = default;
    virtual unsigned Count() = 0;
    virtual void First() = 0;
    virtual bool AtEnd() = 0;
    virtual void Next() = 0;
    // The entry form with the current record's addressee.
    virtual EntryFields Fields() = 0;
};

struct MassPrintOutcome {
    bool asked = false; // the question was answered Yes
    int printed = 0;
    int logged = 0;
    bool cancelled = false;          // the user stopped the run between two pieces
    QString firstNumber, lastNumber; // tracking numbers of the first and last printed piece
    PrintOutcome::Result stop = PrintOutcome::Result::Printed; // how the last piece ended
};

// Called before each piece with its number (from 1) and the count; false stops the run there.
using MassPrintProgress = std::function<bool(int piece, int count)>;

MassPrintOutcome RunMassPrint(MassPrintSource& source, GlobalVariables& g, PiecePrinter& printer,
                              RunDialogs& dialogs, PieceLog& log,
                              const MassPrintProgress& progress = {});

QString MassPrintUnsetCustomerMessage();
// The closing message: how many pieces were printed and logged, first and last number.
QString MassPrintSummary(const MassPrintOutcome& outcome);
// The number a person reads for a printed piece's data text.
QString PrintedNumberText(const QString& barcodeData);

} // namespace qm
