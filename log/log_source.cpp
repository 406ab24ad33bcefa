#include "log/log_source.h"

namespace qm {

LogSource::LogSource(table::TTzDbf& log, LogSequence sequence)
    : log_(log), sequence_(std::move(sequence)) {
    for (int i = 0; i < log_.FieldCount(); ++i)
        index_.insert(QString::fromStdString(log_.FieldDef(i).name).toLower(), i);
}

QString LogSource::Value(int row, const QString& field) {
    const auto it = index_.constFind(field);
    if (it == index_.constEnd() || row < 0 || row >= RowCount()) return {};
    if (row != cachedRow_) {
        bool deleted = false;
        log_.PeekRecord(sequence_.At(uint32_t(row)), values_, deleted);
        cachedRow_ = row;
    }
    return QString::fromStdString(values_[size_t(*it)]);
}

} // namespace qm
