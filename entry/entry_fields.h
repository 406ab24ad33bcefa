#pragma once
// The print request built from the entry form and the settings.

#include "core/settings.h"
#include "piece/entry_fields.h"
#include "piece/print_request.h"

namespace qm {

// The print request of one piece. The total on the receipt is the sum of the fees
// the receipt shows: every fee that is a number greater than 0; any other fee text
// prints as a single blank.
PrintRequest BuildPrintRequest(const EntryFields& fields, const GlobalVariables& g);

// True when the address lines, city and ZIP hold nothing but blanks.
bool AddresseeEmpty(const EntryFields& fields);

} // namespace qm
