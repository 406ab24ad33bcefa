#include "numbers/serial_number.h"

#include "core/integer.h"

#include <cstdint>

namespace qm {

QString StepSerial(const QString& serial, int delta) {
    const int32_t stored = StrToInt(serial);
    // An eighth digit would be cut off the tracking number: every piece would
    // print the same one.
    if (stored < 0 || stored > 9999999)
        throw ConversionError(QStringLiteral("'%1' is not a serial number of seven digits")
                                  .arg(serial)
                                  .toStdString());
    int64_t n = int64_t(stored) + delta;
    QString s = QString::number(n);
    if (s == QLatin1String("10000000"))
        s = QStringLiteral("0000001");
    else if (s == QLatin1String("-1"))
        s = QStringLiteral("9999999");
    return s.rightJustified(7, QLatin1Char('0'));
}

} // namespace qm
