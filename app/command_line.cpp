#include "app/command_line.h"

#include "app/command_arguments.h"

#include "core/output_target.h"
#include "core/program_folder.h"
#include "core/sender.h"
#include "core/settings.h"
#include "core/short_date.h"
#include "engine_date.h"
#include "engine_error.h"
#include "log/log_commands.h"
#include "log/log_export.h"
#include "log/log_table.h"
#include "log/ui/log_menu.h"
#include "print/page.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPrinter>

#include <cstdio>

namespace qm {

namespace {

enum Exit { kDone = 0, kFailed = 1, kUsage = 2 };

struct Options {
    QString folder;
    QString command; // "book", "export", "report"
    QString exportFile, pdf, report, order;
    std::optional<QDate> from, to;
    bool includeVoided = false;
    bool newBook = false;
    int bookNumber = 0; // --book N
};

void SayError(const QString& text) {
    QString line = text.simplified(); // one line, whatever the source gave
    std::fprintf(stderr, "quillmark: %s\n", line.toLocal8Bit().constData());
}

// The answers of the command line to a log command: the chosen file, the range, no questions.
class CommandLineUi : public LogUi {
public:
    explicit CommandLineUi(const Options& o) : o_(o) {}

    void Error(const QString& text) override { Fail(text); }
    // Every line of a warning is a line of its own; the output is still written, exit 1.
    void Warning(const QString& text) override {
        for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) SayError(line);
        failed_ = true;
    }
    void Information(const QString& text) override {
        // "Export Done." is the exit code's to say; what follows it is a note.
        const QString done = QStringLiteral("Export Done.");
        if (!text.startsWith(done)) return Fail(text);
        for (const QString& line : text.mid(done.size()).split(u'\n', Qt::SkipEmptyParts))
            Note(line);
    }
    void Note(const QString& text) override { SayError(text); }
    SaveAnswer AskSaveLog() override { return SaveAnswer::Cancel; }
    QString ChooseArchiveFile() override { return {}; }
    bool ChooseOutput(QPrinter& printer) override {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(o_.pdf);
        return true;
    }
    bool Preview(PagedDocument&) override { return false; }
    std::unique_ptr<ReportProgress> Status() override {
        struct Quiet : ReportProgress {
            bool Step(const QString&) override { return true; }
        };
        return std::make_unique<Quiet>();
    }
    bool ChooseBook(BookChoice& choice) override {
        choice.preview = false;
        if (o_.newBook) {
            choice.kind = BookChoice::Kind::New;
            return true;
        }
        if (o_.bookNumber > 0) {
            choice.kind = BookChoice::Kind::Previous;
            choice.number = o_.bookNumber;
            return true;
        }
        // Neither date is today; an end not given is open (the first or last logged day).
        choice.kind = BookChoice::Kind::Range;
        if (!o_.from && !o_.to) return true;
        choice.range = DateRange{o_.from.value_or(QDate()), o_.to.value_or(QDate())};
        return CheckRange(choice.range);
    }
    bool ChooseExport(ExportChoice& choice) override {
        choice.fileName = o_.exportFile;
        choice.includeVoided = o_.includeVoided;
        choice.range.reset();
        if (o_.from || o_.to) {
            choice.range = DateRange{o_.from.value_or(QDate()), o_.to.value_or(QDate())};
            return CheckRange(*choice.range);
        }
        return true;
    }

    bool Failed() const { return failed_; }

private:
    void Fail(const QString& text) {
        if (!failed_) SayError(text);
        failed_ = true;
    }
    bool CheckRange(const DateRange& range) {
        if (!range.from.isValid() || !range.to.isValid() || range.from <= range.to) return true;
        Fail(QStringLiteral("The first date lies after the last date."));
        return false;
    }

