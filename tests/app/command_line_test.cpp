// The program run from the command line as an end-of-day script runs it: no window, the log of
// the folder given, exit 0 and the file on success, otherwise one line on standard error and a
// non-zero exit.
#include "log_test_util.h"

#include "log/firm_book.h"

#include <QMap>
#include <QRegularExpression>

#include <map>

#include <sys/stat.h>

namespace qm::testing {
namespace {

struct Outcome {
    int code = -1;
    QString out, err;
};

class CommandLineTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        const QDate today = QDate::currentDate(); // the program's clock is the real one
        SetDay(today.year(), today.month(), today.day());
        QFile ini(File(QStringLiteral("quill4.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Type]\r\nCompany=Larkfield\r\n[YourAddress]\r\nLine1=Acme Title Company\r\n"
                  "Line2=400 Oak Avenue\r\nCity=Boston\r\nState=MA\r\nZip=02108\r\n");
        // The companion files lie beside the program; the folder holds the settings and log.
        QFile::copy(QStringLiteral(QM_PROGRAM_DIR "/Quill3.rav"),
                    File(QStringLiteral("Quill3.rav")));
    }
    // No display and no platform: a window could not open, a program that tried would abort.
    QProcessEnvironment NoDisplay() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "LC_ALL", "LC_TIME"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
        // The window program's own files, should one start, stay in the test's folder.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), File(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), File(QStringLiteral("data")));
        return env;
    }
    Outcome Run(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(NoDisplay());
        p.start(QStringLiteral(QM_QUILLMARK), args);
        EXPECT_TRUE(p.waitForFinished(120000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    Outcome Quillmark(QStringList args) {
        return Run(QStringList{QStringLiteral("--folder"), dir_.path()} + args);
    }
    void AppendThree() {
        // Logged out of numerical order.
        for (const char* serial : {"13", "11", "12"})
            Append(Piece(QStringLiteral("Piece %1").arg(QString::fromLatin1(serial)),
                         QStringLiteral("62701"), QString::fromLatin1(serial)));
    }
};

TEST_F(CommandLineTest, FirmMailingBookOfTodaysThreePieces) {
    const QDate today = QDate::currentDate();
    SetDay(2008, 3, 4);
    Append(Piece(QStringLiteral("Earlier Person"), QStringLiteral("11111"), QStringLiteral("9")));
    SetDay(today.year(), today.month(), today.day());
    AppendThree();

    const Outcome run = Quillmark({QStringLiteral("--firm-mailing-book"), QStringLiteral("--pdf"),
                                   File(QStringLiteral("book.pdf"))});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, QString());
    const QString text = PdfText(File(QStringLiteral("book.pdf")));
    for (const char* s : {"Acme Title Company", "400 Oak Avenue", "Boston MA 02108",
                          "Kind of Mail: Certified Mail"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(s))) << s << "\n" << text.toStdString();
    // Under the C locale the dates are the U.S. short date.
    EXPECT_TRUE(text.contains(QStringLiteral("Date Mailed: ") +
                              today.toString(QStringLiteral("MM/dd/yyyy"))))
        << text.toStdString();
    qsizetype at = -1;
    for (const char* number : {"9214 7123 4567 8900 0001 10", "9214 7123 4567 8900 0001 20",
                               "9214 7123 4567 8900 0001 30"}) {
        const qsizetype here = text.indexOf(QString::fromLatin1(number));
        EXPECT_GT(here, at) << number;
        at = here;
    }
    EXPECT_FALSE(text.contains(QStringLiteral("Earlier Person")));
    const QRegularExpression totals(QStringLiteral(
        "Totals of this book \\(3 pieces\\)\\s+4\\.05\\s+13\\.20\\s+10\\.65\\s+0\\.00\\s+27\\.90"));
    EXPECT_TRUE(totals.match(text).hasMatch()) << text.toStdString();

    // An earlier day by its dates.
    const Outcome earlier = Quillmark(
        {QStringLiteral("--firm-mailing-book"), QStringLiteral("--from"),
         QStringLiteral("2008-03-01"), QStringLiteral("--to"), QStringLiteral("2008-03-04"),
         QStringLiteral("--pdf"), File(QStringLiteral("earlier.pdf"))});
    ASSERT_EQ(earlier.code, 0) << earlier.err.toStdString();
    const QString old = PdfText(File(QStringLiteral("earlier.pdf")));
    EXPECT_TRUE(old.contains(QStringLiteral("Earlier Person")));
    EXPECT_TRUE(old.contains(QStringLiteral("Mailed from 03/01/2008 to 03/04/2008")));
    EXPECT_FALSE(old.contains(QStringLiteral("Piece 11")));
}

// The rows of books.dbf as Perl's XBase reads them: book number and tracking number.
QList<std::pair<int, QString>> BookRows(const QString& books) {
    QList<std::pair<int, QString>> rows;
    const QStringList dump = XBaseDump(books);
    for (qsizetype i = 2; i < dump.size(); ++i) {
        const QStringList f = dump[i].split(u'|');
        if (f.size() == 5) rows.append({f[1].toInt(), f[4]});
    }
    return rows;
}

// The tracking numbers a book's PDF text lists, in their order.
QStringList ListedNumbers(const QString& text) {
    QStringList found;
    const QRegularExpression number(QStringLiteral("9214 7123 4567 8900 \\d{4} \\d\\d"));
    for (auto it = number.globalMatch(text); it.hasNext();) found << it.next().captured(0);
    return found;
}

TEST_F(CommandLineTest, NewBooksAndABookAgain) {
    AppendThree();
    const QString today = QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
    auto book = [this](const QStringList& which, const QString& pdf) {
        return Quillmark(QStringList{QStringLiteral("--firm-mailing-book")} + which +
                         QStringList{QStringLiteral("--pdf"), File(pdf)});
    };
    const Outcome first = book({QStringLiteral("--new")}, QStringLiteral("new1.pdf"));
    ASSERT_EQ(first.code, 0) << first.err.toStdString();
    EXPECT_EQ(first.err, QString());
    const QString made = PdfText(File(QStringLiteral("new1.pdf")));
    EXPECT_TRUE(made.contains(QStringLiteral("Book No. 1 of ") + today)) << made.toStdString();
    EXPECT_EQ(ListedNumbers(made).size(), 3);

    const Outcome none = book({QStringLiteral("--new")}, QStringLiteral("new2.pdf"));
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("all logged pieces are in a book already")))
        << none.err.toStdString();
    EXPECT_FALSE(QFile::exists(File(QStringLiteral("new2.pdf"))));

