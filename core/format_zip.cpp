#include "core/format_zip.h"

namespace qm {

QString FormatZip(const QString& text) {
    const QString s = text.trimmed();
    if (s == QLatin1String("-")) return {};
    const qsizetype hyphen = s.indexOf(u'-');
    if (hyphen >= 0 && hyphen == s.size() - 1) return s.left(s.size() - 1);
    if (hyphen == 0) return s.mid(1).trimmed();
    return s;
}

} // namespace qm
