// Every window at the default font and at a font 1.25 times larger: no caption or field text
// is cut, no control covers another or sticks out of its parent, the address memos show four
// lines without scrolling, and each dialog is as large as its content.
#include "app/about.h"
#include "app/main_window.h"
#include "app/your_address.h"
#include "entry/money.h"
#include "entry/ui/mailer_dialog.h"
#include "print/ui/align_dialog.h"
#include "print/ui/extra_label_dialog.h"
#include "print/ui/print_barcode_dialog.h"
#include "test_support.h"
#include "widgets/ask_with_buttons.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>

namespace qm {
namespace {

QString Plain(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

bool Shown(const QWidget* w) {
    return w->isVisibleTo(w->window());
}

// What a user cannot read whole in the window: captions cut, controls out of their parent or
// on top of a sibling.
QStringList Faults(QWidget* window) {
    QStringList faults;
    const auto name = [](const QWidget* w) {
        return QStringLiteral("%1 \"%2\"").arg(w->objectName(), w->metaObject()->className());
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!Shown(w) || w->window() != window) continue;
        // Children of compound controls (spin box editors, scroll bars) are theirs to place.
        const QWidget* parent = w->parentWidget();
        if (qobject_cast<const QAbstractScrollArea*>(parent) ||
            qobject_cast<const QAbstractSpinBox*>(parent) ||
            qobject_cast<const QLineEdit*>(parent) || w->objectName().startsWith("qt_"))
            continue;
        if (!parent->rect().contains(w->geometry()))
            faults << name(w) + QStringLiteral(" sticks out of its parent");
        const QFontMetrics fm(w->font());
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            const bool fits =
                label->wordWrap()
                    ? label->heightForWidth(label->width()) <= label->height()
                    : label->sizeHint().width() <= label->width() && fm.height() <= label->height();
            if (!fits) faults << name(w) + QStringLiteral(" cuts \"%1\"").arg(label->text());
        }
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()) {
            const QSize text = fm.size(Qt::TextShowMnemonic, button->text());
            const bool fits = qobject_cast<QPushButton*>(w)
                                  ? text.width() + 8 <= w->width() && text.height() <= w->height()
                                  : button->sizeHint().width() <= w->width();
            if (!fits) faults << name(w) + QStringLiteral(" cuts \"%1\"").arg(button->text());
        }
        if (auto* group = qobject_cast<QGroupBox*>(w); group && !group->title().isEmpty()) {
            if (fm.horizontalAdvance(Plain(group->title())) + 16 > group->width())
                faults << name(w) + QStringLiteral(" cuts its title");
        }
        // No control lies on a sibling (a group box's title row counts as the group's).
        for (QObject* o : w->parent()->children()) {
            auto* other = qobject_cast<QWidget*>(o);
            if (!other || other == w || !Shown(other) || other->isWindow()) continue;
            if (w < other && w->geometry().intersects(other->geometry()))
                faults << name(w) + QStringLiteral(" covers ") + name(other);
        }
    }
    return faults;
}

// The line edit shows text whole: with the cursor at its end, the first character is still
// in view (the field did not scroll) and the end lies inside the contents.
bool ShowsWhole(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    edit->setCursorPosition(int(edit->text().size()));
    const QRect cursor = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const int advance = edit->fontMetrics().horizontalAdvance(edit->displayText());
    const QRect contents = edit->contentsRect();
    // The input method's cursor rectangle is a few pixels wide around the text cursor.
    const int cursorX = cursor.center().x();
    return cursorX - advance >= contents.left() && cursorX <= contents.right();
}

// The memo shows four lines without scrolling: the first line's top and the fourth line's
// bottom both lie inside the viewport, with the view at the top.
bool ShowsFourLines(QPlainTextEdit* memo) {
    memo->setPlainText(QStringLiteral("Line one\nLine two\nLine three\nLine four"));
    memo->moveCursor(QTextCursor::End);
    memo->ensureCursorVisible();
    QTextCursor first(memo->document());
    const QRect top = memo->cursorRect(first);
    const QRect bottom = memo->cursorRect();
    return top.top() >= 0 && bottom.bottom() < memo->viewport()->height() &&
           memo->verticalScrollBar()->value() == 0;
}

// Empty pixels under the lowest visible control of the dialog.
int EmptyBelow(QWidget* dialog) {
    int lowest = 0;
    for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (Shown(w)) lowest = std::max(lowest, w->geometry().bottom() + 1);
    return dialog->height() - lowest;
}