    Append(Piece(QStringLiteral("Piece 14"), QStringLiteral("62701"), QStringLiteral("14")));
    const Outcome second = book({QStringLiteral("--new")}, QStringLiteral("new3.pdf"));
    ASSERT_EQ(second.code, 0) << second.err.toStdString();
    const QString next = PdfText(File(QStringLiteral("new3.pdf")));
    EXPECT_TRUE(next.contains(QStringLiteral("Book No. 2 of ") + today)) << next.toStdString();
    EXPECT_EQ(ListedNumbers(next), QStringList{QStringLiteral("9214 7123 4567 8900 0001 40")});

    // Book 1 again: the same pages; nothing new recorded.
    const QString books = File(QStringLiteral("Reports/books.dbf"));
    const auto rows = BookRows(books);
    EXPECT_EQ(rows.size(), 4);
    const Outcome again =
        book({QStringLiteral("--book"), QStringLiteral("1")}, QStringLiteral("again.pdf"));
    ASSERT_EQ(again.code, 0) << again.err.toStdString();
    EXPECT_EQ(PdfText(File(QStringLiteral("again.pdf"))), made);
    EXPECT_EQ(BookRows(books), rows);

    const Outcome missing =
        book({QStringLiteral("--book"), QStringLiteral("3")}, QStringLiteral("none.pdf"));
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("There is no book No. 3 in %1").arg(books)))
        << missing.err.toStdString();
    EXPECT_FALSE(QFile::exists(File(QStringLiteral("none.pdf"))));

    const struct {
        QStringList args;
        const char* says;
    } usage[] = {
        {{"--firm-mailing-book", "--new", "--book", "1", "--pdf", "x.pdf"}, "Give one of --new"},
        {{"--firm-mailing-book", "--new", "--from", "2020-01-01", "--pdf", "x.pdf"},
         "--new takes no --from or --to"},
        {{"--firm-mailing-book", "--book", "first", "--pdf", "x.pdf"}, "--book takes the number"},
        {{"--firm-mailing-book", "--book", "0", "--pdf", "x.pdf"}, "--book takes the number"},
        {{"--export-log", "x.csv", "--new"}, "--new belongs to --firm-mailing-book"},
    };
    for (const auto& c : usage) {
        const Outcome run = Quillmark(c.args);
        EXPECT_EQ(run.code, 2) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.says))) << run.err.toStdString();
    }
    EXPECT_EQ(BookRows(books), rows);
}

// A books table that is not sound stops every book, new, of a range or again, with one line
// naming it; it is left as it was and no PDF is written.
TEST_F(CommandLineTest, DamagedBookTableStopsEveryBookAndIsLeftAsItWas) {
    AppendThree();
    const QString books = File(QStringLiteral("Reports/books.dbf"));
    const QByteArray damaged("Not a dBase table: a note someone saved under the wrong name.\n");
    {
        QFile file(books);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    const QString pdf = File(QStringLiteral("book.pdf"));
    for (const QStringList& which : {QStringList{QStringLiteral("--new")}, QStringList{},
                                     QStringList{QStringLiteral("--book"), QStringLiteral("1")}}) {
        SCOPED_TRACE(which.join(u' ').toStdString());
        const Outcome run = Quillmark(QStringList{QStringLiteral("--firm-mailing-book")} + which +
                                      QStringList{QStringLiteral("--pdf"), pdf});
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("The book table %1").arg(books)))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("It was left as it is")))
            << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(pdf));
        QFile file(books);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), damaged);
    }
}

// Copies started at once on one data folder, round after round with new pieces between: each
// makes a book of its own number or finds nothing left; no piece is in two books, every piece
// in one, and each PDF lists what books.dbf records for its number.
TEST_F(CommandLineTest, CopiesMakingNewBooksAtOnceNeverListAPieceTwice) {
    const QString books = File(QStringLiteral("Reports/books.dbf"));
    QStringList logged;
    std::map<int, QStringList> printed; // book number: the numbers its PDF lists
    int serial = 100;
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 3; ++i) {
            const LogEntry piece = Piece(QStringLiteral("Piece %1").arg(serial),
                                         QStringLiteral("62701"), QString::number(serial));
            ++serial;
            Append(piece);
            logged << piece.mailernum;
        }
        std::vector<std::unique_ptr<QProcess>> copies;
        QStringList pdfs;
        for (int copy = 0; copy < 3; ++copy) {
            pdfs << File(QStringLiteral("round%1-copy%2.pdf").arg(round).arg(copy));
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(NoDisplay());
            p->start(QStringLiteral(QM_QUILLMARK),
                     {QStringLiteral("--folder"), dir_.path(),
                      QStringLiteral("--firm-mailing-book"), QStringLiteral("--new"),
                      QStringLiteral("--pdf"), pdfs.last()});
            copies.push_back(std::move(p));
        }
        int made = 0;
        for (size_t copy = 0; copy < copies.size(); ++copy) {
            QProcess& p = *copies[copy];
            ASSERT_TRUE(p.waitForFinished(120000));
            const QString err = QString::fromLocal8Bit(p.readAllStandardError());
            SCOPED_TRACE(::testing::Message()
                         << "round " << round << " copy " << copy << ": " << err.toStdString());
            if (p.exitCode() == 1) {
                EXPECT_TRUE(
                    err.contains(QStringLiteral("all logged pieces are in a book already")));
                EXPECT_FALSE(QFile::exists(pdfs[qsizetype(copy)]));
                continue;
            }
            ASSERT_EQ(p.exitCode(), 0);
            ++made;
            const QString text = PdfText(pdfs[qsizetype(copy)]);
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("Book No\\. (\\d+) of")).match(text);
            ASSERT_TRUE(m.hasMatch()) << text.toStdString();
            const int number = m.captured(1).toInt();
            EXPECT_EQ(printed.count(number), 0u) << "book " << number << " made twice";
            printed[number] = ListedNumbers(text);
        }
        EXPECT_GE(made, 1);
    }
    std::map<int, QStringList> recorded;
    QStringList all;
    for (const auto& [number, piece] : BookRows(books)) {
        recorded[number] << piece;
        all << piece;
    }
    EXPECT_EQ(recorded, printed);
    int expected = 0;
    for (const auto& entry : recorded) EXPECT_EQ(entry.first, ++expected);
    all.sort();
    logged.sort();
    EXPECT_EQ(all, logged); // every piece once
}

