#include "core/clock.h"

#include "engine_date.h"

namespace qm {

QDateTime CurrentDateTime() {
    const table::TLocalTime now = table::Now();
    return QDateTime(QDate(now.date.year, now.date.month, now.date.day),
                     QTime(now.hour, now.minute, now.second));
}

QDate CurrentDate() {
    return CurrentDateTime().date();
}

} // namespace qm
