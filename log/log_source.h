#pragma once
// The open log table as the rows of a report: the data connection between the table and the
// report engine. Rows are read when a page asks for them.

#include "log/log_order.h"
#include "log/report_document.h"
#include "tzdbf.h"

#include <QHash>

#include <string>
#include <vector>

namespace qm {

class LogSource : public ReportSource {
public:
    // `log` stays open while the source is used.
    LogSource(table::TTzDbf& log, LogSequence sequence);

    int RowCount() const override { return int(sequence_.count); }
    QString Value(int row, const QString& field) override;
    uint32_t RecordOf(int row) const { return sequence_.At(uint32_t(row)); }

private:
    table::TTzDbf& log_;
    LogSequence sequence_;
    QHash<QString, int> index_;
    int cachedRow_ = -1;
    std::vector<std::string> values_;
};

} // namespace qm
