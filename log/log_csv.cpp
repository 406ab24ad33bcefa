#include "log/log_csv.h"

#include "engine_date.h"
#include "log/log_export.h"

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

int WriteLogCsv(table::TTzDbf& log, const QString& path, const std::optional<DateRange>& range) {
    QByteArray file;
    auto put = [&](const QStringList& cells, bool bom) {
        if (bom) file += "\xEF\xBB\xBF";
        file += (cells.join(u',') + QStringLiteral("\r\n")).toUtf8();
    };
    const std::vector<ExportColumn>& columns = LogExportColumns();
    QStringList row;
    for (const ExportColumn& c : columns) row << CsvField(QString::fromLatin1(c.heading));
    put(row, true);

    int written = 0;
    ForEachExportRow(log, range, [&](const QStringList& cells, const QDate&) {
        row.clear();
        for (size_t i = 0; i < columns.size(); ++i) {
            const QString& cell = cells[qsizetype(i)];
            // The program's own money and date texts stay as they are.
            row << CsvField(columns[i].kind == ExportKind::Text ? GuardedText(cell) : cell);
        }
        put(row, false);
        ++written;
    });
    WriteWholeFile(path, file);
    return written;
}

} // namespace qm
