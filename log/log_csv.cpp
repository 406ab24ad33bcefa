#include "log/log_csv.h"

#include "engine_date.h"
#include "log/log_export.h"
#include "log/report_document.h"

#include "core/whole_file.h"

#include <stdexcept>

namespace qm {

QString CsvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QDate LogDate(const std::string& text) {
    table::TDate d;
    if (table::IsBlankDateText(text) || !table::ParseEngineDate(text, d)) return {};
    return QDate(d.year, d.month, d.day);
}

ExportCount WriteLogCsv(table::TTzDbf& log, const QString& path, const ExportScope& scope) {
    QByteArray file;
    auto put = [&](const QStringList& cells, bool bom) {
        if (bom) file += "\xEF\xBB\xBF";
        file += (cells.join(u',') + QStringLiteral("\r\n")).toUtf8();
    };
    const std::vector<ExportColumn>& columns = LogExportColumns();
    QStringList row;
    for (const QString& heading : ExportHeadings(scope)) row << CsvField(heading);
    put(row, true);

    ExportCount count;
    count.voidedLeftOut = ForEachExportRow(log, scope, [&](const QStringList& cells) {
        row.clear();
        for (size_t i = 0; i < size_t(cells.size()); ++i) {
            const QString& cell = cells[qsizetype(i)];
            // The program's own money and date texts stay as they are; a money text another
            // program wrote is a text like any other.
            const ExportKind kind = i < columns.size() ? columns[i].kind : ExportKind::Text;
            const bool own =
                kind == ExportKind::Date || (kind == ExportKind::Money && IsWrittenMoneyText(cell));
            row << CsvField(own ? cell : GuardedText(cell));
        }
        put(row, false);
        ++count.written;
    });
    WriteWholeFile(path, file);
    return count;
}

} // namespace qm
