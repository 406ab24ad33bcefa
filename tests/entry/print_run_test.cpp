// The print run with faked dialogs: the Mailer Number command, the single print, the
// first-show check, the pre-print run, the mailing-log seam and the stored numbers.
#include "collecting_target.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "decode.h"
#include "entry/mass_print.h"
#include "entry/print_run.h"
#include "numbers/mailer_numbers.h"
#include "piece/piece_log.h"
#include "print/mailer.h"
#include "print/page.h"
#include "print/page_printer.h"
#include "print/symbol_check.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

using namespace qm;
using namespace qm::test;

namespace {

// The dialogs a run opens, answered by script, with everything shown noted in order.
class FakeDialogs : public RunDialogs {
public:
    using NumbersAnswer = std::function<bool(GlobalVariables&, bool fromPrintRun)>;
    using PrePrintAnswer = std::function<bool(QString& custId, QString& serial, int& count)>;

    std::deque<NumbersAnswer> numbers;
    std::deque<PrePrintAnswer> prePrint;
    std::deque<bool> yesNo;
    QStringList shown; // "numbers", "preprint", "ask: ...", "refuse: ...", ...

    bool EditNumbers(GlobalVariables& g, bool fromPrintRun) override {
        shown << QStringLiteral("numbers");
        if (numbers.empty()) return Unexpected(false);
        NumbersAnswer a = std::move(numbers.front());
        numbers.pop_front();
        return a(g, fromPrintRun);
    }
    bool EditPrePrint(QString& custId, QString& serial, int& count) override {
        shown << QStringLiteral("preprint");
        if (prePrint.empty()) return Unexpected(false);
        PrePrintAnswer a = std::move(prePrint.front());
        prePrint.pop_front();
        return a(custId, serial, count);
    }
    bool AskYesNo(const QString& question, bool yesIsDefault) override {
        shown << QStringLiteral("ask%1: %2").arg(yesIsDefault ? "(yes)" : "(no)", question);
        if (yesNo.empty()) return Unexpected(false);
        const bool answer = yesNo.front();
        yesNo.pop_front();
        return answer;
    }
    void Refuse(const QString& m) override { shown << QStringLiteral("refuse: ") + m; }
    void Inform(const QString& m) override { shown << QStringLiteral("inform: ") + m; }
    void ShowError(const QString& m) override { shown << QStringLiteral("error: ") + m; }
    void Warn(const QString& m) override { shown << QStringLiteral("warn: ") + m; }
    std::deque<int> choices;
    int Choose(const QString& question, const QStringList& buttons, int defaultButton) override {
        shown << QStringLiteral("choose(%1): %2").arg(buttons.value(defaultButton - 1), question);
        if (choices.empty()) return Unexpected(false) ? 1 : defaultButton;
        const int answer = choices.front();
        choices.pop_front();
        return answer;
    }

private:
    bool Unexpected(bool answer) {
        shown << QStringLiteral("<unexpected>");
        return answer;
    }
};

// Answers of the Mailer Number dialog.
FakeDialogs::NumbersAnswer Cancel() {
    return [](GlobalVariables&, bool) { return false; };
}
// Notes the serial the dialog shows, then types one (empty: keeps it) and presses OK.
FakeDialogs::NumbersAnswer NoteSerialThenOk(QString* seen, const QString& typed = {}) {
    return [=](GlobalVariables& g, bool) {
        *seen = g.SerialNum;
        if (!typed.isEmpty()) g.SerialNum = typed;
        return true;
    };
}

// A log that notes every piece, or refuses them all.
class FakeLog : public PieceLog {
public:
    QString failure;
    int failFrom = 1; // the first piece refused with `failure`, counting from 1
    QStringList appended;
    QList<EntryFields> entries; // the fields of each piece entered
    int closed = 0;
    QString Append(const PrintRequest& r, const EntryFields& fields, const QString& data) override {
        if (!failure.isEmpty() && ++tried >= failFrom) return failure;
        appended << r.serial + QLatin1Char('/') + data;
        entries << fields;
        return {};
    }
    void Close() noexcept override { ++closed; }

private:
    int tried = 0;
};

// A printer that cannot begin a document, from the given document on (counting from 1).
class FailingTarget : public ImagePageTarget {
public:
    explicit FailingTarget(int failFrom = 1) : ImagePageTarget(100, 100), failFrom_(failFrom) {}
    QPainter& BeginDoc() override {
        if (++begun_ >= failFrom_) throw PrintError("There is no printer available.");
        return ImagePageTarget::BeginDoc();
    }

private:
    int failFrom_;
    int begun_ = 0;
};

// A printer whose barcode check sees its page with a band of bars whited out across one
// symbol (counted in drawing order); it prints as PagePrinter does.
class DamagedCheckPrinter : public PiecePrinter {
public:
    DamagedCheckPrinter(PageTarget& target, size_t symbol) : real_(target), symbol_(symbol) {}
    QString PrintMailer(const PrintRequest& r, bool barcodeMode) override {
        return real_.PrintMailer(r, barcodeMode);
    }
    void VerifyMailer(const PrintRequest& r, bool barcodeMode) override {
        ++checks;
        ImagePageTarget page(300, 300);
        std::vector<DrawnSymbol> symbols;
        qm::PrintMailer(r, barcodeMode, BasePrintFont(), page, &symbols);
        QImage image = page.Image();
        const QRect bars = symbols.at(symbol_).dots;
        const int middle = bars.center().x(), half = bars.width() / 40;
        for (int y = bars.top(); y <= bars.bottom(); ++y)
            for (int x = middle - half; x <= middle + half; ++x) image.scanLine(y)[x] = 255;
        if (const std::optional<SymbolFailure> failure = CheckSymbols(image, symbols))
            throw SymbolCheckError(failure->Message().toStdString());
    }
    int PrePrintLabels(int count, const QString& custId, const QString& firstSerial, int leftRight,
                       int topBottom,
                       const std::function<void(const QString& serial)>& labelPrinted) override {
        return real_.PrePrintLabels(count, custId, firstSerial, leftRight, topBottom, labelPrinted);
    }
    int checks = 0;

private:
    PagePrinter real_;
    size_t symbol_;
};

EntryFields Fields() {
    EntryFields f;
    f.senderLabels = {QStringLiteral("Acme Widgets"), QStringLiteral("100 Oak Road"),
                      QStringLiteral("Centerville OH 45459"), QString(), QString()};
    f.addresseeLines = {QStringLiteral("John Smith"), QStringLiteral("12 Main St"), QString(),
                        QString()};
    f.city = QStringLiteral("Springfield");
    f.state = QStringLiteral("IL");
    f.zipText = QStringLiteral("62701-    ");
    f.postage = QStringLiteral("          0.39");
    f.certFee = QStringLiteral("          2.40");
    f.returnFee = QStringLiteral("          1.85");
    f.total = QStringLiteral("          4.64");
    return f;
}

// Every test writes its settings into a folder of its own.
class PrintRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const QString child = qEnvironmentVariable("QM_CHILD_FOLDER");
        SetProgramFolderOverride(child.isEmpty() ? dir_.path() : child);
        g_ = GlobalVariables{};
        g_.CustID = QStringLiteral("123456789");
        g_.SerialNum = QStringLiteral("0000041");
        g_.SeenSerialNum = g_.SerialNum;
    }
    void TearDown() override { SetProgramFolderOverride(QString()); }
    QString SavedValue(const char* key) {
        QFile f(SettingsFilePath());
        if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<no settings file>");
        const QString text = QString::fromLatin1(f.readAll());
        for (const QString& line : text.split(QStringLiteral("\r\n")))
            if (line.startsWith(QLatin1String(key) + QLatin1Char('=')))
                return line.mid(int(qstrlen(key)) + 1);
        return QStringLiteral("<no key>");
    }
    void WriteSettings(const QByteArray& values) {
        QFile f(SettingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Values]\r\n" + values);
    }
    PrintOutcome Print(PageTarget& target) {
        PagePrinter printer(target);
        return RunSinglePrint(Fields(), g_, printer, dialogs_, log_);
    }
    PrintOutcome PrePrint(PageTarget& target) {
        PagePrinter printer(target);
        return RunPrePrint(g_, printer, dialogs_);
    }

    QTemporaryDir dir_;
    GlobalVariables g_;
    FakeDialogs dialogs_;
    FakeLog log_;
    ImagePageTarget target_{100, 100};
};

