// The import and export commands' table work: text files into new, replaced and appended
// address tables, and address tables out to text files, read back with Perl's XBase.
#include <gtest/gtest.h>

#include "addresses/address_files.h"
#include "addresses/name_address_text.h"
#include "fault_fs.h"
#include "import_test_util.h"
#include "table/tzdbf.h"
#include "table_test_util.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <optional>

namespace qm::addresses {
namespace {

using qm::table::TTzDbf;

// The records of a table as Perl's XBase module reads them, one "deleted|field|..." each,
// after the line of its field definitions.
std::vector<std::string> XBaseDump(const std::string& file) {
    const std::string command = "perl '" QM_XBASE_SCRIPT "' dump '" + file + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {"<perl failed>"};
    std::string out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    pclose(pipe);
    // Records start with their deleted flag; memo texts hold line ends of their own.
    std::vector<std::string> lines;
    size_t start = out.find('\n') + 1; // the version line
    while (start < out.size()) {
        size_t end = start;
        do {
            end = out.find('\n', end + 1);
        } while (end != std::string::npos && end + 2 < out.size() &&
                 !(out[end + 2] == '|' && (out[end + 1] == '0' || out[end + 1] == '1')));
        if (end == std::string::npos) end = out.size();
        lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

enum class Existing { None, AddressTable, NoZipTable };

class AddressFiles : public qm::table::testing::TableTest {
protected:
    void Make(Existing kind, const std::string& path) {
        if (kind == Existing::None) return;
        TTzDbf t("TzDbfMake");
        t.SetDbfFileName(path);
        if (kind == Existing::NoZipTable) {
            t.SetDbfFields({"Address,M,10,0", "City,C,20,0", "State,C,4,0"});
            t.Open();
            t.Close();
            return;
        }
        std::vector<std::string> fields;
        for (const QString& f : AddressTableFields()) fields.push_back(f.toStdString());
        t.SetDbfFields(fields);
        t.Open();
        ASSERT_TRUE(t.ALock());
        t.ClearRecord();
        t.SetMField("Address", {"Old One", "1 Old Rd"});
        t.SetField("City", "Oldtown");
        t.SetField("State", "OR");
        t.SetField("Zip", "97001");
        t.AppendRec();
        t.UnLock();
        t.Close();
    }
    static std::string Fields(const std::vector<std::string>& dump) {
        return dump.empty() ? std::string() : dump[0];
    }
    static std::vector<std::string> Records(std::vector<std::string> dump) {
        if (!dump.empty()) dump.erase(dump.begin());
        return dump;
    }
};

const std::string kAddressFields = "fields ADDRESS:M:10:0,CITY:C:20:0,STATE:C:4:0,ZIP:C:10:0";
const std::string kOldRecord = "0|Old One\r\n1 Old Rd|Oldtown|OR|97001";

TEST_F(AddressFiles, ImportIntoNewReplacedAndAppendedTables) {
    const QByteArray twoLines = "\"Ann Able\",\"Able & Co\",,,\"Akron\",\"OH\",\"44301\"\r\n"
                                "Bob,,,,Boise,ID,83702\r\n";
    const std::string ann = "0|Ann Able\n\r\r\nAble & Co\n\r|Akron|OH|44301";
    const std::string bob = "0|Bob\n\r|Boise|ID|83702";
    const struct {
        const char* what;
        Existing existing;
        TImportInto into;
        QByteArray text;
        std::string fields;
        std::vector<std::string> records;
        TImportReport report;
        const char* error; // a part of the failure's text; null when the import succeeds
    } cases[] = {
        {"a new table in the address format",
         Existing::None,
         TImportInto::NewTable,
         twoLines,
         kAddressFields,
         {ann, bob},
         {2, {}, 0},
         nullptr},
        {"append keeps the old records",
         Existing::AddressTable,
         TImportInto::Append,
         twoLines,
         kAddressFields,
         {kOldRecord, ann, bob},
         {2, {}, 0},
         nullptr},
        {"overwrite replaces the table and its memos",
         Existing::AddressTable,
         TImportInto::Overwrite,
         twoLines,
         kAddressFields,
         {ann, bob},
         {2, {}, 0},
         nullptr},
        {"overwrite turns any table into an address table",
         Existing::NoZipTable,
         TImportInto::Overwrite,
         twoLines,
         kAddressFields,
         {ann, bob},
         {2, {}, 0},
         nullptr},
        {"append to a table without ZIP is refused and changes nothing",
         Existing::NoZipTable,
         TImportInto::Append,
         twoLines,
         "fields ADDRESS:M:10:0,CITY:C:20:0,STATE:C:4:0",
         {},
         {},
         "has no character field ZIP."},
        {"characters code page 437 cannot hold are counted",
         Existing::None,
         TImportInto::NewTable,
         "\x80uro Shop,,,,K\xf6ln,NW,50667\r\n\x91Quote\x94 Inn,,,,,,\r\n",
         kAddressFields,
         {"0|?uro Shop\n\r|K\x94ln|NW|50667", "0|?Quote? Inn\n\r|||"},
         {2, {}, 3},
         nullptr},
        {"an empty text adds nothing",
         Existing::AddressTable,
         TImportInto::Append,
         "",
         kAddressFields,
         {kOldRecord},
         {},
         nullptr},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("book" + std::to_string(++n) + ".dbf");
        Make(c.existing, path);
        std::optional<TImportReport> report;
        std::string error;
        try {
            report = ImportIntoTableFile(c.text, QString::fromStdString(path), c.into);
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        } else {
            EXPECT_EQ(error, "");
            EXPECT_EQ(report, c.report);
        }
        const auto dump = XBaseDump(path);
        EXPECT_EQ(Fields(dump), c.fields);
        EXPECT_EQ(Records(dump), c.records);
        // Nothing set aside stays behind.
        EXPECT_TRUE(QDir(QString::fromStdString(Path(".")))
                        .entryList({QStringLiteral("*.old")}, QDir::Files)
                        .isEmpty());
    }
}

// A file of good and bad lines, as on main before: a six-field line became an empty record,
// an unclosed quote shifted the fields (state "ampa", ZIP "FL"), a long city was cut, one
// Windows-1252 line turned "José" into "Jos??" and the blank line at the end became a record.
const QByteArray kMixedText =
    "\"Jos\xC3\xA9 Ruiz\",\"1 Elm St\",\"\",\"\",\"Tampa\",\"FL\",\"33602\"\r\n"
    "Bob Baker,2 Oak Ave,,,Boise,ID\r\n"
    "\"Cy Cole\",\"3 Pine Rd\",\"\",\"\",\"Tampa,FL,33602\r\n"
    "Dee Dunn,,,,Saint Petersburg Beach Shores,FL,33706\n"
    "\"Caf\xE9 Zo\xEB\",,,,Dover,DE,19901\n"
    "\r\n";
const std::vector<TRefusedLine> kMixedRefused = {
    {2, "6 fields, 7 expected"},
    {3, "a quote is not closed"},
    {4, "the city has 29 characters, its column holds 20"}};
// José and Café Zoë in code page 437, the good records whole.
const std::string kJose = "0|Jos\x82 Ruiz\n\r\r\n1 Elm St\n\r|Tampa|FL|33602";
const std::string kCafe = "0|Caf\x82 Zo\x89\n\r|Dover|DE|19901";

TEST_F(AddressFiles, BadLinesAreNotStoredAndEachLineKeepsItsEncoding) {
    const struct {
        const char* what;
        Existing existing;
        TImportInto into;
        std::vector<std::string> records;
    } cases[] = {
        {"a new table", Existing::None, TImportInto::NewTable, {kJose, kCafe}},
        {"appended", Existing::AddressTable, TImportInto::Append, {kOldRecord, kJose, kCafe}},
        {"an overwrite with some lines refused replaces the table with the good lines",
         Existing::AddressTable,
         TImportInto::Overwrite,
         {kJose, kCafe}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("mixed" + std::to_string(++n) + ".dbf");
        Make(c.existing, path);
        EXPECT_EQ(ImportIntoTableFile(kMixedText, QString::fromStdString(path), c.into),
                  (TImportReport{2, kMixedRefused, 0}));
        const auto dump = XBaseDump(path);
        EXPECT_EQ(Fields(dump), kAddressFields);
        EXPECT_EQ(Records(dump), c.records);
    }
}

TEST_F(AddressFiles, NothingToImportTouchesNoTable) {
    const QByteArray refusedOnly = "Bob Baker,2 Oak Ave,,,Boise,ID\r\n\"Cy\r\n";
    const std::vector<TRefusedLine> refused = {{1, "6 fields, 7 expected"},
                                               {2, "a quote is not closed"}};
    const struct {
        const char* what;
        Existing existing;
        TImportInto into;
        QByteArray text;
        TImportReport report;
    } cases[] = {
        {"every line refused: no new table",
         Existing::None,
         TImportInto::NewTable,
         refusedOnly,
         {0, refused, 0}},
        {"every line refused: the old table stays",
         Existing::AddressTable,
         TImportInto::Overwrite,
         refusedOnly,
         {0, refused, 0}},
        {"only blank lines: the old table stays",
         Existing::AddressTable,
         TImportInto::Overwrite,
         "\r\n  \r\n\r\n",
         {}},
        {"every line refused: nothing appended",
         Existing::AddressTable,
         TImportInto::Append,
         refusedOnly,
         {0, refused, 0}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("none" + std::to_string(++n) + ".dbf");
        Make(c.existing, path);
        const auto before = c.existing == Existing::None ? std::vector<uint8_t>{}
                                                         : qm::table::testing::ReadBytes(path);
        EXPECT_EQ(ImportIntoTableFile(c.text, QString::fromStdString(path), c.into), c.report);
        if (c.existing == Existing::None) {
            EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
            for (const QString& memo : MemoFilesOf(QString::fromStdString(path)))
                EXPECT_FALSE(QFile::exists(memo));
        } else {
            EXPECT_EQ(qm::table::testing::ReadBytes(path), before);
            EXPECT_EQ(Records(XBaseDump(path)), std::vector<std::string>{kOldRecord});
        }
        EXPECT_TRUE(QDir(QString::fromStdString(Path(".")))
                        .entryList({QStringLiteral("*.old")}, QDir::Files)
                        .isEmpty());
    }
}

TEST_F(AddressFiles, AnAppendedTableLendsItsOwnWidths) {
    const std::string path = Path("wide.dbf");
    {
        TTzDbf t("TzDbfWide");
        t.SetDbfFileName(path);
        t.SetDbfFields({"Address,M,10,0", "City,C,35,0", "State,C,2,0", "Zip,C,10,0"});
        t.Open();
        t.Close();
    }
    EXPECT_EQ(ImportIntoTableFile("Dee Dunn,,,,Saint Petersburg Beach Shores,FL,33706\r\n"
                                  "Ed,,,,Dover,Del,19901\r\n",
                                  QString::fromStdString(path), TImportInto::Append),
              (TImportReport{1, {{2, "the state has 3 characters, its column holds 2"}}, 0}));
    EXPECT_EQ(Records(XBaseDump(path)),
              std::vector<std::string>{"0|Dee Dunn\n\r|Saint Petersburg Beach Shores|FL|33706"});
}

TEST_F(AddressFiles, AnOverwriteThatFailsLeavesTheOldTable) {
    // Every write of the engine from the n-th on fails (the disk is full), for each n until
    // the import gets through: the old table and its memo file come back each time.
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        const std::string path = Path("fail" + std::to_string(n) + ".dbf");
        Make(Existing::AddressTable, path);
        const auto table = qm::table::testing::ReadBytes(path);
        const auto memo = qm::table::testing::ReadBytes(Path("fail" + std::to_string(n) + ".dbt"));
        qm::table::testing::FaultyFileSystem fs;
        fs.kinds = qm::table::testing::kFaultWrite;
        fs.failAt = n;
        fs.persistent = true;
        qm::table::SetFileSystem(&fs);
        std::string error;
        try {
            ImportIntoTableFile(kMixedText, QString::fromStdString(path), TImportInto::Overwrite);
        } catch (const std::exception& e) {
            error = e.what();
        }
        qm::table::SetFileSystem(nullptr);
        if (fs.faults == 0) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(Records(XBaseDump(path)), (std::vector<std::string>{kJose, kCafe}));
            EXPECT_GT(n, 2);
            break;
        }
        EXPECT_NE(error, "");
        EXPECT_EQ(qm::table::testing::ReadBytes(path), table);
        EXPECT_EQ(qm::table::testing::ReadBytes(Path("fail" + std::to_string(n) + ".dbt")), memo);
        EXPECT_TRUE(QDir(QString::fromStdString(Path(".")))
                        .entryList({QStringLiteral("*.old")}, QDir::Files)
                        .isEmpty());
        ASSERT_LT(n, 200) << "the import never got through";
    }
}

TEST_F(AddressFiles, ReadingTheTextFile) {
    const std::string path = Path("names.txt");
    {
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("a,b,c,d,e,f,g\r\n");
    }
    EXPECT_EQ(ReadNameAddressFile(QString::fromStdString(path)), "a,b,c,d,e,f,g\r\n");
    try {
        ReadNameAddressFile(QString::fromStdString(Path("gone.txt")));
        ADD_FAILURE() << "a missing file was read";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind(Path("gone.txt") + ": ", 0), 0u) << e.what();
    }
}

TEST_F(AddressFiles, ExportAsksForTheTextFileOnlyForAnAddressTable) {
    const struct {
        const char* what;
        Existing existing;
        const char* answer; // the text file chosen, relative to the folder; "" for cancelled
        bool asked;
        bool written;
        QByteArray text;
        const char* error;
    } cases[] = {
        {"every record quoted", Existing::AddressTable, "out.txt", true, true,
         "\"Old One\",\"1 Old Rd\",\"\",\"\",\"Oldtown\",\"OR\",\"97001\"\r\n", nullptr},
        {"a cancelled choice writes nothing", Existing::AddressTable, "", true, false, {}, nullptr},
        {"a table without ZIP is refused before the question",
         Existing::NoZipTable,
         "out.txt",
         false,
         false,
         {},
         "has no character field ZIP."},
        {"a missing table is refused and not created",
         Existing::None,
         "out.txt",
         false,
         false,
         {},
         ""},
        {"a text file that cannot be written names itself",
         Existing::AddressTable,
         "no-such-folder/out.txt",
         true,
         false,
         {},
         "no-such-folder/out.txt: "},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string table = Path("export" + std::to_string(++n) + ".dbf");
        Make(c.existing, table);
        const QString text =
            *c.answer ? QString::fromStdString(Path("t" + std::to_string(n) + "-" + c.answer))
                      : QString();
        bool asked = false;
        bool written = false;
        std::string error;
        bool failed = false;
        try {
            written = ExportTableFile(QString::fromStdString(table), [&] {
                asked = true;
                return text;
            });
        } catch (const std::exception& e) {
            failed = true;
            error = e.what();
        }
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(failed, c.error != nullptr) << error;
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
        if (c.written) {
            QFile out(text);
            ASSERT_TRUE(out.open(QIODevice::ReadOnly));
            EXPECT_EQ(out.readAll(), c.text);
        } else if (!text.isEmpty()) {
            EXPECT_FALSE(QFile::exists(text));
        }
        if (c.existing == Existing::None) {
            EXPECT_FALSE(QFile::exists(QString::fromStdString(table)));
        }
    }
}

} // namespace
} // namespace qm::addresses
