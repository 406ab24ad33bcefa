// One desk printing one piece, as the main window does it, for tests that run it as another
// user: print_one_piece [--folder DIR] [--pdf FILE] --customer ID NAME
// makes the data folder ready (the private default one without --folder), reads quill4.ini,
// asks for the customer ID and the sender when they are unset (answered with ID and a fixed
// sender, as a user would type them), prints one piece addressed to NAME through the print
// road onto the default printer (or into the PDF file FILE), logs it, keeps its PDF copy and
// saves the settings as the window does at exit. With QM_TEST_KILL_BEFORE_LOG set in its
// environment it kills itself (SIGKILL) after the printer call, before the log append. Prints
// "printed <job title>" and exits 0; any message a user would have been shown goes to stderr and
// the exit is 1.
#include "core/data_folder.h"
#include "core/sender.h"
#include "core/settings.h"
#include "core/short_date.h"
#include "engine_date.h"
#include "engine_error.h"
#include "entry/money.h"
#include "entry/print_run.h"
#include "log/log_table.h"
#include "print/mailer.h"
#include "print/page.h"
#include "print/page_printer.h"

#include <QApplication>
#include <QDir>
#include <QPrinter>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

using namespace qm;

void Say(const char* kind, const QString& message) {
    std::fprintf(stderr, "%s: %s\n", kind, qPrintable(message.simplified()));
}

// The answers a user gives at the desk: OK to every dialog, the customer ID typed when unset.
class DeskDialogs : public RunDialogs {
public:
    explicit DeskDialogs(QString customer) : customer_(std::move(customer)) {}

    bool EditNumbers(GlobalVariables& g, bool) override {
        if (g.CustID.trimmed().isEmpty() || g.CustID == QLatin1String("000000000"))
            g.CustID = customer_;
        return true;
    }
    bool EditPrePrint(QString&, QString&, int&) override { return false; }
    bool AskYesNo(const QString&, bool) override { return true; }
    void Refuse(const QString& message) override { Shown("refused", message); }
    void Inform(const QString&) override {}
    void ShowError(const QString& message) override { Shown("error", message); }
    void Warn(const QString& message) override { Shown("warning", message); }
    int Choose(const QString&, const QStringList&, int defaultButton) override {
        return defaultButton;
    }

    bool Troubled() const { return troubled_; }

private:
    void Shown(const char* kind, const QString& message) {
        Say(kind, message);
        troubled_ = true;
    }
    QString customer_;
    bool troubled_ = false;
};

// The mailing log, or with QM_TEST_KILL_BEFORE_LOG a copy killed between the printer and the log.
class HelperLog : public MailingLog {
public:
    QString Append(const PrintRequest& request, const EntryFields& fields,
                   const QString& barcodeData) override {
        if (std::getenv("QM_TEST_KILL_BEFORE_LOG")) std::raise(SIGKILL);
        return MailingLog::Append(request, fields, barcodeData);
    }
};

EntryFields PieceFor(const QString& name, const GlobalVariables& g) {
    EntryFields f;
    f.senderLabels = SenderLabelTexts(g);
    f.addresseeLines = {name, QStringLiteral("12 Main St"), QString(), QString()};
    f.city = QStringLiteral("Springfield");
    f.state = QStringLiteral("IL");
    f.zipText = QStringLiteral("62701-    ");
    // The fee fields as the window fills them from the saved defaults.
    FeeTexts fees{g.Postage, g.CertFee, QString(), g.Return};
    f.postage = RecalcFees(g.Postage, fees).fieldText;
    f.certFee = RecalcFees(g.CertFee, fees).fieldText;
    const RecalcResult last = RecalcFees(g.Return, fees);
    f.returnFee = last.fieldText;
    f.restrictedFee = QStringLiteral(" ");
    f.total = last.totalText;
    return f;
}

int Run(const QStringList& args) {
    QString folder, pdf, customer, name;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == u"--folder" && hasValue)
            folder = args[++i];
        else if (args[i] == u"--pdf" && hasValue)
            pdf = args[++i];
        else if (args[i] == u"--customer" && hasValue)
            customer = args[++i];
        else
            name = args[i];
    }
    if (customer.isEmpty() || name.isEmpty()) {
        Say("usage", QStringLiteral("print_one_piece [--folder DIR] [--pdf FILE] --customer ID "
                                    "NAME"));
        return 2;
    }

    // The start: the data folder, the engine, the fonts, the settings.
    if (!folder.isEmpty()) SetDataFolderOverride(QDir(folder).absolutePath());
    CreateDataFolder();
    table::SetSystemShortDateFormat(ShortDateFormat().toStdString());
    table::SetErrorMode(table::TErrorMode::Exception);
    RegisterPrintFonts();
    GlobalVariables& g = Globals();
    LoadSettings(g, [](GlobalVariables& s) { s.Company = QStringLiteral("Larkfield"); });
    CreateDataSubfolders();
    if (g.Line1.isEmpty() && g.City.isEmpty() && g.State.isEmpty() && g.Zip.isEmpty()) {
        g.Line1 = QStringLiteral("Office Desk");
        g.City = QStringLiteral("Dover");
        g.State = QStringLiteral("DE");
        g.Zip = QStringLiteral("19901");
    }
    DeskDialogs dialogs(customer);
    RunFirstShowCustomerCheck(g, dialogs);

    // The Print button.
    if (!pdf.isEmpty()) {
        CurrentPrinter().setOutputFormat(QPrinter::PdfFormat);
        CurrentPrinter().setOutputFileName(pdf);
    }
    HelperLog log;
    PagePrinter printer(ActivePageTarget());
    const PrintOutcome outcome = RunSinglePrint(PieceFor(name, g), g, printer, dialogs, log);
    if (outcome.Printed())
        std::printf("printed %s\n", qPrintable(MailerDocumentTitle(outcome.barcodeData)));
    else
        Say("not printed", outcome.message);

    // The exit.
    try {
        SaveSettings(g);
    } catch (const SettingsWriteError& e) {
        Say("settings not saved", QString::fromUtf8(e.what()));
        return 1;
    }
    return outcome.Printed() && outcome.logged && !dialogs.Troubled() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    try {
        return Run(QCoreApplication::arguments());
    } catch (const std::exception& e) {
        Say("failed", QString::fromUtf8(e.what()));
        return 1;
    }
}
