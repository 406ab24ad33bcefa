#include "core/serial_number.h"

#include "core/integer.h"

#include <cstdint>

namespace qm {

QString StepSerial(const QString& serial, int delta) {
    int64_t n = int64_t(StrToInt(serial)) + delta;
    QString s = QString::number(n);
    if (s == QLatin1String("10000000"))
        s = QStringLiteral("0000001");
    else if (s == QLatin1String("-1"))
        s = QStringLiteral("9999999");
    return s.rightJustified(7, QLatin1Char('0'));
}

} // namespace qm
