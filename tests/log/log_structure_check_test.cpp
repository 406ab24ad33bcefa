// The log's structure check over the smallest tables that show each fault: one date field, so a
// record is its deletion flag and eight bytes.
#include "log/log_structure_check.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace qm::testing {
namespace {

// Header: version 3, count, header length 65, record length 9; one field RDATE D 8; 0x0D.
std::string Header(uint8_t count) {
    std::string h(32, '\0');
    h[0] = 0x03;
    h[4] = char(count);
    h[8] = 65;
    h[10] = 9;
    std::string field(32, '\0');
    field.replace(0, 5, "RDATE");
    field[11] = 'D';
    field[16] = 8;
    return h + field + "\r";
}

std::optional<LogDamage> Check(const std::string& bytes) {
    QTemporaryDir dir;
    const std::string path = (dir.path() + QStringLiteral("/report3.dbf")).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    table::TFieldDef date;
    date.name = "RDATE";
    date.type = 'D';
    date.width = 8;
    date.offset = 1;
    LogStructureCheck check({date});
    ReadLogFile(path, check);
    return check.Damage();
}

TEST(LogStructureCheck, NamesTheFirstFaultAndItsRecord) {
    const std::string two = " 20080305*        ";
    struct Case {
        const char* why;
        std::string bytes;
        uint32_t record; // 0: sound
        const char* says;
    };
    const Case cases[] = {
        {"sound, with the end-of-file byte", Header(2) + two + "\x1A", 0, ""},
        {"sound, without it (another copy appended, its close is to come)", Header(2) + two, 0, ""},
        {"empty", Header(0) + "\x1A", 0, ""},
        {"a header shorter than 32 bytes", Header(2).substr(0, 20), 0, "the header is cut short"},
        {"the last record cut short", Header(2) + two.substr(0, 13), 2,
         "record 2 is cut short: the file ends 4 bytes into its 9"},
        {"end-of-file bytes of padding", Header(2) + two + "\x1A\x1A\x1A", 0, ""},
        {"bytes after the end-of-file mark", Header(2) + two + "\x1A\x1Ax", 3,
         "2 bytes follow the end-of-file mark after record 2"},
        {"a count beyond the records", Header(3) + two + "\x1A", 3,
         "record 3 is missing: the header counts 3 records, the file holds 2 records"},
        {"a count short of whole records (a copy killed before its header rewrite)",
         Header(1) + two + "\x1A", 0, ""},
        {"a deletion flag of neither kind", Header(2) + " 20080305#        \x1A", 2,
         "record 2 begins with 0x23 (\"#\"), not with a blank or the deletion mark \"*\""},
        {"February 30", Header(2) + " 20080230*        \x1A", 1,
         "record 1 holds \"20080230\" in its date field RDATE, which is not a date"},
        {"a date half blank", Header(2) + " 2008    *        \x1A", 1, "\"2008    \""},
        {"the first fault in file order",
         Header(5) + " 2008\x01"
                     "305#        ",
         1, "\"2008\\x01305\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const std::optional<LogDamage> damage = Check(c.bytes);
        if (c.record == 0 && *c.says == 0) {
            EXPECT_FALSE(damage) << damage->what;
            continue;
        }
        ASSERT_TRUE(damage);
        EXPECT_EQ(damage->record, c.record);
        EXPECT_NE(damage->what.find(c.says), std::string::npos) << damage->what;
    }
}

TEST(LogStructureCheck, TheMessageNamesTheLogAndTheRecord) {
    const LogDamage damage{LogDamage::Kind::CutShort, 30, "record 30 is cut short"};
    const LogDamageError error("/srv/office/Reports/report3.dbf", damage);
    EXPECT_EQ(
        std::string(error.what()),
        "The mailing log /srv/office/Reports/report3.dbf is damaged: record 30 is cut short.");
    EXPECT_EQ(error.Damage().record, 30u);
}

} // namespace
} // namespace qm::testing
