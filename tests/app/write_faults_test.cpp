// Every whole-file write of the program, walked through the file seam: the n-th write, fsync
// or rename fails, for every n up to the last call of a clean run. Each run ends with the old
// file untouched and an error, or (past the last call) with the whole new file; no new file is
// ever left beside it.
#include "log_test_util.h"

#include "fault_fs.h"

#include "addresses/address_files.h"
#include "core/data_folder.h"
#include "core/settings.h"
#include "entry/entry_fields.h"
#include "log/book_table.h"
#include "print/mailer_proof_pdf.h"
#include "print/page.h"

#include <QDirIterator>
#include <QRegularExpression>

namespace qm::testing {
namespace {

using table::testing::FaultyFileSystem;

struct WritePath {
    const char* name;
    QString target;                               // the file the write replaces
    std::function<void()> write;                  // throws when the write failed
    std::function<bool(const QByteArray&)> whole; // the new file is complete
};

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

std::string Names(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names.join(u' ').toStdString();
}

bool IsPdf(const QByteArray& b) {
    return b.startsWith("%PDF-") && b.trimmed().endsWith("%%EOF");
}

// A LogUi command reports its failure to the user; here it becomes an exception.
void ThrowIfFailed(const ScriptedUi& ui) {
    if (!ui.errors.isEmpty()) throw std::runtime_error(ui.errors.join(u'\n').toStdString());
}

// The bytes of a new, empty books table at `path` (left there).
QByteArray EmptyBookTable(const QString& path) {
    { BookRecording create(path); }
    return Bytes(path);
}

class WriteFaults : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        SetDataFolderOverride(dir_.path());
        Globals() = GlobalVariables{};
        for (int i = 1; i <= 3; ++i)
            Append(Piece(QStringLiteral("Piece %1").arg(i), QStringLiteral("62701"),
                         QString::number(10 + i)));
    }
    void TearDown() override {
        table::SetFileSystem(nullptr);
        SetDataFolderOverride({});
        Globals() = GlobalVariables{};
        LogTest::TearDown();
    }

    // Walks one write path; `old` is what the target holds before every run.
    void Walk(const WritePath& path, const QByteArray& old) {
        SCOPED_TRACE(path.name);
        FaultyFileSystem fs;
        fs.kinds =
            table::testing::kFaultWrite | table::testing::kFaultSync | table::testing::kFaultRename;
        table::SetFileSystem(&fs);
        Put(path.target, old);
        ASSERT_NO_THROW(path.write());
        const std::string names = Names(dir_.path()); // with the locks the write takes
        const int last = fs.calls;
        ASSERT_GT(last, 0) << "the write does not go through the file seam";
        ASSERT_TRUE(path.whole(Bytes(path.target)));
        for (int n = 1; n <= last + 1; ++n) {
            SCOPED_TRACE("failing call " + std::to_string(n) + " of " + std::to_string(last));
            Put(path.target, old);
            fs.calls = 0;
            fs.faults = 0;
            fs.failAt = n;
            bool failed = false;
            try {
                path.write();
            } catch (const std::exception& e) {
                failed = true;
                EXPECT_FALSE(QString::fromUtf8(e.what()).isEmpty());
            }
            const QByteArray now = Bytes(path.target);
            if (n <= last) {
                EXPECT_TRUE(failed) << "a failed call was reported as success";
                // A failed folder flush comes after the rename: the new file is whole.
                EXPECT_TRUE(now == old || path.whole(now)) << "a cut or mixed file";
            } else {
                EXPECT_FALSE(failed);
                EXPECT_TRUE(path.whole(now));
            }
            EXPECT_EQ(Names(dir_.path()), names) << "a file was left behind";
        }
        table::SetFileSystem(nullptr);
    }
};

