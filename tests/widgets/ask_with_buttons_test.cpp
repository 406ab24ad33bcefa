// AskWithButtons: the question box with buttons of its own captions.
#include "test_support.h"
#include "widgets/ask_with_buttons.h"

#include <QLabel>
#include <QPushButton>

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

} // namespace
} // namespace qm
