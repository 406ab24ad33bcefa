// Mass print at volume: 1,000 and 10,000 pieces from an address book through the whole print
// road (the numbers stored per piece, the page rendered for a printer that writes a PDF file,
// its symbols verified, its PDF copy kept, the piece entered in the mailing log). Each size
// runs in a process of its own, so each has its own peak memory. Compared with an office laser
// printer of 40 pages a minute (1.5 s a page); memory must stay flat as the run grows.
//
// QM_MASSPRINT_SIZES="100,1000" runs other sizes (the ratio of memory compares the last with
// the first).
#include "addresses/address_files.h"
#include "addresses/name_address_text.h"
#include "core/data_folder.h"
#include "core/settings.h"
#include "entry/mass_print.h"
#include "entry/print_run.h"
#include "log/log_table.h"
#include "print/page.h"
#include "print/page_printer.h"
#include "table/tzdbf.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>

using namespace qm;

namespace {

constexpr double kPrinterSecondsPerPage = 1.5;
constexpr int kPrinterDpi = 600; // an office laser printer

// The address book of `count` records, written by the import.
void MakeAddressBook(const QString& file, int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
        const QString n = QString::number(i + 1);
        text += QStringLiteral("\"Person %1\",\"%1 Main Street\",\"%2\",\"\",\"Springfield\","
                               "\"IL\",\"%3\"\r\n")
                    .arg(n, i % 3 ? QStringLiteral("Suite ") + n : QString())
                    .arg(10000 + i % 89999);
    }
    addresses::ImportIntoTableFile(addresses::EncodeNameAddressText(text), file,
                                   addresses::TImportInto::NewTable);
}

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The records of an address table as the entry form shows them, with one sender and fees.
class AddressBookRecords : public MassPrintSource {
public:
    explicit AddressBookRecords(const QString& file) : table_("TzDbfAddresses") {
        table_.SetCreateIfNotFound(false);
        table_.SetReadOnly(true);
        table_.SetTableLanguage(table::TTableLanguage::tlOem);
        table_.SetDbfFileName(file.toStdString());
        table_.Open();
    }
    ~AddressBookRecords() override { table_.Close(); }
    unsigned Count() override { return table_.RecCount(); }
    void First() override { table_.First(); }
    bool AtEnd() override { return table_.Eof(); }
    void Next() override { table_.Next(); }
    bool Deleted() override { return table_.Deleted(); }
    unsigned RecNo() override { return table_.RecNo(); }
    EntryFields Fields() override {
        EntryFields f;
        f.senderLabels = {QStringLiteral("Acme Widgets"), QStringLiteral("100 Oak Road"),
                          QStringLiteral("Centerville OH 45459"), QString(), QString()};
        table_.GetMField("Address", lines_);
        for (size_t i = 0; i < 4; ++i)
            f.addresseeLines[i] = i < lines_.size() ? FromUtf8(lines_[i]).trimmed() : QString();
        f.city = FromUtf8(table_.GetField("City")).trimmed();
        f.state = FromUtf8(table_.GetField("State")).trimmed();
        const QString zip = FromUtf8(table_.GetField("Zip")).trimmed();
        f.zipText =
            zip.left(5).leftJustified(5) + QLatin1Char('-') + zip.mid(6, 4).leftJustified(4);
        f.postage = QStringLiteral("          0.63");
        f.certFee = QStringLiteral("          4.15");
        f.returnFee = QStringLiteral("          3.35");
        f.total = QStringLiteral("          8.13");
        return f;
    }

private:
    table::TTzDbf table_;
    std::vector<std::string> lines_;
};

// Yes to the question, OK to the Mailer Number dialog; any message ends the run.
class ScriptedDialogs : public RunDialogs {
public:
    bool EditNumbers(GlobalVariables&, bool) override { return true; }
    bool EditPrePrint(QString&, QString&, int&) override { return false; }
    bool AskYesNo(const QString&, bool) override { return true; }
    void Refuse(const QString& m) override { Fail(m); }
    void Inform(const QString& m) override { Fail(m); }
    void ShowError(const QString& m) override { Fail(m); }
    void Warn(const QString& m) override { Fail(m); }
    int Choose(const QString&, const QStringList&, int defaultButton) override {
        return defaultButton;
    }

private:
    static void Fail(const QString& m) {
        std::fprintf(stderr, "massprint: unexpected message: %s\n", qPrintable(m));
        std::exit(2);
    }
};

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int CountFiles(const QString& folder) {
    int n = 0;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
         it.next())
        ++n;
    return n;
}

