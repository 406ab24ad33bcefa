// Shared helpers of the mailing log tests: a temporary program folder, a fixed clock, log
// entries, a scripted LogUi, and the second opinions (pdftotext, Perl's XBase, Python's csv).
#pragma once

#include "log/log_commands.h"
#include "log/log_table.h"
#include "log/report_document.h"
#include "log/report_print.h"

#include "engine_date.h"
#include "engine_error.h"

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace qm::testing {

// Runs a program and returns its standard output; fails the test when it does not exit 0.
inline QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << ": "
                               << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString PdfText(const QString& pdf) {
    return RunTool(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

// The number written in a box of a page pdftotext -layout gave: the first text below the box's
// caption, within the caption's columns; -1 when it is no number or there is none.
inline int BoxNumber(const QString& page, const QString& caption) {
    const QStringList lines = page.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype at = lines[i].indexOf(caption);
        if (at < 0) continue;
        for (qsizetype j = i + 1; j < lines.size(); ++j) {
            const QString under = lines[j].mid(at, caption.size()).trimmed();
            if (under.isEmpty()) continue;
            bool ok = false;
            const int n = under.toInt(&ok);
            return ok ? n : -1;
        }
    }
    return -1;
}

// Perl's XBase reading a table: "version V count N", "fields ...", one line per record with
// the deleted flag first and the fields after, separated by "|" (texts in code page 437).
inline QStringList XBaseDump(const QString& dbf) {
    QProcess p;
    p.start(QStringLiteral("perl"), {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("dump"), dbf});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QStringList lines;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (!line.isEmpty()) lines << QString::fromLatin1(line);
    return lines;
}

// The fields of a piece typed into the form, with the fees of a usual certified piece.
inline EntryFields FieldsOf(const std::array<QString, 4>& lines, const QString& city,
                            const QString& state, const QString& zipText) {
    EntryFields f;
    f.addresseeLines = lines;
    f.city = city;
    f.state = state;
    f.zipText = zipText;
    f.postage = QStringLiteral("  1.35");
    f.certFee = QStringLiteral("  4.40");
    f.returnFee = QStringLiteral("  3.55");
    f.restrictedFee = QStringLiteral(" ");
    f.total = QStringLiteral("  9.30");
    f.comment = QStringLiteral("Lease");
    f.re = QStringLiteral("Account 17");
    return f;
}

// A piece as the print run would log it.
inline LogEntry Piece(const QString& name, const QString& zip, const QString& serial,
                      const QString& postage = QStringLiteral("  1.35")) {
    LogEntry e;
    e.addressee = {name, QStringLiteral("12 Main St"), QString(), QString()};
    e.city = QStringLiteral("Springfield");
    e.state = QStringLiteral("IL");
    e.zip = zip;
    // 22 digits: prefix, customer ID, a seven-digit serial and a check digit stand-in.
    e.mailernum = LogMailerNumber(QStringLiteral("420") + zip.left(5) + QStringLiteral("92147") +
                                  QStringLiteral("123456789") + serial.rightJustified(7, u'0') +
                                  QStringLiteral("0"));
    e.postage = postage;
    e.certified = QStringLiteral("  4.40");
    e.restricted = QStringLiteral(" ");
    e.returnFee = QStringLiteral("  3.55");
    const long long cents = MoneyCents(postage) + 440 + 355;
    e.total = QStringLiteral("  ") + CentsText(cents);
    e.comments = QStringLiteral("comment ") + serial;
    e.re = QStringLiteral("re ") + serial;
    return e;
}

// A temporary program folder with Reports/, exception mode, a fixed clock and date format.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QDir(dir_.path()).mkpath(QStringLiteral("Reports"));
        table::SetErrorMode(table::TErrorMode::Exception);
        table::SetReporting(true);
        table::SetSystemShortDateFormat("M/d/yyyy");
        SetDay(2008, 3, 5);
    }
    void TearDown() override { table::SetDateClock(nullptr); }

    void SetDay(int y, int m, int d) {
        table::SetDateClock([y, m, d] { return table::TDate{y, m, d}; });
    }
    QString LogPath() const { return dir_.path() + QStringLiteral("/Reports/report3.dbf"); }
    QString File(const QString& name) const { return dir_.path() + u'/' + name; }
    void Append(const LogEntry& e) { ASSERT_EQ(AppendLogEntry(LogPath(), e), QString()); }

    QTemporaryDir dir_;
};

// The project file the build places beside the program.
inline QString CompanionProject() {
    return QStringLiteral(QM_PROGRAM_DIR "/Quill3.rav");
}

// LogUi with scripted answers; records what the user was shown. Printed reports go to a PDF.
class ScriptedUi : public LogUi {
public:
    QStringList errors, warnings, infos, status;
    SaveAnswer answer = SaveAnswer::Cancel;
    QString archive; // the save dialog's choice; empty = cancelled
    QString pdf;     // printed reports land here; empty = Output Options cancelled
    int previews = 0;
    std::function<void(PagedDocument&)> onPreview;
    int cancelAtStep = -1; // Step number (from 0) at which the user presses Cancel
    // The book chosen: a date range unless asked otherwise.
    BookChoice::Kind bookKind = BookChoice::Kind::Range;
    DateRange bookRange;
    int bookNumber = 0;
    bool bookPreview = false;
    bool chooseBook = true;
    bool previewPrints = false; // the user prints from the preview (onPreview does the printing)
    QString exportFile;
    std::optional<DateRange> exportRange;
    bool exportVoided = false;

    std::function<void(const QString&)> onMessage; // runs as any message is shown

    void Error(const QString& t) override {
        errors << t;
        if (onMessage) onMessage(t);
    }
    void Warning(const QString& t) override {
        warnings << t;
        if (onMessage) onMessage(t);
    }
    void Information(const QString& t) override {
        infos << t;
        if (onMessage) onMessage(t);
    }
    SaveAnswer AskSaveLog() override {
        ++asked;
        return answer;
    }
    QString ChooseArchiveFile() override { return archive; }
    bool ChooseOutput(QPrinter& printer) override {
        if (pdf.isEmpty()) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }
    bool Preview(PagedDocument& d) override {
        ++previews;
        if (onPreview) onPreview(d);
        return previewPrints;
    }
    std::unique_ptr<ReportProgress> Status() override {
        class Recorder : public ReportProgress {
        public:
            explicit Recorder(ScriptedUi& ui) : ui_(ui) {}
            bool Step(const QString& text) override {
                if (ui_.status.size() == ui_.cancelAtStep) return false;
                ui_.status << text;
                return true;
            }

        private:
            ScriptedUi& ui_;
        };
        return std::make_unique<Recorder>(*this);
    }
    bool ChooseBook(BookChoice& choice) override {
        bookOffered = choice;
        bookDefault = choice.range;
        choice.kind = bookKind;
        choice.range = bookRange;
        choice.number = bookNumber;
        choice.preview = bookPreview;
        return chooseBook;
    }
    bool ChooseExport(ExportChoice& choice) override {
        choice = {exportFile, exportRange, exportVoided};
        return !exportFile.isEmpty();
    }

    int asked = 0;
    DateRange bookDefault;
    BookChoice bookOffered; // what the command offered, counts included
};

} // namespace qm::testing
