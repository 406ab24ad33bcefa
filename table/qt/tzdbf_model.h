// TTzDbfModel: a QAbstractTableModel over an open TTzDbf, for views, bound
// controls (through QDataWidgetMapper) and the report engine.
//
// Rows are the table's visible records in record order (records marked deleted
// are left out when the table hides them), and while the table inserts, the new
// record as the last row; columns are its fields. Display and edit roles give
// the field's text (texts without trailing blanks, numbers as stored, dates in
// the engine's date format); a memo field gives its lines (edit role) or the
// lines joined by line breaks (display role) for the current record, nothing
// for the others. The model does not move the table's cursor to read, and reads
// the file again after every Sync or Refresh.
//
// Writes: while the table edits or inserts a record (EditRow, or the table's own
// Edit and Insert), setData fills that record and submit() posts it through the
// table's locked post (revert() cancels it), so a QDataWidgetMapper with the
// manual submit policy writes a record in one post. Outside such an edit,
// setData edits, fills and posts the record at once. A failed write cancels the
// edit only where it posts; the failure is reported and kept for TakeFailure.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <exception>
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
    // Posts the record the table edits or inserts; false when a field or the post failed.
    bool submit() override;
    // Cancels the table's edit or insert.
    void revert() override;

    // Reads the table again (after records were appended, deleted or packed): a reset.
    void Refresh();
    // The table's cursor, state or records changed (a move, insert, post, another copy's
    // writes): reads the record list again and tells views and mappers that every row may
    // have changed; a reset only when the rows themselves changed.
    void Sync();
    uint32_t RecNoAt(int row) const; // 0 for the row of a record being inserted
    int RowOf(uint32_t recNo) const; // -1 when the record is not shown
    // The row of the table's current record (the new record's while inserting); -1 for none.
    int CurrentRow() const;
    // Puts the table into edit state on the row's record (the cursor moves there); false
    // when that failed.
    bool EditRow(int row);
    // The failure of the last write or read of the current record, once; null when none.
    std::exception_ptr TakeFailure();

signals:
    // An edit or delete failed, or the table could not be read (reported once
    // until a refresh succeeds); the text is the error's own.
    void errorOccurred(const QString& text);

private:
    const std::vector<std::string>* Row(int row) const;
    // The rows a read of the table gives now; false when the table could not be read.
    bool ReadRecNos(std::vector<uint32_t>& recNos);
    bool Editing() const;
    // The row is the record the table edits or inserts: it is read from the table's record.
    bool IsEditedRow(int row) const;
    QVariant EditedValue(int column, int role) const;
    QVariant CurrentMemo(int column, int role) const;
    void Keep(const std::exception& e) const;
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
    bool insertRow_ = false; // the last row is the record being inserted
    mutable int cachedRow_ = -1;
    mutable std::vector<std::string> cachedValues_;
    mutable bool cachedDeleted_ = false;
    bool errorShown_ = false; // the current failure has been reported
    mutable std::exception_ptr failure_;
};
