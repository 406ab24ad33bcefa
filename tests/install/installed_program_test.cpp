// The program as a user gets it: installed with `cmake --install` into a staging folder
// (DESTDIR), started from there on the offscreen platform with a home of its own. The
// installed binary is not changed for the test: a Qt plugin loaded into it (driver/) answers
// its windows and presses its buttons.
#include "decode.h"
#include "private_cups.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qm::test;

namespace {

struct ProgramRun {
    int exitCode = -1;
    QStringList windows; // the driver's log
    QString output;
};

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// Settings under which the first showing asks nothing.
const QByteArray kQuietSettings =
    "[Type]\r\nCompany=Larkfield\r\nBarCodeApp=0\r\n[YourAddress]\r\nLine1=Ann Sender\r\n"
    "City=Dover\r\nState=DE\r\nZip=19901\r\n[Values]\r\nCustID=123456789\r\n"
    "SerialNum=0000041\r\n";

// The records of a table as Perl's XBase module reads them: "deleted|field|field...".
QStringList XBaseRecords(const QString& file) {
    QProcess perl;
    perl.start(QStringLiteral("perl"), {QStringLiteral(QM_XBASE_SCRIPT), "dump", file});
    perl.waitForFinished(60000);
    QStringList lines = QString::fromLatin1(perl.readAllStandardOutput())
                            .split(QRegularExpression(QStringLiteral("\n(?=[01]\\||fields |$)")));
    if (lines.size() < 2)
        return {"<xbase failed: " + QString::fromLatin1(perl.readAllStandardError()) + ">"};
    lines = lines.mid(2);
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(stage_.isValid() && home_.isValid());
        QProcess install;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", stage_.path());
        install.setProcessEnvironment(env);
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(QM_CMAKE),
                      {"--install", QStringLiteral(QM_BUILD_DIR), "--prefix", "/usr"});
        ASSERT_TRUE(install.waitForFinished(120000));
        ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();
        bin_ = stage_.filePath("usr/bin");
    }

    QString Home(const QString& relative) const { return QDir(home_.path()).filePath(relative); }
    QString Staged(const QString& relative) const { return QDir(stage_.path()).filePath(relative); }
    QString DefaultFolder() const { return Home(".local/share/quillmark"); }

    // Runs the installed program to its end; drive is "quit" or "print".
    ProgramRun Start(const QStringList& args, const char* drive = "quit") {
        return StartProgram(QDir(bin_).filePath("quillmark"), args, drive);
    }
    ProgramRun StartProgram(const QString& program, const QStringList& args, const char* drive) {
        const QString log = Home(QStringLiteral("driver-%1.log").arg(++runs_));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS",
                              "XDG_CONFIG_DIRS", "QT_PLUGIN_PATH"})
            env.remove(QString::fromLatin1(v));
        env.insert("HOME", home_.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_PLUGIN_PATH", QM_DRIVER_PLUGINS);
        env.insert("QT_QPA_GENERIC_PLUGINS", "qmdriver");
        env.insert("QM_DRIVE", drive);
        env.insert("QM_DRIVE_LOG", log);
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home_.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        ProgramRun run;
        if (!p.waitForFinished(150000)) {
            p.kill();
            p.waitForFinished(5000);
            run.output = "<killed after 150 s> ";
        }
        run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        run.output += QString::fromLocal8Bit(p.readAll());
        run.windows = QString::fromUtf8(ReadBytes(log)).split(u'\n', Qt::SkipEmptyParts);
        return run;
    }

    static QStringList Errors(const ProgramRun& run) {
        return run.windows.filter(QRegularExpression(QStringLiteral("^(critical|warning)\\|")));
    }

    static std::string Tell(const ProgramRun& run) {
        return ("exit " + QString::number(run.exitCode) + "\nwindows:\n" + run.windows.join(u'\n') +
                "\noutput:\n" + run.output)
            .toStdString();
    }

    QTemporaryDir stage_, home_;
    QString bin_;
    int runs_ = 0;
};

