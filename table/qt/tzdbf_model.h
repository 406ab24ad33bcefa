// TTzDbfModel: a QAbstractTableModel over an open TTzDbf, for views, the
// address book's bound controls and the report engine.
//
// Rows are the table's visible records in record order (records marked deleted
// are left out when the table hides them); columns are its fields. Display and
// edit roles give the field's text (texts without trailing blanks, numbers as
// stored, dates in the engine's date format); edits go through the table's
// locked post. The model does not move the table's cursor to read.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "engine_error.h"
#include "tzdbf.h"

class TTzDbfModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // True for a record marked deleted.
    static constexpr int DeletedRole = Qt::UserRole + 1;
    // The physical record number of the row.
    static constexpr int RecNoRole = Qt::UserRole + 2;

    explicit TTzDbfModel(qm::table::TTzDbf& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Marks the records deleted (through the table's locked delete).
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Reads the table again (after records were appended, deleted or packed).
    void Refresh();
    uint32_t RecNoAt(int row) const;
    int RowOf(uint32_t recNo) const; // -1 when the record is not shown

signals:
    // An edit or delete failed, or the table could not be read (reported once
    // until a refresh succeeds); the text is the error's own.
    void errorOccurred(const QString& text);

private:
    const std::vector<std::string>* Row(int row) const;
    void Fail(const std::exception& e);
    void ReportOnce(const QString& text);
    // Runs a read of the table with the engine's reporting off, so that a
    // damaged table neither ends the program nor throws into Qt's event loop;
    // stores the result and returns true, or reports the failure once and
    // returns false.
    template <class F, class R> bool Engine(F&& read, R& result) {
        qm::table::ClearLastError();
        try {
            qm::table::TReportingOff quiet;
            R value = read();
            if (qm::table::LastErrorCode() == 0) {
                result = std::move(value);
                return true;
            }
        } catch (const std::exception& e) {
            ReportOnce(QString::fromStdString(e.what()));
            return false;
        }
        ReportOnce(QString::fromStdString(
            qm::table::ErrorReportText(qm::table::LastErrorCode(), qm::table::LastErrorContext())));
        return false;
    }

    qm::table::TTzDbf& table_;
    std::vector<uint32_t> recNos_;
    mutable int cachedRow_ = -1;
    mutable std::vector<std::string> cachedValues_;
    mutable bool cachedDeleted_ = false;
    bool errorShown_ = false; // the current failure has been reported
};
