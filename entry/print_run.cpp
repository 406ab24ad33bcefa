#include "entry/print_run.h"

#include "app/core/format_zip.h"
#include "app/core/program_folder.h"
#include "app/ui/error_display.h"
#include "app/ui/memo_lines.h"
#include "app/ui/zip_edit.h"
#include "entry/entry_form.h"
#include "entry/mailer_dialog.h"
#include "entry/mailer_numbers.h"
#include "entry/money.h"
#include "print/mailer.h"
#include "print/page.h"
#include "print/preprint.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>

namespace qm {

namespace {

// The hourglass while the command works; the normal cursor again in every case.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString LineEditText(const QWidget* form, const char* name) {
    if (const auto* e = form->findChild<const QLineEdit*>(QString::fromLatin1(name)))
        return e->text();
    return {};
}

QString ZipText(const QWidget* form, const char* name) {
    if (const auto* e = form->findChild<const QLineEdit*>(QString::fromLatin1(name)))
        return ZipEditText(e);
    return {};
}

// The money text of a fee as the receipt shows it, with its value when it counts.
QString ShownFee(const QString& text, double& sum) {
    const double fee = CountedFee(text);
    if (fee == 0) return QStringLiteral(" ");
    sum += fee;
    return text;
}

} // namespace

QString SinglePrintUnsetCustomerMessage() {
    return QStringLiteral("You can not print a Mailer with \"00-000-0000\" as a Customer ID.\n\n"
                          "Please enter in a Customer ID, and try again.");
}

QString PrePrintUnsetCustomerMessage() {
    return QStringLiteral("You can not print a Mailer with \"000000000\" as a Customer ID. Enter "
                          "a Customer ID. and try again.");
}

QString FirstShowCustomerMessage() {
    return QStringLiteral(
        "If you have labels without any Bar Code's, you must select a \"Customer ID\" number.");
}

QString PrePrintConfirmMessage() {
    return QStringLiteral("You have seleceted to pre-print the Bar Code's onto the Mailer's, "
                          "would you like to continue?");
}

EntryFields ReadEntryFields(const QWidget* form) {
    EntryFields f;
    for (int i = 0; i < 5; ++i)
        if (const auto* l =
                form->findChild<const QLabel*>(QStringLiteral("lblYourAddress%1").arg(i + 1)))
            f.senderLabels[size_t(i)] = l->text();

    const auto* memo = form->findChild<const QPlainTextEdit*>(QStringLiteral("memoAddress"));
    const bool freeEntry = memo && !memo->isHidden();
    if (!freeEntry) memo = form->findChild<const QPlainTextEdit*>(QStringLiteral("tzmemoAddress"));
    if (memo)
        for (int i = 0; i < 4; ++i) f.addresseeLines[size_t(i)] = DisplayedLineAt(memo, i + 1);
    f.city = LineEditText(form, freeEntry ? "editCity" : "tzeditCity");
    f.state = LineEditText(form, freeEntry ? "editState" : "tzeditState");
    f.zipText = ZipText(form, freeEntry ? "editZip" : "tzeditZip");

    f.re = LineEditText(form, "editRe");
    f.comment = LineEditText(form, "editComment");
    if (const auto* cb = form->findChild<const QCheckBox*>(QStringLiteral("cbRestricted")))
        f.restricted = cb->isChecked();
    f.postage = LineEditText(form, "editPostage");
    f.certFee = LineEditText(form, "editCertFee");
    f.returnFee = LineEditText(form, "editReturn");
    f.restrictedFee = LineEditText(form, "editRestricted");
    f.total = LineEditText(form, "editTotal");
    return f;
}

PrintRequest BuildPrintRequest(const EntryFields& f, const GlobalVariables& g) {
    PrintRequest r; // every slot empty
    for (int i = 0; i < 5; ++i) r[size_t(i)] = f.senderLabels[size_t(i)];
    r[kSlotSenderZip] = g.Zip;

    const QString zip = FormatZip(f.zipText);
    QString cityLine =
        TrimForm(f.city) + QLatin1Char(' ') + TrimForm(f.state) + QLatin1Char(' ') + zip;
    std::array<QString, 4> lines = f.addresseeLines;
    for (QString& line : lines) {
        if (TrimForm(line).isEmpty()) {
            line = cityLine;
            cityLine.clear();
            break;
        }
    }
    for (int i = 0; i < 4; ++i) r[size_t(kSlotAddressee1 + i)] = lines[size_t(i)];
    r[10] = cityLine;
    r[kSlotAddresseeZip] = zip;

    r[kSlotReference] = f.re.left(25);
    r[kSlotComment] = f.comment;
    r[kSlotRestricted] = f.restricted ? QStringLiteral("Y") : QStringLiteral("N");
    if (g.PrintBarCode) {
        r[kSlotCustomerOrMailer] = WithoutHyphens(g.CustID);
        r[kSlotSerial] = g.SerialNum;
    } else {
        r[kSlotCustomerOrMailer] = g.MailerNum;
    }
    double sum = 0;
    r[kSlotPostage] = ShownFee(f.postage, sum);
    r[kSlotCertFee] = ShownFee(f.certFee, sum);
    r[kSlotReturnFee] = ShownFee(f.returnFee, sum);
    r[kSlotRestrictedFee] = ShownFee(f.restrictedFee, sum);
    const std::optional<double> shownTotal = ParseMoney(f.total);
    // The field's own text when it agrees with the fees, else the sum itself.
    r[kSlotTotal] =
        shownTotal && FormatMoney(*shownTotal) == FormatMoney(sum) ? f.total : FormatMoney(sum);
    r[kSlotLeftRight] = QString::number(g.LeftRight);
    r[kSlotTopBottom] = QString::number(g.TopBottom);
    r[kSlotPrintExtraLabel] = g.PrintExtraLabel;
    r[kSlotExtraLabel] = g.ExtraLabel;
    r[26] = QStringLiteral("-1");
    r[27] = QStringLiteral("-1");
    return r;
}