// Each page a sheet of its own: every logged address line printed whole on a line of its own,
// no piece split across pages, the receiving post office's boxes and the stamp box on every
// page, the book's totals on the last.
TEST_F(CommandLineTest, FirmMailingBookPrintsEachPieceWholeOnSheetsOfTheirOwn) {
    const std::array<QString, 4> full = {QStringLiteral("WESTERN REGIONAL HOLDINGS CORP"),
                                         QStringLiteral("ATTN: ACCOUNTS PAYABLE DEPT 30"),
                                         QStringLiteral("BUILDING 7 FLOOR 12 SUITE 1200"),
                                         QStringLiteral("1234 NORTH WASHINGTON BLVD STE")};
    for (const QString& line : full) ASSERT_EQ(line.size(), 30) << line.toStdString();
    // The four-line piece sorts into the last line a page of usual pieces holds.
    const int perPage = FirmBookDocument({}, {}).LinesPerPage();
    ASSERT_LT(perPage, 12);
    ASSERT_GE(perPage, 6);
    std::map<int, QStringList> address; // serial: the lines the book must show
    for (int i = 0; i < 12; ++i) {
        const int serial = 200 + i;
        LogEntry e = Piece(QStringLiteral("Addressee %1").arg(serial), QStringLiteral("62701"),
                           QString::number(serial));
        if (i == 0) { // the widest letters a full field holds
            e.addressee[0] = QString(30, u'W');
            e.city = QString(35, u'W');
            e.state = QStringLiteral("WY");
            e.zip = QStringLiteral("82001-0001");
        }
        if (i == perPage - 1) {
            e.addressee = full;
            e.city = QStringLiteral("SAN FRANCISCO");
            e.state = QStringLiteral("CA");
            e.zip = QStringLiteral("94105-1234");
        }
        address[serial] = QStringList(e.addressee.begin(), e.addressee.end());
        address[serial].removeAll(QString());
        address[serial] << e.city + u' ' + e.state + u' ' + e.zip;
        Append(e);
    }
    const Outcome run = Quillmark({QStringLiteral("--firm-mailing-book"), QStringLiteral("--pdf"),
                                   File(QStringLiteral("book12.pdf"))});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const QStringList pages =
        PdfText(File(QStringLiteral("book12.pdf"))).split(u'\f', Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 2);

    std::map<int, int> pageOf; // serial: the page listing its article number
    const QRegularExpression article(QStringLiteral("9214 7123 4567 8900 0(\\d)(\\d\\d) (\\d)0"));
    for (int p = 0; p < pages.size(); ++p) {
        const QString& page = pages[p];
        SCOPED_TRACE(::testing::Message() << "page " << p + 1 << "\n" << page.toStdString());
        int listed = 0;
        for (auto it = article.globalMatch(page); it.hasNext(); ++listed) {
            const QRegularExpressionMatch m = it.next();
            pageOf[(m.captured(1) + m.captured(2) + m.captured(3)).toInt()] = p;
        }
        for (const char* s :
             {"Name and Address of Sender", "Acme Title Company", "Kind of Mail: Certified Mail",
              "Totals on this page", "Total Number of Pieces Listed by Sender",
              "Total Number of Pieces Received at Post Office",
              "Postmaster, Per (Name of receiving employee)", "Postmark and Date of Receipt"})
            EXPECT_TRUE(page.contains(QString::fromLatin1(s))) << s;
        // The stamp box's caption may wrap inside its box; its words stay in order.
        const QRegularExpression stamp(
            QStringLiteral("Affix stamp here[\\s\\S]*\\(if issued as a certificate of mailing"
                           "[\\s\\S]*or for additional copies of this bill\\)"));
        EXPECT_TRUE(stamp.match(page).hasMatch());
        EXPECT_EQ(BoxNumber(page, QStringLiteral("Total Number of Pieces Listed by Sender")),
                  listed);
        EXPECT_EQ(page.contains(QStringLiteral("Totals of this book (12 pieces)")),
                  p == pages.size() - 1);
    }
    ASSERT_EQ(pageOf.size(), 12u);
    for (const auto& [serial, lines] : address)
        for (const QString& line : lines)
            EXPECT_TRUE(pages[pageOf[serial]].contains(line))
                << serial << ": " << line.toStdString() << " not whole on its page";
}

