#pragma once
// Reprint after a jam: a logged piece printed again with its own tracking number. The numbering
// is not touched and nothing is added to the mailing log; the caller records the reprint.
#include "core/settings.h"
#include "entry/print_run.h"
#include "piece/entry_fields.h"

#include <QString>

#include <optional>

namespace qm {

// The customer ID and serial a 22-digit tracking number of kind "T" carries ("92147", nine
// digits of customer ID, seven of serial, the check digit), blanks ignored; nullopt for any
// other text or a wrong check digit.
struct TrackingParts {
    QString customerId;
    QString serial;
};
std::optional<TrackingParts> TrackingPartsOf(const QString& trackingNumber);

// The question asked before a reprint; `mailernum` is the grouped number.
QString ReprintQuestion(const QString& mailernum);
QString ReprintPreNumberedMessage();
QString ReprintUnknownNumberMessage(const QString& number);

// Prints the piece `mailernum` again from `fields` (the logged addressee, fees, comment and
// reference with the current sender lines) after the user confirms ReprintQuestion. The
// page is checked first when g.VerifyBarcodes. Refused in pre-numbered mode, with a damaged
// alignment or mode setting, and for a number this program does not print. g is not changed.
PrintOutcome RunReprint(const EntryFields& fields, const QString& mailernum,
                        const GlobalVariables& g, PiecePrinter& printer, RunDialogs& dialogs);

} // namespace qm
