#include "core/form_text.h"

namespace qm {

QString TrimForm(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && text[b].unicode() <= 0x20) ++b;
    while (e > b && text[e - 1].unicode() <= 0x20) --e;
    return text.mid(b, e - b);
}

} // namespace qm
