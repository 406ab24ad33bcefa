// The report engine: the project file, the lazy page layout, the preview window, printing
// with status and cancel. Pages are read back from PDF with pdftotext.
#include "log_test_util.h"

#include "log/report_layout.h"
#include "log/ui/report_preview.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QSpinBox>

#include <limits>

namespace qm::testing {
namespace {

// Rows made up on request: counts which rows were read.
class CountingSource : public ReportSource {
public:
    explicit CountingSource(int rows) : rows_(rows) {}
    int RowCount() const override { return rows_; }
    QString Value(int row, const QString& field) override {
        read.insert(row);
        if (field == u"mailernum") return QStringLiteral("N%1").arg(row + 1, 6, 10, QChar(u'0'));
        if (field == u"total") return QStringLiteral("  1.25");
        if (field == u"sentname0") return QStringLiteral("Name %1").arg(row + 1);
        return QString();
    }
    QSet<int> read;

private:
    int rows_;
};

const char* kSmallProject = R"(# a small project
report Small
  title "Small Report"
  paper Letter portrait
  font Arial 10
  header "{MyTime}"
  column 1 mailernum 1.5 left "Number"
  column 1 sentname0 2.0 left "Addressee"
  column 1 total 1.0 right "Total"
  footer count "Number of pieces: %1"
  footer sum total "Total: %1"
end
)";

TEST(ReportProject, ErrorsNameTheFileAndLine) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"title x\n", "p.rav, line 1: \"title\" outside a report"},
        {"report A\n  column 1 zip 1 middle Zip\nend\n", "line 2: a column is aligned left or"},
        {"report A\n  column 0 zip 1 left Zip\nend\n", "line 2: \"0\" is not a line"},
        {"report A\n  column 1 zip wide left Zip\nend\n", "line 2: \"wide\" is not a size"},
        {"report A\n  title \"open\nend\n", "line 2: a text in quotes is not closed"},
        {"report A\n  column 1 zip 1 left Zip\n", "line 1: report A has no \"end\""},
        {"report A\nend\n", "line 2: report A has no columns"},
        {"report A\n  paper A4 portrait\n", "line 2: paper \"A4\" is not known"},
        {"report A\n  colour red\n", "line 2: \"colour\" is not a statement"},
        {"report A\n column 1 zip 1 left A\nend\nreport a\n", "line 4: report a is defined twice"},
        {"report A\n  column 1 city,zipcode 1 left A\nend\n",
         "p.rav, line 2: the log has no field \"zipcode\""},
        {"report A\n  column 1 zip 1 left A\n  footer sum fee \"%1\"\nend\n",
         "p.rav, line 3: the log has no field \"fee\""},
    };
    for (const Case& c : cases) {
        try {
            ParseReportProject(QString::fromUtf8(c.text), QStringLiteral("p.rav"));
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ReportProjectError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << e.what() << " / expected " << c.expected;
        }
    }
    EXPECT_THROW(LoadReportProject(QStringLiteral("/nonexistent/Quill3")), ReportProjectError);
}

TEST(ReportProject, CompanionFileDefinesTheReports) {
    const ReportProject p = LoadReportProject(CompanionProject());
    for (const char* name : {"FullDetail", "ShortDetail"})
        EXPECT_NE(p.Find(QString::fromLatin1(name)), nullptr) << name;
    // Full detail lists every field of the log.
    QSet<QString> shown;
    for (const ReportColumn& c : p.Find(QStringLiteral("FullDetail"))->columns)
        for (const QStringList& g : c.fields)
            for (const QString& f : g) shown.insert(f);
    for (const std::string& line : LogFieldLines())
        EXPECT_TRUE(shown.contains(QString::fromStdString(line.substr(0, line.find(','))))) << line;
    // Every report fits its columns on the paper.
    for (const ReportLayout& r : p.reports) {
        for (int line = 1; line <= r.Lines(); ++line) {
            double width = 0;
            for (const ReportColumn& c : r.columns)
                if (c.line == line) width += c.width;
            EXPECT_LE(width, (r.landscape ? 11 : 8.5) - 2 * r.margin)
                << r.name.toStdString() << " line " << line;
        }
    }
}

// Renders pages of a document into a PDF and returns its text.
QString RenderToPdf(ReportDocument& doc, const QString& pdf, QStringList* status = nullptr) {
    QPrinter printer(QPrinter::HighResolution);
    PreparePrinter(printer, doc);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    ScriptedUi ui;
    const auto progress = ui.Status();
    EXPECT_TRUE(PrintReport(doc, printer, *progress));
    if (status) *status = ui.status;
    return PdfText(pdf);
}

