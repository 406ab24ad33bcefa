// The short date follows the locale only where the locale names a country.
#include "core/short_date.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(ShortDate, CountryLocalesGiveTheirOwnOthersTheUsForm) {
    struct Case {
        const char* locale;
        const char* text; // 10 Dec 2026
    } cases[] = {
        {"C", "12/10/2026"},           {"POSIX", "12/10/2026"},
        {"C.UTF-8", "12/10/2026"},     {"", "12/10/2026"},
        {"en", "12/10/2026"},          {"en_US.UTF-8", "12/10/26"},
        {"en_GB.UTF-8", "10/12/2026"}, {"de_DE.UTF-8", "10.12.26"},
        {"de_DE@euro", "10.12.26"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QDate(2026, 12, 10).toString(ShortDateFormatFor(QString::fromLatin1(c.locale))),
                  QString::fromLatin1(c.text))
            << c.locale;
}

} // namespace
} // namespace qm