using Result = PrintOutcome::Result;

} // namespace

TEST_F(PrintRun, MenuDialogShowsNextSerialAndOkKeepsLastUsed) {
    QString seen;
    dialogs_.numbers.push_back(NoteSerialThenOk(&seen));
    RunMailerNumberCommand(g_, dialogs_);
    EXPECT_EQ(seen, QStringLiteral("0000042"));
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("<no settings file>"))
        << "nothing changed, nothing written";

    dialogs_.numbers.push_back(NoteSerialThenOk(&seen, QStringLiteral("0000100")));
    RunMailerNumberCommand(g_, dialogs_);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000099"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000099")) << "written at once";

    dialogs_.numbers.push_back([](GlobalVariables& g, bool fromPrintRun) {
        EXPECT_FALSE(fromPrintRun);
        g.SerialNum = QStringLiteral("0000500");
        return false;
    });
    RunMailerNumberCommand(g_, dialogs_);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000099")) << "Cancel restores";
    EXPECT_EQ(dialogs_.shown.size(), 3) << dialogs_.shown.join('|').toStdString();
}

TEST_F(PrintRun, MenuDialogCancelDropsHyphensOfCustomerId) {
    g_.CustID = QStringLiteral("00-000-0000");
    dialogs_.numbers.push_back(Cancel());
    RunMailerNumberCommand(g_, dialogs_);
    EXPECT_EQ(g_.CustID, QStringLiteral("000000000"));
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
}

TEST_F(PrintRun, PreNumberedMenuCommandStoresTheDataText) {
    g_.PrintBarCode = false;
    g_.MailerNum = QStringLiteral("420000009214712345678900000015");
    g_.SeenMailerNum = g_.MailerNum;
    QString seen;
    dialogs_.numbers.push_back([&](GlobalVariables& g, bool) {
        seen = TrackingDigits(g.MailerNum);
        g.MailerNum = MailerNumFromTracking(QStringLiteral("9214712345678900000503"));
        return true;
    });
    RunMailerNumberCommand(g_, dialogs_);
    EXPECT_EQ(seen, QStringLiteral("9214712345678900000022"));
    // OK keeps the last used number: one step back from the confirmed one.
    EXPECT_EQ(g_.MailerNum, QStringLiteral("420000009214712345678900000497"));
    EXPECT_EQ(SavedValue("MailerNum"), QStringLiteral("420000009214712345678900000497"));
}

TEST_F(PrintRun, CancelPrintsNothingAndRestores) {
    bool fromPrintRun = false;
    dialogs_.numbers.push_back([&](GlobalVariables&, bool f) {
        fromPrintRun = f;
        return false;
    });
    const PrintOutcome o = Print(target_);
    EXPECT_EQ(o.result, Result::Cancelled);
    EXPECT_TRUE(fromPrintRun);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
    EXPECT_EQ(target_.DocumentsEnded(), 0);
    EXPECT_TRUE(log_.appended.isEmpty());
    EXPECT_EQ(log_.closed, 1);
}

TEST_F(PrintRun, DoNotShowAgainSkipsTheDialogOnLaterPrints) {
    dialogs_.numbers.push_back([](GlobalVariables& g, bool) {
        g.ConfirmNumbers = false; // the check box "Do not show this screen again"
        return true;
    });
    PrintOutcome o = Print(target_);
    ASSERT_EQ(o.result, Result::Printed) << o.message.toStdString();
    EXPECT_EQ(o.barcodeData, QStringLiteral("420627019214712345678900000428"));
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
    o = Print(target_);
    EXPECT_TRUE(o.Printed());
    EXPECT_EQ(dialogs_.shown, QStringList{QStringLiteral("numbers")});
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000043"));
    EXPECT_EQ(target_.DocumentsEnded(), 2);
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000043"));
    EXPECT_EQ(log_.appended,
              (QStringList{QStringLiteral("0000042/420627019214712345678900000428"),
                           QStringLiteral("0000043/420627019214712345678900000435")}));
    EXPECT_EQ(log_.closed, 2);
}

TEST_F(PrintRun, UnsetCustomerIdsAreRefusedInBarcodeMode) {
    g_.ConfirmNumbers = false;
    for (const char* cust : {"00-000-0000", "000000000"}) {
        g_.CustID = QString::fromLatin1(cust);
        dialogs_.shown.clear();
        const PrintOutcome o = Print(target_);
        EXPECT_EQ(o.result, Result::Refused) << cust;
        EXPECT_EQ(dialogs_.shown,
                  QStringList{QStringLiteral("refuse: ") + SinglePrintUnsetCustomerMessage()});
        EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041")) << cust;
        EXPECT_EQ(g_.CustID, QString::fromLatin1(cust));
        EXPECT_EQ(target_.DocumentsEnded(), 0);
    }
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("<no settings file>"));
    // Pre-numbered mailers carry their own number: the customer ID does not matter.
    g_.PrintBarCode = false;
    EXPECT_TRUE(Print(target_).Printed());
}

