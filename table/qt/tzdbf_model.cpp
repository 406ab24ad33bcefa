#include "tzdbf_model.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include <QMetaObject>
#include <QStringList>

#include "engine_error.h"

using qm::table::TTzDbf;

TTzDbfModel::TTzDbfModel(TTzDbf& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    Refresh();
}

bool TTzDbfModel::ReadRecNos(std::vector<uint32_t>& recNos) {
    recNos.clear();
    if (!table_.Active()) return true;
    const bool ok = Engine(
        [&] {
            const uint32_t count = table_.RecCount();
            std::vector<std::string> values;
            bool deleted = false;
            std::vector<uint32_t> found;
            found.reserve(count);
            for (uint32_t n = 1; n <= count; ++n) {
                if (table_.HideDeletedRecs()) {
                    if (!table_.PeekRecord(n, values, deleted)) break;
                    if (deleted) continue;
                }
                found.push_back(n);
            }
            return found;
        },
        recNos);
    if (!ok) recNos.clear(); // a damaged table shows an empty view
    return ok;
}

void TTzDbfModel::Refresh() {
    beginResetModel();
    cachedRow_ = -1;
    const bool ok = ReadRecNos(recNos_);
    insertRow_ = table_.State() == qm::table::TDataSetState::dsInsert;
    if (ok) errorShown_ = false;
    endResetModel();
}

void TTzDbfModel::Sync() {
    std::vector<uint32_t> recNos;
    bool ok = true, same = false;
    if (table_.Active() && !table_.HideDeletedRecs()) {
        // Every record is a row: only the count can have changed (no walk per move).
        uint32_t count = 0;
        ok = Engine([&] { return table_.RecCount(); }, count);
        if (!ok) count = 0;
        same = count == recNos_.size() && (count == 0 || recNos_.back() == count);
        if (!same) {
            recNos.resize(count);
            std::iota(recNos.begin(), recNos.end(), 1u);
        }
    } else {
        ok = ReadRecNos(recNos);
        same = recNos == recNos_;
    }
    const bool insertRow = table_.State() == qm::table::TDataSetState::dsInsert;
    if (ok) errorShown_ = false;
    cachedRow_ = -1;
    if (!same || insertRow != insertRow_) {
        beginResetModel();
        if (!same) recNos_ = std::move(recNos);
        insertRow_ = insertRow;
        endResetModel();
    } else if (rowCount() > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

int TTzDbfModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(recNos_.size()) + (insertRow_ ? 1 : 0);
}

int TTzDbfModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.FieldCount();
}

uint32_t TTzDbfModel::RecNoAt(int row) const {
    return row >= 0 && size_t(row) < recNos_.size() ? recNos_[size_t(row)] : 0;
}

int TTzDbfModel::RowOf(uint32_t recNo) const {
    auto it = std::lower_bound(recNos_.begin(), recNos_.end(), recNo);
    return it != recNos_.end() && *it == recNo ? int(it - recNos_.begin()) : -1;
}

int TTzDbfModel::CurrentRow() const {
    if (!table_.Active()) return -1;
    if (table_.State() == qm::table::TDataSetState::dsInsert)
        return insertRow_ ? int(recNos_.size()) : -1;
    return table_.RecNo() == 0 ? -1 : RowOf(table_.RecNo());
}

bool TTzDbfModel::Editing() const {
    const auto s = table_.State();
    return s == qm::table::TDataSetState::dsEdit || s == qm::table::TDataSetState::dsInsert;
}

bool TTzDbfModel::IsEditedRow(int row) const {
    return row >= 0 && Editing() && row == CurrentRow();
}

QVariant TTzDbfModel::EditedValue(int column, int role) const {
    if (role == DeletedRole) return table_.Deleted();
    if (table_.FieldDef(column).type == 'M') return CurrentMemo(column, role);
    return QString::fromStdString(table_.FieldDisplay(column));
}

QVariant TTzDbfModel::CurrentMemo(int column, int role) const {
    std::vector<std::string> lines;
    try {
        table_.GetMField(table_.FieldDef(column).name, lines);
    } catch (const std::exception& e) {
        Keep(e);
        return QVariant();
    }
    QStringList out;
    for (const std::string& line : lines) out << QString::fromStdString(line);
    if (role == Qt::EditRole) return out;
    return out.join(QLatin1Char('\n'));
}

bool TTzDbfModel::EditRow(int row) {
    if (IsEditedRow(row)) return true;
    if (row < 0 || size_t(row) >= recNos_.size() || table_.ReadOnly()) return false;
    try {
        if (table_.RecNo() != RecNoAt(row)) table_.SetRecNo(RecNoAt(row));
        table_.Edit();
    } catch (const std::exception& e) {
        Keep(e);
        return false;
    }
    return true;
}

std::exception_ptr TTzDbfModel::TakeFailure() {
    return std::exchange(failure_, nullptr);
}

