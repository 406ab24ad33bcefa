// Where the data lives (the order of --folder, a quill4.ini beside the program, the chosen
// folder and the XDG default), the file that keeps the chosen folder, the report project's
// precedence, and the copy into a new, empty data folder.
#include "core/companion_files.h"
#include "core/data_folder.h"
#include "core/data_folder_copy.h"
#include "core/ini_profile.h"
#include "engine_error.h"
#include "tzdbf.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace qm {
namespace {

TEST(DataFolderRule, FirstOfCommandLineBesideProgramChosenDefault) {
    const QString bin = QStringLiteral("/opt/qm/bin");
    const QString home = QStringLiteral("/home/ann/.local/share");
    const struct {
        const char* what;
        QString commandLine;
        bool iniBeside;
        std::optional<QByteArray> chosen;
        QString folder;
        DataFolderSource source;
    } cases[] = {
        {"nothing set: the XDG data home",
         {},
         false,
         std::nullopt,
         "/home/ann/.local/share/quillmark/",
         DataFolderSource::Default},
        {"an empty chosen folder counts as none",
         {},
         false,
         QByteArray(),
         "/home/ann/.local/share/quillmark/",
         DataFolderSource::Default},
        {"the chosen share",
         {},
         false,
         "/mnt/office//qm/",
         "/mnt/office/qm/",
         DataFolderSource::Chosen},
        {"a quill4.ini beside the program keeps a portable copy",
         {},
         true,
         "/mnt/office/qm",
         "/opt/qm/bin/",
         DataFolderSource::BesideProgram},
        {"--folder wins over all", QStringLiteral("/srv/other"), true, "/mnt/office/qm",
         "/srv/other/", DataFolderSource::CommandLine},
    };
    for (const auto& c : cases) {
        const DataFolderChoice choice =
            ResolveDataFolder({c.commandLine, bin, c.iniBeside, c.chosen, home});
        EXPECT_EQ(choice.folder, c.folder) << c.what;
        EXPECT_EQ(choice.source, c.source) << c.what;
    }
}

void WriteConf(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray ReadConf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(DataFolderConfig, KeepsOneKeyAndReadsItBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillmark/quillmark.conf"));
    EXPECT_EQ(ReadChosenDataFolder(path), std::nullopt) << "no file yet";
    WriteChosenDataFolder(path, "/mnt/share/Ann's mail");
    EXPECT_EQ(ReadChosenDataFolder(path), "/mnt/share/Ann's mail");
    WriteChosenDataFolder(path, "/mnt/second");
    EXPECT_EQ(ReadChosenDataFolder(path), "/mnt/second") << "replaced whole";
    EXPECT_EQ(ReadConf(path).count("DataFolder"), 1) << ReadConf(path).toStdString();
}

// Earlier versions kept the folder as plain text under "DataFolder="; such a file still reads,
// as they read it. A "DataFolderPath=" line, which they never wrote, comes first.
TEST(DataFolderConfig, ThePlainValueOfEarlierVersionsStillReads) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillmark.conf"));
    const struct {
        const char* what;
        QByteArray text;
        std::optional<QByteArray> folder;
    } cases[] = {
        {"as an earlier version wrote it",
         "# The data folder of Quillmark (Options, Data Folder...).\nDataFolder=/mnt/share/Ann's "
         "mail\n",
         "/mnt/share/Ann's mail"},
        {"typed by hand", "# by hand\n\nOther=1\n  DataFolder = /mnt/typed  \r\n", "/mnt/typed"},
        {"both keys", "DataFolder=/mnt/old\nDataFolderPath=/mnt/new%20one\n", "/mnt/new one"},
        {"an empty new key chooses none", "DataFolderPath=\nDataFolder=/mnt/old\n", std::nullopt},
        {"an empty old key", "DataFolder=\n", std::nullopt},
    };
    for (const auto& c : cases) {
        WriteConf(path, c.text);
        EXPECT_EQ(ReadChosenDataFolder(path), c.folder) << c.what;
    }
}

// Any name a Linux file system allows is kept byte for byte, and the folder it resolves to is
// the real folder of that name. A name that is not UTF-8 text cannot be a path of the program:
// it resolves to no folder at all, never to a look-alike.
TEST(DataFolderConfig, AnyFolderNameComesBackByteForByte) {
    QTemporaryDir dir;
    const QString conf = dir.filePath(QStringLiteral("quillmark.conf"));
    const QByteArray base = QFile::encodeName(dir.path()) + '/';
    const struct {
        const char* why;
        QByteArray name;
        bool text; // valid UTF-8: the program can use it
    } cases[] = {
        {"a line break would end the line", "two\nlines", true},
        {"a carriage return too", "cr\rhere", true},
        {"a trailing blank would be trimmed", "trailing ", true},
        {"a leading blank too", " leading", true},
        {"blanks only", "   ", true},
        {"a tab", "tab\there", true},
        {"a percent sign is no escape", "100%", true},
        {"nor is a percent sign before hex digits", "%41%2F", true},
        {"an equals sign", "a=b", true},
        {"a number sign starts no comment", "#hash", true},
        {"a backslash", "back\\slash", true},
        {"UTF-8 beyond ASCII", "B\xc3\xbcro \xe6\x97\xa5\xe6\x9c\xac", true},
        {"bytes that are not UTF-8", "\xff\xfe", false},
        {"Latin-1 of an old share", "B\xfcro", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const QByteArray folder = base + c.name;
        ASSERT_EQ(mkdir(folder.constData(), 0700), 0) << c.name.toStdString();
        WriteChosenDataFolder(conf, folder);
        QByteArrayList lines = ReadConf(conf).split('\n');
        lines.removeIf([](const QByteArray& l) { return l.isEmpty() || l.startsWith('#'); });
        EXPECT_EQ(lines.size(), 1)
            << "one line, whatever the name: " << lines.join("|").toStdString();
        const std::optional<QByteArray> read = ReadChosenDataFolder(conf);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->toHex(), folder.toHex());

        const DataFolderChoice choice = ResolveDataFolder(
            {{}, QStringLiteral("/opt/qm/bin"), false, read, QStringLiteral("/home/ann")});
        EXPECT_EQ(choice.source, DataFolderSource::Chosen);
        EXPECT_EQ(choice.unnamable, !c.text);
        if (!c.text) {
            EXPECT_FALSE(QFileInfo::exists(choice.folder)) << choice.folder.toStdString();
            continue;
        }
        EXPECT_EQ(QFile::encodeName(choice.folder).toHex(), (folder + '/').toHex());
        // A file the program writes there lands in the folder of that name.
        QFile ini(choice.folder + QStringLiteral("quill4.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly)) << ini.errorString().toStdString();
        ini.close();
        struct stat st {};
        EXPECT_EQ(stat((folder + "/quill4.ini").constData(), &st), 0);
    }
}

TEST(DataFolderConfig, APlantedLinkIsReplacedNotFollowed) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillmark.conf"));
    const QString victim = dir.filePath(QStringLiteral("victim"));
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write("keep");
    v.close();
    ASSERT_TRUE(QFile::link(victim, path));
    WriteChosenDataFolder(path, "/mnt/share");
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), "keep");
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(ReadChosenDataFolder(path), "/mnt/share");
}