TEST_F(CommandLineTest, ExportAndReports) {
    AppendThree();
    for (const char* name : {"log.csv", "log.xlsx"}) {
        const Outcome run =
            Quillmark({QStringLiteral("--export-log"), File(QString::fromLatin1(name))});
        ASSERT_EQ(run.code, 0) << name << run.err.toStdString();
        EXPECT_EQ(run.err, QString());
    }
    QFile csv(File(QStringLiteral("log.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBFTracking Number,Date Mailed,"));
    EXPECT_EQ(bytes.count('\n'), 4);
    QFile xlsx(File(QStringLiteral("log.xlsx")));
    ASSERT_TRUE(xlsx.open(QIODevice::ReadOnly));
    EXPECT_TRUE(xlsx.read(2) == "PK"); // a zip container

    // A range outside the log: the header only.
    const Outcome none =
        Quillmark({QStringLiteral("--export-log"), File(QStringLiteral("none.csv")),
                   QStringLiteral("--to"), QStringLiteral("2000-01-01")});
    ASSERT_EQ(none.code, 0) << none.err.toStdString();
    QFile empty(File(QStringLiteral("none.csv")));
    ASSERT_TRUE(empty.open(QIODevice::ReadOnly));
    EXPECT_EQ(empty.readAll().count('\n'), 1);

    for (const auto& [kind, order, first] :
         {std::tuple{"short", "record", "Piece 13"}, std::tuple{"full", "number", "Piece 11"},
          std::tuple{"short", "name", "Piece 11"}}) {
        const QString pdf = File(QStringLiteral("report-%1-%2.pdf").arg(kind, order));
        const Outcome run = Quillmark({QStringLiteral("--report"), QString::fromLatin1(kind),
                                       QStringLiteral("--order"), QString::fromLatin1(order),
                                       QStringLiteral("--pdf"), pdf});
        ASSERT_EQ(run.code, 0) << kind << order << run.err.toStdString();
        const QString text = PdfText(pdf);
        EXPECT_TRUE(text.contains(kind == std::string("full")
                                      ? QStringLiteral("Full Detail Report")
                                      : QStringLiteral("Short Detail Report")));
        const QRegularExpression piece(QStringLiteral("Piece \\d\\d"));
        EXPECT_EQ(piece.match(text).captured(0), QString::fromLatin1(first)) << kind << order;
        EXPECT_TRUE(text.contains(QStringLiteral("Number of pieces: 3")));
        // Under the C locale the header and the rows give the date the same U.S. way.
        const QString us = QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
        EXPECT_TRUE(text.contains(QStringLiteral("Date Printed: ") + us)) << text.toStdString();
        EXPECT_EQ(text.count(us), 4) << text.toStdString();
    }
}

// The rows of a workbook's first sheet as Python's zipfile reads them: one line per row, the
// cells' texts (shared strings resolved) joined by "|".
const char* kSheetRows = R"py(
import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
shared = [re.sub(r'<[^>]+>', '', s) for s in
          re.findall(r'<si>(.*?)</si>', z.read('xl/sharedStrings.xml').decode(), re.S)]
sheet = z.read('xl/worksheets/sheet1.xml').decode()
for row in re.findall(r'<row [^>]*>(.*?)</row>', sheet, re.S):
    cells = []
    for attrs, body in re.findall(r'<c ([^>]*?)(?:/>|>(.*?)</c>)', row, re.S):
        v = re.search(r'<v>(.*?)</v>', body or '')
        v = v.group(1) if v else ''
        cells.append(shared[int(v)] if 't="s"' in attrs else v)
    print('|'.join(cells))
)py";

TEST_F(CommandLineTest, VoidedPiecesAreLeftOutOfEveryOutputAndNamed) {
    AppendThree(); // records 1, 2, 3: Piece 13, Piece 11, Piece 12
    RunTool(QStringLiteral("perl"), {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("delete"),
                                     LogPath(), QStringLiteral("2")});
    const QString note = QStringLiteral("1 voided piece left out");

    const Outcome book = Quillmark({QStringLiteral("--firm-mailing-book"), QStringLiteral("--pdf"),
                                    File(QStringLiteral("book.pdf"))});
    ASSERT_EQ(book.code, 0) << book.err.toStdString();
    EXPECT_TRUE(book.err.contains(note)) << book.err.toStdString();
    const QString bookText = PdfText(File(QStringLiteral("book.pdf")));
    EXPECT_FALSE(bookText.contains(QStringLiteral("Piece 11"))) << bookText.toStdString();
    const QRegularExpression totals(QStringLiteral(
        "Totals of this book \\(2 pieces\\)\\s+2\\.70\\s+8\\.80\\s+7\\.10\\s+0\\.00\\s+18\\.60"));
    EXPECT_TRUE(totals.match(bookText).hasMatch()) << bookText.toStdString();

    for (const char* kind : {"full", "short"}) {
        const QString pdf = File(QStringLiteral("report-%1.pdf").arg(QString::fromLatin1(kind)));
        const Outcome run = Quillmark({QStringLiteral("--report"), QString::fromLatin1(kind),
                                       QStringLiteral("--order"), QStringLiteral("number"),
                                       QStringLiteral("--pdf"), pdf});
        ASSERT_EQ(run.code, 0) << kind << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(note)) << kind << run.err.toStdString();
        const QString text = PdfText(pdf);
        EXPECT_FALSE(text.contains(QStringLiteral("Piece 11"))) << kind << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Number of pieces: 2"))) << kind;
    }

    // Left out of both exports unless asked for; asked for, a "Voided" column marks them.
    auto rows = [&](const QString& file) {
        QStringList lines;
        if (file.endsWith(u".csv")) {
            QFile f(file);
            EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
            lines = QString::fromUtf8(f.readAll())
                        .remove(QChar(0xFEFF))
                        .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
            for (QString& l : lines) l.replace(u',', u'|');
        } else {
            lines = RunTool(QStringLiteral("python3"),
                            {QStringLiteral("-c"), QString::fromLatin1(kSheetRows), file})
                        .split(u'\n', Qt::SkipEmptyParts);
        }
        return lines;
    };
    for (const char* name : {"log.csv", "log.xlsx"}) {
        const QString file = File(QString::fromLatin1(name));
        const Outcome run = Quillmark({QStringLiteral("--export-log"), file});
        ASSERT_EQ(run.code, 0) << name << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(note)) << name << run.err.toStdString();
        const QStringList lines = rows(file);
        ASSERT_EQ(lines.size(), 3) << name << lines.join(u'\n').toStdString();
        EXPECT_FALSE(lines.join(u'\n').contains(QStringLiteral("Piece 11"))) << name;
        EXPECT_FALSE(lines[0].contains(QStringLiteral("Voided"))) << name;

        const QString all = File(QStringLiteral("all-") + QString::fromLatin1(name));
        const Outcome with =
            Quillmark({QStringLiteral("--export-log"), all, QStringLiteral("--include-voided")});
        ASSERT_EQ(with.code, 0) << name << with.err.toStdString();
        EXPECT_EQ(with.err, QString()) << name;
        const QStringList withLines = rows(all);
        ASSERT_EQ(withLines.size(), 4) << name << withLines.join(u'\n').toStdString();
        EXPECT_TRUE(withLines[0].endsWith(QStringLiteral("|Voided"))) << name;
        for (int r = 1; r < 4; ++r) {
            const bool voided = withLines[r].contains(QStringLiteral("Piece 11"));
            EXPECT_EQ(withLines[r].endsWith(QStringLiteral("|Yes")), voided)
                << name << withLines[r].toStdString();
        }
    }
}