// One run in this process: prints "result <pieces> <seconds per piece> <peak RSS kB>".
int RunChild(const QString& book, int expected, const QString& dataFolder) {
    RegisterPrintFonts();
    SetDataFolderOverride(dataFolder);
    GlobalVariables g;
    g.CustID = QStringLiteral("123456789");
    g.SerialNum = QStringLiteral("0000000");
    g.SeenSerialNum = g.SerialNum;
    g.VerifyBarcodes = true;
    g.KeepPdfCopy = true;

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(kPrinterDpi);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setOutputFileName(dataFolder + QStringLiteral("/printer.pdf"));
    PrinterPageTarget target(printer);
    PagePrinter pages(target);
    AddressBookRecords records(book);
    ScriptedDialogs dialogs;
    MailingLog log;

    const auto start = std::chrono::steady_clock::now();
    const MassPrintOutcome out = RunMassPrint(records, g, pages, dialogs, log);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int proofs = CountFiles(dataFolder + QStringLiteral("/Reports/Mailers"));
    if (out.printed != expected || out.logged != expected || proofs != expected) {
        std::fprintf(stderr, "massprint: %d printed, %d logged, %d PDF copies of %d: %s\n",
                     out.printed, out.logged, proofs, expected, qPrintable(out.error));
        return 1;
    }
    std::printf("result %d %.6f %ld\n", expected, seconds / expected, PeakRssKb());
    return 0;
}

struct Run {
    int pieces = 0;
    double secondsPerPiece = 0;
    long rssKb = 0;
};

QList<int> Sizes() {
    QList<int> sizes;
    for (const QString& s : qEnvironmentVariable("QM_MASSPRINT_SIZES", QStringLiteral("1000,10000"))
                                .split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (s.trimmed().toInt() > 0) sizes << s.trimmed().toInt();
    return sizes;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--child"))
        return RunChild(args[2], args[3].toInt(), args[4]);

    QTemporaryDir dir;
    QList<Run> runs;
    for (const int pieces : Sizes()) {
        const QString book = dir.filePath(QStringLiteral("book%1.dbf").arg(pieces));
        MakeAddressBook(book, pieces);
        const QString data = dir.filePath(QStringLiteral("data%1").arg(pieces));
        QDir().mkpath(data + QStringLiteral("/Reports")); // as the main window makes it
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), book, QString::number(pieces), data});
        child.waitForFinished(-1);
        const QStringList result =
            QString::fromLatin1(child.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
        if (child.exitCode() != 0 || result.size() != 4 || result[0] != QLatin1String("result")) {
            std::fprintf(stderr, "massprint: the run of %d pieces failed\n", pieces);
            return 1;
        }
        const Run run{pieces, result[2].toDouble(), result[3].toLong()};
        std::printf("massprint %d pieces: %.2f ms per piece, peak RSS %ld kB\n", pieces,
                    run.secondsPerPiece * 1000, run.rssKb);
        std::fflush(stdout);
        runs << run;
        QDir(data).removeRecursively();
    }
    if (runs.isEmpty()) return 1;
    double slowest = 0;
    for (const Run& r : runs) slowest = std::max(slowest, r.secondsPerPiece);
    std::printf("printer at 40 pages a minute: %.1f s per page\n", kPrinterSecondsPerPage);
    std::printf("ratio massprint-per-piece-vs-printer %.4f\n", slowest / kPrinterSecondsPerPage);
    std::printf("ratio massprint-rss-%d-vs-%d %.4f\n", runs.last().pieces, runs.first().pieces,
                double(runs.last().rssKb) / double(runs.first().rssKb));
    return 0;
}
