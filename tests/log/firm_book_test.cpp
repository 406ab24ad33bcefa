// The firm mailing book printed to PDF and read back with pdftotext: the sender on every page,
// the pieces in numerical order of their article numbers, the page and book totals the log's
// values give, each page's count and the post office's boxes; the unused lines of the last page
// struck through.
#include "log_test_util.h"

#include "core/sender.h"
#include "core/settings.h"
#include "log/book_table.h"
#include "log/firm_book.h"

#include <QImage>
#include <QRegularExpression>

#include <map>

namespace qm::testing {
namespace {

// The grouped article number Piece() gives a serial.
QString Article(int serial) {
    return LogMailerNumber(QStringLiteral("4206270192147123456789") +
                           QString::number(serial).rightJustified(7, u'0') + u'0');
}

std::array<QString, 5> Sender() {
    GlobalVariables g;
    g.Line1 = QStringLiteral("Acme Title Company");
    g.Line2 = QStringLiteral("400 Oak Avenue");
    g.City = QStringLiteral("Boston");
    g.State = QStringLiteral("MA");
    g.Zip = QStringLiteral("02108");
    return SenderLabelTexts(g);
}

// The five money values after a totals label: postage, certified, return receipt, restricted
// delivery, total, in cents; the piece count in `pieces`.
std::vector<long long> Totals(const QString& text, const QString& label, int* pieces) {
    const QRegularExpression re(QRegularExpression::escape(label) +
                                QStringLiteral(" \\((\\d+) pieces?\\)\\s+([0-9.]+)\\s+([0-9.]+)"
                                               "\\s+([0-9.]+)\\s+([0-9.]+)\\s+([0-9.]+)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) {
        ADD_FAILURE() << "no " << label.toStdString() << " in\n" << text.toStdString();
        return {};
    }
    *pieces = m.captured(1).toInt();
    std::vector<long long> cents;
    for (int i = 2; i <= 6; ++i) cents.push_back(MoneyCents(m.captured(i)));
    return cents;
}

// The count in the sender's box: the line after its caption holds only the number.
int ListedBySender(const QString& page) {
    const QRegularExpression re(
        QStringLiteral("Total Number of Pieces Listed by Sender[^\\n]*\\n\\s*(\\d+)\\s*\\n"));
    const QRegularExpressionMatch m = re.match(page);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

class FirmBookTest : public LogTest {
protected:
    QString Book(const QString& name, const DateRange& range) {
        ui.bookRange = range;
        ui.pdf = File(name);
        RunFirmMailingBook(ui, LogPath(), Sender());
        EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
        return QFile::exists(ui.pdf) ? PdfText(ui.pdf) : QString();
    }
    ScriptedUi ui;
};

// Recorded books: a new book lists the live pieces of no book yet and takes the next number;
// books.dbf as Perl's XBase reads it.
class BookRecordTest : public FirmBookTest {
protected:
    QString BooksPath() const { return File(QStringLiteral("Reports/books.dbf")); }
    // A book of `kind` printed to `name`; the PDF's text, empty when none was written.
    QString Make(BookChoice::Kind kind, const QString& name, int number = 0) {
        ui = ScriptedUi();
        ui.bookKind = kind;
        ui.bookNumber = number;
        ui.bookRange = {QDate(2008, 3, 1), QDate(2008, 3, 31)};
        ui.pdf = File(name);
        RunFirmMailingBook(ui, LogPath(), Sender());
        return QFile::exists(ui.pdf) ? PdfText(ui.pdf) : QString();
    }
    // The records of books.dbf as "book|date|number", in file order (the time checked apart).
    QStringList BookRows() {
        QStringList rows;
        const QStringList dump = XBaseDump(BooksPath());
        if (dump.size() < 2) return rows;
        EXPECT_EQ(dump[1], QStringLiteral("fields BOOKNO:N:6:0,BDATE:D:8:0,BTIME:C:8:0,"
                                          "MAILERNUM:C:35:0"));
        const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
        for (qsizetype i = 2; i < dump.size(); ++i) {
            const QStringList f = dump[i].split(u'|');
            EXPECT_EQ(f.size(), 5) << dump[i].toStdString();
            if (f.size() != 5) continue;
            EXPECT_EQ(f[0], QStringLiteral("0")) << dump[i].toStdString(); // not deleted
            EXPECT_TRUE(time.match(f[3]).hasMatch()) << dump[i].toStdString();
            rows << f[1] + u'|' + f[2] + u'|' + f[4];
        }
        return rows;
    }
    static QString Row(int book, const char* date, int serial) {
        return QStringLiteral("%1|%2|%3").arg(book).arg(QString::fromLatin1(date), Article(serial));
    }
    QByteArray Bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(BookRecordTest, NewBooksListEachLivePieceOnceAndAreNumbered) {
    SetDay(2008, 3, 4);
    for (const char* serial : {"12", "11"})
        Append(Piece(QStringLiteral("Piece %1").arg(QString::fromLatin1(serial)),
                     QStringLiteral("62701"), QString::fromLatin1(serial)));
    SetDay(2008, 3, 5);
    for (const char* serial : {"13", "14"})
        Append(Piece(QStringLiteral("Piece %1").arg(QString::fromLatin1(serial)),
                     QStringLiteral("62701"), QString::fromLatin1(serial)));
    // Piece 12 voided: never in a book.
    RunTool(QStringLiteral("perl"), {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("delete"),
                                     LogPath(), QStringLiteral("1")});

    const QString first = Make(BookChoice::Kind::New, QStringLiteral("book1.pdf"));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_EQ(ui.bookOffered.unlisted, 3);
    EXPECT_EQ(ui.bookOffered.lastBook, 0);
    EXPECT_TRUE(ui.infos.contains(QStringLiteral("1 voided piece left out")));
    EXPECT_TRUE(first.contains(QStringLiteral("Book No. 1 of 03/05/2008"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("Mailed from 03/04/2008 to 03/05/2008")))
        << first.toStdString();
    for (int serial : {11, 13, 14}) EXPECT_TRUE(first.contains(Article(serial))) << serial;
    EXPECT_FALSE(first.contains(Article(12)));
    const QStringList book1 = {Row(1, "20080305", 11), Row(1, "20080305", 13),
                               Row(1, "20080305", 14)};
    EXPECT_EQ(BookRows(), book1);

    // More prints the next day: the second new book lists just those.
    SetDay(2008, 3, 6);
    for (const char* serial : {"16", "15"})
        Append(Piece(QStringLiteral("Piece %1").arg(QString::fromLatin1(serial)),
                     QStringLiteral("62701"), QString::fromLatin1(serial)));
    const QString second = Make(BookChoice::Kind::New, QStringLiteral("book2.pdf"));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_EQ(ui.bookOffered.unlisted, 2);
    EXPECT_EQ(ui.bookOffered.lastBook, 1);
    EXPECT_TRUE(second.contains(QStringLiteral("Book No. 2 of 03/06/2008")))
        << second.toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("Totals of this book (2 pieces)")));
    for (int serial : {11, 12, 13, 14}) EXPECT_FALSE(second.contains(Article(serial))) << serial;
    EXPECT_EQ(BookRows(), book1 + (QStringList{Row(2, "20080306", 15), Row(2, "20080306", 16)}));

    // Nothing left: said so, no file, nothing recorded.
    const QByteArray before = Bytes(BooksPath());
    EXPECT_TRUE(Make(BookChoice::Kind::New, QStringLiteral("book3.pdf")).isEmpty());
    EXPECT_EQ(ui.infos, QStringList{"No mail pieces to list: all logged pieces are in a book "
                                    "already. 1 voided piece left out."});
    EXPECT_FALSE(QFile::exists(ui.pdf));
    EXPECT_EQ(Bytes(BooksPath()), before);

    // A range book is printed, so it is recorded too, under the next number.
    const QString range = Make(BookChoice::Kind::Range, QStringLiteral("range.pdf"));
    EXPECT_TRUE(range.contains(QStringLiteral("Book No. 3 of 03/06/2008"))) << range.toStdString();
    EXPECT_EQ(BookRows().size(), 5 + 5);
    EXPECT_TRUE(BookRows().contains(Row(3, "20080306", 11)));
}

TEST_F(BookRecordTest, ABookPrintsAgainAsItWasAndRecordsNothing) {
    for (const char* serial : {"22", "21"})
        Append(Piece(QStringLiteral("Piece %1").arg(QString::fromLatin1(serial)),
                     QStringLiteral("62701"), QString::fromLatin1(serial)));
    const QString made = Make(BookChoice::Kind::New, QStringLiteral("made.pdf"));
    ASSERT_TRUE(made.contains(QStringLiteral("Book No. 1 of 03/05/2008"))) << made.toStdString();
    SetDay(2008, 3, 9);
    Append(Piece(QStringLiteral("Piece 23"), QStringLiteral("62701"), QStringLiteral("23")));
    const QByteArray books = Bytes(BooksPath());

    // Days later, with another piece logged since: the same pages, its number and its date.
    const QString again = Make(BookChoice::Kind::Previous, QStringLiteral("again.pdf"), 1);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_EQ(again, made);
    EXPECT_EQ(Bytes(BooksPath()), books);

    EXPECT_TRUE(Make(BookChoice::Kind::Previous, QStringLiteral("none.pdf"), 4).isEmpty());
    EXPECT_EQ(ui.errors, QStringList{QStringLiteral("There is no book No. 4 in %1; the last book "
                                                    "is No. 1.")
                                         .arg(BooksPath())});

    // The log cleared: the book's pieces are gone from it; named, and nothing printed.
    ScriptedUi clear;
    clear.answer = LogUi::SaveAnswer::No;
    ClearLog(clear, LogPath());
    ASSERT_TRUE(clear.errors.isEmpty()) << clear.errors.join(u'\n').toStdString();
    EXPECT_TRUE(Make(BookChoice::Kind::Previous, QStringLiteral("gone.pdf"), 1).isEmpty());
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0],
              QStringLiteral("Book No. 1 cannot be printed again: the mailing log %1 no longer "
                             "holds 2 pieces of its 2 pieces: %2, %3. Nothing was printed.")
                  .arg(LogPath(), Article(21), Article(22)));
    EXPECT_FALSE(QFile::exists(ui.pdf));
    EXPECT_EQ(Bytes(BooksPath()), books);
}

TEST_F(BookRecordTest, OnlyABookPrintedFromThePreviewIsRecorded) {
    for (const char* serial : {"31", "32"})
        Append(Piece(QStringLiteral("Piece %1").arg(QString::fromLatin1(serial)),
                     QStringLiteral("62701"), QString::fromLatin1(serial)));
    auto preview = [this](bool prints, const std::function<void()>& meanwhile = {}) {
        ui = ScriptedUi();
        ui.bookKind = BookChoice::Kind::New;
        ui.bookPreview = true;
        ui.previewPrints = prints;
        ui.pdf = File(QStringLiteral("previewed.pdf"));
        ui.onPreview = [this, prints, meanwhile](PagedDocument& document) {
            if (prints) {
                QPrinter printer(QPrinter::HighResolution);
                ASSERT_TRUE(ChooseReportOutput(ui, document, printer));
                ASSERT_TRUE(PrintToChosenOutput(ui, document, printer));
            }
            if (meanwhile) meanwhile();
        };
        RunFirmMailingBook(ui, LogPath(), Sender());
        EXPECT_EQ(ui.previews, 1);
    };
    preview(false);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_TRUE(BookRows().isEmpty());

    preview(true);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_TRUE(PdfText(ui.pdf).contains(QStringLiteral("Book No. 1")));
    EXPECT_EQ(BookRows(), (QStringList{Row(1, "20080305", 31), Row(1, "20080305", 32)}));

    // Another copy records a book while this one is in the preview: this one's number is taken,
    // so its book is not recorded, and the user is told.
    Append(Piece(QStringLiteral("Piece 33"), QStringLiteral("62701"), QStringLiteral("33")));
    preview(true, [this] {
        BookRecording other(BooksPath());
        other.Append(other.NextNumber(), {Article(33)});
    });
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(
        QStringLiteral("Book No. 2 was not recorded in %1: another copy").arg(BooksPath())))
        << ui.errors[0].toStdString();
    EXPECT_EQ(BookRows().size(), 3);
}

// A log entry without a tracking number (edited by hand) is listed once like any other; the
// table that records it stays usable.
TEST_F(BookRecordTest, APieceWithoutANumberIsListedOnceAndTheTableStaysUsable) {
    LogEntry blank =
        Piece(QStringLiteral("No Number"), QStringLiteral("62701"), QStringLiteral("71"));
    blank.mailernum.clear();
    Append(blank);
    Append(Piece(QStringLiteral("Piece 72"), QStringLiteral("62701"), QStringLiteral("72")));
    const QString first = Make(BookChoice::Kind::New, QStringLiteral("first.pdf"));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("No Number"))) << first.toStdString();
    EXPECT_EQ(BookRows().size(), 2);

    Append(Piece(QStringLiteral("Piece 73"), QStringLiteral("62701"), QStringLiteral("73")));
    const QString second = Make(BookChoice::Kind::New, QStringLiteral("second.pdf"));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_FALSE(second.contains(QStringLiteral("No Number"))) << second.toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("Book No. 2")));
    EXPECT_EQ(Make(BookChoice::Kind::Previous, QStringLiteral("again.pdf"), 1), first);
}