// A money field changed outside the entry form reaches the spreadsheet as a text, never as a
// formula: any money text the program would not have written is guarded like the text cells.
TEST_F(CommandLineTest, ExportedMoneyTheProgramDidNotWriteIsGuarded) {
    AppendThree();
    const char* kPostage = R"py(
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')))
print(rows[1][rows[0].index('Postage')], end='')
)py";
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("=1+1"), QStringLiteral("'=1+1")},
        // Cut to the field's width by the writer.
        {QStringLiteral("=cmd|' /C calc'!A0"), QStringLiteral("'=cmd|' /C calc'")},
        {QStringLiteral("+1"), QStringLiteral("'+1")},
        {QStringLiteral("-1.00"), QStringLiteral("'-1.00")},
        {QStringLiteral("@SUM(1)"), QStringLiteral("'@SUM(1)")},
        {QStringLiteral("5,30"), QStringLiteral("5,30")},
        {QStringLiteral("1.35"), QStringLiteral("1.35")},
    };
    for (const auto& [stored, exported] : cases) {
        RunTool(QStringLiteral("perl"),
                {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("set"), LogPath(),
                 QStringLiteral("1"), QStringLiteral("postage"), stored});
        const QString csv = File(QStringLiteral("log.csv"));
        QFile::remove(csv);
        const Outcome run = Quillmark({QStringLiteral("--export-log"), csv});
        ASSERT_EQ(run.code, 0) << stored.toStdString() << run.err.toStdString();
        EXPECT_EQ(RunTool(QStringLiteral("python3"),
                          {QStringLiteral("-c"), QString::fromLatin1(kPostage), csv}),
                  exported)
            << stored.toStdString();
    }
}

// The book and the reports count only money the program could have written; any other text is
// named, and the command fails, though the file is written.
TEST_F(CommandLineTest, MoneyTheProgramDidNotWriteIsNamedAndNotCounted) {
    AppendThree();
    for (const QString& postage : {QStringLiteral("=1+1"), QStringLiteral("$1.35"),
                                   QStringLiteral("5,30"), QStringLiteral("1e3")}) {
        RunTool(QStringLiteral("perl"),
                {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("set"), LogPath(),
                 QStringLiteral("2"), QStringLiteral("postage"), postage});
        const QString warning =
            QStringLiteral("Record 2: postage '%1' is not an amount; not counted").arg(postage);
        const QString bookPdf = File(QStringLiteral("book.pdf"));
        QFile::remove(bookPdf);
        const Outcome book =
            Quillmark({QStringLiteral("--firm-mailing-book"), QStringLiteral("--pdf"), bookPdf});
        EXPECT_EQ(book.code, 1) << postage.toStdString();
        EXPECT_TRUE(book.err.contains(warning)) << book.err.toStdString();
        const QString text = PdfText(bookPdf);
        const QRegularExpression totals(QStringLiteral(
            "Totals of this book \\(3 pieces\\)\\s+2\\.70\\s+13\\.20\\s+10\\.65\\s+0\\.00"));
        EXPECT_TRUE(totals.match(text).hasMatch()) << postage.toStdString() << text.toStdString();

        const QString reportPdf = File(QStringLiteral("report.pdf"));
        QFile::remove(reportPdf);
        const Outcome report = Quillmark({QStringLiteral("--report"), QStringLiteral("full"),
                                          QStringLiteral("--pdf"), reportPdf});
        EXPECT_EQ(report.code, 1) << postage.toStdString();
        EXPECT_TRUE(report.err.contains(warning)) << report.err.toStdString();
        EXPECT_TRUE(QFile::exists(reportPdf));
    }
}

