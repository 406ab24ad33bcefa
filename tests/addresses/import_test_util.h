// Readable failures for the import's values.
#pragma once

#include "addresses/name_address_text.h"

#include <ostream>

namespace qm::addresses {

inline void PrintTo(const TRefusedLine& r, std::ostream* os) {
    *os << "line " << r.line << ": " << r.reason.toStdString();
}

inline void PrintTo(const TImportReport& r, std::ostream* os) {
    *os << "{imported " << r.imported << ", replaced " << r.replaced << ", refused [";
    for (const TRefusedLine& line : r.refused) {
        PrintTo(line, os);
        *os << "; ";
    }
    *os << "]}";
}

inline void PrintTo(const TParsedLine& p, std::ostream* os) {
    if (!p.refusal.isEmpty()) {
        *os << "refused: " << p.refusal.toStdString();
        return;
    }
    *os << "fields";
    for (const QString& f : p.fields) *os << " [" << f.toStdString() << "]";
}

} // namespace qm::addresses