// A message box may stay open for long: none is shown while the book table is locked, so
// another copy making a book meanwhile is not kept waiting.
TEST_F(BookRecordTest, NoMessageIsShownWhileTheBookTableIsLocked) {
    Append(Piece(QStringLiteral("Piece 51"), QStringLiteral("62701"), QStringLiteral("51")));
    LogEntry odd = Piece(QStringLiteral("Piece 52"), QStringLiteral("62701"), QStringLiteral("52"));
    odd.postage = QStringLiteral("=1+1"); // named and not counted
    Append(odd);
    Append(Piece(QStringLiteral("Piece 53"), QStringLiteral("62701"), QStringLiteral("53")));
    RunTool(QStringLiteral("perl"), {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("delete"),
                                     LogPath(), QStringLiteral("3")});
    // Each message shown tries the book table as another copy would; `blocked` names those
    // shown while it was locked.
    QStringList blocked;
    const auto tryTheTable = [&](const QString& shown) {
        try {
            BookRecording other(BooksPath());
        } catch (const std::exception& e) {
            blocked << shown + QStringLiteral(": ") + QString::fromUtf8(e.what());
        }
    };
    for (const bool preview : {false, true}) {
        SCOPED_TRACE(preview ? "preview" : "printed");
        ui = ScriptedUi();
        ui.bookKind = BookChoice::Kind::New;
        ui.bookPreview = preview;
        ui.pdf = File(QStringLiteral("book.pdf"));
        blocked.clear();
        ui.onMessage = tryTheTable;
        RunFirmMailingBook(ui, LogPath(), Sender());
        EXPECT_EQ(ui.warnings.size(), 1);
        EXPECT_TRUE(ui.infos.contains(QStringLiteral("1 voided piece left out")));
        EXPECT_EQ(blocked, QStringList());
        QFile::remove(BooksPath()); // the next round makes a new book of the same pieces
    }
    // Nothing left to list: said with the table free too.
    blocked.clear();
    ui.bookPreview = false;
    RunFirmMailingBook(ui, LogPath(), Sender());
    RunFirmMailingBook(ui, LogPath(), Sender());
    EXPECT_TRUE(ui.infos.last().startsWith(QStringLiteral("No mail pieces to list")));
    EXPECT_EQ(blocked, QStringList());
}

