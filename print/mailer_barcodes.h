#pragma once
// The machine-readable parts of the mailer: the three GS1-128 symbols with the
// tracking numbers, and the POSTNET symbols of the ZIP codes.

#include "piece/print_request.h"

#include <QString>

namespace qm {

class PrintPage;

// Symbol settings derived from the page resolution (dots per inch).
struct MailerSymbolSizes {
    int codeHeight;      // tall bar height
    int codeShortHeight; // bar height of the short F symbol
    int codeWidth;       // widest drawn width, 2.5 inches
    int zipScale;        // POSTNET bar and gap width
    int zipHeight;       // POSTNET full bar height
};
MailerSymbolSizes SymbolSizesFor(int resolutionX, int resolutionY);

// Dots per module of a 128-type symbol of `modules` modules (quiet zones included):
// the largest whole number whose symbol is not wider than `maxWidthDots`, at least 1.
// Every bar and space is then a whole number of printer dots, so none comes out a
// dot narrower or wider than its neighbours.
int WholeDotModule(int maxWidthDots, int modules);

// Text handed to the barcode component for a barcode data string: FNC1, "420" and
// the ZIP, FNC1 as the separator, then the tracking number. Without a routing ZIP
// (CarriesRoutingZip) it is FNC1 and the tracking number alone.
QString MailerSymbolText(const QString& data);

// The three 128-type symbols and the seven tracking numbers of kinds T and F. The
// symbols and the numbers' cells are kept clear of every later text.
void DrawMailerBarcodes(PrintPage& page, const QString& dataT, const QString& dataF);

// The sender ZIP symbol, and the extra label's ZIP symbol when the extra label
// carries the addressee.
void DrawZipBarcodes(PrintPage& page, const QString& senderZip, const QString& addresseeZip,
                     ExtraLabel extraLabel);

} // namespace qm
