#include <gtest/gtest.h>

#include <string>

#include "codepage.h"

namespace qm::table {
namespace {

// Text stored into a table: a byte sequence that is no UTF-8 character never becomes one.
// Each byte that begins no valid character is stored as '?', so the stored text keeps
// one character a byte of damage and never gains a character the writer did not send.
TEST(CodePageTest, StoredBytesOfUtf8Text) {
    struct Case {
        const char* why;
        TTableLanguage lang;
        std::string utf8;
        std::string stored;
    } cases[] = {
        {"ASCII", TTableLanguage::tlAnsi, "a/Z", "a/Z"},
        {"two bytes", TTableLanguage::tlAnsi, "\xC3\xA9", "\xE9"},
        {"three bytes", TTableLanguage::tlAnsi, "\xE2\x82\xAC", "\x80"},
        {"four bytes, not in the code page", TTableLanguage::tlAnsi, "\xF0\x9F\x98\x80", "?"},
        {"two bytes, OEM", TTableLanguage::tlOem, "\xC3\xA9\xC3\xBC", "\x82\x81"},
        {"last character before the surrogates", TTableLanguage::tlAnsi, "\xED\x9F\xBF", "?"},
        {"overlong slash, two bytes", TTableLanguage::tlAnsi, "\xC0\xAF", "??"},
        {"overlong slash, three bytes", TTableLanguage::tlAnsi, "\xE0\x80\xAF", "???"},
        {"overlong slash, four bytes", TTableLanguage::tlAnsi, "\xF0\x80\x80\xAF", "????"},
        {"overlong letter A, OEM", TTableLanguage::tlOem, "\xC1\x81", "??"},
        {"high surrogate", TTableLanguage::tlAnsi, "\xED\xA0\x80", "???"},
        {"low surrogate", TTableLanguage::tlAnsi, "\xED\xBF\xBF", "???"},
        {"past U+10FFFF", TTableLanguage::tlAnsi, "\xF4\x90\x80\x80", "????"},
        {"no lead byte F5", TTableLanguage::tlAnsi, "\xF5\x80\x80\x80", "????"},
        {"lone continuation byte", TTableLanguage::tlAnsi, "a\x80z", "a?z"},
        {"truncated at the end", TTableLanguage::tlAnsi, "A\xE2\x82", "A??"},
        {"truncated before ASCII", TTableLanguage::tlAnsi,
         "\xE2\x82"
         "A",
         "??A"},
        {"truncated before a character", TTableLanguage::tlAnsi, "\xC3\xC3\xA9", "?\xE9"},
        {"valid after damage", TTableLanguage::tlAnsi, "\xC0\xAF\xE2\x82\xAC/", "??\x80/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeString(c.lang, c.utf8), c.stored) << c.why;
        // A field of exactly the stored width holds the same bytes; one wider is padded.
        std::string field(c.stored.size() + 1, 'x');
        EncodeText(c.lang, c.utf8, field.data(), field.size());
        EXPECT_EQ(field, c.stored + " ") << c.why;
    }
}

TEST(CodePageTest, FieldWidthCutsAfterWholeCharacters) {
    std::string field(2, 'x');
    EncodeText(TTableLanguage::tlAnsi,
               "\xE2\x82\xAC"
               "ab",
               field.data(), field.size());
    EXPECT_EQ(field, "\x80"
                     "a");
    EncodeText(TTableLanguage::tlAnsi, "\xE0\x80\xAF", field.data(), field.size());
    EXPECT_EQ(field, "??");
}

} // namespace
} // namespace qm::table
