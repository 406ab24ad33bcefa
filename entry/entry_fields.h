#pragma once
// The entry form as a plain value, and the print request built from it.

#include "core/settings.h"
#include "print/print_request.h"

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

// The 28 slots of the print request. The total on the receipt is the sum of the fees
// the receipt shows: every fee that is a number greater than 0; any other fee text
// prints as a single blank.
PrintRequest BuildPrintRequest(const EntryFields& fields, const GlobalVariables& g);

// True when the address lines, city and ZIP hold nothing but blanks.
bool AddresseeEmpty(const EntryFields& fields);

} // namespace qm
