#include "entry/mass_print.h"

#include "numbers/barcode_data.h"
#include "piece/piece_log.h"

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

// The run's dialogs, with the warnings about a printed piece kept for the run to weigh after
// the piece instead of being shown over the progress window.
class RunWarnings : public RunDialogs {
public:
    explicit RunWarnings(RunDialogs& shown) : shown_(shown) {}
    bool EditNumbers(GlobalVariables& g, bool fromPrintRun) override {
        return shown_.EditNumbers(g, fromPrintRun);
    }
    bool EditPrePrint(QString& custId, QString& serialNum, int& labelCount) override {
        return shown_.EditPrePrint(custId, serialNum, labelCount);
    }
    bool AskYesNo(const QString& question, bool yesIsDefault) override {
        return shown_.AskYesNo(question, yesIsDefault);
    }
    void Refuse(const QString& message) override { shown_.Refuse(message); }
    void Inform(const QString& message) override { shown_.Inform(message); }
    void ShowError(const QString& message) override { shown_.ShowError(message); }
    void Warn(const QString&) override {} // the piece's outcome carries it
    int Choose(const QString& question, const QStringList& buttons, int defaultButton) override {
        return shown_.Choose(question, buttons, defaultButton);
    }

private:
    RunDialogs& shown_;
};

} // namespace

QString RunWarningQuestion(const QString& warning) {
    return warning + QStringLiteral("\n\nGo on with the mass print?");
}

QStringList RunWarningButtons() {
    return {QStringLiteral("&Go On"), QStringLiteral("&Stop")};
}

QString MassPrintUnsetCustomerMessage() {
    return QStringLiteral("You can not print a Mailer with \"000000000\" as a Customer ID. \r\n"
                          "Please enter in a Customer ID , and try again.");
}

QString PrintedNumberText(const QString& barcodeData) {
    return barcodeData.size() > kBarcodeZipElementLength ? ReadableNumber(barcodeData)
                                                         : barcodeData;
}

