#include "entry/print_run.h"

#include "core/clock.h"
#include "core/integer.h"
#include "core/mailer_proof.h"
#include "core/settings_check.h"
#include "core/settings_lock.h"
#include "numbers/barcode_data.h"
#include "numbers/mailer_numbers.h"
#include "numbers/serial_number.h"
#include "piece/piece_log.h"
#include "piece/piece_printer.h"

#include <QDir>

#include <optional>

namespace qm {

namespace {

PrintOutcome Outcome(PrintOutcome::Result result, const QString& message = {}) {
    PrintOutcome o;
    o.result = result;
    o.message = message;
    return o;
}

PrintOutcome Refused(RunDialogs& dialogs, const QString& message) {
    dialogs.Refuse(message);
    return Outcome(PrintOutcome::Result::Refused, message);
}

PrintOutcome Failed(RunDialogs& dialogs, const QString& message) {
    dialogs.ShowError(message);
    return Outcome(PrintOutcome::Result::Failed, message);
}

QString Text(const std::exception& e) {
    return QString::fromStdString(e.what());
}

// Takes the numbering lock (adopting numbers another copy stored), or says why not.
std::optional<NumberTransaction> BeginNumbers(GlobalVariables& g, RunDialogs& dialogs,
                                              QString& error) {
    try {
        return std::optional<NumberTransaction>(std::in_place, g);
    } catch (const SettingsLockError& e) {
        error = Text(e);
        dialogs.ShowError(error);
        return std::nullopt;
    }
}

// The Mailer Number dialog; its OK sets the direction of pre-numbered mode as well.
bool EditNumbers(GlobalVariables& g, RunDialogs& dialogs, bool fromPrintRun) {
    if (!dialogs.EditNumbers(g, fromPrintRun)) return false;
    if (!g.PrintBarCode) g.UnreadValues.remove(QStringLiteral("Increment"));
    return true;
}

// Empties the number of the current mode for the user to type; returns false.
bool EmptyNumber(GlobalVariables& g) {
    (g.PrintBarCode ? g.SerialNum : g.MailerNum).clear();
    return false;
}

// Steps the number of the current mode. A stored number that is not a number is
// emptied for the user to repair in the Mailer Number dialog; returns false then.
bool AdvanceOrEmptyDamaged(GlobalVariables& g) {
    try {
        AdvanceNumber(g);
        return true;
    } catch (const ConversionError&) {
        return EmptyNumber(g);
    }
}

// Says a damaged number, then steps the number unless that would build on the damage: only a
// damaged customer ID leaves the serial to step. Returns whether the number stepped.
bool AdvanceUnlessDamaged(GlobalVariables& g, RunDialogs& dialogs,
                          const std::optional<SettingFault>& fault, bool printing) {
    if (!fault) return AdvanceOrEmptyDamaged(g);
    if (printing)
        dialogs.Refuse(fault->message);
    else
        dialogs.Warn(fault->message);
    return fault->key == u"CustID" ? AdvanceOrEmptyDamaged(g) : EmptyNumber(g);
}

// Closes the log when the run ends, however it ends.
class LogUse {
public:
    explicit LogUse(PieceLog& log) : log_(log) {}
    ~LogUse() { log_.Close(); }
    LogUse(const LogUse&) = delete;
    LogUse& operator=(const LogUse&) = delete;

private:
    PieceLog& log_;
};

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

QString EmptyAddresseeQuestion() {
    return QStringLiteral("The addressee is empty. Print anyway?");
}

namespace {

QString PieceNumber(const QString& barcodeData) {
    return barcodeData.size() > kBarcodeZipElementLength ? ReadableNumber(barcodeData)
                                                         : barcodeData;
}

// Writes the PDF copy of a printed piece, named by the number the log keeps and dated by the
// clock the log reads; `path` is where. Returns what went wrong, empty when it was kept.
QString KeepProof(PiecePrinter& printer, const PrintRequest& request, bool barcodeMode,
                  const QString& barcodeData, QString& path) {
    const QString number = ReadableNumber(barcodeData);
    path = MailerProofPath(number, CurrentDate());
    if (QString(number).remove(QLatin1Char(' ')).isEmpty())
        return QStringLiteral("the piece has no tracking number to name it by");
    try {
        printer.WriteProof(request, barcodeMode, path);
        return {};
    } catch (const std::exception& e) {
        return Text(e);
    }
}

} // namespace

QString NotLoggedWarning(const QString& barcodeData, const QString& error) {
    return QStringLiteral("The mail piece with tracking number %1 was printed, but it could not "
                          "be entered in the mailing log:\n\n%2")
        .arg(PieceNumber(barcodeData), error);
}

QString NotJournaledMessage(const QString& barcodeData, const QString& error) {
    return QStringLiteral("The mail piece with tracking number %1 was not printed: it could not "
                          "be entered in the print journal:\n\n%2\n\nIts number is used.")
        .arg(PieceNumber(barcodeData), error);
}

QString NotKeptWarning(const QString& barcodeData, const QString& path, const QString& error,
                       const QString& notLogged) {
    if (!notLogged.isEmpty())
        return notLogged + QStringLiteral("\n\nIts PDF copy could not be kept either:\n\n%1: %2")
                               .arg(QDir::toNativeSeparators(path), error);
    return QStringLiteral("The mail piece with tracking number %1 was printed, but its PDF copy "
                          "could not be kept:\n\n%2: %3")
        .arg(PieceNumber(barcodeData), QDir::toNativeSeparators(path), error);
}

QString BarcodeCheckFailedMessage(const QString& error) {
    return QStringLiteral("The barcode check before printing stopped this mailer:\n\n%1\n\n"
                          "Nothing was printed and the number was not used.")
        .arg(error);
}

PrintOutcome PrintOnePiece(const EntryFields& fields, GlobalVariables& g, PiecePrinter& printer,
                           RunDialogs& dialogs, PieceLog& log, const QString& unsetCustomerMessage,
                           bool askNumbers) {
    QString error;
    std::optional<NumberTransaction> numbers = BeginNumbers(g, dialogs, error);
    if (!numbers) return Outcome(PrintOutcome::Result::Failed, error);
    // Checked after the lock: a number another copy stored is checked too.
    if (const std::optional<SettingFault> fault = PrintSettingFault(g))
        return Refused(dialogs, fault->message);
    const NumberCopies copies = NumberCopies::Of(g);
    // A damaged number is said, then shown in the dialog to be corrected.
    const std::optional<SettingFault> fault = NumberSettingFault(g, g.PrintBarCode);
    const bool readable = AdvanceUnlessDamaged(g, dialogs, fault, true);
    if (fault || (askNumbers && g.ConfirmNumbers) || !readable) {
        if (!EditNumbers(g, dialogs, true)) {
            copies.RestoreTo(g);
            if (fault) return Outcome(PrintOutcome::Result::Refused, fault->message);
            return Outcome(PrintOutcome::Result::Cancelled);
        }
        if (const std::optional<SettingFault> left = NumberSettingFault(g, g.PrintBarCode)) {
            copies.RestoreTo(g);
            return Refused(dialogs, left->message);
        }
    }
    if (g.PrintBarCode && CustomerIdUnset(g.CustID)) {
        copies.RestoreTo(g);
        return Refused(dialogs, unsetCustomerMessage);
    }
    const PrintRequest request = BuildPrintRequest(fields, g);
    // A page whose symbols do not read back never prints, and its number stays free.
    if (g.VerifyBarcodes) {
        try {
            printer.VerifyMailer(request, g.PrintBarCode);
        } catch (const std::exception& e) {
            copies.RestoreTo(g);
            return Failed(dialogs, BarcodeCheckFailedMessage(Text(e)));
        }
    }
    // The number is used up before the piece is printed: a crash or a failed print never
    // hands it out again.
    try {
        numbers->Save();
    } catch (const SettingsWriteError& e) {
        copies.RestoreTo(g);
        return Failed(dialogs, Text(e));
    }
    numbers.reset();

    // The piece is journaled before it prints: a copy killed between the printer and the log
    // leaves it behind to be asked about. A piece that cannot be journaled does not print.
    const QString data =
        g.PrintBarCode ? MailerBarcodeData(request.customerId, request.serial, request.addresseeZip)
                       : request.mailerNumber;
    if (const QString journalError = log.Journal(request, fields, data); !journalError.isEmpty())
        return Failed(dialogs, NotJournaledMessage(data, journalError));
    PrintOutcome outcome = Outcome(PrintOutcome::Result::Printed);
    try {
        outcome.barcodeData = printer.PrintMailer(request, g.PrintBarCode);
    } catch (const std::exception& e) {
        QString message = Text(e);
        if (const QString dropError = log.Unjournal(data); !dropError.isEmpty())
            message += QStringLiteral("\n\n") + dropError;
        return Failed(dialogs, message);
    }
    const QString logError = log.Append(request, fields, outcome.barcodeData);
    outcome.logged = logError.isEmpty();
    // A piece that could not be logged stays in the journal, to be asked about again.
    if (!outcome.logged)
        outcome.warning = NotLoggedWarning(outcome.barcodeData, logError);
    else if (const QString dropError = log.Unjournal(data); !dropError.isEmpty())
        outcome.warning = dropError;
    if (g.KeepPdfCopy) {
        QString path;
        const QString proofError =
            KeepProof(printer, request, g.PrintBarCode, outcome.barcodeData, path);
        if (!proofError.isEmpty())
            outcome.warning =
                NotKeptWarning(outcome.barcodeData, path, proofError, outcome.warning);
    }
    if (!outcome.warning.isEmpty()) dialogs.Warn(outcome.warning);
    return outcome;
}

QStringList LongLineButtons() {
    return {QStringLiteral("Shorten"), QStringLiteral("Edit")};
}

PrintOutcome RunSinglePrint(const EntryFields& fields, GlobalVariables& g, PiecePrinter& printer,
                            RunDialogs& dialogs, PieceLog& log) {
    LogUse use(log);
    QString feeMessage;
    const FeeField fee = RefusedFee(fields, feeMessage);
    if (fee != FeeField::None) {
        PrintOutcome o = Refused(dialogs, feeMessage);
        o.focus = PrintOutcome::Focus::Fee;
        o.focusFee = fee;
        return o;
    }
    const bool addresseeEmpty = AddresseeEmpty(fields);
    if (addresseeEmpty && !dialogs.AskYesNo(EmptyAddresseeQuestion(), false))
        return Outcome(PrintOutcome::Result::Cancelled);
    switch (CheckZip(fields.zipText)) {
    case ZipState::Wrong: {
        PrintOutcome o = Refused(dialogs, WrongZipMessage(fields.zipText));
        o.focus = PrintOutcome::Focus::Zip;
        return o;
    }
    case ZipState::Empty:
        // An empty addressee has been asked about already.
        if (!addresseeEmpty && !dialogs.AskYesNo(EmptyZipQuestion(NoZipPrintOf(g)), false))
            return Outcome(PrintOutcome::Result::Cancelled);
        break;
    case ZipState::Complete: break;
    }
    // What is printed and what is logged are the same text.
    EntryFields piece = fields;
    for (int i = 0; i < 4; ++i) {
        QString& line = piece.addresseeLines[size_t(i)];
        const int length = LineLength(line);
        if (length <= kLoggedLineLength) continue;
        if (dialogs.Choose(LongLineQuestion(i + 1, length), LongLineButtons(), 2) != 1) {
            PrintOutcome o = Outcome(PrintOutcome::Result::Cancelled);
            o.focus = PrintOutcome::Focus::AddressLine;
            o.focusLine = i;
            o.focusColumn = kLoggedLineLength;
            return o;
        }
        line = ShortenedLine(line);
    }
    return PrintOnePiece(piece, g, printer, dialogs, log);
}

void RunMailerNumberCommand(GlobalVariables& g, RunDialogs& dialogs) {
    QString error;
    std::optional<NumberTransaction> numbers = BeginNumbers(g, dialogs, error);
    if (!numbers) return;
    const NumberCopies before = NumberCopies::Of(g);
    const NumberCopies copies{WithoutHyphens(g.SerialNum).left(7), WithoutHyphens(g.CustID),
                              g.MailerNum};
    const bool readable =
        AdvanceUnlessDamaged(g, dialogs, NumberSettingFault(g, g.PrintBarCode), false);
    if (!EditNumbers(g, dialogs, false)) {
        copies.RestoreTo(g);
        return;
    }
    try {
        StepBackNumber(g);
    } catch (const ConversionError& e) {
        // The dialog takes whole numbers only; a damaged one that was kept stays as it is.
        if (readable) {
            copies.RestoreTo(g);
            dialogs.ShowError(Text(e));
            return;
        }
    }
    if (!before.NumbersDiffer(g)) return;
    try {
        numbers->Save();
    } catch (const SettingsWriteError& e) {
        dialogs.ShowError(Text(e));
    }
}

void RunFirstShowCustomerCheck(GlobalVariables& g, RunDialogs& dialogs) {
    if (!g.SettingsFileFault.isEmpty()) {
        dialogs.ShowError(g.SettingsFileFault);
        return;
    }
    const std::optional<SettingFault> fault = NumberSettingFault(g, g.PrintBarCode);
    if (fault)
        dialogs.Warn(fault->message);
    else if (g.PrintBarCode && CustomerIdUnset(g.CustID))
        dialogs.Inform(FirstShowCustomerMessage());
    else
        return;
    QString error;
    std::optional<NumberTransaction> numbers = BeginNumbers(g, dialogs, error);
    if (!numbers) return;
    const NumberCopies before = NumberCopies::Of(g);
    if (!EditNumbers(g, dialogs, false) || !before.NumbersDiffer(g)) return;
    try {
        numbers->Save();
    } catch (const SettingsWriteError& e) {
        dialogs.ShowError(Text(e));
    }
}

PrintOutcome RunPrePrint(GlobalVariables& g, PiecePrinter& printer, RunDialogs& dialogs) {
    if (!dialogs.AskYesNo(PrePrintConfirmMessage(), true))
        return Outcome(PrintOutcome::Result::Cancelled);
    QString error;
    std::optional<NumberTransaction> numbers = BeginNumbers(g, dialogs, error);
    if (!numbers) return Outcome(PrintOutcome::Result::Failed, error);
    if (const std::optional<SettingFault> fault = PrintSettingFault(g))
        return Refused(dialogs, fault->message);
    const NumberCopies copies = NumberCopies::Of(g);
    // The labels carry the barcode's numbers in either mode; the dialog takes them anew.
    if (const std::optional<SettingFault> fault = NumberSettingFault(g, true))
        dialogs.Refuse(fault->message);
    AdvanceOrEmptyDamaged(g);
    QString custId = g.CustID, first = g.SerialNum;
    int count = 0;
    if (!dialogs.EditPrePrint(custId, first, count)) {
        copies.RestoreTo(g);
        return Outcome(PrintOutcome::Result::Cancelled);
    }
    g.SerialNum = first;
    g.CustID = custId;
    if (const std::optional<SettingFault> left = NumberSettingFault(g, true)) {
        copies.RestoreTo(g);
        return Refused(dialogs, left->message);
    }
    if (g.PrintBarCode && CustomerIdUnset(g.CustID)) {
        // The dialog's values stay, as typed.
        try {
            if (copies.NumbersDiffer(g)) numbers->Save();
        } catch (const SettingsWriteError& e) {
            dialogs.ShowError(Text(e));
        }
        return Refused(dialogs, PrePrintUnsetCustomerMessage());
    }
    // Every label of the run is reserved before the first one prints.
    QString last = first;
    try {
        for (int i = 1; i < count; ++i) last = StepSerial(last, 1);
        g.SerialNum = count > 0 ? last : copies.serialNum;
        numbers->Save();
    } catch (const std::exception& e) {
        copies.RestoreTo(g);
        return Failed(dialogs, Text(e));
    }
    numbers.reset();

    PrintOutcome outcome = Outcome(PrintOutcome::Result::Printed);
    QString lastPrinted;
    try {
        outcome.labels = printer.PrePrintLabels(count, WithoutHyphens(g.CustID), first, g.LeftRight,
                                                g.TopBottom, [&](const QString& serial) {
                                                    lastPrinted = serial;
                                                    ++outcome.labels;
                                                });
        return outcome;
    } catch (const std::exception& e) {
        outcome.result = PrintOutcome::Result::Failed;
        outcome.message = Text(e);
    }
    // The labels after the last printed one are free again, unless another copy has
    // moved the number on since.
    std::optional<NumberTransaction> again = BeginNumbers(g, dialogs, error);
    if (again && g.SerialNum == last) {
        g.SerialNum = outcome.labels > 0 ? lastPrinted : copies.serialNum;
        try {
            again->Save();
        } catch (const SettingsWriteError&) {
            g.SerialNum = last; // stays reserved: never reused
        }
    }
    again.reset();
    dialogs.ShowError(outcome.message);
    return outcome;
}

} // namespace qm
