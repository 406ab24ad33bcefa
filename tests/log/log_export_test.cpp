// Export Log as the readers of its files see it: Python's csv module against Perl's XBase, and
// LibreOffice opening the CSV file and the workbook; the file names and the files it refuses.
#include "log_test_util.h"

#include "log/log_csv.h"
#include "log/log_export.h"

#include "core/output_target.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qm::testing {
namespace {

class ExportTest : public LogTest {
protected:
    QString DumpFile() {
        const QString dump = File(QStringLiteral("dump.txt"));
        QProcess p;
        p.setStandardOutputFile(dump);
        p.start(QStringLiteral("perl"),
                {QStringLiteral(QM_XBASE_SCRIPT), QStringLiteral("dump"), LogPath()});
        EXPECT_TRUE(p.waitForFinished());
        return dump;
    }
    QByteArray Bytes(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        return f.readAll();
    }
};

// Python's csv module reads the export; every value equals what Perl's XBase reads from the
// log (texts trimmed, formula-like texts behind an apostrophe, dates without their hyphens,
// code page 437 decoded). The columns are named in words.
const char* kCompare = R"py(
import csv, sys
raw = open(sys.argv[1], 'rb').read()
assert raw.startswith(b'\xef\xbb\xbf'), raw[:8]
rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')))
dump = open(sys.argv[2], 'rb').read().decode('cp437').split('\n')
names = [f.split(':')[0].lower() for f in dump[1][len('fields '):].split(',')]
records = [l.split('|')[1:] for l in dump[2:] if l]
want = [r for r in records if sys.argv[3] == 'all' or r[names.index('rdate')] == sys.argv[3]]
columns = [('Tracking Number', 'mailernum'), ('Date Mailed', 'rdate'),
           ('Addressee Line 1', 'sentname0'), ('Addressee Line 2', 'sentname1'),
           ('Addressee Line 3', 'sentname2'), ('Addressee Line 4', 'sentname3'),
           ('City', 'city'), ('State', 'state'), ('ZIP', 'zip'), ('Postage', 'postage'),
           ('Certified Fee', 'certified'), ('Return Receipt Fee', 'return'),
           ('Restricted Delivery Fee', 'restricted'), ('Total', 'total'),
           ('Comment', 'comments'), ('Reference', 're')]
money = {'rdate', 'postage', 'certified', 'return', 'restricted', 'total'}
assert rows[0] == [c[0] for c in columns], rows[0]
assert len(rows) - 1 == len(want), (len(rows), len(want))
for got, rec in zip(rows[1:], want):
    got = [g.replace('-', '') if f == 'rdate' else g for g, (h, f) in zip(got, columns)]
    exp = []
    for h, f in columns:
        e = rec[names.index(f)].strip()
        if f not in money and e[:1] in ('=', '+', '-', '@'):
            e = "'" + e
        exp.append(e)
    assert got == exp, (got, exp)
print('same', len(rows) - 1)
)py";

TEST_F(ExportTest, CsvReadsLikeTheTable) {
    for (const char* name : {"Carol", "Eve"})
        Append(Piece(QString::fromLatin1(name), QStringLiteral("30303"), QStringLiteral("3")));
    SetDay(2008, 3, 6);
    LogEntry odd = Piece(QStringLiteral("Zoë \"Zed\" O'Hare, Esq."), QStringLiteral("62701"),
                         QStringLiteral("8"));
    odd.comments = QStringLiteral("café, 2nd floor");
    odd.addressee[1] = QStringLiteral("-5 Minus Street");
    odd.re = QStringLiteral("@home");
    Append(odd);
    const QString dump = DumpFile();

    ScriptedUi ui;
    ui.exportFile = File(QStringLiteral("log.csv"));
    RunExportLog(ui, LogPath());
    EXPECT_EQ(ui.infos, QStringList{"Export Done."});
    EXPECT_EQ(
        RunTool(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kCompare),
                                            ui.exportFile, dump, QStringLiteral("all")})
            .trimmed(),
        QStringLiteral("same 3"));

    ScriptedUi ranged;
    ranged.exportFile = File(QStringLiteral("day.csv"));
    ranged.exportRange = DateRange{QDate(2008, 3, 6), QDate(2008, 3, 6)};
    RunExportLog(ranged, LogPath());
    EXPECT_EQ(
        RunTool(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kCompare),
                                            ranged.exportFile, dump, QStringLiteral("20080306")})
            .trimmed(),
        QStringLiteral("same 1"));

    // A folder that cannot be written: the error names the file, nothing is reported done.
    for (const char* file : {"/nonexistent/folder/log.csv", "/nonexistent/folder/log.xlsx"}) {
        ScriptedUi denied;
        denied.exportFile = QString::fromLatin1(file);
        RunExportLog(denied, LogPath());
        ASSERT_EQ(denied.errors.size(), 1) << file;
        EXPECT_TRUE(denied.errors[0].startsWith(QStringLiteral("Error on export: /nonexistent")))
            << denied.errors[0].toStdString();
        EXPECT_TRUE(denied.infos.isEmpty());
    }
}

