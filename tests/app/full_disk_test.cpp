// A data folder on a full file system: a small tmpfs mounted for the test (root only), filled to
// the last byte, then the program's writes: a print through the window's road, the settings
// saved at exit, a log export and a firm mailing book over files that exist. Each must say it
// failed, print nothing, and leave every file of the folder byte for byte as it was.
#include "log_test_util.h"

#include "app/main_window.h"
#include "core/settings.h"
#include "modal_script.h"
#include "print/page.h"
#include "test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using namespace qm;
using namespace qm::test;

namespace {

// A tmpfs of `kilobytes` mounted on a folder of its own for the life of the object.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes) {
        if (!base_.isValid()) return;
        path_ = base_.filePath(QStringLiteral("disk"));
        QDir().mkpath(path_);
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
        if (::mount("quillmark-test", QFile::encodeName(path_).constData(), "tmpfs", 0,
                    options.constData()) != 0)
            error_ = QString::fromLocal8Bit(std::strerror(errno));
        else
            mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const QString& Error() const { return error_; }
    QString Path() const { return path_; }

    // Fills the file system to its last byte with one file; returns the bytes written.
    qint64 Fill() {
        const int fd = ::open(QFile::encodeName(path_ + QStringLiteral("/filler")).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return -1;
        qint64 total = 0;
        static const char block[4096] = {};
        for (size_t chunk : {sizeof block, size_t(1)}) {
            for (;;) {
                const ssize_t r = ::write(fd, block, chunk);
                if (r <= 0) break;
                total += r;
            }
        }
        ::close(fd);
        return total;
    }

private:
    QTemporaryDir base_;
    QString path_, error_;
    bool mounted_ = false;
};

// Every file below `folder` but the filler, with its bytes.
QMap<QString, QByteArray> Snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QStringLiteral("/filler"))) continue;
        QFile f(path);
        files[QDir(folder).relativeFilePath(path)] =
            f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    return files;
}

struct Exit {
    int code = -1;
    QString err;
};

Exit Quillmark(const QString& folder, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(QM_QUILLMARK), QStringList{QStringLiteral("--folder"), folder} + args);
    if (!p.waitForFinished(120000)) return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardError())};
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root (CI runs as root)";
        ASSERT_TRUE(disk_.Mounted())
            << "a tmpfs could not be mounted: " << disk_.Error().toStdString();
        SetProgramFolderOverride(disk_.Path());
        SetCompanionFolderOverride(QStringLiteral(QM_PROGRAM_DIR));
        Globals() = GlobalVariables{};
        SetActivePageTarget(&page_);
    }
    void TearDown() override {
        SetActivePageTarget(nullptr);
        SetProgramFolderOverride({});
        SetCompanionFolderOverride({});
        Globals() = GlobalVariables{};
    }
    QString PathOf(const QString& name) const { return disk_.Path() + u'/' + name; }

    // Types a piece into the window and presses Print, answering every message with OK.
    QStringList PrintPiece(TF_Main& w, const QString& name) {
        w.findChild<QPlainTextEdit*>(QStringLiteral("memoAddress"))->setPlainText(name);
        w.findChild<QLineEdit*>(QStringLiteral("editCity"))->setText(QStringLiteral("Dover"));
        w.findChild<QLineEdit*>(QStringLiteral("editState"))->setText(QStringLiteral("DE"));
        w.findChild<QLineEdit*>(QStringLiteral("editZip"))->setText(QStringLiteral("19901"));
        ModalScript script;
        for (int i = 0; i < 4; ++i) script.Then(AnswerBox(QMessageBox::Ok));
        Find<QPushButton>(w, "btnPrint")->click();
        return script.messages;
    }

    SmallDisk disk_{384};
    ImagePageTarget page_{150, 150};
};

TEST_F(FullDisk, EveryWriteFailsAndLeavesTheFolderAsItWas) {
    {
        QFile ini(PathOf(QStringLiteral("quill4.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Type]\r\nCompany=Larkfield\r\nBarCodeApp=0\r\n[YourAddress]\r\n"
                  "Line1=Ann Sender\r\nCity=Dover\r\nState=DE\r\nZip=19901\r\n[Values]\r\n"
                  "CustID=123456789\r\nSerialNum=0000041\r\n[Printing]\r\nKeepPdfCopy=0\r\n");
    }
    TF_Main w;
    Globals().ConfirmNumbers = false;
    // With room: the log, the lock and the outputs that the full disk will meet exist.
    ASSERT_EQ(PrintPiece(w, QStringLiteral("Carl Doe")), QStringList());
    ASSERT_EQ(page_.DocumentsEnded(), 1);
    for (const char* output : {"old.csv", "old.xlsx"})
        ASSERT_EQ(Quillmark(disk_.Path(), {QStringLiteral("--export-log"), PathOf(output)}).code,
                  0);
    ASSERT_EQ(Quillmark(disk_.Path(), {QStringLiteral("--firm-mailing-book"),
                                       QStringLiteral("--pdf"), PathOf(QStringLiteral("book.pdf"))})
                  .code,
              0);
    const QMap<QString, QByteArray> before = Snapshot(disk_.Path());
    ASSERT_TRUE(before.contains(QStringLiteral("Reports/report3.dbf")));
    ASSERT_GT(disk_.Fill(), 0);

    // The print road: the number cannot be stored, so nothing prints and nothing is logged.
    const QStringList said = PrintPiece(w, QStringLiteral("Anna Bell"));
    ASSERT_EQ(said.size(), 1) << said.join(u'|').toStdString();
    EXPECT_TRUE(said[0].contains(QStringLiteral("No space left on device")))
        << said[0].toStdString();
    EXPECT_EQ(page_.DocumentsEnded(), 1);
    EXPECT_EQ(Globals().SerialNum, QStringLiteral("0000042"));

    // The settings at exit.
    Globals().Line1 = QStringLiteral("Changed Sender");
    try {
        SaveSettings(Globals());
        ADD_FAILURE() << "the settings were saved on a full disk";
    } catch (const SettingsWriteError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("No space left")))
            << e.what();
    }

    // The outputs of the command line, each over a file that exists.
    for (const QStringList& args :
         {QStringList{QStringLiteral("--export-log"), PathOf(QStringLiteral("old.csv"))},
          QStringList{QStringLiteral("--export-log"), PathOf(QStringLiteral("old.xlsx"))},
          QStringList{QStringLiteral("--firm-mailing-book"), QStringLiteral("--pdf"),
                      PathOf(QStringLiteral("book.pdf"))}}) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const Exit run = Quillmark(disk_.Path(), args);
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("No space left on device")))
            << run.err.toStdString();
    }

    // Clearing the log after saving it in a new archive: the archive cannot be written, so
    // nothing is deleted.
    qm::testing::ScriptedUi clear;
    clear.answer = LogUi::SaveAnswer::Yes;
    clear.archive = PathOf(QStringLiteral("Reports/archive.dbf"));
    ClearLog(clear, PathOf(QStringLiteral("Reports/report3.dbf")));
    ASSERT_EQ(clear.errors.size(), 1);
    EXPECT_TRUE(clear.errors[0].contains(QStringLiteral("Nothing was deleted")))
        << clear.errors[0].toStdString();

    // Byte for byte as before, and no new file left behind.
    const QMap<QString, QByteArray> after = Snapshot(disk_.Path());
    EXPECT_EQ(after.keys(), before.keys());
    for (auto it = before.begin(); it != before.end(); ++it)
        EXPECT_TRUE(after.value(it.key()) == it.value()) << it.key().toStdString() << " changed";
}

} // namespace
