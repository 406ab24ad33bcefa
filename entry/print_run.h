#pragma once
// Printing a mail piece from the entry form: the print request, print-and-log, and the
// commands that advance, confirm and restore the mailer numbers around it.

#include "app/core/settings.h"
#include "entry/mailer_numbers.h"
#include "print/print_request.h"

#include <QString>

#include <array>

class QWidget;

namespace qm {

class PageTarget;

// What the print reads from the entry form, as the fields show it.
struct EntryFields {
    std::array<QString, 5> senderLabels;   // lblYourAddress1 to 5
    std::array<QString, 4> addresseeLines; // displayed lines 1 to 4 of the visible memo
    QString city, state, zipText;          // zipText as the masked field holds it
    QString re, comment;
    bool restricted = false;
    QString postage, certFee, returnFee, restrictedFee, total;
};

// Reads the fields of the main window (free entry, or the address-table controls when
// the free-entry memo is hidden).
EntryFields ReadEntryFields(const QWidget* form);

// The 28 slots of the print request. The total on the receipt is the sum of the fees
// the receipt shows: every fee that is a number greater than 0; any other fee text
// prints as a single blank.
PrintRequest BuildPrintRequest(const EntryFields& fields, const GlobalVariables& g);

// Prints the piece on the entry form, then dims the form. A print error is shown by the
// error display; the form stays as it was. Returns the barcode data text of the printed
// piece, or an empty text when nothing was printed.
QString PrintAndLog(QWidget* form, const GlobalVariables& g, PageTarget& target);

// The Print button (and File, Print): advance, confirm, refuse an unset customer ID,
// print. Returns true when a piece was printed.
bool RunSinglePrint(QWidget* form, GlobalVariables& g, PageTarget& target);

// Options, Mailer Number: show the next number; OK keeps the last used one.
void RunMailerNumberCommand(QWidget* parent, GlobalVariables& g);

// The check at the first showing of the main window: in barcode mode an unset customer
// ID is asked for with the Mailer Number dialog (stored values, no stepping).
void RunFirstShowCustomerCheck(QWidget* parent, GlobalVariables& g);

// File, Print Bar Codes: the pre-print run. Returns the number of labels printed.
int RunPrePrint(QWidget* parent, GlobalVariables& g, PageTarget& target);

// Writes the settings file when a command changed the serial number, the mailer number
// or the customer ID, so that a crash never hands out a tracking number again. A write
// error is shown by the error display.
void SaveNumbersIfChanged(QWidget* parent, const GlobalVariables& g, const NumberCopies& before);

// Message texts.
QString SinglePrintUnsetCustomerMessage();
QString PrePrintUnsetCustomerMessage();
QString FirstShowCustomerMessage();
QString PrePrintConfirmMessage();

} // namespace qm
