// The PDF copy of every printed mailer: where it goes, what it carries, and what happens when
// it cannot be written.
#include "collecting_target.h"
#include "core/data_folder.h"
#include "core/settings.h"
#include "decode.h"
#include "engine_date.h"
#include "entry/mass_print.h"
#include "entry/print_run.h"
#include "ink.h"
#include "numbers/barcode_data.h"
#include "piece/piece_log.h"
#include "print/page_printer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qm;
using namespace qm::test;

namespace {

// Dialogs that answer Yes and OK and note every message.
class NotingDialogs : public RunDialogs {
public:
    QStringList shown;
    bool EditNumbers(GlobalVariables&, bool) override { return true; }
    bool EditPrePrint(QString&, QString&, int&) override { return false; }
    bool AskYesNo(const QString&, bool) override { return true; }
    void Refuse(const QString& m) override { shown << QStringLiteral("refuse: ") + m; }
    void Inform(const QString& m) override { shown << QStringLiteral("inform: ") + m; }
    void ShowError(const QString& m) override { shown << QStringLiteral("error: ") + m; }
    void Warn(const QString& m) override { shown << QStringLiteral("warn: ") + m; }
    int Choose(const QString&, const QStringList&, int defaultButton) override {
        return defaultButton;
    }
};

class NotingLog : public PieceLog {
public:
    QString failure;
    QStringList appended; // the data text of each piece entered
    QString Append(const PrintRequest&, const EntryFields&, const QString& data) override {
        if (!failure.isEmpty()) return failure;
        appended << data;
        return {};
    }
    void Close() noexcept override {}
};

EntryFields Fields(int i = 1) {
    EntryFields f;
    f.senderLabels = {QStringLiteral("Acme Widgets"), QStringLiteral("100 Oak Road"),
                      QStringLiteral("Centerville OH 45459"), QString(), QString()};
    f.addresseeLines = {QStringLiteral("Addressee %1").arg(i), QStringLiteral("12 Main St"),
                        QString(), QString()};
    f.city = QStringLiteral("Springfield");
    f.state = QStringLiteral("IL");
    f.zipText = QStringLiteral("62701-    ");
    f.postage = QStringLiteral("          0.39");
    f.certFee = QStringLiteral("          2.40");
    f.total = QStringLiteral("          2.79");
    return f;
}

class Records : public MassPrintSource {
public:
    explicit Records(int count) : count_(count) {}
    unsigned Count() override { return unsigned(count_); }
    void First() override { at_ = 0; }
    bool AtEnd() override { return at_ >= count_; }
    void Next() override { ++at_; }
    EntryFields Fields() override { return ::Fields(at_ + 1); }
    bool Deleted() override { return false; }
    unsigned RecNo() override { return unsigned(at_ + 1); }

private:
    int count_;
    int at_ = 0;
};

QByteArray Contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

class MailerProof : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetDataFolderOverride(dir_.path());
        table::SetClock([] { return table::TLocalTime{{2026, 3, 5}, 14, 30, 0}; });
        g_ = GlobalVariables{};
        g_.ConfirmNumbers = false;
        g_.CustID = QStringLiteral("123456789");
        g_.SerialNum = QStringLiteral("0000041");
        g_.SeenSerialNum = g_.SerialNum;
    }
    void TearDown() override {
        table::SetClock(nullptr);
        SetDataFolderOverride(QString());
    }
    PrintOutcome Print() {
        PagePrinter printer(target_);
        return RunSinglePrint(Fields(), g_, printer, dialogs_, log_);
    }
    QString Month() const { return dir_.filePath(QStringLiteral("Reports/Mailers/2026/03")); }
    // The proof of the first piece printed (serial 0000042).
    QString FirstProof() const { return Month() + QStringLiteral("/9214712345678900000428.pdf"); }

    QTemporaryDir dir_;
    GlobalVariables g_;
    NotingDialogs dialogs_;
    NotingLog log_;
    // A printer whose printable area begins a quarter inch from the left and a fifth of an inch
    // from the top.
    CollectingTarget target_{300, 300, 75, 60};
};

} // namespace

TEST_F(MailerProof, TheCopyIsThePrintedPageAndCarriesItsNumber) {
    g_.MailerNum = QStringLiteral("420000009214712345678900000015");
    g_.SeenMailerNum = g_.MailerNum;
    const PrintOutcome o = Print();
    ASSERT_TRUE(o.Printed()) << o.message.toStdString();
    EXPECT_TRUE(dialogs_.shown.isEmpty()) << dialogs_.shown.join('|').toStdString();
    ASSERT_TRUE(QFileInfo(FirstProof()).isFile()) << FirstProof().toStdString();
    EXPECT_EQ(QDir(Month()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("9214712345678900000428.pdf")})
        << "nothing left beside it";

    // The whole sheet at the printer's resolution: the printed area lies at the offsets.
    const QImage sheet = RasterisePdf(FirstProof(), 300);
    ASSERT_FALSE(sheet.isNull());
    EXPECT_EQ(sheet.size(), QSize(2550, 3300));
    EXPECT_EQ(TrackingNumbersOn(sheet), QStringList{QStringLiteral("9214712345678900000428")});
    const QImage printed = target_.pages.at(0);
    EXPECT_EQ(DecodeSymbols(sheet.copy(75, 60, printed.width(), printed.height())),
              DecodeSymbols(printed));
    const QRect printedInk = InkBox(printed).translated(75, 60);
    const QRect proofInk = InkBox(sheet);
    ASSERT_FALSE(printedInk.isEmpty());
    for (const auto& [a, b] : {std::pair{printedInk.left(), proofInk.left()},
                               {printedInk.top(), proofInk.top()},
                               {printedInk.right(), proofInk.right()},
                               {printedInk.bottom(), proofInk.bottom()}})
        EXPECT_NEAR(a, b, 2) << "printed ink " << printedInk.x() << "," << printedInk.y() << " "
                             << printedInk.width() << "x" << printedInk.height() << ", proof "
                             << proofInk.x() << "," << proofInk.y() << " " << proofInk.width()
                             << "x" << proofInk.height();

    // Pre-numbered mailers are named by the number the log keeps.
    g_.PrintBarCode = false;
    ASSERT_TRUE(Print().Printed());
    EXPECT_TRUE(QFileInfo(Month() + QStringLiteral("/9214712345678900000022.pdf")).isFile())
        << QDir(Month()).entryList(QDir::Files).join(QLatin1Char(' ')).toStdString();
}

