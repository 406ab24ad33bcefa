// Pre-printed barcode labels and the two dialogs of the print options.
#include "collecting_target.h"
#include "core/integer.h"
#include "decode.h"
#include "numbers/barcode_data.h"
#include "print/page.h"
#include "print/preprint.h"
#include "print/ui/extra_label_dialog.h"
#include "print/ui/print_barcode_dialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace qm;
using namespace qm::test;

namespace {

// A blank mailer cannot know its ZIP: its symbols carry the tracking number alone, with no
// routing code.
QString Decoded(const QString& data) {
    return data.mid(8);
}

} // namespace

TEST(PrePrint, ThreeLabelsFrom9999998WrapTo0000001) {
    CollectingTarget target(300, 300);
    const QString first = QStringLiteral("9999998");
    EXPECT_EQ(
        PrePrintBarcodes(3, QStringLiteral("123456789"), first, 0, 0, BasePrintFont(), target), 3);
    EXPECT_EQ(first, QStringLiteral("9999998"));
    ASSERT_EQ(target.pages.size(), 3u);
    // One print job for the run, titled with its first and last serial.
    EXPECT_EQ(target.DocumentTitles(),
              QStringList{QStringLiteral("Pre-printed labels 9999998 to 1")});
    EXPECT_EQ(PrePrintDocumentTitle(QStringLiteral("0000012"), QStringLiteral("0000020")),
              QStringLiteral("Pre-printed labels 12 to 20"));
    struct Label {
        const char* serial;
        const char* t;
        const char* f;
    };
    const Label labels[] = {
        {"9999998", "420000009214712345678999999986", "420000009290912345678999999980"},
        {"9999999", "420000009214712345678999999993", "420000009290912345678999999997"},
        {"0000001", "420000009214712345678900000015", "420000009290912345678900000019"}};
    for (int i = 0; i < 3; ++i) {
        const QString s = QString::fromLatin1(labels[i].serial);
        const QString t = QString::fromLatin1(labels[i].t);
        const QString f = QString::fromLatin1(labels[i].f);
        const QImage& page = target.pages[size_t(i)];
        // T symbol at (0.62, 4.1), tall F at (4.7, 5.0) on a 300-dpi page.
        EXPECT_EQ(DecodeSymbols(page.copy(QRect(110, 1215, 870, 250))), QStringList{Decoded(t)})
            << s.toStdString();
        EXPECT_EQ(DecodeSymbols(page.copy(QRect(1335, 1485, 870, 250))), QStringList{Decoded(f)})
            << s.toStdString();
    }
}

TEST(PrePrint, CarriesZip00000AndNothingForZeroCount) {
    CollectingTarget target(300, 300);
    EXPECT_EQ(PrePrintBarcodes(0, QStringLiteral("123456789"), QStringLiteral("0000001"), 0, 0,
                               BasePrintFont(), target),
              0);
    EXPECT_TRUE(target.pages.empty());
    EXPECT_EQ(
        ReadableNumber(BuildBarcodeData(QStringLiteral("123456789"), QStringLiteral("0000001"),
                                        QStringLiteral("00000"), QStringLiteral("T"))),
        QStringLiteral("9214 7123 4567 8900 0000 15"));
}

TEST(PrePrint, ErrorEndsTheRunAfterTheLabelsPrinted) {
    CollectingTarget target(300, 300);
    EXPECT_THROW(PrePrintBarcodes(2, QStringLiteral("123456789"), QStringLiteral("zz"), 0, 0,
                                  BasePrintFont(), target),
                 ConversionError);
    EXPECT_TRUE(target.pages.empty());
}

// A run of labels into a PDF file is one document with a page per label.
TEST(PrePrint, ThreeLabelsIntoAPdfFileGiveThreePages) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("labels.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setFullPage(false);
    PrinterPageTarget target(printer);
    QStringList reported;
    EXPECT_EQ(PrePrintBarcodes(3, QStringLiteral("123456789"), QStringLiteral("0000041"), 0, 0,
                               BasePrintFont(), target,
                               [&](const QString& serial) { reported << serial; }),
              3);
    EXPECT_EQ(reported, (QStringList{QStringLiteral("0000041"), QStringLiteral("0000042"),
                                     QStringLiteral("0000043")}));
    const char* expected[] = {"9214712345678900000411", "9214712345678900000428",
                              "9214712345678900000435"};
    for (int page = 1; page <= 4; ++page) {
        const QImage image = RasterisePdfPage(pdf, 150, page);
        if (page == 4) {
            EXPECT_TRUE(image.isNull()) << "a fourth page";
            break;
        }
        ASSERT_FALSE(image.isNull()) << "page " << page;
        QStringList tracking;
        for (const QString& symbol : DecodeSymbols(image))
            if (symbol.startsWith(QLatin1String("92147"))) tracking << symbol;
        EXPECT_EQ(tracking, QStringList{QString::fromLatin1(expected[page - 1])})
            << "page " << page;
    }
}