// Absurd stored amounts neither overflow a total nor its text.
TEST(ReportDocument, MoneyTotalsDoNotOverflow) {
    EXPECT_EQ(MoneyCents(QStringLiteral(" 2.40")), 240);
    EXPECT_EQ(MoneyCents(QStringLiteral("1e300")), kMaxCents);
    EXPECT_EQ(MoneyCents(QStringLiteral("-99999999999999999999")), -kMaxCents);
    long long total = 0;
    for (int i = 0; i < 1000; ++i) total = AddCents(total, MoneyCents(QStringLiteral("9e200")));
    EXPECT_EQ(total, kMaxCents);
    EXPECT_EQ(AddCents(total, -kMaxCents), 0);
    EXPECT_EQ(CentsText(kMaxCents), QStringLiteral("999999999999999.99"));
    EXPECT_EQ(CentsText(std::numeric_limits<long long>::min()),
              QStringLiteral("-92233720368547758.08"));
}

TEST(ReportDocument, FirstPageOfALongLogReadsOnlyItsRows) {
    const ReportProject p = ParseReportProject(QString::fromUtf8(kSmallProject), "p");
    CountingSource source(100000);
    ReportDocument doc(*p.Find(QStringLiteral("Small")), source);
    const int pages = doc.PageCount();
    EXPECT_TRUE(source.read.isEmpty()); // the page count needs no rows
    const int full = (100000 + doc.RowsPerPage() - 1) / doc.RowsPerPage();
    EXPECT_TRUE(pages == full || pages == full + 1) << pages; // the totals may need a page
    doc.RenderPageImage(0, 50);
    EXPECT_EQ(source.read.size(), doc.RowsPerPage());
    EXPECT_EQ(*std::max_element(source.read.begin(), source.read.end()), doc.RowsPerPage() - 1);
}

TEST(ReportDocument, PagesCarryHeaderNumbersAndTheTotalsAtTheEnd) {
    QTemporaryDir dir;
    const ReportProject p = ParseReportProject(QString::fromUtf8(kSmallProject), "p");
    CountingSource source(130);
    ReportDocument doc(*p.Find(QStringLiteral("Small")), source,
                       {{QStringLiteral("MyTime"), QStringLiteral("Date Printed: 3/5/2008")}});
    ASSERT_GE(doc.PageCount(), 2);
    QStringList status;
    const QString text = RenderToPdf(doc, dir.filePath("small.pdf"), &status);
    EXPECT_TRUE(text.contains(QStringLiteral("Small Report")));
    EXPECT_EQ(text.count(QStringLiteral("Date Printed: 3/5/2008")), doc.PageCount());
    EXPECT_TRUE(text.contains(QStringLiteral("Page 1 of %1").arg(doc.PageCount())));
    EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %1").arg(doc.PageCount())));
    EXPECT_EQ(text.count(QStringLiteral("Addressee")), doc.PageCount()); // headings on each page
    EXPECT_TRUE(text.contains(QStringLiteral("N000001")));
    EXPECT_TRUE(text.contains(QStringLiteral("N000130")));
    EXPECT_TRUE(text.contains(QStringLiteral("Number of pieces: 130")));
    EXPECT_TRUE(text.contains(QStringLiteral("Total: 162.50")));
    EXPECT_EQ(status.first(), QStringLiteral("Generating page 1"));
    EXPECT_TRUE(status.contains(QStringLiteral("Printing page %1").arg(doc.PageCount())));
}

TEST(ReportDocument, FooterThatDoesNotFitGoesOnAnExtraPage) {
    const ReportProject p = ParseReportProject(QString::fromUtf8(kSmallProject), "p");
    CountingSource probe(1);
    const int perPage = ReportDocument(*p.Find(QStringLiteral("Small")), probe).RowsPerPage();
    CountingSource full(perPage);
    ReportDocument doc(*p.Find(QStringLiteral("Small")), full);
    EXPECT_EQ(doc.PageCount(), 2);
    QTemporaryDir dir;
    const QString text = RenderToPdf(doc, dir.filePath("f.pdf"));
    const qsizetype lastRow = text.indexOf(QStringLiteral("N%1").arg(perPage, 6, 10, QChar(u'0')));
    const qsizetype page2 = text.indexOf(QStringLiteral("Page 2 of 2"));
    const qsizetype count = text.indexOf(QStringLiteral("Number of pieces: %1").arg(perPage));
    EXPECT_LT(lastRow, page2);
    EXPECT_LT(page2, count);
}

TEST(ReportDocument, CancelAbortsThePrintJob) {
    const ReportProject p = ParseReportProject(QString::fromUtf8(kSmallProject), "p");
    CountingSource source(500);
    ReportDocument doc(*p.Find(QStringLiteral("Small")), source);
    QTemporaryDir dir;
    QPrinter printer;
    PreparePrinter(printer, doc);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("c.pdf"));
    ScriptedUi ui;
    ui.cancelAtStep = 3; // Generating 1, Printing 1, Generating 2, then Cancel
    const auto progress = ui.Status();
    EXPECT_FALSE(PrintReport(doc, printer, *progress));
    EXPECT_EQ(ui.status,
              QStringList({"Generating page 1", "Printing page 1", "Generating page 2"}));
    EXPECT_LE(doc.PagesRendered(), 1);
}