// A books table that is not sound is named and left as it is; no book is made from it.
TEST_F(BookRecordTest, DamagedBookTableIsNamedAndLeftAsItIs) {
    Append(Piece(QStringLiteral("Piece 41"), QStringLiteral("62701"), QStringLiteral("41")));
    Append(Piece(QStringLiteral("Piece 42"), QStringLiteral("62701"), QStringLiteral("42")));
    Make(BookChoice::Kind::New, QStringLiteral("sound.pdf"));
    ASSERT_EQ(BookRows().size(), 2);
    const QByteArray sound = Bytes(BooksPath());
    const int header = uchar(sound[8]) | uchar(sound[9]) << 8;
    const int record = uchar(sound[10]) | uchar(sound[11]) << 8;
    QByteArray badNumber = sound;
    badNumber.replace(header + record + 1, 6, "  1x2 ");
    QByteArray logShaped = Bytes(LogPath());
    const struct {
        const char* what;
        QByteArray bytes;
        const char* says;
    } cases[] = {
        {"not a table", QByteArray("This is no dBase table at all, just words.\n"), ""},
        {"cut inside a record", sound.left(header + record + 10), "is cut short"},
        {"a book number that is no number", badNumber, "record 2 holds \"1x2\" as its book number"},
        {"another table's fields", logShaped, "it has 16 fields, a book table has 4"},
    };
    Append(Piece(QStringLiteral("Piece 43"), QStringLiteral("62701"), QStringLiteral("43")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile file(BooksPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        for (const auto kind : {BookChoice::Kind::New, BookChoice::Kind::Previous}) {
            EXPECT_TRUE(Make(kind, QStringLiteral("damaged.pdf"), 1).isEmpty());
            ASSERT_EQ(ui.errors.size(), 1);
            EXPECT_TRUE(
                ui.errors[0].startsWith(QStringLiteral("The book table %1 ").arg(BooksPath())))
                << ui.errors[0].toStdString();
            EXPECT_TRUE(ui.errors[0].contains(QString::fromLatin1(c.says)))
                << ui.errors[0].toStdString();
            EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("It was left as it is")))
                << ui.errors[0].toStdString();
            EXPECT_FALSE(QFile::exists(ui.pdf));
            EXPECT_EQ(Bytes(BooksPath()), c.bytes);
        }
    }

    // A link in its place, even to a sound books table, is not followed.
    const QString elsewhere = File(QStringLiteral("elsewhere.dbf"));
    QFile::remove(BooksPath());
    {
        QFile file(elsewhere);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(sound);
    }
    ASSERT_TRUE(QFile::link(elsewhere, BooksPath()));
    EXPECT_TRUE(Make(BookChoice::Kind::New, QStringLiteral("linked.pdf")).isEmpty());
    EXPECT_EQ(ui.errors, QStringList{QStringLiteral("The book table %1 is a link or not a plain "
                                                    "file. It was left as it is; restore it from "
                                                    "a backup or repair it with a dBase tool, "
                                                    "then make the book again.")
                                         .arg(BooksPath())});
    EXPECT_EQ(Bytes(elsewhere), sound);
}

