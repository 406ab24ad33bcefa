#include "log/log_csv.h"

#include "engine_date.h"

#include <QSaveFile>

#include <stdexcept>
#include <vector>

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
    QSaveFile file(path);
    auto fail = [&](const QString& why) {
        throw std::runtime_error(QStringLiteral("%1: %2").arg(path, why).toStdString());
    };
    if (!file.open(QIODevice::WriteOnly)) fail(file.errorString());

    const int fields = log.FieldCount();
    std::vector<bool> isDate(size_t(fields), false);
    int dateField = -1;
    QStringList row;
    for (int i = 0; i < fields; ++i) {
        const table::TFieldDef& d = log.FieldDef(i);
        isDate[size_t(i)] = d.type == 'D';
        if (d.type == 'D' && dateField < 0) dateField = i;
        row << CsvField(QString::fromStdString(d.name).toLower());
    }
    auto put = [&](const QStringList& cells) {
        const QByteArray line = (cells.join(u',') + QStringLiteral("\r\n")).toUtf8();
        if (file.write(line) != line.size()) fail(file.errorString());
    };
    put(row);

    int written = 0;
    std::vector<std::string> values;
    bool deleted = false;
    const uint32_t count = log.RecCount();
    for (uint32_t n = 1; n <= count; ++n) {
        log.PeekRecord(n, values, deleted);
        if (range && (dateField < 0 || !range->Contains(LogDate(values[size_t(dateField)]))))
            continue;
        row.clear();
        for (int i = 0; i < fields; ++i) {
            const std::string& v = values[size_t(i)];
            if (isDate[size_t(i)]) {
                const QDate d = LogDate(v);
                row << (d.isValid() ? d.toString(Qt::ISODate) : QString());
            } else {
                row << CsvField(QString::fromStdString(v).trimmed());
            }
        }
        put(row);
        ++written;
    }
    if (!file.commit()) fail(file.errorString());
    return written;
}

} // namespace qm
