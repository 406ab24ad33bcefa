#include "core/codepage.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(CharactersAnsiCannotHold, NamesEachMissingCharacterOnceInOrder) {
    struct Case {
        const char* text;
        QStringList missing;
        const char* why;
    };
    const Case cases[] = {
        {"Ann Sender, 12 Main St.", {}, "plain ASCII"},
        {"Caf\u00E9 \u201CM\u00FCller\u201D \u20AC5 \u2013 \u0153uvre", {}, "all in Windows-1252"},
        {"?", {}, "a real question mark is no loss"},
        {"\u0141\u00F3d\u017A", {"\u0141", "\u017A"}, "Polish letters outside the code page"},
        {"\u4E2D\u6587\u4E2D", {"\u4E2D", "\u6587"}, "a repeated character is named once"},
        {"Smith \U0001F600", {"\U0001F600"}, "a character beyond 16 bits stays whole"},
        {"\u2014 \u2192", {"\u2192"}, "the em dash is held, the arrow is not"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CharactersAnsiCannotHold(QString::fromUtf8(c.text)), c.missing) << c.why;
}

} // namespace
} // namespace qm
