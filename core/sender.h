#pragma once
// The sender block: five label lines from the sender settings, with the city, state and ZIP
// line placed into the first empty line.
#include "core/settings.h"

#include <array>

namespace qm {

std::array<QString, 5> SenderLabelTexts(const GlobalVariables& g);

} // namespace qm