TEST(DataFolderConfig, AnUnwritablePlaceIsReportedWithTheFile) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("quillmark")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    const QString path = dir.filePath(QStringLiteral("quillmark/quillmark.conf"));
    try {
        WriteChosenDataFolder(path, "/mnt/share");
        FAIL() << "no error";
    } catch (const DataFolderConfigError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(path)) << e.what();
    }
}

class DataFolderFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_core";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        table::SetErrorMode(table::TErrorMode::Exception);
    }
    void SetUp() override {
        ASSERT_TRUE(old_.isValid() && new_.isValid());
        SetDataFolderOverride(old_.path(), DataFolderSource::Default);
    }
    void TearDown() override {
        SetDataFolderOverride({});
        SetCompanionFolderOverride({});
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A table with a memo file and n records.
    static void MakeTable(const QString& path, int n) {
        table::TTzDbf t;
        t.SetDbfFileName(path.toStdString());
        t.SetDbfFields({"name, C, 20, 0", "notes, M, 10, 0"});
        t.Open();
        for (int i = 0; i < n; ++i) {
            t.ClearRecord();
            t.SetField("name", "Name " + std::to_string(i));
            t.SetMField("notes", {"line one " + std::to_string(i), "line two"});
            ASSERT_TRUE(t.ALock());
            t.AppendRec();
            t.UnLock();
        }
        t.Close();
    }
    // The old data folder as an office keeps it.
    void FillOldFolder() {
        const QDir o(old_.path());
        Write(o.filePath("quill4.ini"),
              ("[Values]\r\nSerialNum=0000042\r\n[System Path]\r\nDefault=" +
               o.filePath("Addresses") + "\r\n")
                  .toUtf8());
        QDir().mkpath(o.filePath("Reports"));
        QDir().mkpath(o.filePath("Addresses/old books"));
        MakeTable(o.filePath("Reports/report3.dbf"), 3);
        MakeTable(o.filePath("Addresses/clients.dbf"), 5);
        Write(o.filePath("Addresses/old books/1999.txt"), "Ann,,,,Dover,DE,19901\r\n");
        Write(o.filePath("unrelated.txt"), "not data");
    }

    QTemporaryDir old_, new_;
};