TEST_F(WriteFaults, EveryWritePathEndsWithTheOldFileOrTheWholeNewOne) {
    ScriptedUi ui;
    const QByteArray emptyBooks = EmptyBookTable(File(QStringLiteral("Reports/books.dbf")));
    // The log exported to `name`, as the Export Log dialog's accept runs it.
    const auto exportTo = [this](const char* name) {
        return [this, name] {
            ScriptedUi exportUi;
            exportUi.exportFile = File(QString::fromLatin1(name));
            RunExportLog(exportUi, LogPath());
            ThrowIfFailed(exportUi);
        };
    };
    const std::vector<WritePath> paths = {
        {"settings", File(QStringLiteral("quill4.ini")),
         [] {
             Globals().Line1 = QStringLiteral("Acme Title Company");
             SaveSettings(Globals());
         },
         [](const QByteArray& b) { return b.contains("Line1=Acme Title Company\r\n"); }},
        {"chosen data folder", File(QStringLiteral("quillmark.conf")),
         [this] {
             WriteChosenDataFolder(File(QStringLiteral("quillmark.conf")),
                                   QFile::encodeName(dir_.path()));
         },
         [this](const QByteArray& b) { return b.endsWith(QFile::encodeName(dir_.path()) + '\n'); }},
        {"CSV export", File(QStringLiteral("log.csv")), exportTo("log.csv"),
         [](const QByteArray& b) {
             return b.startsWith("\xEF\xBB\xBF") && b.count("\r\n") == 4 && b.contains("Piece 3");
         }},
        {"workbook export", File(QStringLiteral("log.xlsx")), exportTo("log.xlsx"),
         [](const QByteArray& b) { return b.startsWith("PK\x03\x04") && b.size() > 4000; }},
        {"report PDF", File(QStringLiteral("report.pdf")),
         [&] {
             ui = ScriptedUi{};
             ui.pdf = File(QStringLiteral("report.pdf"));
             RunLogReport(ui, LogPath(), CompanionProject(), LogOrder::Record,
                          ReportDestination::Printer, LogReport::FullDetail);
             ThrowIfFailed(ui);
         },
         IsPdf},
        {"firm mailing book PDF", File(QStringLiteral("book.pdf")),
         [&] {
             // Every run records book No. 1 in an empty books table: the same calls each time.
             Put(File(QStringLiteral("Reports/books.dbf")), emptyBooks);
             ui = ScriptedUi{};
             ui.pdf = File(QStringLiteral("book.pdf"));
             ui.bookRange = {QDate(2008, 3, 5), QDate(2008, 3, 5)};
             RunFirmMailingBook(ui, LogPath(),
                                {QStringLiteral("Acme"), QStringLiteral("1 Oak St"),
                                 QStringLiteral("Boston MA 02108"), QString(), QString()});
             ThrowIfFailed(ui);
         },
         IsPdf},
        {"mailer proof", File(QStringLiteral("Reports/Mailers/proof.pdf")),
         [this] {
             GlobalVariables g;
             g.CustID = QStringLiteral("123456789");
             g.SerialNum = QStringLiteral("0000042");
             EntryFields f;
             f.addresseeLines = {QStringLiteral("Ann Bell"), QString(), QString(), QString()};
             f.city = QStringLiteral("Dover");
             f.state = QStringLiteral("DE");
             f.zipText = QStringLiteral("19901-    ");
             ImagePageTarget printed(150, 150);
             WriteMailerProof(BuildPrintRequest(f, g), true, QFont(), printed,
                              File(QStringLiteral("Reports/Mailers/proof.pdf")));
         },
         IsPdf},
        {"address text export", File(QStringLiteral("addresses.txt")),
         [this] {
             addresses::ExportTableFile(File(QStringLiteral("book.dbf")),
                                        [this] { return File(QStringLiteral("addresses.txt")); });
         },
         [](const QByteArray& b) { return b.contains("Ann Bell") && b.count('\n') == 2; }},
    };
    QDir(dir_.path()).mkpath(QStringLiteral("Reports/Mailers"));
    addresses::ImportIntoTableFile("\"Ann Bell\",\"\",\"\",\"\",\"Dover\",\"DE\",\"19901\"\r\n"
                                   "\"Carl Doe\",\"\",\"\",\"\",\"Dover\",\"DE\",\"19901\"\r\n",
                                   File(QStringLiteral("book.dbf")),
                                   addresses::TImportInto::NewTable);
    for (const WritePath& path : paths) Walk(path, "the old contents\n");
}

// A new book through the file seam: the n-th write or sync fails, once or from then on (the
// disk gone), for every n of a clean run. Each run ends with book No. 1 recorded whole, or with
// an error and no record of it that a reader counts, or with an error that says how many of
// its records stay; Perl's XBase reads the table every time.
TEST_F(WriteFaults, ABookIsRecordedWholeOrTheErrorSaysWhatStays) {
    const QString books = File(QStringLiteral("Reports/books.dbf"));
    const QByteArray empty = EmptyBookTable(books);
    FaultyFileSystem fs;
    fs.kinds = table::testing::kFaultWrite | table::testing::kFaultSync;
    const auto run = [&] {
        Put(books, empty);
        ScriptedUi ui;
        ui.bookKind = BookChoice::Kind::New;
        ui.pdf = File(QStringLiteral("book.pdf"));
        table::SetFileSystem(&fs);
        RunFirmMailingBook(ui, LogPath(), {QStringLiteral("Acme"), QStringLiteral("1 Oak St")});
        table::SetFileSystem(nullptr);
        return ui.errors;
    };
    // Live records of book No. 1 as XBase reads them.
    const auto recorded = [&] {
        int live = 0;
        const QStringList dump = XBaseDump(books);
        for (qsizetype i = 2; i < dump.size(); ++i) {
            const QStringList f = dump[i].split(u'|');
            if (f.size() == 5 && f[0] == u"0" && f[1] == u"1") ++live;
        }
        return live;
    };
    ASSERT_EQ(run(), QStringList());
    ASSERT_EQ(recorded(), 3);
    const int last = fs.calls;
    for (const bool persistent : {false, true}) {
        for (int n = 1; n <= last; ++n) {
            SCOPED_TRACE(::testing::Message() << "failing call " << n << " of " << last
                                              << (persistent ? " and every later one" : ""));
            fs.calls = 0;
            fs.faults = 0;
            fs.failAt = n;
            fs.persistent = persistent;
            const QStringList errors = run();
            ASSERT_EQ(errors.size(), 1) << "a failed call was reported as success";
            const QString& error = errors[0];
            const int live = recorded();
            const QRegularExpression stay(QStringLiteral("(\\d+) of its records could not be "
                                                         "taken back"));
            const QRegularExpressionMatch m = stay.match(error);
            if (error.contains(QStringLiteral("is recorded in "))) {
                EXPECT_EQ(live, 3) << error.toStdString();
            } else if (m.hasMatch()) {
                EXPECT_EQ(live, m.captured(1).toInt()) << error.toStdString();
            } else {
                EXPECT_EQ(live, 0) << error.toStdString();
            }
            if (error.contains(QStringLiteral("Book No. 1 "))) {
                EXPECT_TRUE(error.contains(books)) << error.toStdString();
            }
        }
    }
}

} // namespace
} // namespace qm::testing
