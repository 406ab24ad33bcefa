// Name-and-address text files: import lines, export lines, code pages, and
// export then import through real address tables.
#include <gtest/gtest.h>

#include "addresses/name_address_text.h"
#include "import_test_util.h"
#include "table/tzdbf.h"
#include "table_test_util.h"

#include <algorithm>

namespace qm::addresses {
namespace {

using qm::table::TTzDbf;

TEST(NameAddressText, ImportLines) {
    using F = TImportFields;
    auto ok = [](F f) { return TParsedLine{std::move(f), {}}; };
    auto refused = [](const char* why) { return TParsedLine{{}, QString::fromLatin1(why)}; };
    const struct {
        const char* what;
        QString line;
        TParsedLine parsed;
    } cases[] = {
        {"seven quoted", R"("a","b","c","d","e","f","g")", ok({"a", "b", "c", "d", "e", "f", "g"})},
        {"seven unquoted", "a,b,c,d,e,f,g", ok({"a", "b", "c", "d", "e", "f", "g"})},
        {"doubled quote and comma inside", R"("say ""hi"" now, ok","b","c","d","e","f","g")",
         ok({R"(say "hi" now, ok)", "b", "c", "d", "e", "f", "g"})},
        {"a quote followed by a comma ends the field, here one field too many",
         R"("say ""hi"", now","b","c","d","e","f","g")", refused("8 fields, 7 expected")},
        {"a quote not followed by a comma stays in the field",
         R"("say "hi" now","b","c","d","e","f","g")",
         ok({R"(say "hi" now)", "b", "c", "d", "e", "f", "g"})},
        {"five fields", "a,b,c,d,e", refused("5 fields, 7 expected")},
        {"six fields", "a,b,c,d,e,f", refused("6 fields, 7 expected")},
        {"eight fields", "a,b,c,d,e,f,g,h", refused("8 fields, 7 expected")},
        {"a comma at the end is an eighth, empty field", "a,b,c,d,e,f,g,",
         refused("8 fields, 7 expected")},
        {"first four empty", R"("","","","","Dover","DE","19901")",
         ok({"", "", "", "", "Dover", "DE", "19901"})},
        {"the last field empty and quoted", R"(a,b,c,d,e,f,"")",
         ok({"a", "b", "c", "d", "e", "f", ""})},
        {"leading blanks before a quoted field", R"(   "a","b","c","d","e","f","g")",
         ok({"a", "b", "c", "d", "e", "f", "g"})},
        {"no comma", "just text", refused("1 field, 7 expected")},
        {"values kept untrimmed", " a , b ,c,d,e, f ,g ",
         ok({"a ", " b ", "c", "d", "e", " f ", "g"})},
        {"a quote inside an unquoted field is kept", R"(a"b,c,d,e,f,g,h)",
         ok({R"(a"b)", "c", "d", "e", "f", "g", "h"})},
        {"quoted without its closing pair", R"("abc,d,e,f,g,h,i)",
         refused("a quote is not closed")},
        {"the city's quote not closed", R"("Cy Cole","3 Pine Rd","","","Tampa,FL,33602)",
         refused("a quote is not closed")},
        {"the ZIP code's quote not closed", R"("Cy Cole","3 Pine Rd","","","Tampa","FL","33602)",
         refused("a quote is not closed")},
        {"a lone quote as the last field", R"(a,b,c,d,e,f,")", refused("a quote is not closed")},
        {"mixed", R"(Name,"Street, 2",,"",City,ST,12345-6789)",
         ok({"Name", "Street, 2", "", "", "City", "ST", "12345-6789"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ParseImportLine(c.line), c.parsed);
    }
    // NUL and other control characters are dropped, as the export drops them, before the
    // fields are taken: a quote, a control character and a comma end a quoted field.
    EXPECT_EQ(ParseImportLine(QStringLiteral("\"a\"") + QChar(0) + QStringLiteral(",b,c,d,e,f,g")),
              ok({"a", "b", "c", "d", "e", "f", "g"}));
    const QString controls =
        QStringLiteral("\"A\tB\",b\x1B,c,d,Do\x01ver,DE,199") + QChar(0) + QStringLiteral("01\x7F");
    EXPECT_EQ(ParseImportLine(controls),
              ok({"AB", "b", "c", "d", "Dover", "DE", QStringLiteral("19901\x7F")}));
}

TEST(NameAddressText, MemoLinesAndExportLine) {
    TImportFields f{"Name", "  ", " Street ", "", "City", "ST", "12345"};
    EXPECT_EQ(ImportMemoLines(f), (QStringList{"Name\n\r", " Street \n\r"}));
    EXPECT_EQ(FormatExportLine({"Name", "Street"}, "Dover ", "DE", "19901"),
              "\"Name\",\"Street\",\"\",\"\",\"Dover\",\"DE\",\"19901\"\r\n");
    // Imported memo lines end in LF CR; a quote is doubled, as the import reads
    // it; control characters never reach the file; lines after the fourth are dropped.
    EXPECT_EQ(FormatExportLine({"a\n\r", "say \"x\"", "t\tab", "4", "5"}, "", "", ""),
              "\"a\",\"say \"\"x\"\"\",\"tab\",\"4\",\"\",\"\",\"\"\r\n");
}

TEST(NameAddressText, FileLinesAndCodePages) {
    EXPECT_EQ(SplitTextFileLines("a\r\nb\nc\rd"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextFileLines("a\r\n\r\n"), (QStringList{"a", ""}));
    EXPECT_TRUE(SplitTextFileLines("").isEmpty());

    EXPECT_EQ(DecodeNameAddressText("Caf\xC3\xA9"), QString::fromUtf8("Café"));
    EXPECT_EQ(DecodeNameAddressText("\xEF\xBB\xBFx"), "x");
    EXPECT_EQ(DecodeNameAddressText("Caf\xE9 \x80"), QString::fromUtf8("Café €"));
    // Each line is UTF-8 when it can be, whatever the others are; line ends stay.
    EXPECT_EQ(DecodeNameAddressText("Jos\xC3\xA9\r\nCaf\xE9\nZo\xC3\xAB\rM\xFC"),
              QString::fromUtf8("José\r\nCafé\nZoë\rMü"));
    EXPECT_EQ(DecodeNameAddressText("\xEF\xBB\xBF"
                                    "Caf\xE9\r\n\xC3\xA9\r\n"),
              QString::fromUtf8("Café\r\né\r\n"));
    // Within a line one bad byte makes the whole line Windows-1252.
    EXPECT_EQ(DecodeNameAddressText("Jos\xC3\xA9 \x80\nJos\xC3\xA9"),
              QString::fromUtf8("JosÃ© €\nJosé"));
    EXPECT_EQ(EncodeNameAddressText(QString::fromUtf8("Café € Ω")), "Caf\xE9 \x80 ?");

    EXPECT_EQ(CountNotInOem(QString::fromUtf8("Café Zoë")), 0);
    EXPECT_EQ(CountNotInOem(QString::fromUtf8("€ Œ ß é")), 2);
}

// Whole files: which lines become records, which are refused, by number and why.
TEST(NameAddressText, PlanImportCountsAndRefusesLinesByNumber) {
    const QByteArray good = "\"Ann Able\",\"1 Elm St\",\"\",\"\",\"Akron\",\"OH\",\"44301\"\r\n";
    using R = std::vector<TRefusedLine>;
    const struct {
        const char* what;
        QByteArray text;
        TImportReport report;
    } cases[] = {
        {"five fields",
         good + "Bob,2 Oak,,,Boise\r\n" + good,
         {2, R{{2, "5 fields, 7 expected"}}, 0}},
        {"six fields",
         good + "Bob,2 Oak,,,Boise,ID\r\n" + good,
         {2, R{{2, "6 fields, 7 expected"}}, 0}},
        {"eight fields",
         good + "Bob,2 Oak,,,Boise,ID,83702,USA\r\n" + good,
         {2, R{{2, "8 fields, 7 expected"}}, 0}},
        {"an unclosed quote does not shift the fields",
         good + "\"Cy\",,,,\"Tampa,FL,33602\r\n",
         {1, R{{2, "a quote is not closed"}}, 0}},
        {"a city longer than its column is refused, not cut",
         good + "Dee,,,,Saint Petersburg Beach,FL,33706\r\n",
         {1, R{{2, "the city has 22 characters, its column holds 20"}}, 0}},
        {"every column too long is named",
         "Dee,,,,Dover,Dela,19901-12345\r\nEd,,,,Dover,Delaw,19901-12345\r\n",
         {0,
          R{{1, "the ZIP code has 11 characters, its column holds 10"},
            {2, "the state has 5 characters, its column holds 4; the ZIP code has 11 characters, "
                "its column holds 10"}},
          0}},
        {"a full column fits; blanks after the value do not count",
         "Fay,,,,Saint Petersburg Bea,FL,33706\r\nGus,,,,\"Dover                    "
         "\",DE,19901\r\n",
         {2, R{}, 0}},
        {"a letter counts once however many bytes it takes in UTF-8",
         "H\xC3\xA9,,,,\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89"
         "\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89\xC3\x89"
         ",DE,19901\r\n",
         {1, R{}, 0}},
        {"a long name line is imported whole: the memo has no width",
         "\"Bartholomew Fitzgerald-Worthington III\",\"1 Elm St\",,,Akron,OH,44301\r\n",
         {1, R{}, 0}},
        {"a Windows-1252 line amid UTF-8 lines",
         good + "\"Caf\xE9 Zo\xEB\",,,,Dover,DE,19901\r\n" +
             "\"Jos\xC3\xA9\",,,,Tampa,FL,33602\r\n",
         {3, R{}, 0}},
        {"LF, CR LF and CR line ends number the lines alike",
         "a,b\nAnn,,,,Akron,OH,44301\r\nc,d\rBob,,,,Boise,ID,83702\ne,f",
         {2,
          R{{1, "2 fields, 7 expected"}, {3, "2 fields, 7 expected"}, {5, "2 fields, 7 expected"}},
          0}},
        {"blank lines are neither records nor errors, but keep their numbers",
         "\r\n" + good + "   \r\n\t\r\n" + "x\r\n" + good + "\r\n\r\n",
         {2, R{{5, "1 field, 7 expected"}}, 0}},
        {"a blank line at the end", good + "\r\n", {1, R{}, 0}},
        {"an empty text", "", {0, R{}, 0}},
        {"characters code page 437 lacks are counted for imported lines only",
         "\x80uro Shop,,,,K\xf6ln,NW,50667\r\n\x80,\x80\r\n",
         {1, R{{2, "2 fields, 7 expected"}}, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TImportPlan plan = PlanImport(c.text);
        EXPECT_EQ(plan.report, c.report);
        EXPECT_EQ(int(plan.records.size()), plan.report.imported);
    }

    // The records of the mixed file, each line read in its own encoding.
    const TImportPlan mixed = PlanImport("\"Jos\xC3\xA9\",,,,Tampa,FL,33602\r\n"
                                         "\"Caf\xE9 Zo\xEB\",,,,Dover,DE,19901\n"
                                         "\"Zo\xC3\xAB\",,,,Dover,DE,19901");
    ASSERT_EQ(mixed.records.size(), 3u);
    EXPECT_EQ(mixed.records[0][0], QString::fromUtf8("José"));
    EXPECT_EQ(mixed.records[1][0], QString::fromUtf8("Café Zoë"));
    EXPECT_EQ(mixed.records[2][0], QString::fromUtf8("Zoë"));

    // The widths are the table's: a wider city column takes a longer city.
    EXPECT_EQ(PlanImport("Dee,,,,Saint Petersburg Beach,FL,33706\r\n", {35, 4, 10}).report,
              (TImportReport{1, {}, 0}));
}

TEST(NameAddressText, ImportMessage) {
    auto refused = [](int count) {
        std::vector<TRefusedLine> lines;
        for (int i = 0; i < count; ++i)
            lines.push_back({2 * i + 3, QStringLiteral("5 fields, 7 expected")});
        return lines;
    };
    const QString replaced = QStringLiteral("character(s) of the text file could not be stored in "
                                            "the table's code page and were replaced by \"?\".");
    const struct {
        const char* what;
        TImportReport report;
        QString message;
    } cases[] = {
        {"every line imported", {37, {}, 0}, "Import Done."},
        {"every line imported, some characters replaced",
         {2, {}, 3},
         "Import Done.\n\n3 " + replaced},
        {"some lines refused",
         {37,
          {{4, "5 fields, 7 expected"}, {9, "a quote is not closed"}, {12, "8 fields, 7 expected"}},
          0},
         "37 lines were imported; 3 were not:\nline 4: 5 fields, 7 expected\n"
         "line 9: a quote is not closed\nline 12: 8 fields, 7 expected"},
        {"one and one",
         {1, {{2, "the city has 21 characters, its column holds 20"}}, 1},
         "1 line was imported; 1 was not:\nline 2: the city has 21 characters, its column holds 20"
         "\n\n1 " +
             replaced},
        {"nothing imported",
         {0, refused(2), 0},
         "0 lines were imported; 2 were not:\nline 3: 5 fields, 7 expected\n"
         "line 5: 5 fields, 7 expected\n\nNothing was written to the table."},
        {"no lines at all", {0, {}, 0}, "The file holds no addresses; nothing was imported."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ImportMessage(c.report), c.message);
    }

    // The first 20 refused lines are named, then how many more.
    for (int count : {20, 21, 25}) {
        SCOPED_TRACE(count);
        const QStringList lines = ImportMessage({5, refused(count), 0}).split(u'\n');
        ASSERT_EQ(lines.size(), 1 + std::min(count, kRefusedLinesNamed) + (count > 20 ? 1 : 0));
        EXPECT_EQ(lines[0], QStringLiteral("5 lines were imported; %1 were not:").arg(count));
        EXPECT_EQ(lines[20], QStringLiteral("line 41: 5 fields, 7 expected"));
        const char* last = count == 21   ? "and 1 more line."
                           : count == 25 ? "and 5 more lines."
                                         : "line 41: 5 fields, 7 expected";
        EXPECT_EQ(lines.last(), QString::fromLatin1(last));
    }
}

class ImportExport : public qm::table::testing::TableTest {
protected:
    void Open(TTzDbf& t, const std::string& path) {
        t.SetDbfFileName(path);
        std::vector<std::string> fields;
        for (const QString& f : AddressTableFields()) fields.push_back(f.toStdString());
        t.SetDbfFields(fields);
        t.Open();
    }
};

TEST_F(ImportExport, ExportThenImportGivesTheSameAddresses) {
    struct Address {
        std::vector<std::string> lines;
        std::string city, state, zip;
    };
    const std::vector<Address> book = {
        {{"John Smith", "12 Main St"}, "Springfield", "IL", "62704"},
        {{"Café Zoë", "Suite 5", "2 Rue Haute", "PO Box 9"}, "Dover", "DE", "19901-1234"},
        {{}, "Nowhere", "", ""},
        {{"Say \"hi\" to \"\"all\"\""}, "Comma, Town", "NY", "10001"},
    };
    const std::string first = Path("book.dbf");
    {
        TTzDbf t;
        Open(t, first);
        ASSERT_TRUE(t.ALock());
        for (const Address& a : book) {
            t.ClearRecord();
            t.SetMField("Address", a.lines);
            t.SetField("City", a.city);
            t.SetField("State", a.state);
            t.SetField("Zip", a.zip);
            t.AppendRec();
        }
        t.UnLock();
        t.Close();
    }
    QByteArray text;
    {
        TTzDbf t;
        Open(t, first);
        EXPECT_TRUE(MissingAddressField(t).isEmpty());
        text = ExportTable(t);
        t.Close();
    }
    EXPECT_TRUE(text.startsWith("\"John Smith\",\"12 Main St\",\"\",\"\",\"Springfield\",\"IL\","
                                "\"62704\"\r\n\"Caf\xE9 Zo\xEB\","));
    const std::string second = Path("again.dbf");
    {
        TTzDbf t;
        Open(t, second);
        EXPECT_EQ(ImportIntoTable(t, text), (TImportReport{int(book.size()), {}, 0}));
        t.Close();
    }
    {
        TTzDbf t;
        Open(t, second);
        ASSERT_EQ(t.RecCount(), book.size());
        for (uint32_t n = 1; n <= t.RecCount(); ++n) {
            SCOPED_TRACE(n);
            const Address& a = book[n - 1];
            t.SetRecNo(n);
            std::vector<std::string> lines;
            t.GetMField("Address", lines);
            // Imported lines carry LF CR; they are still one memo line each.
            ASSERT_EQ(lines.size(), a.lines.size());
            for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], a.lines[i] + "\n\r");
            EXPECT_EQ(TrimValue(QString::fromStdString(t.GetField("City"))).toStdString(), a.city);
            EXPECT_EQ(TrimValue(QString::fromStdString(t.GetField("State"))).toStdString(),
                      a.state);
            EXPECT_EQ(TrimValue(QString::fromStdString(t.GetField("Zip"))).toStdString(), a.zip);
        }
        // The second export is the first one again.
        EXPECT_EQ(ExportTable(t), text);
        t.Close();
    }
}

TEST_F(ImportExport, ImportCountsReplacedCharactersAndChecksFields) {
    const std::string path = Path("imp.dbf");
    TTzDbf t;
    Open(t, path);
    const QByteArray text = QString::fromUtf8("\"€uro\",\"Œ\",,,\"Zoë\",\"ST\",\"1\"\r\n"
                                              "malformed,line\r\n\r\n")
                                .toUtf8();
    EXPECT_EQ(ImportIntoTable(t, text), (TImportReport{1, {{2, "2 fields, 7 expected"}}, 2}));
    ASSERT_EQ(t.RecCount(), 1u);
    t.SetRecNo(1);
    std::vector<std::string> lines;
    t.GetMField("Address", lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"?uro\n\r", "?\n\r"}));
    EXPECT_EQ(TrimValue(QString::fromStdString(t.GetField("City"))), QString::fromUtf8("Zoë"));
    t.Close();

    TTzDbf other;
    other.SetDbfFileName(Path("other.dbf"));
    other.SetDbfFields({"Address,M,10,0", "City,C,20,0", "State,C,4,0"});
    other.Open();
    EXPECT_EQ(MissingAddressField(other), QString::fromStdString("The table " + Path("other.dbf") +
                                                                 " has no character field ZIP."));
    other.Close();
}

} // namespace
} // namespace qm::addresses
