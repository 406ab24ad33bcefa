#pragma once
// The entry form as a plain value: what a print reads from it.

#include <QString>

#include <array>

namespace qm {

// What a print reads from the entry form, as the fields show it. The window fills it
// from its own controls (the free-entry ones, or the address-table ones when a table
// is open).
struct EntryFields {
    std::array<QString, 5> senderLabels;   // the five sender label lines
    std::array<QString, 4> addresseeLines; // displayed lines 1 to 4 of the address memo
    QString city, state, zipText;          // zipText as the masked field holds it
    QString re, comment;
    bool restricted = false;
    QString postage, certFee, returnFee, restrictedFee, total;
};

} // namespace qm
