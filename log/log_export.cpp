#include "log/log_export.h"

#include "log/log_csv.h"
#include "log/report_document.h"

#include "core/whole_file.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <stdexcept>

namespace qm {

const std::vector<ExportColumn>& LogExportColumns() {
    static const std::vector<ExportColumn> columns = {
        {"mailernum", "Tracking Number", ExportKind::Text},
        {"rdate", "Date Mailed", ExportKind::Date},
        {"sentname0", "Addressee Line 1", ExportKind::Text},
        {"sentname1", "Addressee Line 2", ExportKind::Text},
        {"sentname2", "Addressee Line 3", ExportKind::Text},
        {"sentname3", "Addressee Line 4", ExportKind::Text},
        {"city", "City", ExportKind::Text},
        {"state", "State", ExportKind::Text},
        {"zip", "ZIP", ExportKind::Text},
        {"postage", "Postage", ExportKind::Money},
        {"certified", "Certified Fee", ExportKind::Money},
        {"return", "Return Receipt Fee", ExportKind::Money},
        {"restricted", "Restricted Delivery Fee", ExportKind::Money},
        {"total", "Total", ExportKind::Money},
        {"comments", "Comment", ExportKind::Text},
        {"re", "Reference", ExportKind::Text},
    };
    return columns;
}

QStringList ExportHeadings(const ExportScope& scope) {
    QStringList headings;
    for (const ExportColumn& c : LogExportColumns()) headings << QString::fromLatin1(c.heading);
    if (scope.includeVoided) headings << QStringLiteral("Voided");
    return headings;
}

int ForEachExportRow(table::TTzDbf& log, const ExportScope& scope,
                     const std::function<void(const QStringList&)>& row) {
    const std::vector<ExportColumn>& columns = LogExportColumns();
    std::vector<int> index;
    for (const ExportColumn& c : columns) index.push_back(log.FieldIndex(c.field));
    const int dateField = log.FieldIndex("rdate");
    std::vector<std::string> values;
    bool deleted = false;
    int voidedLeftOut = 0;
    const uint32_t count = log.RecCount();
    for (uint32_t n = 1; n <= count; ++n) {
        log.PeekRecord(n, values, deleted);
        const QDate date = dateField < 0 ? QDate() : LogDate(values[size_t(dateField)]);
        if (scope.range && !scope.range->Contains(date)) continue;
        if (deleted && !scope.includeVoided) {
            ++voidedLeftOut;
            continue;
        }
        QStringList cells;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (index[i] < 0) {
                cells << QString();
            } else if (columns[i].kind == ExportKind::Date) {
                const QDate d = LogDate(values[size_t(index[i])]);
                cells << (d.isValid() ? d.toString(Qt::ISODate) : QString());
            } else {
                cells << QString::fromStdString(values[size_t(index[i])]).trimmed();
            }
        }
        if (scope.includeVoided) cells << (deleted ? QStringLiteral("Yes") : QString());
        row(cells);
    }
    return voidedLeftOut;
}

QString GuardedText(const QString& text) {
    static const QString risky = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && risky.contains(text[0])) return u'\'' + text;
    return text;
}

bool IsWorkbookName(const QString& fileName) {
    return QFileInfo(fileName).suffix().compare(u"xlsx", Qt::CaseInsensitive) == 0;
}

QString WithExportSuffix(const QString& fileName, bool workbook) {
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty()) return fileName;
    return fileName + (workbook ? QStringLiteral(".xlsx") : QStringLiteral(".csv"));
}

