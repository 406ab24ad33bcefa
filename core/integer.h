#pragma once
// The integer parser of the program's texts: settings values, serial numbers, counts.
#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>

namespace qm {

// A text that should hold a decimal integer and does not.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a signed decimal integer (leading blanks and one sign allowed) in the 32-bit
// range; throws ConversionError "'<text>' is not a valid integer value" otherwise.
int32_t StrToInt(const QString& text);
// The same without throwing.
std::optional<int32_t> TryStrToInt(const QString& text);

} // namespace qm
