#include "app/about.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "test_support.h"
#include "widgets/ask_with_buttons.h"

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

TEST(AskWithButtons, FirstCaptionRightmostLastFocusedReturnsItsNumber) {
    const QStringList captions = {"&Overwrite", "&Append", "&Cancel"};
    for (int pick = 1; pick <= 3; ++pick) {
        OnNextModal([&](QWidget* modal) {
            auto* b1 = modal->findChild<QPushButton*>("button1");
            auto* b2 = modal->findChild<QPushButton*>("button2");
            auto* b3 = modal->findChild<QPushButton*>("button3");
            ASSERT_TRUE(b1 && b2 && b3);
            EXPECT_EQ(b1->text(), "&Overwrite");
            EXPECT_GT(b1->x(), b2->x());
            EXPECT_GT(b2->x(), b3->x());
            // Focus arrives with the activation, which a busy machine may deliver late.
            EXPECT_TRUE(QTest::qWaitForWindowActive(modal));
            EXPECT_EQ(QApplication::focusWidget(), b3);
            // Escape does not close it: only its buttons do.
            QTest::keyClick(modal, Qt::Key_Escape);
            EXPECT_TRUE(modal->isVisible());
            modal->findChild<QPushButton*>(QStringLiteral("button%1").arg(pick))->click();
        });
        EXPECT_EQ(AskWithButtons("Import", "The file exists.", captions), pick);
    }
}

TEST(AskWithButtons, ReturnOrEnterPressesTheFocusedButton) {
    const QStringList captions = {"&Overwrite", "&Append", "&Cancel"};
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        for (int pick = 1; pick <= 3; ++pick) {
            OnNextModal([&](QWidget* modal) {
                auto* button = modal->findChild<QPushButton*>(QStringLiteral("button%1").arg(pick));
                button->setFocus(Qt::TabFocusReason);
                QTest::keyClick(button, key);
            });
            EXPECT_EQ(AskWithButtons("Import", "The file exists.", captions), pick)
                << "key " << key << " on button " << pick;
        }
        // The one button of the registration reminder has the focus: Return alone answers.
        OnNextModal([&](QWidget*) { QTest::keyClick(QApplication::focusWidget(), key); });
        EXPECT_EQ(AskWithButtons("Bar Code Printing Registration", "Text.", {"&Never Print again"}),
                  1);
    }
}

TEST(AskWithButtons, LayoutRules) {
    AskDialog small("Caption", "Short text.", {"OK"});
    const QFontMetrics fm(small.font());
    const int h = fm.height();
    EXPECT_EQ(small.width(), 325);
    EXPECT_EQ(small.height(), 3 * h + 4 * h + 22);
    EXPECT_FALSE(small.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(small.windowFlags() & Qt::WindowStaysOnTopHint);
    auto* ok = small.findChild<QPushButton*>("button1");
    const int w = fm.horizontalAdvance("OK") + 10;
    EXPECT_EQ(ok->geometry(), QRect(325 - (w + 10), small.height() - 35, w, 25));

    // Many wide captions widen the window; a long message raises it.
    QStringList wide;
    for (int i = 0; i < 6; ++i) wide << QStringLiteral("A rather long caption %1").arg(i);
    const QString message = QString("word ").repeated(200);
    AskDialog big("Caption", message, wide);
    const int bw = fm.horizontalAdvance(wide[0]) + 10;
    EXPECT_EQ(big.width(), std::max(325, 6 * bw + 7 * 10));
    const int m = fm.horizontalAdvance(message);
    EXPECT_EQ(big.height(), (m / big.width() + 3) * h + 4 * h + 22);
    EXPECT_EQ(big.findChild<QLabel*>("labelMessage")->geometry(),
              QRect(10, 10, big.width() - 20, (m / big.width() + 3) * h));
}

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
