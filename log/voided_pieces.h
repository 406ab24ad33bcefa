#pragma once
// Voided pieces: log records marked deleted. The piece was printed and logged, then voided; it
// was never mailed, so the book, the reports and the exports leave it out and say so.

#include "log/log_order.h"
#include "tzdbf.h"

#include <QString>

namespace qm {

// "1 voided piece left out", "3 voided pieces left out".
QString VoidedLeftOutText(int count);

// The records of `sequence` that are not voided, in its order; `voided` counts the others.
LogSequence WithoutVoided(table::TTzDbf& log, const LogSequence& sequence, int& voided);

} // namespace qm