TEST_F(DataFolderFiles, AReportProjectInTheDataFolderWinsOverTheShippedOne) {
    QTemporaryDir shipped;
    SetCompanionFolderOverride(shipped.path());
    Write(QDir(shipped.path()).filePath("Quill3.rav"), "shipped");
    Write(QDir(shipped.path()).filePath("Quill3.hlp"), "help");
    EXPECT_EQ(ReportProjectFile(), QDir(shipped.path()).filePath("Quill3.rav"));
    EXPECT_EQ(CompanionFile("Quill3.hlp"), QDir(shipped.path()).filePath("Quill3.hlp"));
    Write(QDir(old_.path()).filePath("Quill3.rav"), "edited");
    EXPECT_EQ(Read(ReportProjectFile()), "edited");
    EXPECT_EQ(CompanionFile("Quill3.hlp"), QDir(shipped.path()).filePath("Quill3.hlp"))
        << "only the report project is taken from the data folder";
}

TEST_F(DataFolderFiles, CompanionFilesBesideTheProgramComeFirst) {
    const QStringList folders = CompanionFolders();
    ASSERT_GE(folders.size(), 2);
    EXPECT_EQ(folders[0], QCoreApplication::applicationDirPath());
    EXPECT_EQ(folders[1],
              QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/quillmark"));
    EXPECT_EQ(CompanionFile("no-such-file"),
              QCoreApplication::applicationDirPath() + "/no-such-file")
        << "a missing file is named beside the program";
}

TEST_F(DataFolderFiles, CopyTakesSettingsLogAndAddressBooksAndReadsThemBack) {
    FillOldFolder();
    const QDir o(old_.path()), n(new_.path());
    const DataFolderCopyResult done = CopyDataFolder(old_.path(), new_.path());
    EXPECT_EQ(done.tables, 2);
    EXPECT_EQ(done.files, 6) << "ini, two tables with their memo files, one text file";
    for (const char* f :
         {"Reports/report3.dbf", "Addresses/clients.dbf", "Addresses/old books/1999.txt"})
        EXPECT_EQ(Read(n.filePath(f)), Read(o.filePath(f))) << f;
    EXPECT_FALSE(QFileInfo::exists(n.filePath("unrelated.txt")));

    table::TTzDbf t;
    t.SetDbfFileName(n.filePath("Addresses/clients.dbf").toStdString());
    t.Open();
    EXPECT_EQ(t.RecCount(), 5u);
    t.SetRecNo(5);
    std::vector<std::string> memo;
    t.GetMField("notes", memo);
    ASSERT_FALSE(memo.empty());
    EXPECT_EQ(memo[0], "line one 4");
    t.Close();

    const IniProfile ini = IniProfile::Load(n.filePath("quill4.ini"));
    EXPECT_EQ(ini.Value("Values", "SerialNum"), QStringLiteral("0000042"));
    EXPECT_EQ(ini.Value("System Path", "Default"), n.filePath("Addresses"))
        << "the address books are looked for in the new folder";
    EXPECT_EQ(IniProfile::Load(o.filePath("quill4.ini")).Value("System Path", "Default"),
              o.filePath("Addresses"))
        << "the old folder is left as it was";
}

TEST_F(DataFolderFiles, AnAddressFolderElsewhereIsKeptAsSet) {
    Write(QDir(old_.path()).filePath("quill4.ini"),
          "[System Path]\r\nDefault=/home/ann/address books\r\n");
    CopyDataFolder(old_.path(), new_.path());
    EXPECT_EQ(
        IniProfile::Load(QDir(new_.path()).filePath("quill4.ini")).Value("System Path", "Default"),
        QStringLiteral("/home/ann/address books"));
}

TEST_F(DataFolderFiles, OnlyAnEmptyFolderTakesACopy) {
    FillOldFolder();
    Write(QDir(new_.path()).filePath(".hidden"), "x");
    EXPECT_FALSE(IsEmptyFolder(new_.path()));
    EXPECT_THROW(CopyDataFolder(old_.path(), new_.path()), DataFolderCopyError);
    EXPECT_EQ(QDir(new_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{".hidden"});
}

TEST_F(DataFolderFiles, AFailedCopyLeavesTheNewFolderEmpty) {
    FillOldFolder();
    const QString fifo = QDir(old_.path()).filePath("Reports/zz.pipe");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    try {
        CopyDataFolder(old_.path(), new_.path());
        FAIL() << "no error";
    } catch (const DataFolderCopyError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(fifo)) << e.what();
    }
    EXPECT_TRUE(IsEmptyFolder(new_.path()));
    EXPECT_TRUE(QFileInfo::exists(QDir(old_.path()).filePath("Reports/report3.dbf")));
}

TEST_F(DataFolderFiles, AFlawOfTheOriginalDoesNotStopTheCopy) {
    // A table whose header promises more records than the file holds reads the same in both
    // folders: that is no copy fault. A copy that differs from its original is.
    FillOldFolder();
    const QString log = QDir(old_.path()).filePath("Reports/report3.dbf");
    QByteArray bytes = Read(log);
    bytes[4] = char(bytes[4] + 7); // record count beyond the file
    Write(log, bytes);
    EXPECT_NO_THROW(CopyDataFolder(old_.path(), new_.path()));
}

} // namespace
} // namespace qm
