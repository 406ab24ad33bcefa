// Two copies of the program started from one program folder, each printing through its
// main window at the same time, never share a tracking number.
#include "app/main_window.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "decode.h"
#include "print/page.h"
#include "test_support.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace qm;
using namespace qm::test;

namespace {

constexpr int kPiecesPerCopy = 50;

// Saves the area of the "T" symbol of every printed page as a PNG file.
class SymbolFiles : public ImagePageTarget {
public:
    explicit SymbolFiles(QString prefix) : ImagePageTarget(300, 300), prefix_(std::move(prefix)) {}
    void EndDoc() override {
        ImagePageTarget::EndDoc();
        // The T symbol at (0.62, 4.1) on the 300-dpi page.
        Image().copy(QRect(110, 1215, 870, 250)).save(prefix_ + QString::number(++n_) + ".png");
    }

private:
    QString prefix_;
    int n_ = 0;
};

// The child: one copy of the program printing its pieces, then closing as a user does.
void PrintAsOneCopy(const QString& folder, const QString& name) {
    SetProgramFolderOverride(folder);
    SymbolFiles pages(folder + QStringLiteral("/pages/") + name + QLatin1Char('-'));
    SetActivePageTarget(&pages);
    {
        TF_Main w;
        test::Find<QPlainTextEdit>(w, "memoAddress")
            ->setPlainText(QStringLiteral("John Smith\n12 Main St"));
        test::Find<QLineEdit>(w, "editCity")->setText(QStringLiteral("Springfield"));
        test::Find<QLineEdit>(w, "editZip")->setText(QStringLiteral("62701"));
        Globals().ConfirmNumbers = false;
        QAction* print = w.findChild<QAction*>(QStringLiteral("MIPrint"));
        for (int i = 0; i < kPiecesPerCopy; ++i) print->trigger();
        w.close();
    }
    SetActivePageTarget(nullptr);
}

} // namespace

TEST(Numbering, TwoCopiesPrintingAtOnceNeverShareANumber) {
    const QString childFolder = qEnvironmentVariable("QM_NUMBERING_FOLDER");
    if (!childFolder.isEmpty()) {
        PrintAsOneCopy(childFolder, qEnvironmentVariable("QM_NUMBERING_NAME"));
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("pages")));
    {
        QFile ini(dir.filePath(QStringLiteral("quill4.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Type]\r\nCompany=Larkfield\r\nBarCodeApp=0\r\n"
                  "[YourAddress]\r\nLine1=Ann Sender\r\nCity=Dover\r\nState=DE\r\nZip=19901\r\n"
                  "[Values]\r\nCustID=123456789\r\nSerialNum=0000041\r\n");
    }
    QProcess copies[2];
    for (int i = 0; i < 2; ++i) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QM_NUMBERING_FOLDER"), dir.path());
        env.insert(QStringLiteral("QM_NUMBERING_NAME"), QStringLiteral("copy%1").arg(i));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        copies[i].setProcessEnvironment(env);
        copies[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        copies[i].start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=Numbering.TwoCopiesPrintingAtOnceNeverShareANumber")});
    }
    for (QProcess& copy : copies) {
        ASSERT_TRUE(copy.waitForFinished(180000));
        EXPECT_EQ(copy.exitCode(), 0);
    }
    QDir pages(dir.filePath(QStringLiteral("pages")));
    QStringList files;
    for (const QString& f : pages.entryList({QStringLiteral("*.png")})) files << pages.filePath(f);
    ASSERT_EQ(files.size(), 2 * kPiecesPerCopy);
    const QStringList symbols = DecodeFiles(files);
    ASSERT_EQ(symbols.size(), 2 * kPiecesPerCopy);
    const QSet<QString> distinct(symbols.begin(), symbols.end());
    EXPECT_EQ(distinct.size(), 2 * kPiecesPerCopy);
    // Serials 42 to 141, each once: the first and the last as literals.
    EXPECT_EQ(symbols.first(),
              QStringLiteral("42062701") + QChar(0x1d) + QStringLiteral("9214712345678900000428"));
    EXPECT_EQ(symbols.last(),
              QStringLiteral("42062701") + QChar(0x1d) + QStringLiteral("9214712345678900001418"));
    QFile ini(dir.filePath(QStringLiteral("quill4.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("SerialNum=0000141\r\n"))
        << "the exits never wrote back an older number";
}
