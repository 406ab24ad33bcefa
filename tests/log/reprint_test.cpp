// Reprint after a jam: a logged piece printed again with its own number, recorded in
// reprints.dbf, the mailing log and the numbering untouched.
#include "log_test_util.h"

#include "collecting_target.h"
#include "core/settings.h"
#include "decode.h"
#include "entry/entry_fields.h"
#include "entry/reprint.h"
#include "log/reprint_log.h"
#include "numbers/barcode_data.h"
#include "print/page_printer.h"

namespace qm::testing {
namespace {

class AnsweringDialogs : public RunDialogs {
public:
    bool answer = true;
    QStringList shown;
    bool EditNumbers(GlobalVariables&, bool) override { return Note("numbers", false); }
    bool EditPrePrint(QString&, QString&, int&) override { return Note("preprint", false); }
    bool AskYesNo(const QString& q, bool) override { return Note("ask: " + q, answer); }
    void Refuse(const QString& m) override { Note("refuse: " + m, false); }
    void Inform(const QString& m) override { Note("inform: " + m, false); }
    void ShowError(const QString& m) override { Note("error: " + m, false); }
    void Warn(const QString& m) override { Note("warn: " + m, false); }
    int Choose(const QString& q, const QStringList&, int) override {
        return Note("choose: " + q, 0);
    }

private:
    template <class T> T Note(const QString& what, T result) {
        shown << what;
        return result;
    }
};

EntryFields Typed() {
    EntryFields f =
        FieldsOf({QStringLiteral("Jane Roe"), QStringLiteral("400 Oak Ave"), QString(), QString()},
                 QStringLiteral("Springfield"), QStringLiteral("IL"), QStringLiteral("62701"));
    f.senderLabels = {QStringLiteral("Acme Law"), QStringLiteral("1 First St"),
                      QStringLiteral("Peoria IL 61602"), QString(), QString()};
    return f;
}

class Reprint : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        g_.CustID = QStringLiteral("123456789");
        g_.SerialNum = QStringLiteral("0000050");
        // Three logged pieces; the middle one jammed.
        for (const char* serial : {"0000041", "0000042", "0000043"}) {
            const QString data = BuildBarcodeData(g_.CustID, QString::fromLatin1(serial),
                                                  QStringLiteral("62701"), QStringLiteral("T"));
            Append(LogEntryOf(BuildPrintRequest(Typed(), g_), Typed(), data));
        }
        jammed_ = ReadableNumber(BuildBarcodeData(g_.CustID, QStringLiteral("0000042"),
                                                  QStringLiteral("62701"), QStringLiteral("T")));
    }
    void TearDown() override {
        table::SetClock(nullptr);
        LogTest::TearDown();
    }
    int LogRecords() { return XBaseDump(LogPath()).size() - 2; }

    GlobalVariables g_;
    QString jammed_;
    AnsweringDialogs dialogs_;
    test::CollectingTarget target_{300, 300};
};

TEST_F(Reprint, CarriesTheSameNumberIsRecordedAndLeavesLogAndNumberingAlone) {
    const QString typed = QString(jammed_).remove(u' ');
    const std::optional<LogEntry> logged = FindLoggedPiece(LogPath(), typed);
    ASSERT_TRUE(logged);
    EXPECT_EQ(logged->mailernum, jammed_);
    EXPECT_EQ(logged->addressee[0], QStringLiteral("Jane Roe"));

    PagePrinter printer(target_);
    const PrintOutcome out = RunReprint(ReprintFieldsOf(*logged, Typed().senderLabels),
                                        logged->mailernum, g_, printer, dialogs_);
    ASSERT_TRUE(out.Printed()) << out.message.toStdString();
    EXPECT_EQ(dialogs_.shown, QStringList{"ask: " + ReprintQuestion(jammed_)});
    EXPECT_TRUE(ReprintQuestion(jammed_).startsWith("Was the first mailer for " + jammed_ +
                                                    " spoiled? The reprint carries the same"));
    ASSERT_EQ(target_.pages.size(), 1u);
    EXPECT_EQ(test::TrackingNumbersOn(target_.pages[0]), QStringList{typed});
    EXPECT_EQ(g_.SerialNum, QStringLiteral("0000050"));

    const QString reprints = File(QStringLiteral("Reports/reprints.dbf"));
    table::SetClock([] { return table::TLocalTime{{2008, 3, 5}, 14, 5, 9}; });
    ASSERT_EQ(AppendReprint(reprints, logged->mailernum, QStringLiteral("Jam")), QString());
    const QStringList dump = XBaseDump(reprints);
    ASSERT_EQ(dump.size(), 3) << dump.join('\n').toStdString();
    EXPECT_EQ(dump[0], QStringLiteral("version 3 count 1"));
    EXPECT_EQ(dump[2], "0|" + jammed_ + "|20080305|14:05:09|Jam");
    EXPECT_EQ(LogRecords(), 3); // the piece is logged once
}

TEST_F(Reprint, RefusesWhatItCannotReprintAndStopsAtNo) {
    PagePrinter printer(target_);
    const EntryFields fields = Typed();
    struct Case {
        const char* what;
        bool barcodeMode;
        QString number;
        bool answer;
        PrintOutcome::Result result;
    } cases[] = {
        {"pre-numbered mailers", false, jammed_, true, PrintOutcome::Result::Refused},
        {"a wrong check digit", true, QString(jammed_).replace(jammed_.size() - 1, 1, u'9'), true,
         PrintOutcome::Result::Refused},
        {"not a tracking number", true, QStringLiteral("71000000000000000000"), true,
         PrintOutcome::Result::Refused},
        {"the user says No", true, jammed_, false, PrintOutcome::Result::Cancelled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_.PrintBarCode = c.barcodeMode;
        dialogs_.answer = c.answer;
        EXPECT_EQ(RunReprint(fields, c.number, g_, printer, dialogs_).result, c.result);
    }
    EXPECT_TRUE(target_.pages.empty());
    EXPECT_FALSE(FindLoggedPiece(LogPath(), QStringLiteral("9214 0000 0000 0000 0000 00")));
    EXPECT_FALSE(FindLoggedPiece(File(QStringLiteral("Reports/none.dbf")), jammed_));
}

} // namespace
} // namespace qm::testing
