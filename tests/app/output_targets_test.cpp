// The save dialogs' accept path: what the user picked in the export dialog, in the Output
// Options dialog's "print to file" or in the address book's export dialog goes through the
// same guard as the command line's --pdf and --export-log.
#include "log_test_util.h"

#include "addresses/address_files.h"
#include "core/data_folder.h"
#include "core/output_target.h"

#include <QMap>

#include <sys/stat.h>

namespace qm::testing {
namespace {

class OutputTargets : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        SetDataFolderOverride(dir_.path());
        Append(Piece(QStringLiteral("Ann Bell"), QStringLiteral("62701"), QStringLiteral("11")));
        QFile ini(File(QStringLiteral("quill4.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Values]\r\nCustID=123456789\r\nSerialNum=0000011\r\n");
    }
    void TearDown() override {
        SetDataFolderOverride({});
        LogTest::TearDown();
    }
    QByteArray Bytes(const QString& name) {
        QFile f(File(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("-");
    }
};

TEST_F(OutputTargets, EveryDialogRefusesTheOfficesFilesAndWhatIsNotAFile) {
    addresses::ImportIntoTableFile("\"Carl Doe\",\"\",\"\",\"\",\"Dover\",\"DE\",\"19901\"\r\n",
                                   File(QStringLiteral("clients.dbf")),
                                   addresses::TImportInto::NewTable);
    ASSERT_TRUE(
        QFile::link(File(QStringLiteral("clients.dbt")), File(QStringLiteral("notes.txt"))));
    QDir(dir_.path()).mkpath(QStringLiteral("folder"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(File(QStringLiteral("pipe"))).constData(), 0600), 0);
    const QStringList kept = {QStringLiteral("quill4.ini"), QStringLiteral("Reports/report3.dbf"),
                              QStringLiteral("clients.dbf"), QStringLiteral("clients.dbt")};
    QMap<QString, QByteArray> before;
    for (const QString& f : kept) before[f] = Bytes(f);

    // The choices a user could make in a save dialog, and part of what they are told.
    const std::pair<const char*, const char*> refused[] = {
        {"quill4.ini", "the settings file"},
        {"Reports/report3.dbf", "the mailing log itself"},
        {"clients.dbt", "a table, memo or index file"},
        {"notes.txt", "a link to"},
        {"folder", "a folder"},
        {"pipe", "a FIFO"},
    };
    for (const auto& [name, says] : refused) {
        SCOPED_TRACE(name);
        const QString target = File(QString::fromLatin1(name));
        EXPECT_TRUE(OutputTargetRefusal(target).contains(QString::fromLatin1(says)))
            << OutputTargetRefusal(target).toStdString();

        ScriptedUi exportUi;
        exportUi.exportFile = target;
        RunExportLog(exportUi, LogPath());
        ASSERT_EQ(exportUi.errors.size(), 1);
        EXPECT_TRUE(exportUi.errors[0].contains(QString::fromLatin1(says)));
        EXPECT_TRUE(exportUi.infos.isEmpty());

        ScriptedUi reportUi;
        reportUi.pdf = target; // Output Options, print to file
        RunLogReport(reportUi, LogPath(), CompanionProject(), LogOrder::Record,
                     ReportDestination::Printer, LogReport::ShortDetail);
        ASSERT_EQ(reportUi.errors.size(), 1);
        EXPECT_TRUE(reportUi.errors[0].contains(QString::fromLatin1(says)));

        try {
            addresses::ExportTableFile(File(QStringLiteral("clients.dbf")), [&] { return target; });
            ADD_FAILURE() << "the address export wrote " << name;
        } catch (const std::exception& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QString::fromLatin1(says)))
                << e.what();
        }
    }
    for (const QString& f : kept) EXPECT_TRUE(Bytes(f) == before[f]) << f.toStdString();
    EXPECT_TRUE(QFileInfo(File(QStringLiteral("notes.txt"))).isSymLink());

    // An ordinary new name is written.
    ScriptedUi ui;
    ui.pdf = File(QStringLiteral("report.pdf"));
    RunLogReport(ui, LogPath(), CompanionProject(), LogOrder::Record, ReportDestination::Printer,
                 LogReport::ShortDetail);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_TRUE(Bytes(QStringLiteral("report.pdf")).startsWith("%PDF-"));
}

} // namespace
} // namespace qm::testing
