#pragma once
// Money texts of the log that the program did not write (another program changed the log):
// the book and the reports count them as nothing and name each.

#include "tzdbf.h"

#include <QStringList>

#include <cstdint>
#include <vector>

namespace qm {

// "Record 12: postage '=1+1' is not an amount; not counted" for each money field of `records`
// whose text is not one the program writes (IsWrittenMoneyText), in the order given.
QStringList UncountedMoney(table::TTzDbf& log, const std::vector<uint32_t>& records);

} // namespace qm
