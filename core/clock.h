#pragma once
// The program's clock in Qt's types. It reads the table engine's clock (table/engine_date.h),
// so one fixed clock installed there pins the log date, the report's printing time and the
// default date ranges alike.
#include <QDate>
#include <QDateTime>

namespace qm {

QDateTime CurrentDateTime();
QDate CurrentDate();

} // namespace qm
