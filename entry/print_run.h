#pragma once
// The road from the Print button to the page: a filled entry value, the settings in
// memory and a printer over a page target go in, an outcome comes out. Questions and messages go
// through RunDialogs, which the window implements and tests fake.

#include "core/settings.h"
#include "entry/address_checks.h"
#include "entry/entry_fields.h"
#include "piece/print_request.h"

#include <QString>
#include <QStringList>

namespace qm {

class PiecePrinter;
class PieceLog;

// Message texts.
QString SinglePrintUnsetCustomerMessage();

struct PrintOutcome {
    enum class Result {
        Printed,   // barcodeData holds the printed piece's data text
        Cancelled, // the user stopped the run; nothing was printed
        Refused,   // a rule stopped the run; message says which
        Failed,    // an error stopped the run; message says what
    };
    Result result = Result::Cancelled;
    QString barcodeData;
    QString message;
    // Something the user must know although the piece was printed.
    QString warning;
    bool logged = false; // the printed piece was entered in the mailing log
    // Pre-print: the labels printed (also when an error ended the run).
    int labels = 0;
    // The entry field the user is sent back to, when a check stopped the print.
    enum class Focus { None, Zip, AddressLine, Fee };
    Focus focus = Focus::None;
    int focusLine = 0;   // AddressLine: the line, from 0
    int focusColumn = 0; // AddressLine: the cursor's place in the line
    FeeField focusFee = FeeField::None;

    bool Printed() const { return result == Result::Printed; }
};

// The dialogs and messages a run needs.
class RunDialogs {
public:
    virtual ~RunDialogs() = default;
    // The Mailer Number dialog over g (OK stores into g). fromPrintRun shows the check box
    // "Do not show this screen again". Returns true on OK.
    virtual bool EditNumbers(GlobalVariables& g, bool fromPrintRun) = 0;
    // The Print Bar Code dialog; OK stores its fields. Returns true on OK.
    virtual bool EditPrePrint(QString& custId, QString& serialNum, int& labelCount) = 0;
    // A question with Yes and No; returns true for Yes.
    virtual bool AskYesNo(const QString& question, bool yesIsDefault) = 0;
    // A rule refuses the command.
    virtual void Refuse(const QString& message) = 0;
    virtual void Inform(const QString& message) = 0;
    // An error, shown as the standard error display shows it.
    virtual void ShowError(const QString& message) = 0;
    virtual void Warn(const QString& message) = 0;
    // A question with the given buttons; returns the number of the pressed one, 1 for the
    // first. defaultButton counts the same way.
    virtual int Choose(const QString& question, const QStringList& buttons, int defaultButton) = 0;
};

// One piece: takes the numbering lock, adopts a number another copy stored, refuses a damaged
// alignment or mode (core/settings_check.h), names a damaged number and opens the Mailer Number
// dialog on it (Cancel refuses the piece), advances, confirms (the dialog when
// g.ConfirmNumbers, or when the stored number is damaged), refuses an unset customer ID, checks the
// rendered page's symbols (when g.VerifyBarcodes; a failure prints nothing and leaves the number
// unused), stores the number, prints and enters the piece in the log, and with g.KeepPdfCopy writes
// its PDF copy at MailerProofPath (a copy that cannot be written is a warning, as a failed log
// entry is). The mass print calls it once per address record, with its own refusal text; askNumbers
// false skips the Mailer Number dialog (a damaged stored number still shows it).
PrintOutcome PrintOnePiece(const EntryFields& fields, GlobalVariables& g, PiecePrinter& printer,
                           RunDialogs& dialogs, PieceLog& log,
                           const QString& unsetCustomerMessage = SinglePrintUnsetCustomerMessage(),
                           bool askNumbers = true);

// The Print button (and File, Print): refuses a fee that is not money and a wrong ZIP code,
// asks when the addressee or the ZIP is empty and when a line is longer than the log keeps
// (Shorten prints and logs the line cut to that length), then prints one piece. Nothing is
// printed and no number used when a check stops it. The log is closed in every case.
PrintOutcome RunSinglePrint(const EntryFields& fields, GlobalVariables& g, PiecePrinter& printer,
                            RunDialogs& dialogs, PieceLog& log);

// File, Print Bar Codes: the pre-print run, one document of one page per label. SerialNum
// ends at the last label printed.
PrintOutcome RunPrePrint(GlobalVariables& g, PiecePrinter& printer, RunDialogs& dialogs);

// Options, Mailer Number: show the next number; OK keeps the last used one.
void RunMailerNumberCommand(GlobalVariables& g, RunDialogs& dialogs);

// The check at the first showing of the main window: in barcode mode an unset customer
// ID is asked for with the Mailer Number dialog (stored values, no stepping).
void RunFirstShowCustomerCheck(GlobalVariables& g, RunDialogs& dialogs);

// More message texts.
QString PrePrintUnsetCustomerMessage();
QString FirstShowCustomerMessage();
QString PrePrintConfirmMessage();
QString EmptyAddresseeQuestion();
// The buttons of the long-line question; the second is the default.
QStringList LongLineButtons();
QString NotLoggedWarning(const QString& barcodeData, const QString& error);
// The piece could not be journaled before printing (MailingLog::Journal); nothing printed.
QString NotJournaledMessage(const QString& barcodeData, const QString& error);
// A mailer refused by the barcode check (setting VerifyBarcodes); `error` names the symbol.
QString BarcodeCheckFailedMessage(const QString& error);
// The PDF copy of a printed piece could not be written at `path`; `notLogged` is the
// NotLoggedWarning of the same piece when the log failed too (empty otherwise).
QString NotKeptWarning(const QString& barcodeData, const QString& path, const QString& error,
                       const QString& notLogged = {});

} // namespace qm
