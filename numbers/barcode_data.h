#pragma once
// Barcode data string of a mail piece and its grouped tracking number.
//
// The data string is "420" + ZIP + tracking number, 30 characters when the ZIP
// has five: "420" (ship-to postal code), the ZIP, the prefix ("92147" for kind
// "T", "92909" for kind "F"), the nine-digit customer ID, the seven-digit
// identifier serial and a GS1 modulo-10 check digit over the 21 digits before it.
// Characters 9 to 30 are the 22-digit tracking number.

#include <QString>

namespace qm {

// Number of characters of "420" + ZIP at the front of a data string built from a
// five-character ZIP; the tracking number starts right after them.
inline constexpr int kBarcodeZipElementLength = 8;

// Customer ID and serial texts count as integers when they are a non-empty
// string of ASCII digits whose value fits a signed 32-bit integer (leading
// zeros allowed). Signs, blanks, hexadecimal and everything else are refused.
bool IsBarcodeInteger(const QString& text);

// GS1 modulo-10 check digit of a digit string: digits counted from the right,
// odd places weighted 3, even places 1; (10 - sum mod 10) mod 10.
// Throws std::invalid_argument "'x' is not a valid integer value" for a
// character x that is not a digit.
int Gs1CheckDigit(const QString& digits);

// Builds the barcode data string. flag "F" (exactly) selects kind "F", anything
// else kind "T". A customer ID or serial that is not an integer becomes zeros;
// short ones are padded with leading zeros to 9 and 7 digits, long ones keep
// their first 9 and 7 characters. An empty ZIP becomes "00000"; a longer ZIP
// contributes its first five characters, a shorter one is used as it is.
QString BuildBarcodeData(const QString& custId, const QString& serial, const QString& zip,
                         const QString& flag);

// The first five characters of a ZIP text as five digits, or "00000" when they are
// not an integer.
QString FiveDigitZip(const QString& zipText);

// The kind "T" data string a mailer prints for the addressee's ZIP text (the data string a
// print returns and the log keeps).
QString MailerBarcodeData(const QString& custId, const QString& serial, const QString& zipText);

// Whether the data string routes the piece to a ZIP: a piece with no ZIP (and a pre-printed
// label, which cannot know one) has the ZIP "00000", which is no routing code at all.
bool CarriesRoutingZip(const QString& data);

// Tracking number of a data string in groups: characters 9-12, 13-16, 17-20,
// 21-24, 25-28 and 29-30 joined by single blanks ("9214 7123 4567 8900 0000 15").
// Groups beyond the end of a shorter string are empty.
QString ReadableNumber(const QString& data);

} // namespace qm
