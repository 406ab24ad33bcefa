#include "entry/reprint.h"

#include "entry/entry_fields.h"
#include "numbers/barcode_data.h"
#include "piece/piece_printer.h"

namespace qm {

namespace {

constexpr int kTrackingDigits = 22;
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
    if (digits.size() != kTrackingDigits || !digits.startsWith(kKindTPrefix)) return std::nullopt;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    if (Gs1CheckDigit(digits.left(kTrackingDigits - 1)) != digits.back().digitValue())
        return std::nullopt;
    return TrackingParts{digits.mid(5, 9), digits.mid(14, 7)};
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
