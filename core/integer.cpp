#include "core/integer.h"

#include <limits>

namespace qm {

std::optional<int32_t> TryStrToInt(const QString& text) {
    int i = 0;
    const int n = int(text.size());
    while (i < n && text[i] == QLatin1Char(' ')) ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == n) return std::nullopt;
    int64_t value = 0;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return int32_t(value);
}

int32_t StrToInt(const QString& text) {
    if (auto v = TryStrToInt(text)) return *v;
    throw ConversionError(
        QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
}

} // namespace qm
