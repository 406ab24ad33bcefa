#include "entry/reprint.h"

#include "core/settings_check.h"
#include "entry/entry_fields.h"
#include "numbers/mailer_numbers.h"
#include "piece/piece_printer.h"

namespace qm {

namespace {

const QString kKindTPrefix = QStringLiteral("92147");

PrintOutcome Ended(PrintOutcome::Result result, const QString& message = {}) {
    PrintOutcome o;
    o.result = result;
    o.message = message;
    return o;
}

} // namespace

std::optional<TrackingParts> TrackingPartsOf(const QString& trackingNumber) {
    QString digits = trackingNumber;
    digits.remove(QLatin1Char(' '));
    if (!digits.startsWith(kKindTPrefix) || !TrackingCheckDigitRight(digits)) return std::nullopt;
    const MailerNumberParts parts = SplitMailerNum(digits);
    return TrackingParts{parts.id, parts.serial};
}

QString ReprintQuestion(const QString& mailernum) {
    return QStringLiteral("Was the first mailer for %1 spoiled? The reprint carries the same "
                          "tracking number; destroy the spoiled form.")
        .arg(mailernum.trimmed());
}

QString ReprintPreNumberedMessage() {
    return QStringLiteral("A mailer with a pre-printed number can not be reprinted: its number "
                          "is printed on the form. Print the piece on a new mailer instead.");
}

QString ReprintUnknownNumberMessage(const QString& number) {
    return QStringLiteral("The mailing log holds no piece with the tracking number %1.")
        .arg(number.trimmed());
}

PrintOutcome RunReprint(const EntryFields& fields, const QString& mailernum,
                        const GlobalVariables& g, PiecePrinter& printer, RunDialogs& dialogs) {
    if (const std::optional<SettingFault> fault = PrintSettingFault(g)) {
        dialogs.Refuse(fault->message);
        return Ended(PrintOutcome::Result::Refused, fault->message);
    }
    if (!g.PrintBarCode) {
        dialogs.Refuse(ReprintPreNumberedMessage());
        return Ended(PrintOutcome::Result::Refused, ReprintPreNumberedMessage());
    }
    const std::optional<TrackingParts> parts = TrackingPartsOf(mailernum);
    if (!parts) {
        const QString message = ReprintUnknownNumberMessage(mailernum);
        dialogs.Refuse(message);
        return Ended(PrintOutcome::Result::Refused, message);
    }
    if (!dialogs.AskYesNo(ReprintQuestion(mailernum), false))
        return Ended(PrintOutcome::Result::Cancelled);

    GlobalVariables numbered = g;
    numbered.CustID = parts->customerId;
    numbered.SerialNum = parts->serial;
    const PrintRequest request = BuildPrintRequest(fields, numbered);
    try {
        if (g.VerifyBarcodes) printer.VerifyMailer(request, true);
    } catch (const std::exception& e) {
        const QString message = BarcodeCheckFailedMessage(QString::fromStdString(e.what()));
        dialogs.ShowError(message);
        return Ended(PrintOutcome::Result::Failed, message);
    }
    PrintOutcome outcome = Ended(PrintOutcome::Result::Printed);
    try {
        outcome.barcodeData = printer.PrintMailer(request, true);
    } catch (const std::exception& e) {
        const QString message = QString::fromStdString(e.what());
        dialogs.ShowError(message);
        return Ended(PrintOutcome::Result::Failed, message);
    }
    return outcome;
}

} // namespace qm
