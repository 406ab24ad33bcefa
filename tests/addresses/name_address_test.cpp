// Name-and-address text files: import lines, export lines, code pages, and
// export then import through real address tables.
#include <gtest/gtest.h>

#include "addresses/name_address_text.h"
#include "table/tzdbf.h"
#include "table_test_util.h"

namespace qm::addresses {
namespace {

using qm::table::TTzDbf;

TEST(NameAddressText, ImportLines) {
    using F = TImportFields;
    const F empty{};
    const struct {
        const char* what;
        QString line;
        F fields;
    } cases[] = {
        {"seven quoted", R"("a","b","c","d","e","f","g")", {"a", "b", "c", "d", "e", "f", "g"}},
        {"seven unquoted", "a,b,c,d,e,f,g", {"a", "b", "c", "d", "e", "f", "g"}},
        {"doubled quote and comma inside",
         R"("say ""hi"" now, ok","b","c","d","e","f","g")",
         {R"(say "hi" now, ok)", "b", "c", "d", "e", "f", "g"}},
        {"comma after a quote ends the field",
         R"("say ""hi"", now","b","c","d","e","f","g")",
         {R"(say "hi")", R"( now")", "b", "c", "d", "e", "f"}},
        {"only six fields", "a,b,c,d,e,f", empty},
        {"eight fields", "a,b,c,d,e,f,g,h", {"a", "b", "c", "d", "e", "f", "g"}},
        {"first four empty",
         R"("","","","","Dover","DE","19901")",
         {"", "", "", "", "Dover", "DE", "19901"}},
        {"leading blanks before a quoted field",
         R"(   "a","b","c","d","e","f","g")",
         {"a", "b", "c", "d", "e", "f", "g"}},
        {"no comma", "just text", empty},
        {"empty line", "", empty},
        {"values kept untrimmed", " a , b ,c,d,e, f ,g ", {"a ", " b ", "c", "d", "e", " f ", "g"}},
        {"quoted without its closing pair",
         R"("abc,d,e,f,g,h,i)",
         {"", "bc", "d", "e", "f", "g", "h"}},
        {"mixed",
         R"(Name,"Street, 2",,"",City,ST,12345-6789)",
         {"Name", "Street, 2", "", "", "City", "ST", "12345-6789"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ParseImportLine(c.line), c.fields);
    }
    // NUL and other control characters are dropped, as the export drops them.
    const QString controls =
        QStringLiteral("\"A\tB\",b\x1B,c,d,Do\x01ver,DE,199") + QChar(0) + QStringLiteral("01\x7F");
    EXPECT_EQ(ParseImportLine(controls),
              (F{"AB", "b", "c", "d", "Dover", "DE", QStringLiteral("19901\x7F")}));
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
    EXPECT_EQ(EncodeNameAddressText(QString::fromUtf8("Café € Ω")), "Caf\xE9 \x80 ?");

    EXPECT_EQ(CountNotInOem(QString::fromUtf8("Café Zoë")), 0);
    EXPECT_EQ(CountNotInOem(QString::fromUtf8("€ Œ ß é")), 2);
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
        EXPECT_EQ(ImportIntoTable(t, text), 0);
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
    EXPECT_EQ(ImportIntoTable(t, text), 2);
    ASSERT_EQ(t.RecCount(), 3u);
    t.SetRecNo(1);
    std::vector<std::string> lines;
    t.GetMField("Address", lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"?uro\n\r", "?\n\r"}));
    for (uint32_t n : {2u, 3u}) {
        t.SetRecNo(n);
        t.GetMField("Address", lines);
        EXPECT_TRUE(lines.empty());
        EXPECT_EQ(TrimValue(QString::fromStdString(t.GetField("City"))), "");
    }
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