TEST(ExportCells, FormulaLikeTextsGetAnApostrophe) {
    const std::pair<const char*, const char*> cases[] = {
        {"=HYPERLINK(\"http://x.co\")", "'=HYPERLINK(\"http://x.co\")"},
        {"+1", "'+1"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "'\t=1"},
        {"\r=1", "'\r=1"},
        {"Smith = Jones", "Smith = Jones"},
        {"'quoted'", "'quoted'"},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(GuardedText(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

// LibreOffice converts a file to flat XML; Python prints its first sheet's cells as JSON:
// [[{"type", "value", "text", "formula"}, ...], ...].
const char* kCells = R"py(
import json, sys, xml.etree.ElementTree as ET
T = 'urn:oasis:names:tc:opendocument:xmlns:table:1.0'
O = 'urn:oasis:names:tc:opendocument:xmlns:office:1.0'
X = 'urn:oasis:names:tc:opendocument:xmlns:text:1.0'
sheet = next(ET.parse(sys.argv[1]).iter('{%s}table' % T))
rows = []
for row in sheet.iter('{%s}table-row' % T):
    cells = []
    for c in row.findall('{%s}table-cell' % T):
        n = int(c.get('{%s}number-columns-repeated' % T, '1'))
        cell = {'type': c.get('{%s}value-type' % O) or '',
                'value': c.get('{%s}value' % O) or c.get('{%s}date-value' % O) or '',
                'formula': c.get('{%s}formula' % T) or '',
                'text': '\n'.join(''.join(p.itertext()) for p in c.findall('{%s}p' % X))}
        cells += [cell] * min(n, 64)
    if any(c['type'] or c['text'] for c in cells):
        rows.append(cells)
    if len(rows) > 50: break
print(json.dumps(rows))
)py";

// The workbook's own parts: the frozen, bold header row and fitted column widths.
const char* kSheet = R"py(
import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
sheet = z.read('xl/worksheets/sheet1.xml').decode()
styles = z.read('xl/styles.xml').decode()
assert re.search(r'<pane [^>]*ySplit="1"[^>]*state="frozen"', sheet), sheet[:2000]
widths = [float(w) for w in re.findall(r'<col [^>]*width="([0-9.]+)"', sheet)]
assert len(widths) >= 16 and min(widths) >= 5, widths
first = re.search(r'<c r="A1" s="(\d+)"', sheet)
xfs = re.findall(r'<xf [^>]*fontId="(\d+)"', styles.split('<cellXfs')[1])
fonts = styles.split('<fonts')[1].split('</fonts>')[0].split('<font>')
assert '<b/>' in fonts[int(xfs[int(first.group(1))]) + 1], (fonts, xfs)
print('ok', ' '.join('%g' % w for w in widths[:3]))
)py";

class Spreadsheet {
public:
    explicit Spreadsheet(const QJsonArray& rows) : rows_(rows) {}
    QJsonObject Cell(int row, const QString& heading) const {
        const QJsonArray head = rows_[0].toArray();
        for (int c = 0; c < head.size(); ++c)
            if (head[c].toObject()[QStringLiteral("text")].toString() == heading)
                return rows_[row].toArray()[c].toObject();
        ADD_FAILURE() << "no column " << heading.toStdString();
        return {};
    }
    int Rows() const { return int(rows_.size()); }

private:
    QJsonArray rows_;
};

TEST_F(ExportTest, LibreOfficeReadsBothFilesRight) {
    const QString soffice = QStringLiteral("/usr/bin/soffice");
    ASSERT_TRUE(QFile::exists(soffice)) << "tools/setup installs libreoffice-calc-nogui";
    LogEntry e = Piece(QStringLiteral("Zoë Ångström"), QStringLiteral("02108"),
                       QStringLiteral("21"), QStringLiteral("  1.35"));
    e.addressee[1] = QStringLiteral("=HYPERLINK(\"http://x.co\")");
    e.city = QStringLiteral("Boston");
    e.state = QStringLiteral("MA");
    e.comments = QStringLiteral("+1");
    e.restricted = QStringLiteral("  5.85");
    e.total = QStringLiteral(" 15.15");
    Append(e);

    ScriptedUi csv, xlsx;
    csv.exportFile = File(QStringLiteral("log.csv"));
    xlsx.exportFile = File(QStringLiteral("book.xlsx"));
    RunExportLog(csv, LogPath());
    RunExportLog(xlsx, LogPath());
    ASSERT_EQ(csv.infos, QStringList{"Export Done."}) << csv.errors.join(u'\n').toStdString();
    ASSERT_EQ(xlsx.infos, QStringList{"Export Done."}) << xlsx.errors.join(u'\n').toStdString();
    EXPECT_TRUE(Bytes(csv.exportFile).contains(",02108,"));
    EXPECT_TRUE(RunTool(QStringLiteral("python3"),
                        {QStringLiteral("-c"), QString::fromLatin1(kSheet), xlsx.exportFile})
                    .startsWith(QStringLiteral("ok")));

    // A private profile, so tests running side by side do not share one.
    const QString profile = QUrl::fromLocalFile(File(QStringLiteral("lo-profile"))).toString();
    auto convert = [&](const QString& file, const QStringList& filter) {
        QProcess lo;
        lo.setProcessChannelMode(QProcess::MergedChannels);
        lo.start(soffice,
                 QStringList{QStringLiteral("-env:UserInstallation=") + profile,
                             QStringLiteral("--headless")} +
                     filter +
                     QStringList{QStringLiteral("--convert-to"), QStringLiteral("fods"),
                                 QStringLiteral("--outdir"), File(QStringLiteral("lo")), file});
        EXPECT_TRUE(lo.waitForFinished(180000)) << "soffice";
        const QString fods = File(QStringLiteral("lo/") + QFileInfo(file).completeBaseName() +
                                  QStringLiteral(".fods"));
        EXPECT_TRUE(QFile::exists(fods)) << lo.readAll().toStdString();
        const QString json = RunTool(QStringLiteral("python3"),
                                     {QStringLiteral("-c"), QString::fromLatin1(kCells), fods});
        return Spreadsheet(QJsonDocument::fromJson(json.toUtf8()).array());
    };
    // The CSV as a spreadsheet opens it: comma separated, UTF-8 (which the byte-order mark
    // announces), quotes around texts.
    const Spreadsheet fromCsv =
        convert(csv.exportFile, {QStringLiteral("--infilter=CSV:44,34,76,1")});
    const Spreadsheet fromXlsx = convert(xlsx.exportFile, {});
    ASSERT_EQ(fromCsv.Rows(), 2);
    ASSERT_EQ(fromXlsx.Rows(), 2);

    auto text = [](const QJsonObject& c) { return c[QStringLiteral("text")].toString(); };
    auto type = [](const QJsonObject& c) { return c[QStringLiteral("type")].toString(); };
    auto value = [](const QJsonObject& c) { return c[QStringLiteral("value")].toString(); };
    for (const Spreadsheet* s : {&fromCsv, &fromXlsx}) {
        const char* which = s == &fromCsv ? "csv" : "xlsx";
        SCOPED_TRACE(which);
        // The header in words, the first cell without the byte-order mark.
        EXPECT_EQ(text(s->Cell(0, QStringLiteral("Tracking Number"))).size(), 15);
        EXPECT_EQ(text(s->Cell(1, QStringLiteral("Addressee Line 1"))),
                  QStringLiteral("Zoë Ångström"));
        // The formula stays a text, never a formula.
        const QJsonObject formula = s->Cell(1, QStringLiteral("Addressee Line 2"));
        EXPECT_EQ(type(formula), QStringLiteral("string"));
        EXPECT_TRUE(formula[QStringLiteral("formula")].toString().isEmpty());
        EXPECT_TRUE(text(formula).endsWith(QStringLiteral("=HYPERLINK(\"http://x.co\")")))
            << text(formula).toStdString();
        const QJsonObject comment = s->Cell(1, QStringLiteral("Comment"));
        EXPECT_EQ(type(comment), QStringLiteral("string"));
        EXPECT_TRUE(text(comment).endsWith(QStringLiteral("+1")));
        // Money as numbers, the date as a date.
        const std::pair<const char*, double> money[] = {{"Postage", 1.35},
                                                        {"Certified Fee", 4.40},
                                                        {"Return Receipt Fee", 3.55},
                                                        {"Restricted Delivery Fee", 5.85},
                                                        {"Total", 15.15}};
        for (const auto& [heading, amount] : money) {
            const QJsonObject c = s->Cell(1, QString::fromLatin1(heading));
            EXPECT_EQ(type(c), QStringLiteral("float")) << heading;
            EXPECT_DOUBLE_EQ(value(c).toDouble(), amount) << heading;
        }
        const QJsonObject date = s->Cell(1, QStringLiteral("Date Mailed"));
        EXPECT_EQ(type(date), QStringLiteral("date"));
        EXPECT_TRUE(value(date).startsWith(QStringLiteral("2008-03-05")))
            << value(date).toStdString();
    }
    // The apostrophe keeps the CSV's formula a text; the workbook needs none.
    EXPECT_EQ(text(fromCsv.Cell(1, QStringLiteral("Addressee Line 2"))),
              QStringLiteral("'=HYPERLINK(\"http://x.co\")"));
    EXPECT_EQ(text(fromXlsx.Cell(1, QStringLiteral("Addressee Line 2"))),
              QStringLiteral("=HYPERLINK(\"http://x.co\")"));
    // The workbook's ZIP is a text that keeps its zero, its money shows two decimals.
    const QJsonObject zip = fromXlsx.Cell(1, QStringLiteral("ZIP"));
    EXPECT_EQ(type(zip), QStringLiteral("string"));
    EXPECT_EQ(text(zip), QStringLiteral("02108"));
    EXPECT_EQ(text(fromXlsx.Cell(1, QStringLiteral("Certified Fee"))), QStringLiteral("4.40"));
}

TEST_F(ExportTest, NamesGetTheirTypeAndTablesAreNeverOverwritten) {
    const std::tuple<const char*, bool, const char*> names[] = {
        {"/t/day", false, "/t/day.csv"},     {"/t/day", true, "/t/day.xlsx"},
        {"/t/day.csv", true, "/t/day.csv"},  {"/t/day.xlsx", false, "/t/day.xlsx"},
        {"/t/day.txt", false, "/t/day.txt"}, {"/t.d/day", false, "/t.d/day.csv"},
    };
    for (const auto& [in, workbook, out] : names)
        EXPECT_EQ(WithExportSuffix(QString::fromLatin1(in), workbook), QString::fromLatin1(out))
            << in;
    EXPECT_TRUE(IsWorkbookName(QStringLiteral("a/Log.XLSX")));
    EXPECT_FALSE(IsWorkbookName(QStringLiteral("a/xlsx")));

    Append(Piece(QStringLiteral("Ann"), QStringLiteral("62701"), QStringLiteral("1")));
    const QByteArray log = Bytes(LogPath());
    // A copy of a table under another name is still a table.
    const QString disguised = File(QStringLiteral("addresses.csv"));
    ASSERT_TRUE(QFile::copy(LogPath(), disguised));
    QDir(dir_.path()).mkpath(QStringLiteral("link"));
    const QString link = File(QStringLiteral("link/log.csv"));
    ASSERT_TRUE(QFile::link(LogPath(), link));
    for (const QString& target :
         {LogPath(), File(QStringLiteral("Reports/../Reports/report3.dbf")), link, disguised,
          File(QStringLiteral("book.dbf")), File(QStringLiteral("book.DBT")),
          File(QStringLiteral("name.mdx"))}) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_FALSE(OutputTargetRefusal(target).isEmpty());
        ScriptedUi ui;
        ui.exportFile = target;
        RunExportLog(ui, LogPath());
        ASSERT_EQ(ui.errors.size(), 1);
        EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Error on export: ") + target))
            << ui.errors[0].toStdString();
        EXPECT_TRUE(ui.infos.isEmpty());
    }
    EXPECT_EQ(Bytes(LogPath()), log);
    EXPECT_EQ(Bytes(disguised), log);
    EXPECT_FALSE(QFile::exists(File(QStringLiteral("book.dbf"))));
    EXPECT_TRUE(OutputTargetRefusal(File(QStringLiteral("fine.csv"))).isEmpty());
}

} // namespace
} // namespace qm::testing