// --from alone runs to the last logged day, --to alone from the first, both inclusive, in the
// book as in the export.
TEST_F(CommandLineTest, FromAndToMeanTheSameInTheBookAndTheExport) {
    const QDate today = QDate::currentDate();
    SetDay(2008, 3, 1);
    Append(Piece(QStringLiteral("First Day"), QStringLiteral("11111"), QStringLiteral("7")));
    SetDay(2008, 3, 4);
    Append(Piece(QStringLiteral("Fourth Day"), QStringLiteral("11111"), QStringLiteral("8")));
    SetDay(today.year(), today.month(), today.day());
    AppendThree();
    const QString after = today.addDays(1).toString(Qt::ISODate);
    struct Case {
        QStringList range;
        QStringList names; // the addressees listed, "Piece" for today's three
        int pieces;
    };
    const Case cases[] = {
        {{QStringLiteral("--to"), QStringLiteral("2008-03-04")},
         {QStringLiteral("First Day"), QStringLiteral("Fourth Day")},
         2},
        {{QStringLiteral("--from"), QStringLiteral("2008-03-04")},
         {QStringLiteral("Fourth Day"), QStringLiteral("Piece 11")},
         4},
        {{QStringLiteral("--from"), QStringLiteral("2008-03-02"), QStringLiteral("--to"),
          QStringLiteral("2008-03-04")},
         {QStringLiteral("Fourth Day")},
         1},
        {{QStringLiteral("--from"), after}, {}, 0},
    };
    for (const Case& c : cases) {
        const std::string what = c.range.join(u' ').toStdString();
        const QString csv = File(QStringLiteral("range.csv"));
        QFile::remove(csv);
        const Outcome exported =
            Quillmark(QStringList{QStringLiteral("--export-log"), csv} + c.range);
        ASSERT_EQ(exported.code, 0) << what << exported.err.toStdString();
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString rows = QString::fromUtf8(f.readAll());
        EXPECT_EQ(rows.count(u'\n'), 1 + c.pieces) << what;

        const QString pdf = File(QStringLiteral("range.pdf"));
        QFile::remove(pdf);
        const Outcome book = Quillmark(
            QStringList{QStringLiteral("--firm-mailing-book"), QStringLiteral("--pdf"), pdf} +
            c.range);
        EXPECT_FALSE(book.err.contains(QStringLiteral("first date"))) << what;
        if (c.pieces == 0) {
            EXPECT_EQ(book.code, 1) << what;
            EXPECT_TRUE(book.err.contains(QStringLiteral("No mail pieces"))) << what;
            continue;
        }
        ASSERT_EQ(book.code, 0) << what << book.err.toStdString();
        const QString text = PdfText(pdf);
        for (const QString& name : c.names) {
            EXPECT_TRUE(rows.contains(name)) << what << " " << name.toStdString();
            EXPECT_TRUE(text.contains(name)) << what << " " << name.toStdString();
        }
        EXPECT_TRUE(text.contains(QStringLiteral("Totals of this book (%1 piece").arg(c.pieces)))
            << what << text.toStdString();
    }
}

TEST_F(CommandLineTest, BookWithoutASenderIsRefused) {
    AppendThree();
    QFile ini(File(QStringLiteral("quill4.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[Type]\r\nCompany=Larkfield\r\n");
    ini.close();
    const QString pdf = File(QStringLiteral("book.pdf"));
    const Outcome run =
        Quillmark({QStringLiteral("--firm-mailing-book"), QStringLiteral("--pdf"), pdf});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("sender"))) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(CommandLineTest, EveryFailureIsOneLineAndANonZeroExit) {
    const QString pdf = File(QStringLiteral("out.pdf"));
    // No log yet.
    struct Case {
        QStringList args;
        const char* says;
    };
    const QList<Case> noLog = {
        {{"--firm-mailing-book", "--pdf", pdf}, "There is no mailing log"},
        {{"--export-log", File("x.csv")}, "There is no mailing log"},
        {{"--report", "full", "--pdf", pdf}, "There is no mailing log"},
    };
    auto check = [&](const Case& c) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Outcome run = Quillmark(c.args);
        EXPECT_NE(run.code, 0);
        EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("quillmark: "))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.says))) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(pdf));
    };
    for (const Case& c : noLog) check(c);
    EXPECT_FALSE(QFile::exists(LogPath())); // not created by asking

    AppendThree();
    const QList<Case> usage = {
        {{"--report", "wide", "--pdf", pdf}, "--report takes full or short"},
        {{"--report", "full"}, "--pdf FILE"},
        {{"--report", "full", "--order", "height", "--pdf", pdf}, "--order takes"},
        {{"--firm-mailing-book", "--from", "12/10/2026", "--pdf", pdf}, "YYYY-MM-DD"},
        {{"--firm-mailing-book", "--from", "2026-12-10", "--to", "2026-12-01", "--pdf", pdf},
         "The first date lies after the last date."},
        {{"--firm-mailing-book", "--report", "full", "--pdf", pdf}, "Give one of"},
        {{"--firm-mailing-book", "--to", "2000-01-01", "--pdf", pdf}, "No mail pieces were logged"},
        {{"--report", "full", "--pdf", "/nonexistent/folder/out.pdf"},
         "/nonexistent/folder/out.pdf"},
        {{"--firm-mailing-book", "--pdf", "/nonexistent/folder/out.pdf"},
         "/nonexistent/folder/out.pdf"},
        {{"--export-log", "/nonexistent/folder/out.xlsx"}, "/nonexistent/folder/out.xlsx"},
        {{"--export-log", LogPath()}, "is the mailing log itself"},
    };
    for (const Case& c : usage) check(c);

    // A log that another copy holds exclusively (as while it clears it).
    QProcess holder;
    holder.start(QStringLiteral(QM_LOG_APPEND_HELPER), {LogPath(), QStringLiteral("hold")});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_TRUE(holder.readLine().startsWith("ready"));
    for (const Case& c : {Case{{"--firm-mailing-book", "--pdf", pdf}, "File sharing violation"},
                          Case{{"--export-log", File("x.csv")}, "File sharing violation"},
                          Case{{"--report", "short", "--pdf", pdf}, "File sharing violation"}})
        check(c);
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_FALSE(QFile::exists(File(QStringLiteral("x.csv"))));
}

