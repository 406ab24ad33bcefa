// Texts of the address book window: proposed file names, the shortened table name and the
// memo lines as the bound memo control shows and stores them.
#include <gtest/gtest.h>

#include "addresses/address_book_texts.h"

namespace qm::addresses {
namespace {

TEST(AddressBookTexts, ProposedFileNames) {
    const struct {
        const char* given;
        const char* table; // proposed by the import for a text file
        const char* text;  // proposed by the export for a table file
    } cases[] = {
        {"/home/ann/names.txt", "names.dbf", "names.txt.txt"},
        {"/home/ann/names.dbf", "names.dbf", "names.txt"},
        {"/home/ann/NAMES.DBF", "NAMES.dbf", "NAMES.txt"},
        {"/home/ann/Names.Dbf", "Names.dbf", "Names.Dbf.txt"},
        {"/home/ann/my.names.csv", "my.dbf", "my.names.csv.txt"},
        {"/home/ann/names", "names.dbf", "names.txt"},
        {"/home/ann.d/names", "names.dbf", "names.txt"},
        {"a.dbfx", "a.dbf", "a.txt"},
    };
    for (const auto& c : cases) {
        const QString given = QString::fromLatin1(c.given);
        EXPECT_EQ(ProposedTableFileName(given), QString::fromLatin1(c.table)) << c.given;
        EXPECT_EQ(ProposedTextFileName(given), QString::fromLatin1(c.text)) << c.given;
    }
}

TEST(AddressBookTexts, ShortenedDatabaseName) {
    // Ten pixels a character: 265 pixels hold 26 characters, 251 hold 25.
    const auto width = [](const QString& s) { return int(s.size()) * 10; };
    const struct {
        const char* full;
        const char* shown;
    } cases[] = {
        {"/home/ann/names.dbf", "/home/ann/names.dbf"},
        {"/abcdefghij/klmnopqrs.dbf", "/abcdefghij/klmnopqrs.dbf"},   // 25: whole
        {"/abcdefghij/klmnopqrst.dbf", "/abcdefghij/klmnopqrst.dbf"}, // 26: still whole
        {"/abcdefghij/klmnopqrstu.dbf", ".../klmnopqrstu.dbf"},
        {"/home/ann/books/2026/customers/names.dbf", ".../2026/customers/names.dbf"},
        {"/home/a-very-long-folder-name/names.dbf", ".../names.dbf"},
        {"/home/a-file-name-too-wide-for-the-label.dbf",
         ".../a-file-name-too-wide-for-the-label.dbf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShortenedDatabaseName(QString::fromLatin1(c.full), width),
                  QString::fromLatin1(c.shown))
            << c.full;
}

TEST(AddressBookTexts, MemoLinesSplitOnlyAtTheStoredLineEnds) {
    // Stored lines (split at CR LF by the table) and what the memo control shows.
    const struct {
        std::vector<std::string> stored;
        const char* shown;
    } cases[] = {
        {{}, ""},
        {{"John Smith", "12 Main St"}, "John Smith\n12 Main St"},
        // Imported lines end in LF CR; neither character is shown or starts a line.
        {{"Ann\n\r", "Acme Inc\n\r", "Suite 4\n\r", "1 Elm St\n\r"},
         "Ann\nAcme Inc\nSuite 4\n1 Elm St"},
        {{"a\rb", "c\nd", "\te\x01"}, "ab\ncd\ne"},
        {{"", "second"}, "\nsecond"},
        {{"Zo\xc3\xab"}, "Zo\xc3\xab"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MemoControlText(c.stored), QString::fromUtf8(c.shown)) << c.shown;

    const struct {
        const char* control;
        std::vector<std::string> stored;
    } back[] = {
        {"", {}},
        {"John Smith\n12 Main St", {"John Smith", "12 Main St"}},
        {"John Smith\n12 Main St\n", {"John Smith", "12 Main St"}},
        {"\nsecond", {"", "second"}},
        {"a\n\nb", {"a", "", "b"}},
    };
    for (const auto& c : back)
        EXPECT_EQ(MemoLinesOfControl(QString::fromUtf8(c.control)), c.stored) << c.control;
}

} // namespace
} // namespace qm::addresses
