#include "numbers/barcode_data.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace qm {
namespace {

struct DataCase {
    const char* why;
    const char* custId;
    const char* serial;
    const char* zip;
    const char* flag;
    const char* expected;
};

const DataCase kDataCases[] = {
    {"worked example, kind T", "123456789", "0000001", "12345", "T",
     "420123459214712345678900000015"},
    {"worked example, kind F", "123456789", "0000001", "12345", "F",
     "420123459290912345678900000019"},
    {"short ID and serial padded", "42", "7", "12345", "T", "420123459214700000004200000078"},
    {"long ID and serial keep their first digits", "1234567890", "12345678", "12345", "T",
     "420123459214712345678912345678"},
    {"hyphenated ID is not an integer", "12-345-678", "0000001", "12345", "T",
     "420123459214700000000000000010"},
    {"ID beyond 32 bits is not an integer", "9999999999", "0000001", "12345", "T",
     "420123459214700000000000000010"},
    {"empty ID and serial become zeros", "", "", "12345", "T", "420123459214700000000000000003"},
    {"letters are not an integer", "12345678A", "00000x1", "12345", "T",
     "420123459214700000000000000003"},
    {"sign and blank are refused, not carried into the digits", "+123", " 12", "12345", "T",
     "420123459214700000000000000003"},
    {"empty ZIP becomes 00000", "123456789", "0000001", "", "T", "420000009214712345678900000015"},
    {"ZIP+4 contributes its first five", "123456789", "0000001", "12345-6789", "T",
     "420123459214712345678900000015"},
    {"short ZIP used as it is", "123456789", "0000001", "123", "T", "4201239214712345678900000015"},
    {"check sum ending in 0 gives 0", "000000001", "0000004", "12345", "T",
     "420123459214700000000100000040"},
    {"lower-case f selects kind T", "123456789", "0000001", "12345", "f",
     "420123459214712345678900000015"},
    {"empty flag selects kind T", "123456789", "0000001", "12345", "",
     "420123459214712345678900000015"},
    {"pre-print ZIP 00000", "123456789", "0000001", "00000", "F", "420000009290912345678900000019"},
};

TEST(BuildBarcodeData, Cases) {
    for (const auto& c : kDataCases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(BuildBarcodeData(c.custId, c.serial, c.zip, c.flag),
                  QString::fromLatin1(c.expected));
    }
}

TEST(BuildBarcodeData, TrackingPartIsDigitsWithValidCheck) {
    const QString data = BuildBarcodeData("987654321", "7654321", "54321", "T");
    ASSERT_EQ(data.size(), 30);
    EXPECT_EQ(Gs1CheckDigit(data.mid(8, 21)), data.at(29).digitValue());
}

struct CheckCase {
    const char* digits;
    int check;
};

TEST(Gs1CheckDigit, Cases) {
    const CheckCase cases[] = {
        {"921471234567890000001", 5},
        {"929091234567890000001", 9},
        {"921470000000010000004", 0},
        {"0", 0},
        {"1", 7},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Gs1CheckDigit(c.digits), c.check) << c.digits;
}

TEST(Gs1CheckDigit, NonDigitIsAConversionError) {
    try {
        Gs1CheckDigit("92147-1");
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "'-' is not a valid integer value");
    }
}

TEST(IsBarcodeInteger, Cases) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {
        {"0", true},           {"123456789", true}, {"000000042", true}, {"2147483647", true},
        {"2147483648", false}, {"", false},         {"12a", false},      {"-1", false},
        {"+1", false},         {" 1", false},       {"0x10", false},     {"1 ", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsBarcodeInteger(c.text), c.ok) << '"' << c.text << '"';
}

TEST(ReadableNumber, Cases) {
    const struct {
        const char* data;
        const char* grouped;
    } cases[] = {
        {"420123459214712345678900000015", "9214 7123 4567 8900 0000 15"},
        {"420123459290912345678900000019", "9290 9123 4567 8900 0000 19"},
        {"4201234592147123", "9214 7123    "},
        {"42012345", "     "},
        {"", "     "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadableNumber(c.data), QString::fromLatin1(c.grouped)) << c.data;
    EXPECT_EQ(ReadableNumber("420123459214712345678900000015").size(), 27);
}

} // namespace
} // namespace qm