TEST_F(FirmBookTest, ThreePiecesInNumericalOrderWithTheirTotalsCountAndBoxes) {
    SetDay(2008, 3, 4);
    Append(Piece(QStringLiteral("Yesterday Person"), QStringLiteral("11111"), QStringLiteral("9")));
    SetDay(2008, 3, 5);
    // Logged out of numerical order; one piece with restricted delivery.
    LogEntry restricted =
        Piece(QStringLiteral("Cy Cole"), QStringLiteral("62703"), QStringLiteral("13"));
    restricted.restricted = QStringLiteral("  5.85");
    restricted.total = QStringLiteral(" 15.15");
    Append(restricted);
    Append(Piece(QStringLiteral("Ann Archer"), QStringLiteral("62701"), QStringLiteral("11")));
    Append(Piece(QStringLiteral("Ben Baker"), QStringLiteral("62702"), QStringLiteral("12"),
                 QStringLiteral("  2.10")));

    const QString text = Book(QStringLiteral("book.pdf"), {QDate(2008, 3, 5), QDate(2008, 3, 5)});
    EXPECT_EQ(ui.bookDefault.from, QDate(2008, 3, 5)); // today by default
    EXPECT_EQ(ui.bookDefault.to, QDate(2008, 3, 5));
    for (const char* s :
         {"Firm Mailing Book for Accountable Mail", "Name and Address of Sender",
          "Acme Title Company", "400 Oak Avenue", "Boston MA 02108", "Kind of Mail: Certified Mail",
          "Date Mailed: 03/05/2008", "12 Main St", "Springfield IL 62701",
          "Total Number of Pieces Received at Post Office", "Postmark and Date of Receipt",
          "Postmaster, Per (Name of receiving employee)", "Page 1 of 1"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(s))) << s << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Yesterday")));

    // Line number, article number and addressee in numerical order of the article numbers.
    qsizetype at = -1;
    int line = 0;
    for (const auto& [serial, name] :
         {std::pair{11, "Ann Archer"}, std::pair{12, "Ben Baker"}, std::pair{13, "Cy Cole"}}) {
        const QRegularExpression row(
            QStringLiteral("\\n\\s*%1\\s+%2\\s+%3\\s")
                .arg(++line)
                .arg(QRegularExpression::escape(Article(serial)), QString::fromLatin1(name)));
        const QRegularExpressionMatch m = row.match(text);
        ASSERT_TRUE(m.hasMatch()) << serial << "\n" << text.toStdString();
        EXPECT_GT(m.capturedStart(), at) << serial;
        at = m.capturedStart();
    }
    // The restricted piece carries the kind of mail beside it, the others do not.
    const QStringList lines = text.split(u'\n');
    QStringList marked;
    for (int i = 1; i < lines.size(); ++i)
        if (lines[i].contains(QStringLiteral("Certified Mail, Restricted Delivery")))
            marked << lines[i - 1];
    ASSERT_EQ(marked.size(), 1) << text.toStdString();
    EXPECT_TRUE(marked[0].contains(Article(13)));

    // Page and book totals: postage, certified, return receipt, restricted delivery, total.
    const std::vector<long long> expected = {135 + 210 + 135, 3 * 440, 3 * 355, 585,
                                             930 + 1005 + 1515};
    int pieces = 0;
    EXPECT_EQ(Totals(text, QStringLiteral("Totals on this page"), &pieces), expected);
    EXPECT_EQ(pieces, 3);
    EXPECT_EQ(Totals(text, QStringLiteral("Totals of this book"), &pieces), expected);
    EXPECT_EQ(pieces, 3);
    EXPECT_EQ(ListedBySender(text), 3) << text.toStdString();

    // Letter landscape.
    const QString info = RunTool(QStringLiteral("pdfinfo"), {ui.pdf});
    EXPECT_TRUE(info.contains(QStringLiteral("792 x 612 pts"))) << info.toStdString();

    ScriptedUi none;
    none.bookRange = DateRange{QDate(2009, 1, 1), QDate(2009, 1, 31)};
    none.pdf = File(QStringLiteral("none.pdf"));
    RunFirmMailingBook(none, LogPath(), Sender());
    EXPECT_EQ(none.infos, QStringList{"No mail pieces were logged from 01/01/2009 to 01/31/2009."});
    EXPECT_FALSE(QFile::exists(none.pdf));
}

