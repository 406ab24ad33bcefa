// The seven-digit serial of barcode mode.
#include "core/integer.h"
#include "numbers/serial_number.h"

#include <gtest/gtest.h>

using namespace qm;

TEST(StepSerial, WrapsAndPads) {
    struct Case {
        const char* serial;
        int delta;
        const char* next;
    };
    for (const Case c : {Case{"0000000", 1, "0000001"}, Case{"0000041", 1, "0000042"},
                         Case{"9999999", 1, "0000001"}, Case{"0000009", 1, "0000010"},
                         Case{"0000000", -1, "9999999"}, Case{"0000100", -1, "0000099"},
                         Case{"0000001", -1, "0000000"}})
        EXPECT_EQ(StepSerial(QString::fromLatin1(c.serial), c.delta), QString::fromLatin1(c.next))
            << c.serial << " " << c.delta;
    EXPECT_THROW(StepSerial(QString(), 1), ConversionError);
    // An eighth digit (or a sign) is no serial: refused, not cut off the number.
    for (const char* bad : {"12345678", "10000000", "-1", "-0000001"})
        EXPECT_THROW(StepSerial(QString::fromLatin1(bad), 1), ConversionError) << bad;
}
