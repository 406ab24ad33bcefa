#pragma once
#include <QString>

namespace qm {

// Normalises the text of a ZIP masked edit (five digit places, hyphen, four digit places,
// blank places as blanks): "12345-    " gives "12345", "     -    " gives "".
QString FormatZip(const QString& text);

} // namespace qm