TEST_F(PrintRun, PrintErrorFailsAndTheNumberStaysUsed) {
    g_.ConfirmNumbers = false;
    FailingTarget broken;
    const PrintOutcome o = Print(broken);
    EXPECT_EQ(o.result, Result::Failed);
    EXPECT_EQ(o.message, QStringLiteral("There is no printer available."));
    EXPECT_EQ(dialogs_.shown, QStringList{QStringLiteral("error: There is no printer available.")});
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000042"));
    EXPECT_TRUE(log_.appended.isEmpty());
    EXPECT_EQ(log_.closed, 1);
}

// A page whose symbol does not read back is refused before its number is stored: nothing
// printed, nothing logged, the number free in memory and in the settings file. Turned off,
// the check is not made and the same piece prints.
TEST_F(PrintRun, ADamagedSymbolIsRefusedBeforeTheNumberIsUsed) {
    g_.ConfirmNumbers = false;
    g_.Zip = QStringLiteral("45459");
    const struct Case {
        bool barcodeMode;
        size_t symbol;
        const char* name;
    } cases[] = {
        {true, 0, "The tracking barcode with the addressee's ZIP code"},
        {true, 4, "The addressee's ZIP barcode on the extra label"},
        {false, 0, "The sender's ZIP barcode"}, // pre-numbered forms: ZIP symbols only
    };
    for (const Case& c : cases) {
        g_.PrintBarCode = c.barcodeMode;
        g_.MailerNum = QStringLiteral("420000009214712345678900000015");
        g_.VerifyBarcodes = true;
        ImagePageTarget printed(100, 100);
        DamagedCheckPrinter printer(printed, c.symbol);
        log_.appended.clear();
        // A first piece prints and is logged: its number is stored.
        dialogs_.shown.clear();
        PagePrinter clean(printed);
        ASSERT_TRUE(RunSinglePrint(Fields(), g_, clean, dialogs_, log_).Printed()) << c.name;
        const QString serial = g_.SerialNum, mailerNum = g_.MailerNum;
        const QString savedSerial = SavedValue("SerialNum"), savedMailer = SavedValue("MailerNum");

        const PrintOutcome o = RunSinglePrint(Fields(), g_, printer, dialogs_, log_);
        EXPECT_EQ(o.result, Result::Failed) << c.name;
        EXPECT_EQ(printer.checks, 1);
        // What failed, that nothing was printed and the number was not used.
        EXPECT_TRUE(o.message.startsWith(
            QStringLiteral("The barcode check before printing stopped this mailer:\n\n%1 could "
                           "not be read back")
                .arg(QString::fromLatin1(c.name))))
            << o.message.toStdString();
        EXPECT_TRUE(o.message.endsWith(
            QStringLiteral(".\n\nNothing was printed and the number was not used.")))
            << o.message.toStdString();
        EXPECT_EQ(dialogs_.shown, QStringList{QStringLiteral("error: ") + o.message});
        EXPECT_EQ(printed.DocumentsEnded(), 1) << c.name << ": only the first piece printed";
        EXPECT_EQ(log_.appended.size(), 1) << c.name << ": only the first piece logged";
        EXPECT_EQ(g_.SerialNum, serial) << c.name;
        EXPECT_EQ(g_.MailerNum, mailerNum) << c.name;
        EXPECT_EQ(SavedValue("SerialNum"), savedSerial) << c.name;
        EXPECT_EQ(SavedValue("MailerNum"), savedMailer) << c.name;

        // Without the check the piece prints with the number the refused one would have had.
        g_.VerifyBarcodes = false;
        const PrintOutcome unchecked = RunSinglePrint(Fields(), g_, printer, dialogs_, log_);
        EXPECT_TRUE(unchecked.Printed()) << c.name << ": " << unchecked.message.toStdString();
        EXPECT_EQ(printer.checks, 1) << "no check made";
        EXPECT_EQ(printed.DocumentsEnded(), 2);
        EXPECT_EQ(log_.appended.size(), 2);
        EXPECT_NE(c.barcodeMode ? g_.SerialNum : g_.MailerNum, c.barcodeMode ? serial : mailerNum);
    }
}

// The real printer checks its page at the target's resolution: an alignment that pushes the
// tracking symbol off the printable area is refused, naming it.
TEST_F(PrintRun, ASymbolOffThePageIsRefusedByThePagePrintersCheck) {
    g_.ConfirmNumbers = false;
    g_.LeftRight = -70;
    const PrintOutcome o = Print(target_);
    EXPECT_EQ(o.result, Result::Failed);
    EXPECT_EQ(o.message.toStdString(),
              BarcodeCheckFailedMessage(
                  QStringLiteral("The tracking barcode with the addressee's ZIP code "
                                 "lies partly off the printable area of the page."))
                  .toStdString());
    EXPECT_EQ(target_.DocumentsEnded(), 0);
    EXPECT_TRUE(log_.appended.isEmpty());
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("<no settings file>"));
    g_.LeftRight = 0;
    EXPECT_TRUE(Print(target_).Printed());
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
}

TEST_F(PrintRun, EmptyAddresseeAsksBeforeANumberIsUsed) {
    g_.ConfirmNumbers = false;
    EntryFields empty = Fields();
    empty.addresseeLines = {QStringLiteral(" "), QString(), QString(), QString()};
    empty.city.clear();
    empty.zipText = QStringLiteral("     -    ");
    dialogs_.yesNo = {false, true};
    PagePrinter printer(target_);
    PrintOutcome o = RunSinglePrint(empty, g_, printer, dialogs_, log_);
    EXPECT_EQ(o.result, Result::Cancelled);
    EXPECT_EQ(dialogs_.shown, QStringList{QStringLiteral("ask(no): The addressee is empty. "
                                                         "Print anyway?")});
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("<no settings file>"));
    EXPECT_EQ(target_.DocumentsEnded(), 0);
    o = RunSinglePrint(empty, g_, printer, dialogs_, log_);
    EXPECT_TRUE(o.Printed());
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
    // A filled addressee asks nothing.
    dialogs_.shown.clear();
    EXPECT_TRUE(Print(target_).Printed());
    EXPECT_TRUE(dialogs_.shown.isEmpty()) << dialogs_.shown.join('|').toStdString();
}