TEST_F(InstalledProgram, InstallsTheProgramItsCompanionFilesAndItsDesktopEntry) {
    QStringList files;
    QDirIterator it(stage_.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << QDir(stage_.path()).relativeFilePath(it.next());
    files.sort();
    const QStringList expected = {
        "usr/bin/qmtable",
        "usr/bin/quillmark",
        "usr/share/applications/org.quillmark.Quillmark.desktop",
        "usr/share/doc/quillmark/changelog.gz",
        "usr/share/doc/quillmark/copyright",
        "usr/share/icons/hicolor/128x128/apps/org.quillmark.Quillmark.png",
        "usr/share/icons/hicolor/256x256/apps/org.quillmark.Quillmark.png",
        "usr/share/icons/hicolor/48x48/apps/org.quillmark.Quillmark.png",
        "usr/share/icons/hicolor/scalable/apps/org.quillmark.Quillmark.svg",
        "usr/share/man/man1/qmtable.1.gz",
        "usr/share/man/man1/quillmark.1.gz",
        "usr/share/metainfo/org.quillmark.Quillmark.metainfo.xml",
        "usr/share/quillmark/Quill3.hlp",
        "usr/share/quillmark/Quill3.rav",
    };
    EXPECT_EQ(files, expected);

    for (int size : {48, 128, 256}) {
        const QImage icon(Staged(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/"
                                                "org.quillmark.Quillmark.png")
                                     .arg(size)));
        EXPECT_EQ(icon.size(), QSize(size, size));
    }

    const auto check = [](const QString& program, const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << ":\n" << p.readAll().toStdString();
    };
    check("desktop-file-validate",
          {Staged("usr/share/applications/org.quillmark.Quillmark.desktop")});
    check("appstreamcli", {"validate", "--no-net",
                           Staged("usr/share/metainfo/org.quillmark.Quillmark.metainfo.xml")});
    check("appstreamcli", {"validate-tree", "--no-net", Staged("usr")});
    for (const char* page : {"quillmark.1.gz", "qmtable.1.gz"}) {
        // groff reads the page without a warning.
        QProcess man;
        man.setProcessChannelMode(QProcess::SeparateChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("MANROFFSEQ", "");
        env.insert("MANWIDTH", "80");
        man.setProcessEnvironment(env);
        man.start("man", {"--warnings", "-l", "-Tutf8",
                          Staged(QStringLiteral("usr/share/man/man1/") + page)});
        ASSERT_TRUE(man.waitForFinished(60000));
        EXPECT_EQ(man.exitCode(), 0);
        EXPECT_EQ(man.readAllStandardError(), QByteArray()) << page;
        // Bold comes as overstrikes: "S\bS".
        const QString text = QString::fromUtf8(man.readAllStandardOutput())
                                 .remove(QRegularExpression(QStringLiteral(".\b")));
        EXPECT_TRUE(text.contains("SYNOPSIS")) << page << text.toStdString();
    }
}

TEST_F(InstalledProgram, FirstStartMakesTheDataFolderInTheHomeAndAPieceLandsInItsLog) {
    const ProgramRun first = Start({});
    EXPECT_EQ(first.exitCode, 0) << Tell(first);
    EXPECT_TRUE(Errors(first).isEmpty()) << Tell(first);
    EXPECT_TRUE(first.windows.contains("closed")) << Tell(first);
    // Help, Content finds the installed help file in share/quillmark.
    const QStringList help = first.windows.filter(QRegularExpression("^help\\|."));
    ASSERT_EQ(help.size(), 1) << Tell(first);
    EXPECT_TRUE(help[0].contains("Quillmark")) << Tell(first);
    for (const char* entry : {"quill4.ini", "Reports", "Addresses"})
        EXPECT_TRUE(QFileInfo::exists(QDir(DefaultFolder()).filePath(entry))) << entry;
    EXPECT_FALSE(QFileInfo::exists(QDir(bin_).filePath("quill4.ini")))
        << "nothing is written beside the installed program";

    PrivateCups cups(QStringLiteral("QmMailerPdf"));
    if (!cups.Problem().empty())
        GTEST_SKIP() << "no private CUPS scheduler for the print: " << cups.Problem();
    WriteBytes(QDir(DefaultFolder()).filePath("quill4.ini"), kQuietSettings);
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    const ProgramRun print = Start({}, "print");
    EXPECT_EQ(print.exitCode, 0) << Tell(print);
    EXPECT_TRUE(Errors(print).isEmpty()) << Tell(print);
    ASSERT_TRUE(print.windows.contains("printed|1"))
        << Tell(print) << cups.ErrorLog().toStdString();

    // The log in the data folder, as another dBase reader sees it.
    const QStringList records = XBaseRecords(QDir(DefaultFolder()).filePath("Reports/report3.dbf"));
    ASSERT_EQ(records.size(), 1) << records.join(u'\n').toStdString();
    const QStringList fields = records[0].split(u'|');
    ASSERT_GE(fields.size(), 10);
    EXPECT_EQ(fields[1].trimmed(), "John Smith");
    const QString tracking = fields[9].trimmed().remove(u' ');
    // 92147, the customer ID, the serial counted on from 0000041, the check digit.
    EXPECT_EQ(tracking.left(21), "921471234567890000042") << fields[9].toStdString();
    EXPECT_TRUE(
        ReadBytes(QDir(DefaultFolder()).filePath("quill4.ini")).contains("SerialNum=0000042"));

    // The page from the queue carries the same tracking number in its barcode.
    QString pdf;
    const QDeadlineTimer deadline(60000);
    while (pdf.isEmpty() && !deadline.hasExpired()) {
        for (const QFileInfo& f : QDir(OutputFolder()).entryInfoList({"*.pdf"}, QDir::Files))
            if (f.lastModified() >= started && !f.fileName().startsWith("qm-mailer-") &&
                WrittenWhole(f.absoluteFilePath()))
                pdf = f.absoluteFilePath();
        if (pdf.isEmpty()) QThread::msleep(200);
    }
    ASSERT_FALSE(pdf.isEmpty()) << "no page from the queue\n" << cups.ErrorLog().toStdString();
    const QStringList symbols = DecodeSymbols(RasterisePdf(pdf, 300));
    QFile::remove(pdf);
    bool found = false;
    for (QString s : symbols) found = found || s.remove(QChar(0x1d)).endsWith(tracking);
    EXPECT_TRUE(found) << tracking.toStdString() << " not in " << symbols.join(", ").toStdString();
}

TEST_F(InstalledProgram, TheBuiltProgramAlsoKeepsItsDataInTheHomeNotInTheBuildFolder) {
    // tools/setup run starts build/bin/quillmark: a new build folder keeps the log and the
    // serial number.
    const QString built = QStringLiteral(QM_BUILD_DIR "/bin");
    if (QFileInfo::exists(built + "/quill4.ini"))
        GTEST_SKIP() << "this build folder holds a portable quill4.ini";
    WriteBytes(QDir(DefaultFolder()).filePath("quill4.ini"), kQuietSettings);
    const ProgramRun run = StartProgram(built + "/quillmark", {}, "quit");
    EXPECT_EQ(run.exitCode, 0) << Tell(run);
    EXPECT_TRUE(Errors(run).isEmpty()) << Tell(run);
    EXPECT_TRUE(QFileInfo(QDir(DefaultFolder()).filePath("Reports")).isDir()) << Tell(run);
    EXPECT_TRUE(
        ReadBytes(QDir(DefaultFolder()).filePath("quill4.ini")).contains("SerialNum=0000041"));
    for (const char* entry : {"quill4.ini", "Reports", "Addresses"})
        EXPECT_FALSE(QFileInfo::exists(built + "/" + entry)) << entry;
}

TEST_F(InstalledProgram, FolderOnTheCommandLineServesOneRun) {
    const QString folder = Home("office data");
    ASSERT_TRUE(QDir().mkpath(folder));
    const ProgramRun run = Start({"--folder", folder});
    EXPECT_EQ(run.exitCode, 0) << Tell(run);
    EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath("quill4.ini"))) << Tell(run);
    EXPECT_TRUE(QFileInfo(QDir(folder).filePath("Reports")).isDir());
    EXPECT_FALSE(QFileInfo::exists(DefaultFolder()));

    const ProgramRun missing = Start({"--folder", Home("no such folder")});
    EXPECT_EQ(missing.exitCode, 2) << Tell(missing);
    EXPECT_EQ(Errors(missing).size(), 1) << Tell(missing);
    EXPECT_TRUE(missing.output.contains("no such folder")) << Tell(missing);
    EXPECT_FALSE(QFileInfo::exists(Home("no such folder")));
}

