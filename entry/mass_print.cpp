#include "entry/mass_print.h"

#include "addresses/address_book_texts.h"
#include "entry/piece_log.h"
#include "print/barcode_data.h"

namespace qm {

namespace {

// Closes the log when the run ends, however it ends.
class LogClose {
public:
    explicit LogClose(PieceLog& log) : log_(log) {}
    ~LogClose() { log_.Close(); }
    LogClose(const LogClose&) = delete;
    LogClose& operator=(const LogClose&) = delete;

private:
    PieceLog& log_;
};

} // namespace

QString MassPrintUnsetCustomerMessage() {
    return QStringLiteral("You can not print a Mailer with \"000000000\" as a Customer ID. \r\n"
                          "Please enter in a Customer ID , and try again.");
}

QString PrintedNumberText(const QString& barcodeData) {
    return barcodeData.size() > kBarcodeZipElementLength ? ReadableNumber(barcodeData)
                                                         : barcodeData;
}

QString MassPrintSummary(const MassPrintOutcome& o) {
    QString text =
        QStringLiteral("%1 of the pieces were printed and %2 entered in the mailing log.")
            .arg(o.printed)
            .arg(o.logged);
    if (o.printed > 0)
        text += QStringLiteral("\n\nFirst tracking number: %1\nLast tracking number: %2")
                    .arg(o.firstNumber, o.lastNumber);
    if (o.cancelled) text += QStringLiteral("\n\nThe run was cancelled.");
    return text;
}

MassPrintOutcome RunMassPrint(MassPrintSource& source, GlobalVariables& g, PiecePrinter& printer,
                              RunDialogs& dialogs, PieceLog& log,
                              const MassPrintProgress& progress) {
    MassPrintOutcome out;
    const unsigned count = source.Count();
    if (!dialogs.AskYesNo(addresses::MassPrintQuestion(count), true)) return out;
    out.asked = true;
    LogClose close(log);
    g.ConfirmNumbers = true;
    source.First();
    int piece = 0;
    while (!source.AtEnd()) {
        ++piece;
        if (progress && !progress(piece, int(count))) {
            out.cancelled = true;
            break;
        }
        const PrintOutcome one = PrintOnePiece(source.Fields(), g, printer, dialogs, log,
                                               MassPrintUnsetCustomerMessage());
        out.stop = one.result;
        if (!one.Printed()) break;
        ++out.printed;
        if (one.warning.isEmpty()) ++out.logged;
        const QString number = PrintedNumberText(one.barcodeData);
        if (out.printed == 1) out.firstNumber = number;
        out.lastNumber = number;
        source.Next();
    }
    return out;
}

} // namespace qm