const std::vector<std::string>* TTzDbfModel::Row(int row) const {
    if (row != cachedRow_) {
        cachedRow_ = -1;
        if (!table_.Active()) return nullptr;
        auto* self = const_cast<TTzDbfModel*>(this);
        bool read = false;
        const bool ok = self->Engine(
            [&] { return table_.PeekRecord(RecNoAt(row), cachedValues_, cachedDeleted_); }, read);
        if (!ok || !read) {
            if (!ok && !recNos_.empty()) {
                // Empty the view once the painting that asked is over.
                QMetaObject::invokeMethod(
                    self,
                    [self] {
                        self->beginResetModel();
                        self->recNos_.clear();
                        self->cachedRow_ = -1;
                        self->endResetModel();
                    },
                    Qt::QueuedConnection);
            }
            return nullptr;
        }
        cachedRow_ = row;
    }
    return &cachedValues_;
}

QVariant TTzDbfModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    if (role == RecNoRole) return QVariant::fromValue(uint(RecNoAt(index.row())));
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != DeletedRole) return QVariant();
    if (IsEditedRow(index.row())) return EditedValue(index.column(), role);
    if (role != DeletedRole && table_.FieldDef(index.column()).type == 'M' &&
        index.row() == CurrentRow())
        return CurrentMemo(index.column(), role);
    const auto* values = Row(index.row());
    if (!values) return QVariant();
    if (role == DeletedRole) return cachedDeleted_;
    return QString::fromStdString((*values)[size_t(index.column())]);
}

QVariant TTzDbfModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical) return QVariant::fromValue(uint(RecNoAt(section)));
    if (section < 0 || section >= columnCount()) return QVariant();
    return QString::fromStdString(table_.FieldDef(section).name);
}

Qt::ItemFlags TTzDbfModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const char type = table_.FieldDef(index.column()).type;
    if (!table_.ReadOnly() && type != 'M') f |= Qt::ItemIsEditable;
    return f;
}

void TTzDbfModel::Keep(const std::exception& e) const {
    failure_ = std::current_exception();
    emit const_cast<TTzDbfModel*>(this)->errorOccurred(QString::fromStdString(e.what()));
}

void TTzDbfModel::Fail(const std::exception& e) {
    if (table_.Active() && table_.State() != qm::table::TDataSetState::dsBrowse) {
        try {
            table_.Cancel();
        } catch (...) {
            // the table reports its own failure below
        }
    }
    cachedRow_ = -1;
    Keep(e);
}

namespace {

std::vector<std::string> MemoLines(const QVariant& value) {
    const QStringList lines = value.typeId() == QMetaType::QStringList
                                  ? value.toStringList()
                                  : value.toString().split(QLatin1Char('\n'));
    std::vector<std::string> out;
    out.reserve(size_t(lines.size()));
    for (const QString& line : lines) out.push_back(line.toStdString());
    return out;
}

} // namespace

bool TTzDbfModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.model() != this) return false;
    // Inside an edit the record takes the value and waits for submit(); memo fields too.
    const bool inEdit = IsEditedRow(index.row());
    if (!inEdit && !(flags(index) & Qt::ItemIsEditable)) return false;
    const int column = index.column();
    try {
        if (!inEdit) {
            table_.SetRecNo(RecNoAt(index.row()));
            table_.Edit();
        }
        if (table_.FieldDef(column).type == 'M')
            table_.SetMField(table_.FieldDef(column).name, MemoLines(value));
        else
            table_.SetField(column, value.toString().toStdString());
        if (!inEdit) table_.Post();
    } catch (const std::exception& e) {
        if (inEdit)
            Keep(e); // the record stays in edit with what it took so far
        else
            Fail(e);
        return false;
    }
    cachedRow_ = -1;
    if (!inEdit)
        emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return true;
}

bool TTzDbfModel::submit() {
    if (!table_.Active() || !Editing()) return true;
    if (failure_) return false; // a field was refused: nothing is posted
    try {
        table_.Post();
    } catch (const std::exception& e) {
        Fail(e); // a refused lock loses the change; the record shows as stored
        Sync();
        return false;
    }
    Sync();
    return true;
}

void TTzDbfModel::revert() {
    if (!table_.Active() || !Editing()) return;
    try {
        table_.Cancel();
    } catch (const std::exception& e) {
        Keep(e);
    }
    Sync();
}

bool TTzDbfModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 1 || size_t(row + count) > recNos_.size() ||
        table_.ReadOnly())
        return false;
    try {
        for (int r = row; r < row + count; ++r) {
            table_.SetRecNo(RecNoAt(r));
            table_.Delete();
        }
    } catch (const std::exception& e) {
        Fail(e);
        Refresh();
        return false;
    }
    Refresh();
    return true;
}

void TTzDbfModel::ReportOnce(const QString& text) {
    if (errorShown_) return;
    errorShown_ = true;
    emit errorOccurred(text);
}
