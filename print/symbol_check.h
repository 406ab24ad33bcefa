#pragma once
// Reads the symbols of a rendered page back and compares each with the data it must carry:
// GS1-128 with the zxing-cpp library, POSTNET with our own reader (print/postnet_reader.h).
// Each symbol is read from its own rectangle only, so a page is checked in well under a
// millisecond a symbol.

#include "print/drawn_symbol.h"

#include <QImage>
#include <QString>

#include <optional>
#include <vector>

namespace qm {

// A symbol that does not read back as its data.
struct SymbolFailure {
    DrawnSymbol symbol;
    // What went wrong, to follow the symbol's name: "could not be read back (a bar is broken)".
    QString reason;
    // The whole sentence: "The sender's ZIP barcode could not be read back (a bar is broken)."
    QString Message() const;
};

// Reads one symbol from the page image (8-bit grey; other formats are converted first):
// why it fails, or nothing when it reads as its data. A GS1-128 symbol is scanned along
// three lines across its bars (at a quarter, half and three quarters of its height), and
// each must read as the data.
std::optional<QString> CheckSymbol(const QImage& page, const DrawnSymbol& symbol);

// The first symbol, in the order given, that does not read back as its data.
std::optional<SymbolFailure> CheckSymbols(const QImage& page,
                                          const std::vector<DrawnSymbol>& symbols);

} // namespace qm
