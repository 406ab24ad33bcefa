// Keys of the multiple-index files: the stored forms of text, date and numeric
// keys, their comparison, and a key expression bound to a table's fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf_file.h"
#include "engine_date.h"

namespace qm::table {

inline constexpr int kMaxKeyLength = 100;
inline constexpr int kMaxKeyExpression = 220;
inline constexpr int kDateKeyLength = 8;
inline constexpr int kNumericKeyLength = 12;
// The key of an empty date: after every real date.
inline constexpr double kEmptyDateKey = 1e100;

// Julian day number of a valid date (1 January 2000 gives 2451545).
int64_t JulianDayNumber(const TDate& date);
// Date key: the Julian day number as a little-endian double, 1e100 when empty.
void EncodeDateKey(const TDate& date, uint8_t* dst8);
double DecodeDateKey(const uint8_t* src8);

// Numeric key, packed decimal: byte 0 is 0x34 plus the decimal exponent e of
// 0.d1d2d3... x 10^e, byte 1 holds the number of digits stored (bits 2..6),
// bit 0 always set and the sign in bit 7; bytes 2..11 the digits, two per
// byte, high nibble first. Zero is 0x34 0x01 and ten zero bytes.
void EncodeNumericKey(double value, uint8_t* dst12);
double DecodeNumericKey(const uint8_t* src12);

// Item length of a key in a page: the key rounded up to four bytes, plus four
// for the record or page number (10 -> 16, 8 -> 12, 35 -> 40).
int KeyItemLength(int keyLength);
// Keys per 1024-byte page.
int MaxKeysPerPage(int keyLength);

// Compares two keys of a type: C byte by byte, D and N/F as numbers.
int CompareKeys(char type, const uint8_t* a, const uint8_t* b, int length);

// A key expression bound to a table: a field name, which yields the field's
// value with the field's type (C fields in their full width, blanks included).
struct TKeyExpr {
    std::string text; // as given
    char type = 'C';  // key type: C, D, N or F
    int length = 0;   // key length in bytes
    int field = -1;   // index in the field table
    int offset = 0;   // of the field in the raw record
    int width = 0;
    // The key of a raw record into dst (length bytes).
    void Build(const char* rawRecord, uint8_t* dst) const;
};

// Binds a key expression to the fields of a table. Fails with 300 for an
// expression longer than 220 characters, 254 when the expression is no field
// of an indexable type, 266 for a key longer than 100 bytes; `context` ends
// the message.
TKeyExpr BindKeyExpr(const std::string& expression, const std::vector<TFieldDef>& fields,
                     const std::string& context);

} // namespace qm::table