    const Options& o_;
    bool failed_ = false;
};

std::optional<QDate> IsoDate(const QString& text, bool& ok) {
    const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    ok = d.isValid();
    return d;
}

LogOrder OrderOf(const QString& name, bool& ok) {
    ok = true;
    if (name.isEmpty() || name == u"record") return LogOrder::Record;
    if (name == u"number") return LogOrder::MailerNumber;
    if (name == u"name") return LogOrder::Name;
    if (name == u"date") return LogOrder::Date;
    if (name == u"zip") return LogOrder::ZipCode;
    ok = false;
    return LogOrder::Record;
}

int RunCommand(const Options& o) {
    RegisterPrintFonts();
    table::SetSystemShortDateFormat(ShortDateFormat().toStdString());
    table::SetErrorMode(table::TErrorMode::Exception);
    table::SetMessageHook([](const std::string& text) { SayError(QString::fromStdString(text)); });

    const QString logPath = LogTablePath();
    if (!QFileInfo(logPath).isFile()) {
        SayError(QStringLiteral("There is no mailing log %1.").arg(logPath));
        return kFailed;
    }
    // Refused before the log is opened: an output aimed at the office's own files or at
    // something that is not a file writes nothing.
    const QString output = o.command == u"export" ? o.exportFile : o.pdf;
    if (const QString refused = OutputTargetRefusal(output); !refused.isEmpty()) {
        SayError(refused);
        return kFailed;
    }
    CommandLineUi ui(o);
    if (o.command == u"book") {
        LoadSettings(Globals());
        RunFirmMailingBook(ui, logPath, SenderLabelTexts(Globals()));
    } else if (o.command == u"export") {
        RunExportLog(ui, logPath);
    } else {
        bool ok = false;
        const LogOrder order = OrderOf(o.order, ok);
        RunLogReport(ui, logPath, ReportProjectPath(), order, ReportDestination::Printer,
                     o.report == u"full" ? LogReport::FullDetail : LogReport::ShortDetail);
    }
    if (ui.Failed()) return kFailed;
    const QString written = o.command == u"export" ? o.exportFile : o.pdf;
    if (!QFileInfo(written).isFile()) {
        SayError(QStringLiteral("%1 was not written.").arg(written));
        return kFailed;
    }
    return kDone;
}

} // namespace

QString CommandLineHelp() {
    return QStringLiteral(
        "Usage: quillmark [--folder DIR] [COMMAND]\n"
        "Without a command the program's window opens.\n"
        "\n"
        "Commands (no window opens; exit 0 on success, else a message and a non-zero code):\n"
        "  --firm-mailing-book [--from YYYY-MM-DD] [--to YYYY-MM-DD] --pdf FILE\n"
        "        the firm mailing book of the pieces mailed from --from to --to; today's\n"
        "        pieces without either\n"
        "  --firm-mailing-book --new --pdf FILE\n"
        "        the book of the logged pieces that no book has listed yet\n"
        "  --firm-mailing-book --book N --pdf FILE\n"
        "        book number N again, as it was made\n"
        "A new or date-range book is recorded under the next number in Reports/books.dbf;\n"
        "book N again records nothing.\n"
        "  --export-log FILE.csv|FILE.xlsx [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
        "               [--include-voided]\n"
        "        the mailing log (or the pieces of the range) as CSV or Excel workbook;\n"
        "        voided pieces only with --include-voided, marked in a last column \"Voided\"\n"
        "\n"
        "--from alone runs to the last logged day, --to alone from the first logged day;\n"
        "both dates are included.\n"
        "Voided pieces are never listed or counted in the book and the reports; every output\n"
        "that leaves some out says how many on standard error (\"1 voided piece left out\").\n"
        "  --report full|short [--order number|name|date|zip|record] --pdf FILE\n"
        "        the Full Detail or Short Detail report in that order (record: as printed)\n"
        "\n"
        "Options:\n"
        "  --folder DIR   the folder of the settings and the Reports folder with the log\n"
        "  --help         this text\n"
        "\n"
        "The window also takes Qt's own options (-platform NAME, -style NAME,\n"
        "-qwindowgeometry WxH+X+Y, -reverse, ...). Any other argument is refused with a\n"
        "message and exit 2, and no window opens.\n");
}

