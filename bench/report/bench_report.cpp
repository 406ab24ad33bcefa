// Time to the first preview page: a 100,000-entry log against a 1,000-entry log. Pages are
// laid out on demand, so the long log should take about as long as the short one.
#include "log/log_commands.h"
#include "log/log_table.h"
#include "log/ui/report_preview.h"

#include "engine_date.h"
#include "engine_error.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace qm;

namespace {

using Clock = std::chrono::steady_clock;

void FillLog(const QString& path, int entries) {
    const auto log = MakeLogTable(path);
    log->Open();
    for (int i = 0; i < entries; ++i) {
        log->ClearRecord();
        log->SetField("sentname0", "Addressee " + std::to_string(i));
        log->SetField("sentname1", std::to_string(i % 900 + 10) + " Main St");
        log->SetField("city", "Springfield");
        log->SetField("state", "IL");
        log->SetField("zip", std::to_string(10000 + i % 89999));
        log->SetField("mailernum", "9214 7123 4567 89" + std::to_string(1000000 + i));
        log->SetField("postage", "  1.35");
        log->SetField("certified", "  4.40");
        log->SetField("restricted", " ");
        log->SetField("return", "  3.55");
        log->SetField("total", "  9.30");
        log->SetField("rdate", table::FormatEngineDate({2008, 1 + i % 12, 1 + i % 28}));
        table::TTableLock lock(*log, table::TTableLock::Append);
        log->AppendRec();
    }
    log->Close();
}

// Stops the clock when the preview window has drawn its first page.
class TimingUi : public LogUi {
public:
    Clock::time_point shown;
    void Error(const QString& t) override { std::fprintf(stderr, "%s\n", qPrintable(t)); }
    void Warning(const QString& t) override { Error(t); }
    void Information(const QString& t) override { Error(t); }
    SaveAnswer AskSaveLog() override { return SaveAnswer::Cancel; }
    QString ChooseArchiveFile() override { return {}; }
    bool ChooseOutput(QPrinter&) override { return false; }
    bool Preview(PagedDocument& document) override {
        TF_ReportPreview preview(document);
        shown = Clock::now();
        return false;
    }
    std::unique_ptr<ReportProgress> Status() override { return nullptr; }
    bool ChooseBook(BookChoice&) override { return false; }
    bool ChooseExport(ExportChoice&) override { return false; }
};

double FirstPageMs(const QString& log, const QString& project, LogOrder order) {
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        TimingUi ui;
        const auto start = Clock::now();
        RunLogReport(ui, log, project, order, ReportDestination::Preview, LogReport::FullDetail);
        best = std::min(best, std::chrono::duration<double, std::milli>(ui.shown - start).count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    table::SetErrorMode(table::TErrorMode::Exception);
    table::SetSystemShortDateFormat("M/d/yyyy");
    QTemporaryDir dir;
    const QString project = QCoreApplication::applicationDirPath() + "/Quill3.rav";
    const QString small = dir.filePath("small.dbf");
    const QString large = dir.filePath("large.dbf");
    FillLog(small, 1000);
    FillLog(large, 100000);

    const double s = FirstPageMs(small, project, LogOrder::Record);
    const double l = FirstPageMs(large, project, LogOrder::Record);
    std::printf("first preview page, 1,000 entries:   %8.1f ms\n", s);
    std::printf("first preview page, 100,000 entries: %8.1f ms\n", l);
    const double sd = FirstPageMs(small, project, LogOrder::Date);
    const double ld = FirstPageMs(large, project, LogOrder::Date);
    std::printf("by date (index built first), 1,000 entries:   %8.1f ms\n", sd);
    std::printf("by date (index built first), 100,000 entries: %8.1f ms\n", ld);
    std::printf("ratio first-preview-page-100000/1000 %.2f\n", l / s);
    return l / s <= 2 ? 0 : 1;
}