TEST_F(FirmBookTest, FortyPiecesPageByPageWithTheSenderAndTheTotalsOfEachPage) {
    // Logged in a scrambled order; the postage depends on the serial.
    std::map<int, long long> postage;
    for (int i = 0; i < 40; ++i) {
        const int serial = 100 + (i * 17) % 40;
        postage[serial] = serial % 3 == 0 ? 100 : 235;
        Append(Piece(QStringLiteral("Addressee %1").arg(serial), QStringLiteral("62701"),
                     QString::number(serial), QStringLiteral("  ") + CentsText(postage[serial])));
    }
    const QString text = Book(QStringLiteral("book40.pdf"), {QDate(2008, 3, 5), QDate(2008, 3, 5)});
    const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 3);
    std::vector<int> order;
    std::vector<long long> book(5, 0);
    for (int p = 0; p < pages.size(); ++p) {
        const QString& page = pages[p];
        SCOPED_TRACE(::testing::Message() << "page " << p + 1 << "\n" << page.toStdString());
        for (const char* s : {"Acme Title Company", "400 Oak Avenue", "Boston MA 02108",
                              "Kind of Mail: Certified Mail"})
            EXPECT_TRUE(page.contains(QString::fromLatin1(s))) << s;
        EXPECT_TRUE(page.contains(QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages.size())));
        // The page's pieces, in the order they are listed.
        std::vector<long long> sums(5, 0);
        int listed = 0;
        const QRegularExpression row(QStringLiteral("9214 7123 4567 8900 0(\\d)(\\d\\d) (\\d)0"));
        for (auto it = row.globalMatch(page); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const int serial = (m.captured(1) + m.captured(2) + m.captured(3)).toInt();
            order.push_back(serial);
            ++listed;
            const long long piece[5] = {postage[serial], 440, 355, 0, postage[serial] + 795};
            for (int i = 0; i < 5; ++i) sums[size_t(i)] += piece[i];
        }
        int pieces = 0;
        EXPECT_EQ(Totals(page, QStringLiteral("Totals on this page"), &pieces), sums);
        EXPECT_EQ(pieces, listed);
        for (int i = 0; i < 5; ++i) book[size_t(i)] += sums[size_t(i)];
        const bool last = p == pages.size() - 1;
        EXPECT_EQ(page.contains(QStringLiteral("Totals of this book")), last);
        // Every page is a sheet of its own: the sender's count of the page and the boxes.
        EXPECT_EQ(ListedBySender(page), listed);
        EXPECT_TRUE(page.contains(QStringLiteral("Postmaster, Per")));
    }
    std::vector<int> sorted(40);
    for (int i = 0; i < 40; ++i) sorted[size_t(i)] = 100 + i;
    EXPECT_EQ(order, sorted);
    int pieces = 0;
    EXPECT_EQ(Totals(pages.last(), QStringLiteral("Totals of this book"), &pieces), book);
    EXPECT_EQ(pieces, 40);
}

