#include "index_key.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "engine_error.h"

namespace qm::table {

int64_t JulianDayNumber(const TDate& date) {
    // Days from 1970-01-01 in the proleptic Gregorian calendar, plus its day number.
    const int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t m = date.month;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 2440588;
}

void EncodeDateKey(const TDate& date, uint8_t* dst8) {
    const double v = date.Empty() ? kEmptyDateKey : double(JulianDayNumber(date));
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) dst8[i] = uint8_t(bits >> (8 * i));
}

double DecodeDateKey(const uint8_t* src8) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t(src8[i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

void EncodeNumericKey(double value, uint8_t* dst12) {
    std::memset(dst12, 0, kNumericKeyLength);
    dst12[0] = 0x34;
    dst12[1] = 0x01;
    if (value == 0 || !std::isfinite(value)) return;
    // Fifteen significant digits: what a double holds exactly as decimal text.
    char buf[40];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    std::string_view text(buf, size_t(res.ptr - buf)); // d.dddddddddddddde±xx
    const size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e))
        if (c != '.') digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    int exponent = 0;
    std::string_view exp = text.substr(e + 1);
    if (!exp.empty() && exp[0] == '+') exp.remove_prefix(1);
    std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
    dst12[0] = uint8_t(0x34 + exponent + 1);
    dst12[1] = uint8_t(int(digits.size()) << 2 | 0x01 | (value < 0 ? 0x80 : 0));
    for (size_t i = 0; i < digits.size(); ++i) {
        const uint8_t d = uint8_t(digits[i] - '0');
        dst12[2 + i / 2] |= (i % 2 == 0) ? uint8_t(d << 4) : d;
    }
}

double DecodeNumericKey(const uint8_t* src12) {
    const int count = (src12[1] >> 2) & 0x1f;
    if (count == 0) return 0;
    std::string text = "0.";
    for (int i = 0; i < count && i < 20; ++i) {
        const uint8_t b = src12[2 + i / 2];
        text += char('0' + ((i % 2 == 0) ? b >> 4 : b & 0x0f));
    }
    text += 'e' + std::to_string(int(src12[0]) - 0x34);
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return (src12[1] & 0x80) ? -v : v;
}

int KeyItemLength(int keyLength) {
    return keyLength % 4 != 0 ? keyLength + (8 - keyLength % 4) : keyLength + 4;
}

int MaxKeysPerPage(int keyLength) {
    return 1012 / KeyItemLength(keyLength);
}

int CompareKeys(char type, const uint8_t* a, const uint8_t* b, int length) {
    if (type == 'C') return std::memcmp(a, b, size_t(length));
    const double x = type == 'D' ? DecodeDateKey(a) : DecodeNumericKey(a);
    const double y = type == 'D' ? DecodeDateKey(b) : DecodeNumericKey(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

void TKeyExpr::Build(const char* raw, uint8_t* dst) const {
    const char* src = raw + offset;
    if (type == 'C') {
        std::memcpy(dst, src, size_t(width));
    } else if (type == 'D') {
        EncodeDateKey(LoadDate(src), dst);
    } else {
        const char* b = src;
        const char* e = src + width;
        while (b < e && *b == ' ') ++b;
        while (e > b && e[-1] == ' ') --e;
        if (b < e && *b == '+') ++b;
        double v = 0;
        const auto res = std::from_chars(b, e, v);
        if (res.ec != std::errc() || res.ptr != e) v = 0;
        EncodeNumericKey(v, dst);
    }
}

TKeyExpr BindKeyExpr(const std::string& expression, const std::vector<TFieldDef>& fields,
                     const std::string& context) {
    if (expression.size() > size_t(kMaxKeyExpression))
        Fail(TErrorCode::ExpressionTooLong, "Expression length exceeds 100 bytes " + context);
    std::string name = expression;
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    TKeyExpr k;
    k.text = expression;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name != name) continue;
        const TFieldDef& f = fields[i];
        k.field = int(i);
        k.offset = f.offset;
        k.width = f.width;
        switch (f.type) {
        case 'C':
            k.type = 'C';
            k.length = f.width;
            break;
        case 'D':
            k.type = 'D';
            k.length = kDateKeyLength;
            break;
        case 'N':
        case 'F':
            k.type = f.type;
            k.length = kNumericKeyLength;
            break;
        default:
            Fail(TErrorCode::WrongParserType,
                 "Wrong parser return type: " + expression + " " + context);
        }
        if (k.length < 1 || k.length > kMaxKeyLength)
            Fail(TErrorCode::IncorrectKeyLength,
                 "Cannot index " + f.name + ": field " + f.name + " has width " +
                     std::to_string(f.width) + " (an index key takes 1 to " +
                     std::to_string(kMaxKeyLength) + " characters)" + context);
        return k;
    }
    Fail(TErrorCode::WrongParserType, "Wrong parser return type: " + expression + " " + context);
}

} // namespace qm::table