TEST_F(InstalledProgram, ASettingsFileBesideTheProgramKeepsTheDataThere) {
    WriteBytes(QDir(bin_).filePath("quill4.ini"), kQuietSettings);
    const ProgramRun run = Start({});
    EXPECT_EQ(run.exitCode, 0) << Tell(run);
    EXPECT_TRUE(Errors(run).isEmpty()) << Tell(run);
    EXPECT_TRUE(QFileInfo(QDir(bin_).filePath("Reports")).isDir()) << Tell(run);
    EXPECT_FALSE(QFileInfo::exists(DefaultFolder()));
}

TEST_F(InstalledProgram, TheChosenFolderIsUsedAndAMissingOneNeverMade) {
    const QString share = Home("share/quillmark data");
    ASSERT_TRUE(QDir().mkpath(share));
    WriteBytes(Home(".config/quillmark/quillmark.conf"), ("DataFolder=" + share + "\n").toUtf8());
    const ProgramRun run = Start({});
    EXPECT_EQ(run.exitCode, 0) << Tell(run);
    EXPECT_TRUE(QFileInfo::exists(QDir(share).filePath("quill4.ini"))) << Tell(run);
    EXPECT_FALSE(QFileInfo::exists(DefaultFolder()));

    // A share that is not mounted: the program says so and ends; nothing is made in its place.
    const QString unmounted = Home("mnt/office");
    WriteBytes(Home(".config/quillmark/quillmark.conf"),
               ("DataFolder=" + unmounted + "\n").toUtf8());
    const ProgramRun missing = Start({});
    EXPECT_EQ(missing.exitCode, 1) << Tell(missing);
    ASSERT_EQ(Errors(missing).size(), 1) << Tell(missing);
    EXPECT_TRUE(Errors(missing)[0].contains(unmounted)) << Tell(missing);
    EXPECT_FALSE(QFileInfo::exists(unmounted));
    EXPECT_FALSE(QFileInfo::exists(DefaultFolder()));
}