TEST(FirmBook, UnusedLinesOfTheLastPageAreStruckThroughWithOneDiagonal) {
    auto pieces = [](int n) {
        QList<BookPiece> list;
        for (int i = 0; i < n; ++i) {
            BookPiece p;
            p.article = Article(i + 1);
            p.lines = {QStringLiteral("Name %1").arg(i), QStringLiteral("Town")};
            p.money = {QStringLiteral("1.00"), QStringLiteral("4.40"), QString(), QString(),
                       QStringLiteral("5.40")};
            list << p;
        }
        return list;
    };
    FirmBookDocument probe({}, pieces(1));
    const int perPage = probe.LinesPerPage();
    ASSERT_GE(perPage, 8);

    for (int n : {3, perPage + 2}) {
        SCOPED_TRACE(n);
        FirmBookDocument book({}, pieces(n));
        const QRectF unused = book.UnusedLinesArea();
        ASSERT_FALSE(unused.isEmpty());
        const double dpi = 100;
        const QImage page = book.RenderPageImage(book.PageCount() - 1, dpi);
        auto inkNear = [&](QPointF inch) {
            const QPoint c = (inch * dpi).toPoint();
            for (int y = c.y() - 2; y <= c.y() + 2; ++y)
                for (int x = c.x() - 2; x <= c.x() + 2; ++x)
                    if (qGray(page.pixel(x, y)) < 128) return true;
            return false;
        };
        // Ink along the diagonal from the top left to the bottom right of the unused lines...
        for (double t : {0.1, 0.5, 0.9})
            EXPECT_TRUE(inkNear(unused.topLeft() + t * (unused.bottomRight() - unused.topLeft())))
                << t;
        // ...and nowhere else in them.
        EXPECT_FALSE(
            inkNear(unused.topLeft() + QPointF(0.25 * unused.width(), 0.75 * unused.height())));
        EXPECT_FALSE(
            inkNear(unused.topLeft() + QPointF(0.75 * unused.width(), 0.25 * unused.height())));
    }
    // A full last page has nothing to strike.
    EXPECT_TRUE(FirmBookDocument({}, pieces(perPage)).UnusedLinesArea().isEmpty());
    EXPECT_EQ(FirmBookDocument({}, pieces(perPage)).PageCount(), 1);
}

TEST(FirmBook, ArticleNumbersCompareAsNumbers) {
    EXPECT_TRUE(ArticleNumberLess(QStringLiteral("9214 0000 0000 0000 0000 90"),
                                  QStringLiteral("9214 0000 0000 0000 0001 00")));
    EXPECT_TRUE(ArticleNumberLess(QStringLiteral("7100 0000 0099"),
                                  QStringLiteral("9214 7123 4567 8900 0000 10")));
    EXPECT_FALSE(ArticleNumberLess(QStringLiteral("0012"), QStringLiteral("12")));
}

} // namespace
} // namespace qm::testing
