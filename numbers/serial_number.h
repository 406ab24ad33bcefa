#pragma once
// The seven-digit identifier serial number of barcode mode.
#include <QString>

namespace qm {

// A seven-digit serial stepped by delta: after 9999999 comes 0000001, below 0
// comes 9999999. Throws ConversionError when the serial is not an integer of 0 to 9999999.
QString StepSerial(const QString& serial, int delta);

} // namespace qm
