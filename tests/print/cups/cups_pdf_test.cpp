// A mailer printed through a CUPS queue into a PDF file, rasterised at 600 dpi and read
// back. The test runs its own scheduler with a PDF queue on a private socket, so it
// needs neither a configured system nor the system's scheduler; it is skipped when the
// scheduler or the PDF back end cannot run here.
#include "decode.h"
#include "ink.h"
#include "mailer_fixture.h"
#include "print/mailer.h"
#include "print/page.h"
#include "private_cups.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace qm;
using namespace qm::test;

namespace {

const QString kQueue = QStringLiteral("QmMailerPdf");

// Prints one mailer through the queue and returns its page rasterised at 600 dpi.
QImage PrintThroughQueue(const PrivateCups& cups, const PrintRequest& r) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(kQueue);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    EXPECT_EQ(printer.outputFormat(), QPrinter::NativeFormat) << "the queue is not visible";
    PrinterPageTarget target(printer);
    const QDateTime started = QDateTime::currentDateTime().addSecs(-2);
    const QString title = MailerDocumentTitle(PrintMailer(r, true, BasePrintFont(), target));
    // The back end names the file after the job's title, which is the tracking number (its
    // blanks may come out as other characters).
    QString pattern = title;
    pattern.replace(QLatin1Char(' '), QLatin1Char('*'));
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        QFileInfoList files =
            QDir(OutputFolder()).entryInfoList({pattern + "*.pdf"}, QDir::Files, QDir::Time);
        files.removeIf([&](const QFileInfo& f) { return f.lastModified() < started; });
        if (!files.isEmpty() && WrittenWhole(files.first().absoluteFilePath())) {
            const QString pdf = files.first().absoluteFilePath();
            // On a busy machine a page that does not rasterise yet is tried again.
            QImage page = RasterisePdf(pdf, 600);
            for (int again = 0; page.isNull() && again < 5; ++again) {
                QThread::msleep(1000);
                page = RasterisePdf(pdf, 600);
            }
            // QM_KEEP_PDF=<folder> keeps the printed files for a look by hand.
            const QString keep = qEnvironmentVariable("QM_KEEP_PDF");
            if (!keep.isEmpty()) QFile::copy(pdf, keep + "/" + files.first().fileName());
            QFile::remove(pdf);
            return page;
        }
        QThread::msleep(200);
    }
    ADD_FAILURE() << "no PDF from the queue for " << title.toStdString() << "\n"
                  << cups.ErrorLog().toStdString();
    return {};
}

int Dot(double inch) {
    return int(std::lround(inch * 600));
}

QRect Area(double x0, double y0, double x1, double y1) {
    return QRect(QPoint(Dot(x0), Dot(y0)), QPoint(Dot(x1), Dot(y1)));
}

} // namespace

TEST(CupsPdfQueue, MailerReadsRightAndAlignsInHundredthsOfAnInch) {
    PrivateCups cups(kQueue);
    if (!cups.Problem().empty()) GTEST_SKIP() << "no private CUPS scheduler: " << cups.Problem();

    // The job reaches the spooler titled with its tracking number: the file is found by it.
    const QImage page = PrintThroughQueue(cups, SamplePrintRequest());
    ASSERT_EQ(page.size(), QSize(5100, 6600)) << "a US Letter page at 600 dpi";

    // The tracking number under the T symbol starts right of 0.55 inch.
    const QRect row = InkBox(page, Area(0.0, 3.8, 3.1, 4.0));
    ASSERT_FALSE(row.isNull());
    EXPECT_GE(row.left(), Dot(0.55));
    EXPECT_LE(row.right(), Dot(3.08) + 3);

    // Every symbol decodes: the three GS1-128 symbols, each from its part of the page.
    const QString gs = QStringLiteral("\x1d");
    EXPECT_EQ(DecodeSymbols(page.copy(Area(0.37, 4.05, 3.37, 4.9))),
              QStringList{"42062701" + gs + "9214712345678900000015"});
    EXPECT_EQ(DecodeSymbols(page.copy(Area(4.45, 4.95, 7.45, 5.8))),
              QStringList{"42045459" + gs + "9290912345678900000019"});
    EXPECT_EQ(DecodeSymbols(page.copy(Area(4.95, 0.75, 7.95, 1.25))),
              QStringList{"42045459" + gs + "9290912345678900000019"});

    // Forty steps of each alignment move the T symbol by 0.40 inch.
    const QRect base = InkBox(page, Area(0.3, 4.15, 3.4, 4.8));
    ASSERT_FALSE(base.isNull());
    struct Move {
        int lr, tb;
        double dx, dy;
    };
    for (const Move m : {Move{40, 0, 0.4, 0}, Move{0, 40, 0, 0.4}}) {
        SCOPED_TRACE(::testing::Message() << "alignment " << m.lr << "/" << m.tb);
        PrintRequest r = SamplePrintRequest();
        r.leftRight = m.lr;
        r.topBottom = m.tb;
        const QImage moved = PrintThroughQueue(cups, r);
        ASSERT_FALSE(moved.isNull());
        const QRect t = InkBox(moved, Area(0.3 + m.dx, 4.15 + m.dy, 3.4 + m.dx, 4.8 + m.dy));
        ASSERT_FALSE(t.isNull());
        EXPECT_NEAR((t.left() - base.left()) / 600.0, m.dx, 0.01);
        EXPECT_NEAR((t.top() - base.top()) / 600.0, m.dy, 0.01);
    }
}
