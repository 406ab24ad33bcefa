#pragma once
// A machine-readable symbol as a page drew it: where it lies and what a scanner must read
// from it. The mailer notes each one so the rendered page can be checked before it prints.

#include <QRect>
#include <QString>

namespace qm {

enum class SymbolKind {
    Gs1_128, // Code 128 with FNC1 first: GS1 element strings
    Postnet, // the postal height-modulated ZIP code symbol
};

struct DrawnSymbol {
    SymbolKind kind = SymbolKind::Gs1_128;
    // The drawn rectangle in device dots (on an image page: its pixels), quiet zones included.
    QRect dots;
    // What the symbol must read as. GS1-128: the element string as a scanner transmits it,
    // without the leading FNC1 and with GS (0x1D) where an FNC1 separates two elements.
    // POSTNET: the digits, without the check digit.
    QString data;
    // How the user finds it on the form: "the sender's ZIP barcode".
    QString name;
};

} // namespace qm