class LayoutTest : public test::ProgramFolderTest, public ::testing::WithParamInterface<double> {
protected:
    void SetUp() override {
        test::ProgramFolderTest::SetUp();
        saved_ = QApplication::font();
        QFont f = saved_;
        f.setPointSizeF(saved_.pointSizeF() * GetParam());
        QApplication::setFont(f);
    }
    void TearDown() override {
        QApplication::setFont(saved_);
        test::ProgramFolderTest::TearDown();
    }
    void ExpectNoFaults(QWidget* window) {
        window->show();
        QApplication::processEvents();
        const QStringList faults = Faults(window);
        EXPECT_TRUE(faults.isEmpty()) << window->objectName().toStdString() << ":\n"
                                      << faults.join('\n').toStdString();
    }
    QFont saved_;
};

TEST_P(LayoutTest, MainWindowShowsEveryTextWhole) {
    WriteQuietSettings();
    TF_Main w;
    w.FirstShow = false;
    ExpectNoFaults(&w);
    EXPECT_TRUE(ShowsFourLines(test::Find<QPlainTextEdit>(w, "memoAddress")));
    EXPECT_TRUE(ShowsWhole(test::Find<QLineEdit>(w, "editState"), "ILLX"));
    EXPECT_TRUE(ShowsWhole(test::Find<QLineEdit>(w, "editZip"), "12345-6789"));
    for (QLineEdit* fee :
         {test::Find<QLineEdit>(w, "editPostage"), test::Find<QLineEdit>(w, "editCertFee"),
          test::Find<QLineEdit>(w, "editReturn"), test::Find<QLineEdit>(w, "editRestricted"),
          test::Find<QLineEdit>(w, "editTotal")})
        EXPECT_TRUE(ShowsWhole(fee, FormatMoney(99999.99))) << fee->objectName().toStdString();
}

TEST_P(LayoutTest, PartnerLogoCoversNoCaptionOrField) {
    QImage logo(300, 200, QImage::Format_RGB32); // larger than its place
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(PathOf("Scr_logo.bmp"), "BMP"));
    WriteFile("quill4.ini", "[Type]\r\nBarCodeApp=0\r\n[YourAddress]\r\nLine1=A\r\n");
    TF_Main w;
    w.FirstShow = false;
    ASSERT_EQ(Globals().Company, "Osterby");
    ExpectNoFaults(&w);
}

TEST_P(LayoutTest, SenderDialogCaptionsItsFieldsAndFitsItsContent) {
    TF_YourAddress d;
    ExpectNoFaults(&d);
    EXPECT_TRUE(ShowsFourLines(d.memoYourAddress));
    EXPECT_TRUE(ShowsWhole(d.editYourState, "ILLX"));
    EXPECT_TRUE(ShowsWhole(d.editYourZip, "12345-6789"));
    QStringList captions;
    for (QLabel* l : d.findChildren<QLabel*>()) captions << Plain(l->text());
    for (const char* caption : {"City", "State", "ZIP"})
        EXPECT_TRUE(captions.contains(caption)) << caption;
    EXPECT_LE(EmptyBelow(&d), 16);
}

TEST_P(LayoutTest, DialogsAreAsLargeAsTheirContent) {
    GlobalVariables& g = Globals();
    for (const bool barcodeMode : {true, false}) {
        for (const bool fromPrintRun : {false, true}) {
            g.PrintBarCode = barcodeMode;
            TF_Mailer mailer(g, fromPrintRun);
            ExpectNoFaults(&mailer);
            EXPECT_LE(EmptyBelow(&mailer), 16) << barcodeMode << fromPrintRun;
            mailer.findChild<QPushButton*>("btnHelp")->click();
            QApplication::processEvents();
            EXPECT_TRUE(Faults(&mailer).isEmpty()) << "with help:\n"
                                                   << Faults(&mailer).join('\n').toStdString();
            EXPECT_LE(EmptyBelow(&mailer), 16) << "with help";
        }
    }
    TF_Align align(0, 0);
    ExpectNoFaults(&align);
    EXPECT_LE(EmptyBelow(&align), 16);
    TF_ExtraLabel extra("Yes", "Addressed To");
    ExpectNoFaults(&extra);
    EXPECT_LE(EmptyBelow(&extra), 16);
    TF_PrintBarCode barcodes("123456789", "0000001");
    ExpectNoFaults(&barcodes);
    EXPECT_LE(EmptyBelow(&barcodes), 16);
    for (const char* brand : {"Larkfield", "Osterby"}) {
        g.Company = brand;
        TF_About about;
        about.IsSplash = 0;
        ExpectNoFaults(&about);
        about.close();
    }
    AskDialog ask("Bar Code Printing Registration", QString("word ").repeated(80),
                  {"&Never Print again"});
    ExpectNoFaults(&ask);
}

INSTANTIATE_TEST_SUITE_P(Fonts, LayoutTest, ::testing::Values(1.0, 1.25), [](const auto& info) {
    return info.param == 1.0 ? std::string("DefaultFont") : std::string("LargerFont");
});

} // namespace
} // namespace qm