// The chosen folder is kept with its path's bytes percent-encoded: a name with a line break and
// a trailing blank is the folder used. A name that is not UTF-8 text is said to be so, and
// neither that folder nor another is used.
TEST_F(InstalledProgram, TheChosenFolderIsTheOneOfExactlyThatName) {
    const QByteArray odd = QFile::encodeName(Home("share")) + "/two\nlines ";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(odd)));
    ASSERT_TRUE(QDir().mkpath(Home("share/two lines")));
    WriteBytes(Home(".config/quillmark/quillmark.conf"),
               "DataFolderPath=" + odd.toPercentEncoding("/") + "\n");
    const ProgramRun run = Start({});
    EXPECT_EQ(run.exitCode, 0) << Tell(run);
    EXPECT_TRUE(QFileInfo::exists(QFile::decodeName(odd + "/quill4.ini"))) << Tell(run);
    EXPECT_FALSE(QFileInfo::exists(Home("share/two lines/quill4.ini")));
    EXPECT_FALSE(QFileInfo::exists(DefaultFolder()));

    const QByteArray latin1 = QFile::encodeName(Home("share")) + "/B\xfcro";
    WriteBytes(Home(".config/quillmark/quillmark.conf"),
               "DataFolderPath=" + latin1.toPercentEncoding("/") + "\n");
    const ProgramRun refused = Start({});
    EXPECT_EQ(refused.exitCode, 1) << Tell(refused);
    ASSERT_EQ(Errors(refused).size(), 1) << Tell(refused);
    EXPECT_TRUE(Errors(refused)[0].contains("not UTF-8")) << Tell(refused);
    EXPECT_TRUE(Errors(refused)[0].contains("B%FCro")) << Tell(refused);
    EXPECT_FALSE(QFileInfo::exists(DefaultFolder()));
}

} // namespace
