#pragma once
// Where a print run puts its pieces: one mailer per piece, or a run of pre-printed labels.
// The run sees only this interface (Qt Core); PagePrinter puts them on a page target.

#include "piece/print_request.h"

#include <QString>

#include <functional>
#include <stdexcept>

namespace qm {

// A rendered mailer whose symbol does not read back as its data; what() names the symbol
// and says what was read.
class SymbolCheckError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PiecePrinter {
public:
    virtual ~PiecePrinter() = default;
    // Prints one mailer as one document. Returns the kind "T" barcode data string in
    // barcode mode, the request's mailer number in pre-numbered mode. Throws on an error of the
    // printer or the page; the open document is abandoned.
    virtual QString PrintMailer(const PrintRequest& request, bool barcodeMode) = 0;
    // Renders the mailer as PrintMailer would print it, without printing, and reads each of
    // its symbols back. Throws SymbolCheckError naming the first symbol that does not read
    // as its data, or another exception when the page cannot be rendered. A printer that
    // cannot look at its pages checks nothing.
    virtual void VerifyMailer(const PrintRequest& request, bool barcodeMode) {
        (void)request;
        (void)barcodeMode;
    }
    // Writes the mailer PrintMailer printed for the request once more, as a PDF file at
    // `path` (the page as the printer received it). Throws with the reason, without the path,
    // when the file could not be written. A printer without pages keeps nothing.
    virtual void WriteProof(const PrintRequest& request, bool barcodeMode, const QString& path) {
        (void)request, (void)barcodeMode, (void)path;
    }
    // Prints `count` labels as one document of one page per label, serials counting up
    // from firstSerial. labelPrinted runs with each label's serial once its page is done.
    // Throws on an error; the labels printed before it stay printed. Returns the number
    // of labels printed.
    virtual int PrePrintLabels(int count, const QString& custId, const QString& firstSerial,
                               int leftRight, int topBottom,
                               const std::function<void(const QString& serial)>& labelPrinted) = 0;
};

} // namespace qm
