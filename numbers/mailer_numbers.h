#pragma once
// Mailer numbers of the two numbering modes: the serial number of barcode mode and
// the mailer number of pre-numbered mode.
//
// The stored mailer number comes in three forms, told apart by length:
//   20 digits  the legacy default "71000000000000000000": ID at 3-11, serial at 12-18
//   22 digits  a tracking number "92147" + ID + serial + check: ID at 6-14, serial at 15-21
//   30 chars   a barcode data text "420" + "00000" + the 22 digits: ID at 14-22, serial at 23-29
// Stepping always stores the 30-character form.

#include "core/settings.h"

#include <QString>

namespace qm {

struct MailerNumberParts {
    QString id;     // nine digits
    QString serial; // seven digits
};

// ID and serial at the positions of the form the text has (legacy positions for any
// length other than 22 and 30).
MailerNumberParts SplitMailerNum(const QString& mailerNum);
// The 22-digit tracking number of a stored mailer number.
QString TrackingDigits(const QString& mailerNum);
// True when a 22-digit tracking number ends in the GS1 modulo-10 check digit of the 21
// digits before it.
bool TrackingCheckDigitRight(const QString& tracking22);
// The stored 30-character form of a 22-digit tracking number.
QString MailerNumFromTracking(const QString& tracking22);

// Steps the number of the current mode to the next one. A pre-numbered tracking number
// keeps its first 14 digits (prefix and ID) as stored. Throws ConversionError before
// changing anything when the serial is not an integer.
void AdvanceNumber(GlobalVariables& g);
// Steps it back by one (the menu's Mailer Number dialog confirms the next number and
// keeps the last used one).
void StepBackNumber(GlobalVariables& g);

// Barcode mode on or off; switching to pre-numbered mode counts up again.
void SetBarcodeMode(GlobalVariables& g, bool barcodeMode);

// A customer ID with no digit other than 0 (hyphens and all) identifies no mailer.
bool CustomerIdUnset(const QString& custId);
QString WithoutHyphens(const QString& text);

// The numbers a command may change and must put back when it is cancelled.
struct NumberCopies {
    QString serialNum, custId, mailerNum;
    static NumberCopies Of(const GlobalVariables& g) {
        return {g.SerialNum, g.CustID, g.MailerNum};
    }
    void RestoreTo(GlobalVariables& g) const {
        g.SerialNum = serialNum;
        g.CustID = custId;
        g.MailerNum = mailerNum;
    }
    bool NumbersDiffer(const GlobalVariables& g) const {
        return g.SerialNum != serialNum || g.MailerNum != mailerNum || g.CustID != custId;
    }
};

} // namespace qm
