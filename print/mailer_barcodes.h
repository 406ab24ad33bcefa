#pragma once
// The machine-readable parts of the mailer: the three GS1-128 symbols with the
// tracking numbers, and the POSTNET symbols of the ZIP codes.

#include <QString>

namespace qm {

class PrintPage;

// Symbol settings derived from the page resolution (dots per inch).
struct MailerSymbolSizes {
    int codeScale;       // module width of the 128-type symbols
    int codeHeight;      // tall bar height
    int codeShortHeight; // bar height of the short F symbol
    int codeWidth;       // drawn width, 2.5 inches
    int zipScale;        // POSTNET bar and gap width
    int zipHeight;       // POSTNET full bar height
};
MailerSymbolSizes SymbolSizesFor(int resolutionX, int resolutionY);

// Text handed to the barcode component for a barcode data string: FNC1, "420" and
// the ZIP, FNC1 as the separator, then the tracking number.
QString MailerSymbolText(const QString& data);

// The three 128-type symbols and the seven tracking numbers of kinds T and F.
void DrawMailerBarcodes(PrintPage& page, const QString& dataT, const QString& dataF);

// The sender ZIP symbol, and the extra label's ZIP symbol when the extra label
// carries the addressee ("Yes" and "Addressed To", compared exactly).
void DrawZipBarcodes(PrintPage& page, const QString& senderZip, const QString& addresseeZip,
                     const QString& printExtraLabel, const QString& extraLabel);

} // namespace qm
