#pragma once
// The checks a piece passes before it is printed: a ZIP code the barcodes can carry, address
// lines the mailing log keeps whole, fees that are amounts of money.

#include "core/settings.h"
#include "entry/entry_fields.h"

#include <QString>

namespace qm {

enum class ZipState {
    Empty,    // no digit: the mailer carries no ZIP barcode
    Complete, // five digits, or five and four
    Wrong,    // anything else ("1990", "12345-67")
};
ZipState CheckZip(const QString& zipText);
// The ZIP as the user sees it, for messages: the masked text without its blank places.
QString ZipAsTyped(const QString& zipText);
QString WrongZipMessage(const QString& zipText);
// What a piece without a ZIP carries, by the settings it prints with: in barcode mode the
// tracking symbols hold the tracking number alone, without the "420" ZIP routing code; an extra
// label with the addressee has no ZIP barcode.
struct NoZipPrint {
    bool barcodeMode = true;
    bool addresseeExtraLabel = false;
};
NoZipPrint NoZipPrintOf(const GlobalVariables& g);
QString EmptyZipQuestion(NoZipPrint print);
// "2 labels without a ZIP code: ..." for the mass print's question.
QString WithoutZipNote(int labels, NoZipPrint print);

// Characters of an addressee line that the mailing log keeps.
inline constexpr int kLoggedLineLength = 30;
// Characters of a line that count: trailing blanks do not.
int LineLength(const QString& line);
// line counts from 1.
QString LongLineQuestion(int line, int length);
QString ShortenedLine(const QString& line);
// Index (0 to 3) of the first addressee line longer than the log keeps, or -1.
int FirstLongLine(const EntryFields& fields);

// The fee fields in the order the form shows them.
enum class FeeField { None, Postage, CertFee, Return, Restricted };
// The first fee field whose text is not a usable amount, with the message that refuses it.
FeeField RefusedFee(const EntryFields& fields, QString& message);

} // namespace qm
