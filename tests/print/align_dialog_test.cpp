// The Printer Alignment dialog.
#include "print/ui/align_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace qm;

namespace {
LimitedSpinBox* Spin(TF_Align& d, const char* name) {
    return d.findChild<LimitedSpinBox*>(QString::fromLatin1(name));
}
QLineEdit* Edit(LimitedSpinBox* s) {
    return s->findChild<QLineEdit*>();
}
} // namespace

TEST(AlignDialog, ShowsValuesClampedAndStoresOnOK) {
    TF_Align d(12, -1500);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Printer Alignment"));
    EXPECT_EQ(Spin(d, "spinLeftRight")->value(), 12);
    EXPECT_EQ(Spin(d, "SpinUpDown")->value(), -999);
    Spin(d, "spinLeftRight")->setValue(-999);
    Spin(d, "SpinUpDown")->setValue(5);
    d.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.LeftRight(), -999);
    EXPECT_EQ(d.TopBottom(), 5);
}

TEST(AlignDialog, CancelKeepsValues) {
    TF_Align d(3, 4);
    Spin(d, "spinLeftRight")->setValue(100);
    d.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(d.LeftRight(), 3);
    EXPECT_EQ(d.TopBottom(), 4);
}

TEST(AlignDialog, TypingIsLimitedAndNonNumbersGiveMinimum) {
    TF_Align d(0, 0);
    d.show();
    auto* lr = Spin(d, "spinLeftRight");
    auto* ud = Spin(d, "SpinUpDown");
    lr->setFocus();
    Edit(lr)->selectAll();
    QTest::keyClicks(lr, QStringLiteral("-9999"));
    EXPECT_EQ(Edit(lr)->text(), QStringLiteral("-99")) << "three characters at most";
    QTest::keyClicks(lr, QStringLiteral("a"));
    EXPECT_EQ(Edit(lr)->text(), QStringLiteral("-99"));
    ud->setFocus();
    Edit(ud)->selectAll();
    QTest::keyClicks(ud, QStringLiteral("-"));
    EXPECT_EQ(Edit(ud)->text(), QStringLiteral("-"));
    d.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    EXPECT_EQ(d.LeftRight(), -99);
    EXPECT_EQ(d.TopBottom(), -999) << "a lone minus sign yields the minimum";
}
