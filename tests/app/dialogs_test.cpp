#include "app/about.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "test_support.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

namespace qm {
namespace {

using test::OnNextModal;

class AboutTest : public test::ProgramFolderTest {};

TEST_F(AboutTest, SplashShowsPicturesOnlyAndRunsItsTimer) {
    TF_About splash;
    splash.IsSplash = 1;
    splash.show();
    EXPECT_EQ(splash.height(), 80);
    EXPECT_EQ(splash.panelMain->height(), 62);
    EXPECT_FALSE(splash.btnOK->isVisible());
    EXPECT_TRUE(splash.Timer1->isActive());
    EXPECT_EQ(splash.Timer1->interval(), 3000);
    EXPECT_LE(splash.Image1->geometry().bottom(), 62);
    EXPECT_LE(splash.imageCompany->geometry().bottom(), 62);
    QTest::keyClick(&splash, Qt::Key_Escape);
    EXPECT_TRUE(splash.isVisible()); // Escape does nothing on the splash
}

TEST_F(AboutTest, AboutBoxShowsVersionAndTheBrandsContactBlock) {
    Globals().Company = "Larkfield";
    {
        TF_About about;
        about.show();
        EXPECT_EQ(about.labelVersion->text(), VersionLine(QM_FILE_VERSION));
        EXPECT_EQ(about.labelStreet->text(), MakerContact().street);
        EXPECT_EQ(about.labelEMail->text(), MakerContact().eMail);
        EXPECT_TRUE(about.btnOK->isVisible());
        EXPECT_EQ(about.height(), 302);
    }
    QImage logo(20, 10, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    ASSERT_TRUE(logo.save(PathOf("Scr_logo.bmp"), "BMP"));
    Globals().Company = "Osterby";
    TF_About about;
    about.show();
    EXPECT_EQ(about.labelStreet->text(), PartnerContact().street);
    EXPECT_EQ(about.labelWebSite->text(), PartnerContact().webSite);
    EXPECT_EQ(about.labelEMail->text(), MakerContact().eMail); // support stays with the maker
    EXPECT_EQ(about.labelCopyright->text(), PartnerContact().copyright);
    EXPECT_EQ(about.height(), 302 + 56);
    EXPECT_EQ(about.imageCompany->height(), 41 + 56);
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
}

TEST(VersionLine, FirstThreePartsOfTheFileVersion) {
    EXPECT_EQ(VersionLine("4.1.4.0"), "Version 4.1.4");
    EXPECT_EQ(VersionLine("5.0"), "Version 5.0");
    EXPECT_EQ(VersionLine(""), "Version 3.0");
}

// Receives the URLs the program hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class MainCommandsTest : public test::ProgramFolderTest {};

TEST_F(MainCommandsTest, TrackItemHelpAndNotYetAvailableCommands) {
    WriteQuietSettings();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    TF_Main w;
    w.FirstShow = false; // no start-up checks
    test::Find<QAction>(w, "TrackItem1")->trigger();
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toString(), "https://www.usps.com/shipping/trackandconfirm.htm");

    // Without a web browser the address is shown for the user to copy.
    QString shown;
    OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        EXPECT_TRUE(box->textInteractionFlags() & Qt::TextSelectableByMouse);
        box->findChild<QPushButton*>("btnCopyAddress")->click();
    });
    QDesktopServices::setUrlHandler("https", &catcher, "noSuchSlot"); // opening fails
    test::Find<QAction>(w, "TrackItem1")->trigger();
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_TRUE(shown.endsWith("\n\nhttps://www.usps.com/shipping/trackandconfirm.htm"))
        << shown.toStdString();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "https://www.usps.com/shipping/trackandconfirm.htm");

    // No help file beside the program: an error, no window.
    QString error;
    OnNextModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) error = box->text();
        modal->close();
    });
    test::Find<QAction>(w, "Content1")->trigger();
    EXPECT_TRUE(error.contains("Quill3.hlp"));

    WriteFile("Quill3.hlp", "<html><body><h1>Quillmark Help</h1><p>Contents</p></body></html>");
    test::Find<QAction>(w, "Content1")->trigger();
    auto* help = w.findChild<TF_Help*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->browserHelp->toPlainText().contains("Quillmark Help"));
    // Escape in the help text closes the help window, not the program.
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    help->browserHelp->setFocus();
    QTest::keyClick(help->browserHelp, Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
    test::Find<QAction>(w, "Content1")->trigger();
    EXPECT_TRUE(help->isVisible());

    QString info;
    OnNextModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) info = box->text();
        modal->close();
    });
    test::Find<QAction>(w, "miPrintFull")->trigger();
    EXPECT_EQ(info, "Report is empty.");
}

} // namespace
} // namespace qm

#include "dialogs_test.moc"