namespace {

QString Records(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString RecordList(const QList<MassPrintRecord>& records, bool withZip) {
    QString text;
    for (const MassPrintRecord& r : records) {
        text += QStringLiteral("\nRecord %1: %2").arg(r.recNo).arg(r.name.trimmed());
        if (withZip) text += QStringLiteral(" (ZIP \"%1\")").arg(r.zip);
    }
    return text;
}

MassPrintRecord RecordOf(MassPrintSource& source, const EntryFields& f) {
    return {source.RecNo(), f.addresseeLines[0], ZipAsTyped(f.zipText)};
}

} // namespace

QString MassPrintQuestion(unsigned count) {
    return QStringLiteral("You are about to print %1 labels.\n\rWould you like to continue?")
        .arg(count);
}

QString MassPrintQuestion(const MassPrintOutcome& plan) {
    if (plan.deletedSkipped == 0 && plan.wrongZip.isEmpty() && plan.withoutZip == 0 &&
        plan.shortened.isEmpty())
        return MassPrintQuestion(unsigned(plan.toPrint));
    QStringList skipped;
    if (plan.deletedSkipped > 0)
        skipped << Records(plan.deletedSkipped, "deleted record", "deleted records") +
                       QStringLiteral(" skipped");
    if (!plan.wrongZip.isEmpty())
        skipped << Records(int(plan.wrongZip.size()), "record", "records") +
                       QStringLiteral(" with a wrong ZIP code skipped");
    QString text = QStringLiteral("You are about to print %1 labels").arg(plan.toPrint);
    if (!skipped.isEmpty()) text += QStringLiteral(" (%1)").arg(skipped.join(QStringLiteral(", ")));
    text += QLatin1Char('.');
    if (plan.withoutZip > 0) text += u'\n' + WithoutZipNote(plan.withoutZip, plan.noZipPrint);
    if (!plan.shortened.isEmpty())
        text += QStringLiteral("\n%1 an address line longer than %2 characters; it is printed "
                               "and logged shortened to %2.")
                    .arg(Records(int(plan.shortened.size()), "record has", "records have"))
                    .arg(kLoggedLineLength);
    return text + QStringLiteral("\n\rWould you like to continue?");
}

QString MassPrintSummary(const MassPrintOutcome& o) {
    QString text =
        QStringLiteral("%1 of the pieces were printed and %2 entered in the mailing log.")
            .arg(o.printed)
            .arg(o.logged);
    if (o.printed > 0)
        text += QStringLiteral("\n\nFirst tracking number: %1\nLast tracking number: %2")
                    .arg(o.firstNumber, o.lastNumber);
    if (!o.notLogged.isEmpty())
        text += QStringLiteral("\n\nThe run was stopped after %1:\n\n%2")
                    .arg(Records(o.printed, "piece", "pieces"), o.notLogged);
    if (o.cancelled) text += QStringLiteral("\n\nThe run was cancelled.");
    if (!o.error.isEmpty())
        text += QStringLiteral("\n\nThe run was stopped after %1 by an error of the address "
                               "table:\n%2")
                    .arg(Records(o.printed, "piece", "pieces"), o.error);
    if (o.deletedSkipped > 0)
        text += QStringLiteral("\n\n%1 marked deleted %2 skipped.")
                    .arg(Records(o.deletedSkipped, "record", "records"),
                         QLatin1String(o.deletedSkipped == 1 ? "was" : "were"));
    if (!o.wrongZip.isEmpty())
        text += QStringLiteral("\n\n%1 with a wrong ZIP code %2 not printed:")
                    .arg(Records(int(o.wrongZip.size()), "record", "records"),
                         QLatin1String(o.wrongZip.size() == 1 ? "was" : "were")) +
                RecordList(o.wrongZip, true);
    if (!o.shortened.isEmpty())
        text +=
            QStringLiteral("\n\nAddress lines shortened to %1 characters:").arg(kLoggedLineLength) +
            RecordList(o.shortened, false);
    return text;
}

MassPrintOutcome RunMassPrint(MassPrintSource& source, GlobalVariables& g, PiecePrinter& printer,
                              RunDialogs& dialogs, PieceLog& log,
                              const MassPrintProgress& progress) {
    MassPrintOutcome out;
    out.noZipPrint = NoZipPrintOf(g);
    // One walk over the records first: the question names what the run will print.
    try {
        for (source.First(); !source.AtEnd(); source.Next()) {
            if (source.Deleted()) {
                ++out.deletedSkipped;
                continue;
            }
            const EntryFields f = source.Fields();
            const ZipState zip = CheckZip(f.zipText);
            if (zip == ZipState::Wrong) {
                out.wrongZip << RecordOf(source, f);
                continue;
            }
            ++out.toPrint;
            if (zip == ZipState::Empty) ++out.withoutZip;
            if (FirstLongLine(f) >= 0) out.shortened << RecordOf(source, f);
        }
    } catch (const std::exception& e) {
        out.error = QString::fromStdString(e.what());
        out.stop = PrintOutcome::Result::Failed;
        return out;
    }
    if (!dialogs.AskYesNo(MassPrintQuestion(out), true)) return out;
    out.asked = true;
    LogClose close(log);
    RunWarnings runDialogs(dialogs);
    g.ConfirmNumbers = true;
    int piece = 0;
    try {
        for (source.First(); !source.AtEnd(); source.Next()) {
            if (source.Deleted()) continue;
            EntryFields fields = source.Fields();
            if (CheckZip(fields.zipText) == ZipState::Wrong) continue;
            for (QString& line : fields.addresseeLines)
                if (LineLength(line) > kLoggedLineLength) line = ShortenedLine(line);
            ++piece;
            if (progress && !progress(piece, out.toPrint)) {
                out.cancelled = true;
                break;
            }
            // The Mailer Number dialog comes once, before the first piece.
            const PrintOutcome one = PrintOnePiece(fields, g, printer, runDialogs, log,
                                                   MassPrintUnsetCustomerMessage(), piece == 1);
            out.stop = one.result;
            if (!one.Printed()) break;
            ++out.printed;
            if (one.logged) ++out.logged;
            const QString number = PrintedNumberText(one.barcodeData);
            if (out.printed == 1) out.firstNumber = number;
            out.lastNumber = number;
            if (!one.logged) {
                out.notLogged = one.warning;
                break;
            }
            if (!one.warning.isEmpty() &&
                dialogs.Choose(RunWarningQuestion(one.warning), RunWarningButtons(), 1) != 1) {
                out.cancelled = true;
                break;
            }
        }
    } catch (const std::exception& e) {
        out.error = QString::fromStdString(e.what());
        out.stop = PrintOutcome::Result::Failed;
    }
    return out;
}

} // namespace qm
