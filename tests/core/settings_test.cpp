#include "core/codepage.h"
#include "core/format_zip.h"
#include "core/ini_profile.h"
#include "core/program_folder.h"
#include "core/sender.h"
#include "core/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

namespace qm {
namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetProgramFolderOverride(dir_.path());
    }
    void TearDown() override { SetProgramFolderOverride({}); }

    QString IniPath() const { return dir_.filePath("quill4.ini"); }
    void WriteIni(const QByteArray& bytes) {
        QFile f(IniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray ReadIni() const {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
};

TEST(ProfileInteger, DecimalAndHexadecimal) {
    const struct {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"0", 0},
        {"26", 26},
        {"-5", -5},
        {"+7", 7},
        {"0x1A", 26},
        {"0X1a", 26},
        {"$1A", 26},
        {"$ff", 255},
        {"$FFFFFFFF", -1},
        {"-$10", -16},
        {"-$80000000", -2147483647 - 1},
        {"-$7FFFFFFF", -2147483647},
        {"-$FFFFFFFF", 1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"$100000000", std::nullopt},
        {"", std::nullopt},
        {"yes", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"12abc", std::nullopt},
        {"1A", std::nullopt},
        {"1.5", std::nullopt},
        {"-", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseProfileInteger(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST(IniProfile, ReadsWithoutRegardToCaseTrimsAndUnquotes) {
    const IniProfile ini = IniProfile::FromText(
        "[type]\r\nbarcodeapp = 0 \r\n[Values]\r\nMailerNum=\"7100\"\r\nA='x y'\r\nB=\"mixed'\r\n"
        "C=\r\nD=  \"  padded  \"  \r\nnoequals\r\n; note=1\r\n[Other]\r\nA=other\r\n");
    EXPECT_FALSE(ini.ReadBool("Type", "BarCodeApp", true));
    EXPECT_EQ(ini.ReadString("VALUES", "mailernum", "?"), "7100");
    EXPECT_EQ(ini.ReadString("Values", "A", "?"), "x y");
    EXPECT_EQ(ini.ReadString("Values", "B", "?"), "\"mixed'"); // quotes must match
    EXPECT_EQ(ini.ReadString("Values", "C", "default"), "");   // present but empty: not the default
    EXPECT_EQ(ini.ReadString("Values", "D", "?"), "  padded  ");
    EXPECT_EQ(ini.ReadString("Values", "Missing", "default"), "default");
    EXPECT_EQ(ini.ReadString("Nowhere", "A", "default"), "default");
    EXPECT_EQ(ini.ReadString("Other", "A", "?"), "other");
}

TEST(IniProfile, ValuesAreCutTo2047Characters) {
    const QString longValue(3000, u'x');
    const IniProfile ini = IniProfile::FromText("[S]\r\nK=" + longValue + "\r\n");
    EXPECT_EQ(ini.ReadString("S", "K", {}).size(), kMaxProfileValue);
}

TEST(IniProfile, WriteKeepsSpellingAndPlaceAppendsNewKeysAndSections) {
    IniProfile ini = IniProfile::FromText(
        "[type]\r\ncompany=Old\r\nOther=1\r\n\r\n[Values]\r\nPostage=0.39\r\n");
    ini.WriteString("Type", "Company", "Larkfield"); // existing key, other case
    ini.WriteBool("TYPE", "BarCodeApp", false);      // new key in existing section
    ini.WriteString("System Path", "default", "/x"); // new section
    ini.WriteInteger("values", "POSTAGE", -3);
    EXPECT_EQ(ini.ToText(), "[type]\r\ncompany=Larkfield\r\nOther=1\r\nBarCodeApp=0\r\n\r\n"
                            "[Values]\r\nPostage=-3\r\n[System Path]\r\ndefault=/x\r\n");
}

TEST(IniProfile, ValuesStayOnOneLine) {
    IniProfile ini;
    ini.WriteString("S", "K", "a\r\nb");
    EXPECT_EQ(ini.ToText(), "[S]\r\nK=a  b\r\n");
}

TEST(CodePage, Windows1252BothWays) {
    const QByteArray bytes("\x80 caf\xE9 \x93q\x94 \x81", 12);
    const QString text = DecodeAnsi(bytes);
    EXPECT_EQ(text, QString::fromUtf8("\u20AC caf\u00E9 \u201Cq\u201D \u0081"));
    EXPECT_EQ(EncodeAnsi(QString::fromUtf8("\u20AC caf\u00E9 \u201Cq\u201D")), bytes.left(10));
    EXPECT_EQ(EncodeAnsi(QString::fromUtf8("a\u4E2Db")), "a?b"); // no such character in 1252
}

TEST_F(SettingsFile, LowerCaseSectionAndKeyYesHexAndQuotes) {
    WriteIni("[type]\r\nbarcodeapp=0\r\n[values]\r\nprintbarcode=yes\r\n"
             "MailerNum=\"71000000000000000042\"\r\nIncrement=0\r\n"
             "[Print Align]\r\nLeftRight=0x1A\r\nTopBottom=$10\r\n");
    GlobalVariables g;
    LoadSettings(g);
    EXPECT_FALSE(g.BarCodeApp);
    EXPECT_TRUE(g.PrintBarCode); // "yes" is no integer: the default
    EXPECT_FALSE(g.Increment);
    EXPECT_EQ(g.MailerNum, "71000000000000000042");
    EXPECT_EQ(g.LeftRight, 26);
    EXPECT_EQ(g.TopBottom, 16);

    WriteIni("[Values]\r\nPrintBarCode=0\r\nPostage=\r\n");
    LoadSettings(g);
    EXPECT_FALSE(g.PrintBarCode);
    EXPECT_EQ(g.Postage, ""); // empty value, not the default
}

TEST_F(SettingsFile, ChooseBrandRunsOnlyForAnEmptyBrandBeforeTheOtherKeys) {
    GlobalVariables g;
    int calls = 0;
    auto choose = [&](GlobalVariables& s) {
        ++calls;
        EXPECT_TRUE(s.Line1.isEmpty() || s.Line1 == "stale"); // nothing else read yet
        s.Company = "Osterby";
    };
    g.Line1 = "stale";
    WriteIni("[YourAddress]\r\nLine1=Read\r\n");
    LoadSettings(g, choose);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(g.Company, "Osterby");
    EXPECT_EQ(g.Line1, "Read");

    WriteIni("[Type]\r\nCompany=Larkfield\r\n");
    LoadSettings(g, choose);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(g.Company, "Larkfield");
}

TEST_F(SettingsFile, FirstRunWritesEveryKeyInOrderAndReadsItBack) {
    GlobalVariables g;
    LoadSettings(g, [](GlobalVariables& s) { s.Company = "Larkfield"; });
    EXPECT_EQ(g.SystemPathDefault, QDir(dir_.path()).filePath("Addresses"));
    SaveSettings(g);
    const QByteArray expected = "[Type]\r\nCompany=Larkfield\r\nBarCodeApp=1\r\n"
                                "[YourAddress]\r\nLine1=\r\nLine2=\r\nLine3=\r\nLine4=\r\nCity=\r\n"
                                "State=\r\nZip=\r\n"
                                "[Values]\r\nPostage=0.39\r\nCertFee=2.40\r\nReturn=1.85\r\n"
                                "Restricted=3.50\r\nPrintBarCode=1\r\nCustID=000000000\r\n"
                                "SerialNum=0000000\r\nIncrement=1\r\n"
                                "MailerNum=71000000000000000000\r\n"
                                "[Printing]\r\nPrintExtraLabel=Yes\r\nExtraLabel=Addressed To\r\n"
                                "VerifyBarcodes=1\r\nKeepPdfCopy=1\r\n"
                                "[Print Align]\r\nLeftRight=0\r\nTopBottom=0\r\n"
                                "[System Path]\r\ndefault=" +
                                QDir(dir_.path()).filePath("Addresses").toUtf8() + "\r\n";
    EXPECT_EQ(ReadIni(), expected);

    GlobalVariables changed = g;
    changed.Line1 = QString::fromUtf8("Jos\u00E9 M\u00FCller");
    changed.LeftRight = -5;
    changed.PrintBarCode = false;
    changed.VerifyBarcodes = false;
    changed.KeepPdfCopy = false;
    SaveSettings(changed);
    GlobalVariables back;
    LoadSettings(back);
    EXPECT_EQ(back.Line1, changed.Line1);
    EXPECT_EQ(back.LeftRight, -5);
    EXPECT_FALSE(back.PrintBarCode);
    EXPECT_FALSE(back.VerifyBarcodes);
    EXPECT_FALSE(back.KeepPdfCopy);
    EXPECT_EQ(back.Company, "Larkfield");
    EXPECT_TRUE(ReadIni().contains("Line1=Jos\xE9 M\xFCller\r\n")); // Windows-1252 on disk
}

TEST_F(SettingsFile, ExistingFileKeepsItsLinesSpellingAndOrder) {
    WriteIni(
        "; written by hand\r\n[values]\r\npostage=1.00\r\nNote=keep\r\n[type]\r\nbarcodeapp=0\r\n");
    GlobalVariables g;
    LoadSettings(g, [](GlobalVariables& s) { s.Company = "Larkfield"; });
    SaveSettings(g);
    const QString text = DecodeAnsi(ReadIni());
    EXPECT_TRUE(text.startsWith("; written by hand\r\n[values]\r\npostage=1.00\r\nNote=keep\r\n"
                                "CertFee=2.40\r\n"));
    EXPECT_TRUE(text.contains("[type]\r\nbarcodeapp=0\r\nCompany=Larkfield\r\n[YourAddress]"));
}

TEST_F(SettingsFile, ReadOnlyFileIsNotWrittenAndTheErrorNamesIt) {
    WriteIni("[Type]\r\nCompany=Larkfield\r\n");
    QFile::setPermissions(IniPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    GlobalVariables g;
    LoadSettings(g);
    g.Line1 = "Changed";
    try {
        SaveSettings(g);
        FAIL() << "a read-only settings file was written";
    } catch (const SettingsWriteError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "Unable to write to " + IniPath());
    }
    EXPECT_EQ(ReadIni(), "[Type]\r\nCompany=Larkfield\r\n");
    QFile::setPermissions(IniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    SaveSettings(g);
    EXPECT_TRUE(ReadIni().contains("Line1=Changed\r\n"));
}

// A settings file that may be written in a folder where no copy can be made
// beside it: the save fails instead of rewriting the file in place, where a
// full disk would cut it short with success reported. Run as a user that the
// folder's permissions stop (root drops to nobody in a child process).
TEST_F(SettingsFile, NoSaveWithoutRoomForACopy) {
    WriteIni("[Type]\r\nCompany=Larkfield\r\n[Numbers]\r\nSerialNum=1234567\r\n");
    const QByteArray before = ReadIni();
    {
        QFile lock(IniPath() + ".lock"); // the numbering lock is there already
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    }
    for (const QString& file : {IniPath(), IniPath() + ".lock"})
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ReadOther | QFileDevice::WriteOther);
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                           QFileDevice::ReadOther | QFileDevice::ExeOther);
    GlobalVariables g;
    LoadSettings(g);
    g.Line1 = "Changed";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        try {
            SaveSettings(g);
        } catch (const SettingsWriteError&) {
            _exit(0);
        }
        _exit(1); // reported success
    }
    int status = 0;
    waitpid(child, &status, 0);
    QFile::setPermissions(dir_.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reported success";
    EXPECT_EQ(ReadIni(), before);
}

TEST(FormatZip, NormalisesTheMaskedText) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"12345-    ", "12345"}, {"12345-6789", "12345-6789"},
        {"     -    ", ""},      {"     -6789", "6789"},
        {"123  -    ", "123  "}, {"", ""},
        {"12345", "12345"},      {" -12 ", "12"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatZip(QString::fromLatin1(c.text)), QString::fromLatin1(c.expected))
            << c.text;
}

TEST(SenderLabels, CityLineGoesIntoTheFirstEmptyLine) {
    GlobalVariables g;
    g.City = "Springfield";
    g.State = "IL";
    g.Zip = "62701";
    const QString c = "Springfield IL 62701";

    g.Line2 = "12 Main St";
    auto l = SenderLabelTexts(g);
    EXPECT_EQ(l[0], c);
    EXPECT_EQ(l[1], "12 Main St");

    g.Line1 = "John Smith";
    g.Line3 = "  "; // blanks only count as empty here
    l = SenderLabelTexts(g);
    EXPECT_EQ(l[0], "John Smith");
    EXPECT_EQ(l[2], c);
    EXPECT_EQ(l[4], "");

    g.Line3 = "Suite 4";
    g.Line4 = "Floor 2";
    l = SenderLabelTexts(g);
    EXPECT_EQ(l[3], "Floor 2");
    EXPECT_EQ(l[4], c);

    GlobalVariables empty;
    empty.Line1 = "Only";
    l = SenderLabelTexts(empty);
    EXPECT_EQ(l[1], ""); // empty city line leaves the first empty label empty
}

// A quill4.ini that another member of a shared folder replaced by a link (or anything but a
// plain file): neither read nor written through; the numbers are not taken and the error names
// the file.
TEST_F(SettingsFile, APlantedLinkOrFolderIsNeitherReadNorWritten) {
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim.rc"));
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Values]\r\nCustID=123456789\r\nSerialNum=0000500\r\n");
    }
    const QByteArray before = [&] {
        QFile f(victim);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "a folder" : "a link");
        QFile::remove(IniPath());
        QDir(IniPath()).removeRecursively();
        if (folder)
            ASSERT_TRUE(QDir().mkdir(IniPath()));
        else
            ASSERT_TRUE(QFile::link(victim, IniPath()));

        GlobalVariables g;
        LoadSettings(g);
        EXPECT_NE(g.SerialNum, QStringLiteral("0000500")) << "read through the link";
        g.CustID = QStringLiteral("123456789");
        g.SerialNum = QStringLiteral("0000001");
        for (const auto& save : std::vector<std::function<void()>>{
                 [&] { SaveSettings(g); }, [&] { NumberTransaction(g).Save(); }}) {
            try {
                save();
                ADD_FAILURE() << "written through";
            } catch (const SettingsWriteError& e) {
                EXPECT_TRUE(QString::fromUtf8(e.what()).contains(
                    IniPath() + (folder ? QStringLiteral(" is a folder")
                                        : QStringLiteral(" is a symbolic link"))))
                    << e.what();
            }
        }
        EXPECT_EQ(folder ? QFileInfo(IniPath()).isDir() : QFileInfo(IniPath()).isSymLink(), true);
    }
    QFile f(victim);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

} // namespace
} // namespace qm