// A damaged log stops every output before anything is written: one line naming the log and the
// record, a non-zero exit, no new file and an existing one as it was. A log without the optional
// end-of-file byte is sound.
TEST_F(CommandLineTest, DamagedLogStopsEveryOutputNamingTheRecord) {
    AppendThree();
    QFile file(LogPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray sound = file.readAll();
    file.close();
    const auto u16 = [&](int at) { return int(uchar(sound[at])) | int(uchar(sound[at + 1])) << 8; };
    const int headerLength = u16(8), recordLength = u16(10);
    ASSERT_EQ(sound.size(), headerLength + 3 * recordLength + 1);
    int dateOffset = 0;
    {
        const auto log = MakeLogTable(LogPath());
        log->Open();
        dateOffset = log->FieldDef(log->FieldIndex("rdate")).offset;
        log->Close();
    }
    const auto record = [&](int n) { return headerLength + (n - 1) * recordLength; };

    struct Case {
        const char* why;
        std::function<void(QByteArray&)> damage;
        const char* says; // empty: the log is sound
    };
    const QList<Case> cases = {
        {"last record cut short", [&](QByteArray& b) { b.chop(recordLength / 2 + 1); },
         "record 3 is cut short"},
        {"header counts one more", [](QByteArray& b) { b[4] = 4; }, "record 4"},
        {"deletion flag neither blank nor *", [&](QByteArray& b) { b[record(2)] = 'X'; },
         "record 2"},
        {"letters in the date",
         [&](QByteArray& b) { b.replace(record(2) + dateOffset, 8, "2008AB05"); }, "record 2"},
        {"month 13", [&](QByteArray& b) { b.replace(record(3) + dateOffset, 8, "20081305"); },
         "record 3"},
        {"no end-of-file byte", [](QByteArray& b) { b.chop(1); }, ""},
        // A copy killed between its append and its header rewrite: the record is whole.
        {"header counts one fewer", [](QByteArray& b) { b[4] = 2; }, ""},
        {"blank date", [&](QByteArray& b) { b.replace(record(1) + dateOffset, 8, "        "); },
         ""},
    };
    const QStringList existing = {File(QStringLiteral("existing.pdf")),
                                  File(QStringLiteral("existing.csv"))};
    for (const Case& c : cases) {
        QByteArray bytes = sound;
        c.damage(bytes);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        const bool damaged = *c.says != 0;
        for (const QString& out :
             {File(QStringLiteral("fresh.pdf")), File(QStringLiteral("fresh.csv")),
              File(QStringLiteral("fresh.xlsx")), existing[0], existing[1]}) {
            QFile::remove(out);
            if (existing.contains(out)) {
                QFile old(out);
                ASSERT_TRUE(old.open(QIODevice::WriteOnly));
                old.write("the report of yesterday");
            }
            for (const QStringList& args :
                 {QStringList{QStringLiteral("--report"), QStringLiteral("short"),
                              QStringLiteral("--pdf"), out},
                  QStringList{QStringLiteral("--firm-mailing-book"), QStringLiteral("--pdf"), out},
                  QStringList{QStringLiteral("--export-log"), out}}) {
                if (out.endsWith(QStringLiteral("pdf")) != (args[0] != u"--export-log")) continue;
                SCOPED_TRACE(std::string(c.why) + ": " + args.join(u' ').toStdString());
                const Outcome run = Quillmark(args);
                if (!damaged) {
                    EXPECT_EQ(run.code, 0) << run.err.toStdString();
                    continue;
                }
                EXPECT_EQ(run.code, 1) << run.err.toStdString();
                EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
                EXPECT_TRUE(run.err.contains(LogPath())) << run.err.toStdString();
                EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.says))) << run.err.toStdString();
                if (existing.contains(out)) {
                    QFile old(out);
                    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
                    EXPECT_EQ(old.readAll(), QByteArray("the report of yesterday"));
                } else {
                    EXPECT_FALSE(QFile::exists(out));
                }
            }
        }
    }
}

// Where --pdf and --export-log may write: never on the office's own files (by name or through a
// link) nor into a folder, FIFO or device; a link to an ordinary file is replaced, not followed.
TEST_F(CommandLineTest, OutputsNeverLandOnTheOfficesFilesOrOnWhatIsNotAFile) {
    AppendThree();
    QDir(dir_.path()).mkpath(QStringLiteral("Addresses"));
    QDir(dir_.path()).mkpath(QStringLiteral("folder.pdf"));
    {
        QFile memo(File(QStringLiteral("Addresses/clients.dbt")));
        ASSERT_TRUE(memo.open(QIODevice::WriteOnly));
        memo.write(QByteArray(512, '\x1a'));
        QFile other(File(QStringLiteral("elsewhere.txt")));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("someone else's file");
    }
    ASSERT_TRUE(QFile::link(File(QStringLiteral("Addresses/clients.dbt")),
                            File(QStringLiteral("memo-link.csv"))));
    ASSERT_TRUE(
        QFile::link(File(QStringLiteral("elsewhere.txt")), File(QStringLiteral("link.csv"))));
    ASSERT_TRUE(
        QFile::link(File(QStringLiteral("gone/target.csv")), File(QStringLiteral("dangling.csv"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(File(QStringLiteral("fifo.csv"))).constData(), 0600), 0);

    const auto snapshot = [this] {
        QMap<QString, QByteArray> files;
        for (const char* f :
             {"quill4.ini", "Reports/report3.dbf", "Addresses/clients.dbt", "elsewhere.txt"}) {
            QFile file(File(QString::fromLatin1(f)));
            files[QString::fromLatin1(f)] = file.open(QIODevice::ReadOnly) ? file.readAll() : "-";
        }
        return files;
    };
    const auto before = snapshot();
    struct Case {
        const char* target; // relative to the folder, or absolute
        bool written;
        const char* says; // part of the refusal
    };
    const Case cases[] = {
        {"Reports/report3.dbf", false, "the mailing log itself"},
        {"Reports/../quill4.ini", false, "the settings file"},
        {"quill4.ini.lock", false, "the lock of the mailer numbers"},
        {"memo-link.csv", false, "a link to"},
        {"folder.pdf", false, "a folder"},
        {"fifo.csv", false, "a FIFO"},
        {"/dev/null", false, "a device"},
        {"/dev/full", false, "a device"},
        {"dangling.csv", true, nullptr},
        {"link.csv", true, nullptr},
    };
    for (const Case& c : cases) {
        const QString target = c.target[0] == '/' ? QString::fromLatin1(c.target)
                                                  : File(QString::fromLatin1(c.target));
        for (const QStringList& args :
             {QStringList{QStringLiteral("--export-log"), target},
              QStringList{QStringLiteral("--report"), QStringLiteral("short"),
                          QStringLiteral("--pdf"), target},
              QStringList{QStringLiteral("--firm-mailing-book"), QStringLiteral("--pdf"),
                          target}}) {
            SCOPED_TRACE(args.join(u' ').toStdString());
            const Outcome run = Quillmark(args);
            if (c.written) {
                EXPECT_EQ(run.code, 0) << run.err.toStdString();
                // The link itself was replaced by the new file.
                EXPECT_FALSE(QFileInfo(target).isSymLink());
                EXPECT_TRUE(QFileInfo(target).isFile());
            } else {
                EXPECT_EQ(run.code, 1);
                EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.says))) << run.err.toStdString();
            }
        }
    }
    EXPECT_FALSE(QFileInfo::exists(File(QStringLiteral("gone/target.csv"))));
    EXPECT_TRUE(QFileInfo(File(QStringLiteral("fifo.csv"))).isSymLink() ||
                QFileInfo(File(QStringLiteral("fifo.csv"))).exists());
    EXPECT_TRUE(before == snapshot());

    // An export name without an extension is a CSV file.
    const Outcome bare = Quillmark({QStringLiteral("--export-log"), File(QStringLiteral("today"))});
    EXPECT_EQ(bare.code, 0) << bare.err.toStdString();
    EXPECT_TRUE(QFileInfo(File(QStringLiteral("today.csv"))).isFile());
    EXPECT_FALSE(QFileInfo::exists(File(QStringLiteral("today"))));
}