QString PrintAndLog(QWidget* form, const GlobalVariables& g, PageTarget& target) {
    WaitCursor wait;
    try {
        const PrintRequest request = BuildPrintRequest(ReadEntryFields(form), g);
        const QString printed = PrintMailer(request, g.PrintBarCode, BasePrintFont(), target);
        MarkPrinted(form);
        return printed;
    } catch (const std::exception& e) {
        ShowError(form, e);
        return {};
    }
}

void SaveNumbersIfChanged(QWidget* parent, const GlobalVariables& g, const NumberCopies& before) {
    if (!before.NumbersDiffer(g)) return;
    try {
        SaveSettings(g);
    } catch (const std::exception& e) {
        ShowError(parent, e);
    }
}

bool RunSinglePrint(QWidget* form, GlobalVariables& g, PageTarget& target) {
    const NumberCopies copies = NumberCopies::Of(g);
    try {
        AdvanceNumber(g);
    } catch (const std::exception& e) {
        ShowError(form, e);
        return false;
    }
    if (g.ConfirmNumbers) {
        TF_Mailer dialog(g, true, form);
        if (dialog.exec() != QDialog::Accepted) {
            copies.RestoreTo(g);
            return false;
        }
    }
    if (g.PrintBarCode && CustomerIdUnset(g.CustID)) {
        QMessageBox::critical(form, ApplicationTitle(), SinglePrintUnsetCustomerMessage());
        copies.RestoreTo(g);
        return false;
    }
    const bool printed = !PrintAndLog(form, g, target).isEmpty();
    // Printed or not, the number stays used up: keep it on disk.
    SaveNumbersIfChanged(form, g, copies);
    return printed;
}

void RunMailerNumberCommand(QWidget* parent, GlobalVariables& g) {
    const NumberCopies before = NumberCopies::Of(g);
    const NumberCopies copies{WithoutHyphens(g.SerialNum).left(7), WithoutHyphens(g.CustID),
                              g.MailerNum};
    try {
        AdvanceNumber(g);
        TF_Mailer dialog(g, false, parent);
        if (dialog.exec() != QDialog::Accepted) {
            copies.RestoreTo(g);
            return;
        }
        StepBackNumber(g);
    } catch (const std::exception& e) {
        copies.RestoreTo(g);
        ShowError(parent, e);
        return;
    }
    SaveNumbersIfChanged(parent, g, before);
}

void RunFirstShowCustomerCheck(QWidget* parent, GlobalVariables& g) {
    if (!g.PrintBarCode || !CustomerIdUnset(g.CustID)) return;
    QMessageBox::information(parent, ApplicationTitle(), FirstShowCustomerMessage());
    const NumberCopies before = NumberCopies::Of(g);
    TF_Mailer dialog(g, false, parent);
    if (dialog.exec() == QDialog::Accepted) SaveNumbersIfChanged(parent, g, before);
}

int RunPrePrint(QWidget* parent, GlobalVariables& g, PageTarget& target) {
    if (QMessageBox::question(parent, ApplicationTitle(), PrePrintConfirmMessage(),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return 0;
    const NumberCopies copies = NumberCopies::Of(g);
    try {
        AdvanceNumber(g);
    } catch (const std::exception& e) {
        ShowError(parent, e);
        return 0;
    }
    TF_PrintBarCode dialog(g.CustID, g.SerialNum, parent);
    if (dialog.exec() != QDialog::Accepted) {
        copies.RestoreTo(g);
        return 0;
    }
    g.SerialNum = dialog.SerialNum();
    g.CustID = dialog.CustID();
    SaveNumbersIfChanged(parent, g, copies);
    if (g.PrintBarCode && CustomerIdUnset(g.CustID)) {
        QMessageBox::critical(parent, ApplicationTitle(), PrePrintUnsetCustomerMessage());
        return 0;
    }
    WaitCursor wait;
    try {
        return PrePrintBarcodes(dialog.LabelCount(), WithoutHyphens(g.CustID), g.SerialNum,
                                QString::number(g.LeftRight), QString::number(g.TopBottom),
                                BasePrintFont(), target);
    } catch (const std::exception& e) {
        // The labels printed before the error stay printed; say why the run stopped.
        ShowError(parent, e);
        return 0;
    }
}

} // namespace qm