namespace {

[[noreturn]] void Fail(const QString& path, const QString& why) {
    throw std::runtime_error(QStringLiteral("%1: %2").arg(path, why).toStdString());
}

// Owns a workbook until it is written; one that is never closed is closed on the way out.
class Workbook {
public:
    explicit Workbook(const QByteArray& file) : wb_(workbook_new(file.constData())) {}
    ~Workbook() {
        if (wb_) workbook_close(wb_);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;
    lxw_workbook* get() const { return wb_; }
    lxw_error Close() {
        const lxw_error e = workbook_close(wb_);
        wb_ = nullptr;
        return e;
    }

private:
    lxw_workbook* wb_;
};

} // namespace

ExportCount WriteLogXlsx(table::TTzDbf& log, const QString& path, const ExportScope& scope) {
    // The library writes by name: into a folder only we can enter, then the bytes are saved
    // under the chosen name as a whole.
    QTemporaryDir scratch;
    if (!scratch.isValid()) Fail(path, QStringLiteral("no temporary folder for the workbook"));
    const QString built = scratch.filePath(QStringLiteral("log.xlsx"));
    ExportCount count;
    {
        Workbook book(QFile::encodeName(built));
        lxw_workbook* wb = book.get();
        if (!wb) Fail(path, QStringLiteral("the workbook cannot be started"));
        lxw_worksheet* ws = workbook_add_worksheet(wb, "Mailing Log");
        lxw_format* heading = workbook_add_format(wb);
        format_set_bold(heading);
        lxw_format* text = workbook_add_format(wb);
        format_set_num_format(text, "@");
        lxw_format* money = workbook_add_format(wb);
        format_set_num_format(money, "0.00");
        lxw_format* date = workbook_add_format(wb);
        format_set_num_format(date, "mm/dd/yyyy");
        if (!ws || !heading || !text || !money || !date)
            Fail(path, QStringLiteral("the workbook cannot be started"));

        const std::vector<ExportColumn>& columns = LogExportColumns();
        const QStringList headings = ExportHeadings(scope);
        std::vector<qsizetype> widths;
        for (qsizetype c = 0; c < headings.size(); ++c) {
            worksheet_write_string(ws, 0, lxw_col_t(c), headings[c].toUtf8().constData(), heading);
            widths.push_back(headings[c].size());
        }
        lxw_row_t r = 0;
        count.voidedLeftOut = ForEachExportRow(log, scope, [&](const QStringList& cells) {
            ++r;
            for (size_t c = 0; c < size_t(cells.size()); ++c) {
                const QString& cell = cells[qsizetype(c)];
                const auto col = lxw_col_t(c);
                widths[c] = std::max(widths[c], cell.size());
                if (cell.isEmpty()) continue;
                const ExportKind kind = c < columns.size() ? columns[c].kind : ExportKind::Text;
                if (kind == ExportKind::Date) {
                    const QDate d = QDate::fromString(cell, Qt::ISODate);
                    lxw_datetime dt{d.year(), d.month(), d.day(), 0, 0, 0};
                    worksheet_write_datetime(ws, r, col, &dt, date);
                    continue;
                }
                // A money text another program wrote stays a text.
                if (kind == ExportKind::Money && IsWrittenMoneyText(cell)) {
                    worksheet_write_number(ws, r, col, double(MoneyCents(cell)) / 100, money);
                    continue;
                }
                worksheet_write_string(ws, r, col, cell.toUtf8().constData(), text);
            }
            ++count.written;
        });
        for (size_t c = 0; c < widths.size(); ++c)
            worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c),
                                 double(std::min<qsizetype>(widths[c], 60) + 2), nullptr);
        worksheet_freeze_panes(ws, 1, 0);
        const lxw_error e = book.Close();
        if (e != LXW_NO_ERROR) Fail(path, QString::fromUtf8(lxw_strerror(e)));
    }
    QFile source(built);
    if (!source.open(QIODevice::ReadOnly)) Fail(path, source.errorString());
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError) Fail(path, source.errorString());
    WriteWholeFile(path, bytes);
    return count;
}

ExportCount WriteLogExport(table::TTzDbf& log, const QString& path, const ExportScope& scope) {
    return IsWorkbookName(path) ? WriteLogXlsx(log, path, scope) : WriteLogCsv(log, path, scope);
}

} // namespace qm