TEST_F(PrintRun, ALogThatFailsWarnsWithTheTrackingNumberAndKeepsTheNumber) {
    g_.ConfirmNumbers = false;
    log_.failure = QStringLiteral("Unable to write to report3.dbf");
    const PrintOutcome o = Print(target_);
    EXPECT_EQ(o.result, Result::Printed);
    EXPECT_TRUE(o.warning.contains(QLatin1String("9214 7123 4567 8900 0004 28")))
        << o.warning.toStdString();
    EXPECT_TRUE(o.warning.contains(QLatin1String("not")) &&
                o.warning.contains(QLatin1String("report3.dbf")));
    EXPECT_EQ(dialogs_.shown, QStringList{QStringLiteral("warn: ") + o.warning});
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000042"));
    EXPECT_EQ(log_.closed, 1);
    EXPECT_EQ(target_.DocumentsEnded(), 1);
}

TEST_F(PrintRun, FirstShowAsksForAnUnsetCustomerId) {
    for (const char* cust : {"00-000-0000", "000000000"}) {
        g_.CustID = QString::fromLatin1(cust);
        dialogs_.shown.clear();
        QString shownSerial;
        dialogs_.numbers.push_back([&](GlobalVariables& g, bool) {
            shownSerial = g.SerialNum;
            g.CustID = QStringLiteral("987654321");
            return true;
        });
        RunFirstShowCustomerCheck(g_, dialogs_);
        EXPECT_EQ(dialogs_.shown,
                  (QStringList{QStringLiteral("inform: ") + FirstShowCustomerMessage(),
                               QStringLiteral("numbers")}));
        EXPECT_EQ(shownSerial, QStringLiteral("0000041")) << "stored values, no stepping";
        EXPECT_EQ(g_.CustID, QStringLiteral("987654321"));
        EXPECT_EQ(SavedValue("CustID"), QStringLiteral("987654321"));
    }
    dialogs_.shown.clear();
    RunFirstShowCustomerCheck(g_, dialogs_);
    g_.PrintBarCode = false;
    g_.CustID = QStringLiteral("000000000");
    RunFirstShowCustomerCheck(g_, dialogs_);
    EXPECT_TRUE(dialogs_.shown.isEmpty());
}

// A damaged customer ID is named at the first showing, and the dialog opens on it.
TEST_F(PrintRun, FirstShowNamesADamagedCustomerId) {
    WriteSettings("CustID=12345678AB\r\nSerialNum=0000041\r\n");
    LoadSettings(g_);
    dialogs_.numbers.push_back([](GlobalVariables& g, bool) {
        g.CustID = QStringLiteral("123456789");
        return true;
    });
    RunFirstShowCustomerCheck(g_, dialogs_);
    ASSERT_EQ(dialogs_.shown.size(), 2) << dialogs_.shown.join('|').toStdString();
    EXPECT_TRUE(dialogs_.shown[0].startsWith(
        QStringLiteral("warn: quill4.ini (%1): CustID=12345678AB is not a nine-digit customer ID.")
            .arg(QDir::toNativeSeparators(SettingsFilePath()))))
        << dialogs_.shown[0].toStdString();
    EXPECT_EQ(dialogs_.shown[1], QStringLiteral("numbers"));
    EXPECT_EQ(SavedValue("CustID"), QStringLiteral("123456789"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000041")) << "no stepping";
}

// Pre-print leaves SerialNum at the last label it printed, so the next single print
// never repeats a label's number.
TEST_F(PrintRun, PrePrintThenTwoSinglePrintsGiveFiveDistinctNumbers) {
    CollectingTarget pages;
    QString proposed;
    dialogs_.yesNo = {true};
    dialogs_.prePrint.push_back([&](QString&, QString& serial, int& count) {
        proposed = serial;
        count = 3;
        return true;
    });
    const PrintOutcome pre = PrePrint(pages);
    ASSERT_EQ(pre.result, Result::Printed) << pre.message.toStdString();
    EXPECT_EQ(pre.labels, 3);
    EXPECT_EQ(proposed, QStringLiteral("0000042"));
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000044"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000044"));
    g_.ConfirmNumbers = false;
    EXPECT_TRUE(Print(pages).Printed());
    EXPECT_TRUE(Print(pages).Printed());
    ASSERT_EQ(pages.pages.size(), 5u);
    QStringList numbers;
    for (const QImage& page : pages.pages) {
        const QStringList onPage = TrackingNumbersOn(page);
        EXPECT_EQ(onPage.size(), 1) << onPage.join('|').toStdString();
        numbers << onPage;
    }
    EXPECT_EQ(numbers, (QStringList{QStringLiteral("9214712345678900000428"),
                                    QStringLiteral("9214712345678900000435"),
                                    QStringLiteral("9214712345678900000442"),
                                    QStringLiteral("9214712345678900000459"),
                                    QStringLiteral("9214712345678900000466")}));
}

TEST_F(PrintRun, PrePrintWrapsAndAFailedRunKeepsTheLastPrintedLabel) {
    ImagePageTarget pages(100, 100);
    g_.SerialNum = QStringLiteral("9999997");
    g_.SeenSerialNum = g_.SerialNum;
    dialogs_.yesNo = {true, true};
    auto three = [](QString&, QString&, int& count) {
        count = 3;
        return true;
    };
    dialogs_.prePrint = {three, three};
    PrintOutcome o = PrePrint(pages);
    EXPECT_EQ(o.labels, 3);
    EXPECT_EQ(pages.DocumentsEnded(), 3);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000001")) << "9999998, 9999999, 0000001";
    // The second label fails: the first one printed stays used, the rest are free again.
    FailingTarget failing(2);
    o = PrePrint(failing);
    EXPECT_EQ(o.result, Result::Failed);
    EXPECT_EQ(o.labels, 1);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000002"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000002"));
    EXPECT_EQ(dialogs_.shown.last(), QStringLiteral("error: There is no printer available."));
}

TEST_F(PrintRun, PrePrintCancelRestoresAndUnsetCustomerIsRefused) {
    dialogs_.yesNo = {true, false, true};
    dialogs_.prePrint.push_back([](QString&, QString&, int&) { return false; });
    EXPECT_EQ(PrePrint(target_).result, Result::Cancelled);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
    EXPECT_EQ(PrePrint(target_).result, Result::Cancelled);
    EXPECT_EQ(dialogs_.shown.size(), 3) << "No asks nothing more";
    EXPECT_TRUE(dialogs_.shown[0].startsWith(QStringLiteral("ask(yes): ")));

    g_.CustID = QStringLiteral("00-000-0000");
    dialogs_.prePrint.push_back([](QString& cust, QString&, int& count) {
        cust = QStringLiteral("000000000"); // the dialog's field drops the hyphens
        count = 1;
        return true;
    });
    EXPECT_EQ(PrePrint(target_).result, Result::Refused);
    EXPECT_EQ(dialogs_.shown.last(), QStringLiteral("refuse: ") + PrePrintUnsetCustomerMessage());
    EXPECT_EQ(target_.DocumentsEnded(), 0);
    EXPECT_EQ(g_.CustID, QStringLiteral("000000000")) << "the dialog's values stay";
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
}

