#include "tzdbf_model.h"

#include <algorithm>

#include <QMetaObject>

#include "engine_error.h"

using qm::table::TTzDbf;

TTzDbfModel::TTzDbfModel(TTzDbf& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    Refresh();
}

void TTzDbfModel::Refresh() {
    beginResetModel();
    recNos_.clear();
    cachedRow_ = -1;
    bool ok = true;
    if (table_.Active()) {
        ok = Engine(
            [&] {
                const uint32_t count = table_.RecCount();
                std::vector<std::string> values;
                bool deleted = false;
                std::vector<uint32_t> recNos;
                recNos.reserve(count);
                for (uint32_t n = 1; n <= count; ++n) {
                    if (table_.HideDeletedRecs()) {
                        if (!table_.PeekRecord(n, values, deleted)) break;
                        if (deleted) continue;
                    }
                    recNos.push_back(n);
                }
                return recNos;
            },
            recNos_);
        if (!ok) recNos_.clear(); // a damaged table shows an empty view
    }
    if (ok) errorShown_ = false;
    endResetModel();
}

int TTzDbfModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(recNos_.size());
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

void TTzDbfModel::Fail(const std::exception& e) {
    if (table_.Active() && table_.State() != qm::table::TDataSetState::dsBrowse) {
        try {
            table_.Cancel();
        } catch (...) {
            // the table reports its own failure below
        }
    }
    cachedRow_ = -1;
    emit errorOccurred(QString::fromStdString(e.what()));
}

bool TTzDbfModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    try {
        table_.SetRecNo(RecNoAt(index.row()));
        table_.Edit();
        table_.SetField(index.column(), value.toString().toStdString());
        table_.Post();
    } catch (const std::exception& e) {
        Fail(e);
        return false;
    }
    cachedRow_ = -1;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return true;
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