TEST(PrintBarCodeDialog, ShowsValuesAndStoresOnOK) {
    TF_PrintBarCode d(QStringLiteral("123456789"), QStringLiteral("0000042"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Print Bar Code's"));
    auto* cust = d.findChild<QLineEdit*>(QStringLiteral("editCustID"));
    auto* serial = d.findChild<QLineEdit*>(QStringLiteral("editSerialNum"));
    auto* count = d.findChild<QSpinBox*>(QStringLiteral("editNumLabels"));
    EXPECT_EQ(cust->text(), QStringLiteral("123456789"));
    EXPECT_EQ(serial->text(), QStringLiteral("0000042"));
    EXPECT_EQ(count->value(), 1);
    EXPECT_EQ(count->maximum(), 1000);
    count->setValue(12);
    serial->setText(QStringLiteral("0000100"));
    d.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.LabelCount(), 12);
    EXPECT_EQ(d.SerialNum(), QStringLiteral("0000100"));
    EXPECT_EQ(d.CustID(), QStringLiteral("123456789"));
}

TEST(PrintBarCodeDialog, HelpShowsPanelOnce) {
    TF_PrintBarCode d(QStringLiteral("00-000-0000"), QStringLiteral("0000001"));
    EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("editCustID"))->text(),
              QStringLiteral("000000000"));
    d.show();
    auto* help = d.findChild<QPushButton*>(QStringLiteral("btnHelp"));
    auto* panel = d.findChild<QWidget*>(QStringLiteral("panelBarCode"));
    EXPECT_FALSE(panel->isVisible());
    help->click();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(help->isEnabled());
    EXPECT_GE(d.height(), 383);
}

TEST(ExtraLabelDialog, OpeningWithNoDisablesTheCombo) {
    TF_ExtraLabel d(QStringLiteral("No"), QStringLiteral("Addressed To"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Extra Label"));
    auto* combo = d.findChild<QComboBox*>(QStringLiteral("cbExtraLabel"));
    EXPECT_FALSE(combo->isEnabled());
    d.findChild<QRadioButton*>(QStringLiteral("rgExtraLabelYes"))->click();
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_EQ(combo->count(), 2);
}

TEST(ExtraLabelDialog, OkStoresSelectionAndUnknownTextBecomesAddressedTo) {
    struct Case {
        const char* typed;
        const char* stored;
    };
    for (const Case c : {Case{"Your Name and Address", "Your Name and Address"},
                         Case{"Addressed To", "Addressed To"}, Case{"Elsewhere", "Addressed To"}}) {
        TF_ExtraLabel d(QStringLiteral("No"), QStringLiteral("Your Name and Address"));
        d.findChild<QRadioButton*>(QStringLiteral("rgExtraLabelYes"))->click();
        d.findChild<QComboBox*>(QStringLiteral("cbExtraLabel"))
            ->setEditText(QString::fromLatin1(c.typed));
        d.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
        EXPECT_EQ(d.PrintExtraLabel(), QStringLiteral("Yes"));
        EXPECT_EQ(d.ExtraLabel(), QString::fromLatin1(c.stored)) << c.typed;
    }
}

TEST(ExtraLabelDialog, CancelAndNoSelectionKeepTheSettings) {
    TF_ExtraLabel cancel(QStringLiteral("Yes"), QStringLiteral("Addressed To"));
    cancel.findChild<QRadioButton*>(QStringLiteral("rgExtraLabelNo"))->click();
    cancel.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
    EXPECT_EQ(cancel.result(), QDialog::Rejected);
    EXPECT_EQ(cancel.PrintExtraLabel(), QStringLiteral("Yes"));

    TF_ExtraLabel none(QStringLiteral("Maybe"), QStringLiteral("Odd"));
    EXPECT_TRUE(none.findChild<QComboBox*>(QStringLiteral("cbExtraLabel"))->isEnabled());
    none.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    EXPECT_EQ(none.PrintExtraLabel(), QStringLiteral("Maybe"));
    EXPECT_EQ(none.ExtraLabel(), QStringLiteral("Odd"));
}