TEST_F(MailerProof, ACopyThatCannotBeWrittenWarnsAndThePieceStaysPrintedAndLogged) {
    struct Case {
        const char* why;
        bool logFails;
    } cases[] = {{"the copy alone", false}, {"the copy and the log", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        // A file stands where the month's folder should be.
        QDir(dir_.path()).mkpath(QStringLiteral("Reports/Mailers/2026"));
        QFile blocker(Month());
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        dialogs_.shown.clear();
        log_.appended.clear();
        log_.failure = c.logFails ? QStringLiteral("The mailing log is locked") : QString();
        const int pagesBefore = int(target_.pages.size());

        const PrintOutcome o = Print();
        EXPECT_EQ(o.result, PrintOutcome::Result::Printed);
        EXPECT_EQ(int(target_.pages.size()), pagesBefore + 1);
        EXPECT_EQ(o.logged, !c.logFails);
        EXPECT_EQ(log_.appended.size(), c.logFails ? 0 : 1);
        ASSERT_EQ(dialogs_.shown, QStringList{QStringLiteral("warn: ") + o.warning})
            << "one warning for both";
        const QString number = ReadableNumber(o.barcodeData);
        EXPECT_TRUE(o.warning.contains(QStringLiteral("tracking number ") + number));
        EXPECT_TRUE(o.warning.contains(QStringLiteral("PDF copy could not be kept")));
        EXPECT_TRUE(o.warning.contains(Month() + QLatin1Char('/') +
                                       QString(number).remove(QLatin1Char(' ')) +
                                       QStringLiteral(".pdf: ")))
            << o.warning.toStdString();
        EXPECT_EQ(o.warning.contains(QStringLiteral("The mailing log is locked")), c.logFails);
        QFile::remove(Month());
    }

    // In a mass print a piece whose copy failed still counts as logged.
    QFile blocker(Month());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    log_.failure.clear();
    Records records(2);
    PagePrinter printer(target_);
    const MassPrintOutcome out = RunMassPrint(records, g_, printer, dialogs_, log_);
    EXPECT_EQ(out.printed, 2);
    EXPECT_EQ(out.logged, 2);
}

TEST_F(MailerProof, ALinkOrAStrangersFileAtTheNameIsReplacedNotWrittenThrough) {
    ASSERT_TRUE(QDir().mkpath(Month()));
    const QString victim = dir_.filePath(QStringLiteral("victim.txt"));
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    ASSERT_TRUE(QFile::link(victim, FirstProof()));
    ASSERT_TRUE(Print().Printed());
    EXPECT_EQ(Contents(victim), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo(FirstProof()).isSymLink());
    EXPECT_TRUE(Contents(FirstProof()).startsWith("%PDF-"));
    EXPECT_TRUE(dialogs_.shown.isEmpty()) << dialogs_.shown.join('|').toStdString();

    // An older file of the number (a reprint) is replaced by the whole new copy.
    const QString second = Month() + QStringLiteral("/9214712345678900000435.pdf");
    {
        QFile f(second);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("an older copy");
    }
    ASSERT_TRUE(Print().Printed());
    const QByteArray pdf = Contents(second);
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
}

TEST_F(MailerProof, KeepPdfCopyOffWritesNothing) {
    g_.KeepPdfCopy = false;
    ASSERT_TRUE(Print().Printed());
    EXPECT_EQ(target_.pages.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("Reports/Mailers"))));
    EXPECT_TRUE(dialogs_.shown.isEmpty());
}

TEST_F(MailerProof, MassPrintKeepsOneCopyPerPiece) {
    Records records(3);
    PagePrinter printer(target_);
    const MassPrintOutcome out = RunMassPrint(records, g_, printer, dialogs_, log_);
    ASSERT_EQ(out.printed, 3);
    const QStringList expected = {QStringLiteral("9214712345678900000428"),
                                  QStringLiteral("9214712345678900000435"),
                                  QStringLiteral("9214712345678900000442")};
    QStringList files;
    for (const QString& number : expected) files << number + QStringLiteral(".pdf");
    EXPECT_EQ(QDir(Month()).entryList(QDir::Files | QDir::Hidden, QDir::Name), files);
    for (int i = 0; i < 3; ++i) {
        const QImage sheet = RasterisePdf(Month() + QLatin1Char('/') + files[i], 300);
        EXPECT_EQ(TrackingNumbersOn(sheet), QStringList{expected[i]}) << i;
        EXPECT_EQ(log_.appended.value(i).mid(8), expected[i]) << "the piece the log entered";
    }
}