// A stored number that is not a number opens the dialog with the field empty for the
// user to repair, instead of failing every print.
TEST_F(PrintRun, DamagedStoredSerialIsRepairedThroughTheDialog) {
    WriteSettings("SerialNum=\r\nCustID=123456789\r\n");
    LoadSettings(g_);
    g_.ConfirmNumbers = false;
    QString shown = QStringLiteral("<not shown>");
    dialogs_.numbers.push_back(NoteSerialThenOk(&shown, QStringLiteral("0000100")));
    const PrintOutcome o = Print(target_);
    ASSERT_TRUE(o.Printed()) << o.message.toStdString();
    EXPECT_EQ(shown, QString());
    EXPECT_EQ(o.barcodeData, QStringLiteral("420627019214712345678900001005"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000100"));
    // The menu command repairs it as well.
    WriteSettings("SerialNum=12x\r\nCustID=123456789\r\n");
    LoadSettings(g_);
    dialogs_.numbers.push_back(NoteSerialThenOk(&shown, QStringLiteral("0000200")));
    RunMailerNumberCommand(g_, dialogs_);
    EXPECT_EQ(shown, QString());
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000199"));
}

// A key of quill4.ini that holds no value of its kind stops the print: the message names the
// file, the key and the value, the Mailer Number dialog opens where it sets the key, and
// nothing is printed, logged or stored until it is corrected. No number is made of zeros.
TEST_F(PrintRun, ADamagedSettingIsNamedAndStopsThePrint) {
    const struct Case {
        const char* stored; // lines after [Values]
        const char* named;  // as the message names it
        bool numbersDialog; // the Mailer Number dialog sets the key
    } cases[] = {
        {"CustID=1234567890\r\nSerialNum=0000041\r\n", "CustID=1234567890", true},
        {"CustID=12345678AB\r\nSerialNum=0000041\r\n", "CustID=12345678AB", true},
        {"CustID=12345678\r\nSerialNum=0000041\r\n", "CustID=12345678", true},
        {"CustID=123456789\r\nSerialNum=00000A1\r\n", "SerialNum=00000A1", true},
        {"CustID=123456789\r\nSerialNum=12345678\r\n", "SerialNum=12345678", true},
        {"CustID=123456789\r\nSerialNum=+41\r\n", "SerialNum=+41", true},
        {"CustID=123456789\r\n[Print Align]\r\nLeftRight=abc\r\n", "LeftRight=abc", false},
        {"CustID=123456789\r\n[Print Align]\r\nTopBottom=1.5\r\n", "TopBottom=1.5", false},
        {"PrintBarCode=yes\r\nCustID=123456789\r\n", "PrintBarCode=yes", false},
        {"PrintBarCode=0\r\nMailerNum=92147ABCDEFGHI12345678\r\n",
         "MailerNum=92147ABCDEFGHI12345678", true},
        {"PrintBarCode=0\r\nIncrement=up\r\nMailerNum=420000009214712345678900000015\r\n",
         "Increment=up", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        g_ = GlobalVariables{};
        WriteSettings(c.stored);
        QFile file(SettingsFilePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        LoadSettings(g_);
        const GlobalVariables read = g_;
        g_.ConfirmNumbers = false;
        dialogs_.shown.clear();
        if (c.numbersDialog) dialogs_.numbers.push_back(Cancel());

        const PrintOutcome o = Print(target_);
        EXPECT_EQ(o.result, Result::Refused);
        const QString named =
            QStringLiteral("quill4.ini (%1): %2 is not ")
                .arg(QDir::toNativeSeparators(SettingsFilePath()), QString::fromLatin1(c.named));
        EXPECT_TRUE(o.message.startsWith(named)) << o.message.toStdString();
        QStringList expected{QStringLiteral("refuse: ") + o.message};
        if (c.numbersDialog) expected << QStringLiteral("numbers");
        EXPECT_EQ(dialogs_.shown, expected) << dialogs_.shown.join('|').toStdString();
        EXPECT_EQ(target_.DocumentsEnded(), 0);
        EXPECT_TRUE(log_.appended.isEmpty());
        EXPECT_EQ(g_.SerialNum, read.SerialNum);
        EXPECT_EQ(g_.MailerNum, read.MailerNum);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before) << "nothing stored";
        file.close();
    }
}

// Corrected in the dialog the print goes on with the corrected number, which is stored; a
// file without a fault prints as it always did.
TEST_F(PrintRun, ASettingCorrectedInTheDialogPrints) {
    WriteSettings("CustID=12345678AB\r\nSerialNum=0000041\r\n");
    LoadSettings(g_);
    g_.ConfirmNumbers = false;
    QString shownCustomer;
    dialogs_.numbers.push_back([&](GlobalVariables& g, bool) {
        shownCustomer = g.CustID;
        g.CustID = QStringLiteral("123456789");
        return true;
    });
    PrintOutcome o = Print(target_);
    ASSERT_TRUE(o.Printed()) << o.message.toStdString();
    EXPECT_EQ(shownCustomer, QStringLiteral("12345678AB"));
    EXPECT_EQ(o.barcodeData, QStringLiteral("420627019214712345678900000428"));
    EXPECT_EQ(SavedValue("CustID"), QStringLiteral("123456789"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000042"));
    // The next print asks nothing.
    dialogs_.shown.clear();
    EXPECT_TRUE(Print(target_).Printed());
    EXPECT_TRUE(dialogs_.shown.isEmpty()) << dialogs_.shown.join('|').toStdString();

    g_ = GlobalVariables{};
    WriteSettings("CustID=00-987-6543\r\nSerialNum=77\r\n[Print Align]\r\nLeftRight=-5\r\n"
                  "TopBottom=$A\r\n");
    LoadSettings(g_);
    g_.ConfirmNumbers = false;
    dialogs_.shown.clear();
    o = Print(target_);
    ASSERT_TRUE(o.Printed()) << o.message.toStdString();
    EXPECT_TRUE(dialogs_.shown.isEmpty()) << dialogs_.shown.join('|').toStdString();
    EXPECT_EQ(o.barcodeData.mid(8, 21), QStringLiteral("921470098765430000078"));
    EXPECT_EQ(g_.LeftRight, -5);
    EXPECT_EQ(g_.TopBottom, 10);
}

// Another copy moved the number since this one read it: the run adopts it, and the
// dialog shows the adopted number.
TEST_F(PrintRun, NumbersStoredByAnotherCopyAreAdopted) {
    WriteSettings("SerialNum=0000041\r\nCustID=123456789\r\n");
    LoadSettings(g_);
    WriteSettings("SerialNum=0000500\r\nCustID=123456789\r\n"); // the other copy
    QString shown;
    dialogs_.numbers.push_back(NoteSerialThenOk(&shown));
    const PrintOutcome o = Print(target_);
    EXPECT_EQ(shown, QStringLiteral("0000501"));
    EXPECT_EQ(o.barcodeData, QStringLiteral("420627019214712345678900005010"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000501"));
    // The exit's save never writes back an older number.
    WriteSettings("SerialNum=0000700\r\nCustID=123456789\r\n");
    SaveSettings(g_);
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000700"));
    // Our own newer number is written as usual.
    g_.SeenSerialNum = QStringLiteral("0000700");
    g_.SerialNum = QStringLiteral("0000701");
    SaveSettings(g_);
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000701"));
}

// The numbers reach the disk with the print itself: a process that ends without
// saving its settings leaves the file with the number it used last.
TEST_F(PrintRun, NumbersSurviveAProcessThatNeverSavesItsSettings) {
    if (qEnvironmentVariableIsSet("QM_CHILD_PRINT")) {
        g_.ConfirmNumbers = false;
        Print(target_);
        Print(target_);
        std::_Exit(0); // no SaveSettings at exit
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QM_CHILD_PRINT"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QM_CHILD_FOLDER"), dir_.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral(
                    "--gtest_filter=PrintRun.NumbersSurviveAProcessThatNeverSavesItsSettings")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000043"));
}

namespace {

// Address records of a mass print: the addressee's first line names the record.
class FakeRecords : public MassPrintSource {
public:
    explicit FakeRecords(int count) : count_(count) {}
    unsigned Count() override { return unsigned(count_); }
    void First() override { at_ = 0; }
    bool AtEnd() override { return at_ >= count_; }
    void Next() override {
        if (++moves_ == failAtMove) throw std::runtime_error("Corrupted index file: book.MDX");
        ++at_;
    }
    EntryFields Fields() override {
        EntryFields f = ::Fields();
        f.addresseeLines[0] = QStringLiteral("Record %1").arg(at_ + 1);
        if (zips.count(at_ + 1)) f.zipText = zips.at(at_ + 1);
        if (lines.count(at_ + 1)) f.addresseeLines[1] = lines.at(at_ + 1);
        return f;
    }
    bool Deleted() override { return deleted.count(at_ + 1) > 0; }
    unsigned RecNo() override { return unsigned(at_ + 1); }

    std::set<int> deleted;              // records marked deleted, from 1
    std::map<int, QString> zips, lines; // ZIP texts and second lines of some records
    int failAtMove = 0;                 // the move that meets a damaged index (0: none)

private:
    int count_;
    int at_ = 0;
    int moves_ = 0;
};

} // namespace

TEST_F(PrintRun, MassPrintConfirmedOnceGivesConsecutiveNumbersAndSaysWhichWerePrinted) {
    CollectingTarget target;
    PagePrinter printer(target);
    FakeRecords records(3);
    QString seen;
    dialogs_.yesNo = {true};
    dialogs_.numbers = {[&](GlobalVariables& g, bool fromRun) {
        seen = g.SerialNum;
        EXPECT_TRUE(fromRun);
        g.ConfirmNumbers = false; // "Do not show this screen again"
        return true;
    }};
    QStringList progress;
    const MassPrintOutcome out =
        RunMassPrint(records, g_, printer, dialogs_, log_, [&](int piece, int count) {
            progress << QStringLiteral("%1 of %2").arg(piece).arg(count);
            return true;
        });
    EXPECT_EQ(seen, QStringLiteral("0000042"));
    EXPECT_EQ(dialogs_.shown,
              (QStringList{QStringLiteral("ask(yes): You are about to print 3 labels.\n\rWould "
                                          "you like to continue?"),
                           QStringLiteral("numbers")}));
    EXPECT_EQ(progress, (QStringList{"1 of 3", "2 of 3", "3 of 3"}));
    EXPECT_EQ(out.printed, 3);
    EXPECT_EQ(out.logged, 3);
    EXPECT_EQ(log_.closed, 1);
    ASSERT_EQ(log_.appended.size(), 3);
    ASSERT_EQ(target.pages.size(), 3u);
    // The serials as zbarimg reads them off the three pages.
    QStringList serials;
    for (const QImage& page : target.pages) {
        const QStringList numbers = TrackingNumbersOn(page);
        ASSERT_EQ(numbers.size(), 1);
        serials << numbers[0].mid(14, 7);
    }
    EXPECT_EQ(serials, (QStringList{"0000042", "0000043", "0000044"}));
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000044"));
    EXPECT_EQ(SavedValue("SerialNum"), QStringLiteral("0000044"));
    // The numbers the summary names are the printed tracking numbers, as people read them.
    EXPECT_EQ(QString(out.firstNumber).remove(QLatin1Char(' ')),
              TrackingNumbersOn(target.pages[0])[0]);
    EXPECT_EQ(QString(out.lastNumber).remove(QLatin1Char(' ')),
              TrackingNumbersOn(target.pages[2])[0]);
    const QString summary = MassPrintSummary(out);
    EXPECT_TRUE(summary.startsWith(QStringLiteral("3 of the pieces were printed and 3 entered")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(out.lastNumber));
}

TEST_F(PrintRun, MassPrintStopsAtNoAtAnUnsetCustomerIdAndAtCancel) {
    PagePrinter printer(target_);
    {
        // No: nothing printed, ConfirmNumbers as it was.
        FakeRecords records(2);
        g_.ConfirmNumbers = false;
        dialogs_.yesNo = {false};
        const MassPrintOutcome out = RunMassPrint(records, g_, printer, dialogs_, log_);
        EXPECT_FALSE(out.asked);
        EXPECT_FALSE(g_.ConfirmNumbers);
        EXPECT_EQ(target_.DocumentsEnded(), 0);
    }
    for (const char* unset : {"000000000", "00-000-0000"}) {
        FakeRecords records(2);
        dialogs_.shown.clear();
        g_.CustID = QString::fromLatin1(unset);
        dialogs_.yesNo = {true};
        dialogs_.numbers = {[](GlobalVariables&, bool) { return true; }};
        const MassPrintOutcome out = RunMassPrint(records, g_, printer, dialogs_, log_);
        EXPECT_EQ(out.printed, 0);
        EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041")) << unset;
        EXPECT_EQ(dialogs_.shown.last(),
                  QStringLiteral("refuse: You can not print a Mailer with \"000000000\" as a "
                                 "Customer ID. \r\nPlease enter in a Customer ID , and try "
                                 "again."));
    }
    EXPECT_EQ(target_.DocumentsEnded(), 0);
    EXPECT_TRUE(log_.appended.isEmpty());

    // Cancel pressed while piece 2 prints: piece 2 is finished, piece 3 is not started.
    g_.CustID = QStringLiteral("123456789");
    g_.ConfirmNumbers = false;
    FakeRecords records(4);
    dialogs_.yesNo = {true};
    dialogs_.numbers = {[](GlobalVariables& g, bool) {
        g.ConfirmNumbers = false;
        return true;
    }};
    const MassPrintOutcome out = RunMassPrint(records, g_, printer, dialogs_, log_,
                                              [](int piece, int) { return piece < 3; });
    EXPECT_TRUE(out.cancelled);
    EXPECT_EQ(out.printed, 2);
    EXPECT_EQ(target_.DocumentsEnded(), 2);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000043"));
    EXPECT_TRUE(MassPrintSummary(out).contains(QStringLiteral("cancelled")));
}

TEST_F(PrintRun, MassPrintStopsAtAPrintErrorKeepingThePiecesPrinted) {
    FailingTarget failing(3);
    PagePrinter printer(failing);
    FakeRecords records(5);
    dialogs_.yesNo = {true};
    dialogs_.numbers = {[](GlobalVariables& g, bool) {
        g.ConfirmNumbers = false;
        return true;
    }};
    const MassPrintOutcome out = RunMassPrint(records, g_, printer, dialogs_, log_);
    EXPECT_EQ(out.printed, 2);
    EXPECT_EQ(out.stop, Result::Failed);
    EXPECT_EQ(log_.appended.size(), 2);
    EXPECT_TRUE(dialogs_.shown.last().startsWith(QStringLiteral("error: ")));
    // The number of the failed piece stays used.
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000044"));
}

// The first piece the log refuses ends the run before the next one prints; no warning stands
// over the progress window meanwhile, and the closing message names the piece and the count.
TEST_F(PrintRun, MassPrintStopsAtTheFirstPieceItCannotLog) {
    CollectingTarget target;
    PagePrinter printer(target);
    FakeRecords records(5);
    dialogs_.yesNo = {true};
    dialogs_.numbers = {[](GlobalVariables&, bool) { return true; }};
    log_.failure = QStringLiteral("The log table is locked.");
    log_.failFrom = 3;
    const MassPrintOutcome out = RunMassPrint(records, g_, printer, dialogs_, log_);
    EXPECT_EQ(out.printed, 3);
    EXPECT_EQ(out.logged, 2);
    EXPECT_EQ(target.pages.size(), 3u);
    EXPECT_EQ(log_.appended.size(), 2);
    for (const QString& shown : dialogs_.shown)
        EXPECT_FALSE(shown.startsWith(QStringLiteral("warn"))) << shown.toStdString();
    const QString summary = MassPrintSummary(out);
    EXPECT_TRUE(summary.startsWith(
        QStringLiteral("3 of the pieces were printed and 2 entered in the mailing log.")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("The run was stopped after 3 pieces:")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(out.lastNumber + QStringLiteral(" was printed, but it could not "
                                                                 "be entered in the mailing log")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(log_.failure)) << summary.toStdString();
}

// The checks of the Print button stop a wrong piece before a number is used: a ZIP that is not
// five or nine digits, a fee that is not money, and, on the user's word, an empty ZIP and a
// line longer than the log keeps.
TEST_F(PrintRun, WrongPiecesAreStoppedBeforeANumberIsUsed) {
    g_.ConfirmNumbers = false;
    struct Case {
        const char* name;
        std::function<void(EntryFields&)> change;
        QString shown; // the refusal or question, as the fake notes it
        PrintOutcome::Focus focus;
    };
    const QString wrongZip = QStringLiteral(
        "refuse: The ZIP code \"%1\" cannot be printed: a ZIP code has 5 digits, or 9 digits "
        "with the ZIP+4 extension. Nothing was printed.");
    const Case cases[] = {
        {"four digits", [](EntryFields& f) { f.zipText = QStringLiteral("1990 -    "); },
         wrongZip.arg(QStringLiteral("1990")), PrintOutcome::Focus::Zip},
        {"eight digits", [](EntryFields& f) { f.zipText = QStringLiteral("12345-678 "); },
         wrongZip.arg(QStringLiteral("12345-678")), PrintOutcome::Focus::Zip},
        {"fee with a letter", [](EntryFields& f) { f.postage = QStringLiteral("0.39f"); },
         QStringLiteral("refuse: The fee \"0.39f\" is not an amount of money. Type it in dollars "
                        "and cents, for example 2.40."),
         PrintOutcome::Focus::Fee},
        {"negative fee", [](EntryFields& f) { f.returnFee = QStringLiteral("-2"); },
         QStringLiteral("refuse: The fee \"-2\" is not an amount of money. Type it in dollars "
                        "and cents, for example 2.40."),
         PrintOutcome::Focus::Fee},
        {"empty ZIP, No", [](EntryFields& f) { f.zipText = QStringLiteral("     -    "); },
         QStringLiteral("ask(no): The ZIP code is empty. The mailer will be printed without one: "
                        "its tracking barcodes will carry the tracking number alone, without a "
                        "ZIP routing code, and its extra label no ZIP barcode. Print anyway?"),
         PrintOutcome::Focus::None},
        {"long line, Edit",
         [](EntryFields& f) {
             f.addresseeLines[1] = QStringLiteral("1234 Very Long Avenue Name Suite");
         },
         QStringLiteral("choose(Edit): Line 2 has 32 characters; the mailing log keeps 30. Print "
                        "it shortened to 30 on the form and in the log?"),
         PrintOutcome::Focus::AddressLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs_.shown.clear();
        dialogs_.yesNo = {false};
        dialogs_.choices = {2};
        EntryFields f = Fields();
        c.change(f);
        PagePrinter printer(target_);
        const PrintOutcome out = RunSinglePrint(f, g_, printer, dialogs_, log_);
        EXPECT_FALSE(out.Printed());
        EXPECT_EQ(dialogs_.shown.join(u'|').toStdString(), c.shown.toStdString());
        EXPECT_EQ(out.focus, c.focus);
        if (c.focus == PrintOutcome::Focus::AddressLine) {
            EXPECT_EQ(out.focusLine, 1);
            EXPECT_EQ(out.focusColumn, 30);
        }
        EXPECT_EQ(target_.DocumentsEnded(), 0);
        EXPECT_TRUE(log_.appended.isEmpty());
        EXPECT_EQ(g_.SerialNum, QStringLiteral("0000041"));
    }
    EXPECT_EQ(log_.closed, int(std::size(cases)));

    // Yes to the empty ZIP prints without a ZIP; Shorten prints and logs the same 30 characters.
    EntryFields f = Fields();
    f.zipText = QStringLiteral("     -    ");
    f.addresseeLines[0] = QStringLiteral("Bartholomew Fitzgerald-Johnson III");
    dialogs_.shown.clear();
    dialogs_.yesNo = {true};
    dialogs_.choices = {1};
    PagePrinter printer(target_);
    const PrintOutcome out = RunSinglePrint(f, g_, printer, dialogs_, log_);
    ASSERT_TRUE(out.Printed()) << dialogs_.shown.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(log_.entries.size(), 1);
    EXPECT_EQ(log_.entries[0].addresseeLines[0], QStringLiteral("Bartholomew Fitzgerald-Johnso"
                                                                "n"));
    EXPECT_EQ(log_.entries[0].addresseeLines[0].size(), 30);
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000042"));
}

// A mass print leaves out records marked deleted and records whose ZIP cannot be printed,
// names them in its question and its closing message, shortens long lines on the form and
// in the log alike, and shows the Mailer Number dialog once although "do not show" is not
// ticked.
TEST_F(PrintRun, MassPrintSkipsDeletedAndWrongZipRecordsAndAsksForTheNumberOnce) {
    PagePrinter printer(target_);
    FakeRecords records(5);
    records.deleted = {2};
    records.zips = {{4, QStringLiteral("1990 -    ")}};
    records.lines = {{5, QStringLiteral("Suite 2100, Building 7, Floor 12 East")}};
    dialogs_.yesNo = {true};
    dialogs_.numbers = {[](GlobalVariables&, bool) { return true; }}; // box not ticked
    QStringList progress;
    const MassPrintOutcome out =
        RunMassPrint(records, g_, printer, dialogs_, log_, [&](int piece, int count) {
            progress << QStringLiteral("%1 of %2").arg(piece).arg(count);
            return true;
        });
    EXPECT_EQ(dialogs_.shown,
              (QStringList{QStringLiteral("ask(yes): You are about to print 3 labels (1 deleted "
                                          "record skipped, 1 record with a wrong ZIP code "
                                          "skipped).\n1 record has an address line longer than "
                                          "30 characters; it is printed and logged shortened to "
                                          "30.\n\rWould you like to continue?"),
                           QStringLiteral("numbers")}));
    EXPECT_EQ(progress, (QStringList{"1 of 3", "2 of 3", "3 of 3"}));
    EXPECT_EQ(out.printed, 3);
    EXPECT_EQ(target_.DocumentsEnded(), 3);
    ASSERT_EQ(log_.entries.size(), 3);
    QStringList names;
    for (const EntryFields& e : log_.entries) names << e.addresseeLines[0];
    EXPECT_EQ(names, (QStringList{"Record 1", "Record 3", "Record 5"}));
    EXPECT_EQ(log_.entries[2].addresseeLines[1], QStringLiteral("Suite 2100, Building 7, Floor "));
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000044"));
    // The dialog's answer holds for later single prints.
    EXPECT_TRUE(g_.ConfirmNumbers);
    const QString summary = MassPrintSummary(out);
    EXPECT_TRUE(summary.contains(QStringLiteral("1 record marked deleted was skipped.")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("1 record with a wrong ZIP code was not printed:\n"
                                                "Record 4: Record 4 (ZIP \"1990\")")))
        << summary.toStdString();
}

// A move that meets the table engine's error (a damaged index) ends the run; the closing
// message names the pieces printed before it.
TEST_F(PrintRun, MassPrintStopsAtATableErrorNamingThePiecesPrinted) {
    PagePrinter printer(target_);
    FakeRecords records(4);
    records.failAtMove = 4 + 2; // the walk before the question makes 4 moves
    dialogs_.yesNo = {true};
    dialogs_.numbers = {[](GlobalVariables&, bool) { return true; }};
    const MassPrintOutcome out = RunMassPrint(records, g_, printer, dialogs_, log_);
    EXPECT_EQ(out.printed, 2);
    EXPECT_EQ(target_.DocumentsEnded(), 2);
    EXPECT_EQ(out.stop, Result::Failed);
    EXPECT_EQ(log_.closed, 1);
    const QString summary = MassPrintSummary(out);
    EXPECT_TRUE(summary.contains(QStringLiteral("The run was stopped after 2 pieces by an error "
                                                "of the address table:\nCorrupted index file: "
                                                "book.MDX")))
        << summary.toStdString();
}

TEST(MassPrint, QuestionNamesTheCount) {
    EXPECT_EQ(MassPrintQuestion(250),
              QStringLiteral("You are about to print 250 labels.\n\rWould you like to continue?"));
}

// The questions say what a piece without a ZIP carries under the settings it prints with.
TEST(MassPrint, QuestionsSayWhatAPieceWithoutAZipCarries) {
    struct Case {
        NoZipPrint print;
        const char* single;
        const char* mass; // two labels
    };
    const Case cases[] = {
        {{true, false},
         "The ZIP code is empty. The mailer will be printed without one: its tracking barcodes "
         "will carry the tracking number alone, without a ZIP routing code. Print anyway?",
         "2 labels without a ZIP code: their tracking barcodes will carry the tracking number "
         "alone, without a ZIP routing code."},
        {{true, true},
         "The ZIP code is empty. The mailer will be printed without one: its tracking barcodes "
         "will carry the tracking number alone, without a ZIP routing code, and its extra label "
         "no ZIP barcode. Print anyway?",
         "2 labels without a ZIP code: their tracking barcodes will carry the tracking number "
         "alone, without a ZIP routing code, and their extra labels no ZIP barcode."},
        {{false, true},
         "The ZIP code is empty. The mailer will be printed without one: its extra label will "
         "carry no ZIP barcode. Print anyway?",
         "2 labels without a ZIP code: their extra labels will carry no ZIP barcode."},
        {{false, false},
         "The ZIP code is empty. The mailer will be printed without one. Print anyway?",
         "2 labels without a ZIP code will be printed without one."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EmptyZipQuestion(c.print).toStdString(), c.single);
        MassPrintOutcome plan;
        plan.toPrint = 5;
        plan.withoutZip = 2;
        plan.noZipPrint = c.print;
        EXPECT_EQ(MassPrintQuestion(plan).toStdString(),
                  std::string("You are about to print 5 labels.\n") + c.mass +
                      "\n\rWould you like to continue?");
    }
}
