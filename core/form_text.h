#pragma once
#include <QString>

namespace qm {

// Trim as the form does it: blanks and control characters off both ends.
QString TrimForm(const QString& text);

} // namespace qm