TEST(ReportPreview, ShowsPagesOnDemandWithZoomAndNavigation) {
    const ReportProject p = ParseReportProject(QString::fromUtf8(kSmallProject), "p");
    CountingSource source(100000);
    ReportDocument doc(*p.Find(QStringLiteral("Small")), source);
    TF_ReportPreview preview(doc);
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Report Preview"));
    EXPECT_TRUE(preview.FitsWidth());
    EXPECT_EQ(doc.PagesRendered(), 1);
    EXPECT_EQ(source.read.size(), doc.RowsPerPage());

    auto* image = preview.findChild<QLabel*>(QStringLiteral("pageImage"));
    ASSERT_NE(image, nullptr);
    auto* zoom = preview.findChild<QComboBox*>(QStringLiteral("cbZoom"));
    zoom->setCurrentIndex(zoom->findData(100));
    EXPECT_FALSE(preview.FitsWidth());
    EXPECT_EQ(preview.Zoom(), 100);
    const int width100 = image->pixmap().width();
    EXPECT_NEAR(width100, 8.5 * 96, 2);

    preview.findChild<QPushButton*>(QStringLiteral("btnNext"))->click();
    EXPECT_EQ(preview.CurrentPage(), 1);
    EXPECT_EQ(preview.findChild<QSpinBox*>(QStringLiteral("spinPage"))->value(), 2);
    preview.findChild<QPushButton*>(QStringLiteral("btnLast"))->click();
    EXPECT_EQ(preview.CurrentPage(), doc.PageCount() - 1);
    EXPECT_FALSE(preview.findChild<QPushButton*>(QStringLiteral("btnNext"))->isEnabled());
    preview.findChild<QSpinBox*>(QStringLiteral("spinPage"))->setValue(7);
    EXPECT_EQ(preview.CurrentPage(), 6);

    zoom->setCurrentIndex(zoom->findData(200));
    EXPECT_EQ(preview.Zoom(), 200);
    EXPECT_NEAR(image->pixmap().width(), 2 * width100, 2);
    EXPECT_EQ(doc.PagesRendered(), 6); // first, 100 %, next, last, page 7, 200 %: nothing else
}

// "Print..." shows only with a print action, and the preview tells whether it printed.
TEST(ReportPreview, PrintButtonRunsThePrintActionAndRemembersASuccess) {
    const ReportProject p = ParseReportProject(QString::fromUtf8(kSmallProject), "p");
    CountingSource source(3);
    ReportDocument doc(*p.Find(QStringLiteral("Small")), source);
    TF_ReportPreview preview(doc);
    auto* print = preview.findChild<QPushButton*>(QStringLiteral("btnPrint"));
    ASSERT_NE(print, nullptr);
    EXPECT_TRUE(print->isHidden());
    std::vector<bool> outcomes = {false, true, false}; // cancelled, printed, cancelled again
    size_t runs = 0;
    preview.SetPrintAction([&] { return outcomes[runs++]; });
    EXPECT_FALSE(print->isHidden());
    print->click();
    EXPECT_FALSE(preview.Printed());
    print->click();
    print->click();
    EXPECT_EQ(runs, 3u);
    EXPECT_TRUE(preview.Printed()); // a later cancel does not undo a print
}

// The preview opens at the zoom at which the whole width of the page is seen, the Total column
// and "Page 1 of 1" included, and keeps to it when the window changes size.
TEST(ReportPreview, OpensAtThePageWidth) {
    const ReportProject p = LoadReportProject(CompanionProject());
    for (const char* name : {"FullDetail", "ShortDetail"}) {
        SCOPED_TRACE(name);
        CountingSource source(3);
        ReportDocument doc(*p.Find(QString::fromLatin1(name)), source);
        TF_ReportPreview preview(doc);
        for (const QSize size : {QSize(1000, 800), QSize(700, 500), QSize(1400, 900)}) {
            preview.resize(size);
            preview.show();
            QCoreApplication::processEvents();
            auto* scroll = preview.findChild<QScrollArea*>();
            auto* image = preview.findChild<QLabel*>(QStringLiteral("pageImage"));
            const int room = scroll->viewport()->width();
            EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0) << size.width();
            EXPECT_LE(image->width(), room) << size.width();
            EXPECT_GE(image->width(), room * 0.9) << size.width();
        }
        EXPECT_TRUE(preview.FitsWidth());
    }
}

} // namespace
} // namespace qm::testing