// A mistyped option or a stray argument is a usage error before any window could open: exit 2
// and one line naming it, also where no display exists (a window would abort the program).
TEST_F(CommandLineTest, UnknownOptionsAndStrayArgumentsAreRefusedWithoutAWindow) {
    AppendThree();
    const QString csv = File(QStringLiteral("log.csv"));
    struct Case {
        QStringList args;
        const char* names;
    };
    const QList<Case> cases = {
        {{"-export-log", csv}, "-export-log"},
        {{"--exportlog", csv}, "--exportlog"},
        {{"--frobnicate"}, "--frobnicate"},
        {{"--folder", dir_.path(), "--frobnicate"}, "--frobnicate"},
        {{"--export-log", csv, "--frobnicate"}, "--frobnicate"},
        {{"--export-log=" + csv, "-x"}, "-x"},
        {{"-pdf", File("out.pdf"), "--report", "full"}, "-pdf"},
        {{"--version"}, "--version"},
        {{"-"}, "-"},
        {{"--"}, "--"},
        {{"log.csv"}, "log.csv"},
        {{"--folder", dir_.path(), "stray.txt"}, "stray.txt"},
        {{"--export-log", csv, "stray.txt"}, "stray.txt"},
        {{"--folder"}, "--folder"},
        {{"-platform"}, "-platform"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Outcome run = Run(c.args);
        EXPECT_EQ(run.code, 2) << run.err.toStdString();
        EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("quillmark: "))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral(" %1 ").arg(QString::fromLatin1(c.names))))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("quillmark --help"))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_FALSE(QFile::exists(csv));
        EXPECT_FALSE(QFile::exists(File(QStringLiteral("data/quillmark"))))
            << "no window program started";
    }
    // The help and a command still run in the same surroundings.
    const Outcome help = Run({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--export-log")));
    const Outcome good = Quillmark({QStringLiteral("--export-log"), csv});
    EXPECT_EQ(good.code, 0) << good.err.toStdString();
    EXPECT_TRUE(QFile::exists(csv));
}

// Qt's own options of a window program (platform, style, geometry, ...) reach Qt: the window
// program starts on the platform given although no display exists.
TEST_F(CommandLineTest, QtsOwnOptionsStillStartTheWindow) {
    const QList<QStringList> runs = {
        {"-platform", "offscreen", "-style", "Fusion", "-reverse", "-qwindowgeometry",
         "700x500+10+10", "-qwindowtitle", "Quillmark", "--folder", dir_.path()},
        {"--platform", "offscreen", "-style=Fusion", "-widgetcount", "-platformtheme", "none",
         "--folder=" + dir_.path()},
    };
    for (const QStringList& args : runs) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        QDir(dir_.path()).rmdir(QStringLiteral("Addresses"));
        QProcess p;
        p.setProcessEnvironment(NoDisplay());
        p.start(QStringLiteral(QM_QUILLMARK), args);
        ASSERT_TRUE(p.waitForStarted());
        // The main window makes the address books' folder while it starts.
        bool started = false;
        for (int i = 0; i < 300 && !started && p.state() == QProcess::Running; ++i) {
            p.waitForFinished(100);
            started = QFileInfo(File(QStringLiteral("Addresses"))).isDir();
        }
        EXPECT_TRUE(started) << "exit " << p.exitCode() << ": "
                             << p.readAllStandardError().toStdString();
        EXPECT_EQ(p.state(), QProcess::Running);
        p.kill();
        p.waitForFinished(10000);
    }
}

TEST_F(CommandLineTest, HelpListsTheCommands) {
    const Outcome run = Quillmark({QStringLiteral("--help")});
    EXPECT_EQ(run.code, 0);
    for (const char* s : {"--firm-mailing-book", "--export-log", "--report", "--order", "--from",
                          "--to", "--pdf", "--folder"})
        EXPECT_TRUE(run.out.contains(QString::fromLatin1(s))) << s;
}

} // namespace
} // namespace qm::testing
