#pragma once
// The settings a print depends on, checked as quill4.ini gives them. A key whose stored text is
// not a value of its kind stops every print until it is corrected: it is never read as zero.
#include "core/settings.h"

#include <QString>

#include <optional>

namespace qm {

// A customer ID as stored: nine digits, hyphens anywhere (they are removed before use); an
// empty one is the unset ID the first start asks for.
bool IsStoredCustomerId(const QString& text);
// The serial of barcode mode: one to seven digits.
bool IsStoredSerial(const QString& text);
// The mailer number of pre-numbered mode: 20, 22 or 30 digits (numbers/mailer_numbers.h).
bool IsStoredMailerNum(const QString& text);

struct SettingFault {
    QString key;
    // "quill4.ini (<path>): <key>=<value> is not <what>.", then where it is corrected.
    QString message;
};

// The numbers the Mailer Number dialog sets: CustID and SerialNum for the barcode's numbers,
// else MailerNum and Increment. The first that is damaged, or none.
std::optional<SettingFault> NumberSettingFault(const GlobalVariables& g, bool barcodeNumbers);
// The settings file itself when it could not be read, then the keys set under Options:
// PrintBarCode, LeftRight and TopBottom.
std::optional<SettingFault> PrintSettingFault(const GlobalVariables& g);

} // namespace qm
