// Reports and the firm mailing book printed through a CUPS queue whose default paper is A4, with
// the "Output Options" dialog answered as a user would: the pages still come out on Letter.
// Runs its own scheduler (tests/support/private_cups.h); skipped where none can run.
#include "decode.h"
#include "ink.h"
#include "log_test_util.h"
#include "modal_script.h"
#include "private_cups.h"

#include "log/ui/log_dialogs.h"

#include <QDialog>
#include <QRadioButton>

namespace qm::testing {
namespace {

using namespace qm::test;

const QString kQueue = QStringLiteral("QmReportA4");

class ReportCupsTest : public LogTest {};

// Waits for the back end's file of the job titled "ReportPrinter Report" that is newer than
// `since`; returns its path (the caller removes it).
QString PrintedFile(const PrivateCups& cups, const QDateTime& since) {
    QDeadlineTimer deadline(90000);
    while (!deadline.hasExpired()) {
        for (const QFileInfo& f :
             QDir(OutputFolder())
                 .entryInfoList({QStringLiteral("ReportPrinter*.pdf")}, QDir::Files, QDir::Time))
            if (f.lastModified() >= since.addSecs(-1) && WrittenWhole(f.absoluteFilePath()))
                return f.absoluteFilePath();
        QThread::msleep(200);
    }
    ADD_FAILURE() << "no PDF from the queue\n" << cups.ErrorLog().toStdString();
    return {};
}

TEST_F(ReportCupsTest, ReportAndBookPrintOnLetterThroughAnA4Queue) {
    PrivateCups cups(kQueue, {QStringLiteral("-o"), QStringLiteral("PageSize=A4")});
    if (!cups.Problem().empty()) GTEST_SKIP() << "no private CUPS scheduler: " << cups.Problem();
    {
        QPrinter probe;
        ASSERT_EQ(probe.printerName(), kQueue) << "the queue is the default destination";
        ASSERT_EQ(probe.pageLayout().pageSize().id(), QPageSize::A4) << "the queue's default";
    }
    for (const char* name : {"Ann Archer", "Ben Baker"})
        Append(Piece(QString::fromLatin1(name), QStringLiteral("62701"), QStringLiteral("11")));

    for (const std::string what : {"Short Detail", "Firm Mailing Book"}) {
        SCOPED_TRACE(what);
        QWidget window;
        WidgetLogUi ui(&window);
        ModalScript script;
        if (what == "Firm Mailing Book")
            script.Then([](QWidget* w) { // the date range dialog: print today's pieces
                w->findChild<QRadioButton*>(QStringLiteral("rbPrint"))->setChecked(true);
                w->findChild<QAbstractButton*>(QStringLiteral("btnOK"))->click();
            });
        QString dialogPaper;
        script
            .Then([&](QWidget* w) { // "Output Options": the queue as it comes, OK
                dialogPaper = w->windowTitle();
                qobject_cast<QDialog*>(w)->accept();
            })
            .Then([](QWidget*) {}); // the status window
        const QDateTime since = QDateTime::currentDateTime();
        if (what == "Firm Mailing Book")
            RunFirmMailingBook(ui, LogPath(), {QStringLiteral("Acme Title Company")});
        else
            RunLogReport(ui, LogPath(), CompanionProject(), LogOrder::Record,
                         ReportDestination::Printer, LogReport::ShortDetail);
        EXPECT_EQ(dialogPaper, QStringLiteral("Output Options"));
        const QString pdf = PrintedFile(cups, since);
        if (pdf.isEmpty()) continue;
        // Letter (the back end turns a landscape page upright), not the queue's A4.
        const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
        EXPECT_TRUE(info.contains(QStringLiteral("612 x 792 pts")) ||
                    info.contains(QStringLiteral("792 x 612 pts")))
            << info.toStdString();
        EXPECT_FALSE(info.contains(QStringLiteral("595"))) << info.toStdString();
        // Printed, not blank.
        const QImage page = RasterisePdf(pdf, 50);
        EXPECT_FALSE(InkBox(page, page.rect()).isNull());
        QFile::remove(pdf);
    }
}

} // namespace
} // namespace qm::testing
