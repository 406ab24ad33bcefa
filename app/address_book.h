#pragma once
// The address book's table and its bound controls: the memo, city, state and ZIP edits show
// the current record through the table's model and a QDataWidgetMapper; typing into one of
// them starts an edit of the record, which a move, Post or leaving the table writes through
// the table's locked operations.
#include "table/tzdbf.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QDataWidgetMapper;
class QLineEdit;
class QPlainTextEdit;
class TTzDbfModel;

namespace qm {

class TAddressBook : public QObject {
    Q_OBJECT
public:
    TAddressBook(QPlainTextEdit* memo, QLineEdit* city, QLineEdit* state, QLineEdit* zip,
                 QObject* parent = nullptr);
    ~TAddressBook() override;

    // Opens the table (a missing file is created with the address fields) and shows its first
    // record; an empty table gets one blank record. Returns an empty text, or why the table
    // cannot serve as an address table (it is then closed). Engine errors throw.
    QString Open(const QString& fileName);
    // Posts a pending edit, then closes; pack removes the records marked deleted first.
    void Close(bool pack);
    bool IsOpen() const;
    QString FileName() const { return fileName_; }
    qm::table::TTzDbf& Table() { return *table_; }

    void First();
    void Prior();
    void Next();
    void Last();
    void Insert();
    void Post();
    void Cancel();
    void Refresh();
    // Clears the mark of a marked record; marks an unmarked one when confirm() says yes.
    void ToggleDeleted(const std::function<bool()>& confirm);
    bool AtEnd() const;
    bool Editing() const;
    // "record number/record count".
    QString OrderText();

    // Shows the current record in the controls.
    void ShowRecord();

private:
    void PostPending();
    // Rethrows a failure the model kept from reading or writing the current record.
    void ThrowFailure();

    QPlainTextEdit* memo_;
    QLineEdit *city_, *state_, *zip_;
    std::unique_ptr<qm::table::TTzDbf> table_;
    std::unique_ptr<TTzDbfModel> model_;
    std::unique_ptr<QDataWidgetMapper> mapper_;
    QString fileName_;
    bool showing_ = false; // the mapper fills the controls: no edit starts
};

} // namespace qm