std::optional<int> RunCommandLine(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption folder(QStringLiteral("folder"), {}, QStringLiteral("DIR"));
    const QCommandLineOption book(QStringLiteral("firm-mailing-book"));
    const QCommandLineOption exportLog(QStringLiteral("export-log"), {}, QStringLiteral("FILE"));
    const QCommandLineOption report(QStringLiteral("report"), {}, QStringLiteral("full|short"));
    const QCommandLineOption order(QStringLiteral("order"), {}, QStringLiteral("ORDER"));
    const QCommandLineOption from(QStringLiteral("from"), {}, QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption to(QStringLiteral("to"), {}, QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption pdf(QStringLiteral("pdf"), {}, QStringLiteral("FILE"));
    const QCommandLineOption includeVoided(QStringLiteral("include-voided"));
    const QCommandLineOption newBook(QStringLiteral("new"));
    const QCommandLineOption bookNumber(QStringLiteral("book"), {}, QStringLiteral("N"));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    const QList<QCommandLineOption> commandOptions = {
        book, exportLog, report, order, from, to, pdf, help, includeVoided, newBook, bookNumber};
    parser.addOptions(commandOptions);
    parser.addOption(folder);

    auto usage = [](const QString& text) {
        SayError(text + QStringLiteral(" (quillmark --help lists the commands)"));
        return int(kUsage);
    };
    // A mistake is refused before any window could open.
    const ArgumentScan scan = ScanArguments(args, commandOptions, {folder});
    if (!scan.mistake.isEmpty()) return usage(scan.mistake);
    // The window program takes its --folder at start-up (ApplyFolderArgument), Qt its options.
    if (!scan.command) return std::nullopt;
    if (!parser.parse(scan.ours)) return usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(CommandLineHelp().toLocal8Bit().constData(), stdout);
        return int(kDone);
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(
            QStringLiteral("Unexpected argument %1.").arg(parser.positionalArguments()[0]));
    Options o;
    const int commands =
        int(parser.isSet(book)) + int(parser.isSet(exportLog)) + int(parser.isSet(report));
    if (commands != 1)
        return usage(QStringLiteral("Give one of --firm-mailing-book, --export-log and --report."));
    o.command = parser.isSet(book)        ? QStringLiteral("book")
                : parser.isSet(exportLog) ? QStringLiteral("export")
                                          : QStringLiteral("report");
    for (const auto& [option, target] : {std::pair{&from, &o.from}, std::pair{&to, &o.to}}) {
        if (!parser.isSet(*option)) continue;
        bool ok = false;
        *target = IsoDate(parser.value(*option), ok);
        if (!ok)
            return usage(QStringLiteral("--%1 takes a date as YYYY-MM-DD, not \"%2\".")
                             .arg(option->names()[0], parser.value(*option)));
        if (o.command == u"report")
            return usage(QStringLiteral("--report lists the whole log; it takes no --%1.")
                             .arg(option->names()[0]));
    }
    o.newBook = parser.isSet(newBook);
    if (parser.isSet(bookNumber)) {
        bool ok = false;
        o.bookNumber = parser.value(bookNumber).toInt(&ok);
        if (!ok || o.bookNumber < 1)
            return usage(QStringLiteral("--book takes the number of a book, not \"%1\".")
                             .arg(parser.value(bookNumber)));
    }
    if ((o.newBook || o.bookNumber > 0) && o.command != u"book")
        return usage(QStringLiteral("--%1 belongs to --firm-mailing-book.")
                         .arg(o.newBook ? QStringLiteral("new") : QStringLiteral("book")));
    if (o.newBook && o.bookNumber > 0)
        return usage(QStringLiteral("Give one of --new and --book."));
    if ((o.newBook || o.bookNumber > 0) && (o.from || o.to))
        return usage(QStringLiteral("--%1 takes no --from or --to.")
                         .arg(o.newBook ? QStringLiteral("new") : QStringLiteral("book")));
    o.pdf = parser.value(pdf);
    if (o.command != u"export" && o.pdf.isEmpty())
        return usage(QStringLiteral("--pdf FILE names the PDF file to write."));
    if (o.command == u"export" && parser.isSet(pdf))
        return usage(QStringLiteral("--export-log writes its own file; it takes no --pdf."));
    o.includeVoided = parser.isSet(includeVoided);
    if (o.includeVoided && o.command != u"export")
        return usage(QStringLiteral("--include-voided belongs to --export-log."));
    o.exportFile = parser.value(exportLog);
    // A new name without an extension is a CSV file; an existing name is checked as it stands.
    if (!QFileInfo(o.exportFile).exists() && !QFileInfo(o.exportFile).isSymLink())
        o.exportFile = WithExportSuffix(o.exportFile, false);
    o.report = parser.value(report);
    if (o.command == u"report" && o.report != u"full" && o.report != u"short")
        return usage(QStringLiteral("--report takes full or short, not \"%1\".").arg(o.report));
    o.order = parser.value(order);
    bool orderOk = false;
    OrderOf(o.order, orderOk);
    if (!orderOk)
        return usage(QStringLiteral("--order takes number, name, date, zip or record, not \"%1\".")
                         .arg(o.order));
    if (parser.isSet(order) && o.command != u"report")
        return usage(QStringLiteral("--order belongs to --report."));
    if (parser.isSet(folder)) {
        if (!QFileInfo(parser.value(folder)).isDir()) {
            SayError(QStringLiteral("There is no folder %1.").arg(parser.value(folder)));
            return int(kFailed);
        }
        SetProgramFolderOverride(QFileInfo(parser.value(folder)).absoluteFilePath());
    }

    // No window: the offscreen platform serves the printer and the fonts. Qt's own notes
    // (a missing runtime folder and the like) would bury the one line a script reads.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) SayError(text);
    });
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QCoreApplication::setApplicationName(ApplicationTitle());
    return RunCommand(o);
}

} // namespace qm
