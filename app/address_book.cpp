#include "app/address_book.h"

#include "addresses/address_book_texts.h"
#include "addresses/name_address_text.h"
#include "table/qt/tzdbf_model.h"
#include "widgets/zip_edit.h"

#include <QAbstractItemDelegate>
#include <QDataWidgetMapper>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>

namespace qm {

using qm::table::TDataSetState;
using qm::table::TTzDbf;

namespace {

std::string Std(const QString& s) {
    return s.toStdString();
}

// What the address controls show of a field and store from it: the memo's lines as the
// memo control shows them, texts without surrounding blanks, the ZIP's mask hyphen only
// before a ZIP+4 extension. It leaves the controls' keys and focus alone.
class AddressControls : public QAbstractItemDelegate {
public:
    AddressControls(QLineEdit* zip, QObject* parent) : QAbstractItemDelegate(parent), zip_(zip) {}

    void paint(QPainter*, const QStyleOptionViewItem&, const QModelIndex&) const override {}
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {}; }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QVariant value = index.data(Qt::EditRole);
        if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) {
            std::vector<std::string> lines;
            for (const QString& line : value.toStringList()) lines.push_back(Std(line));
            memo->setPlainText(addresses::MemoControlText(lines));
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            edit->setText(value.toString().trimmed());
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) {
            QStringList lines;
            for (const std::string& line : addresses::MemoLinesOfControl(memo->toPlainText()))
                lines << QString::fromStdString(line);
            model->setData(index, lines);
        } else if (editor == zip_) {
            QString zip = ZipEditText(zip_).trimmed();
            if (zip.endsWith(QLatin1Char('-'))) zip = zip.chopped(1).trimmed();
            model->setData(index, zip);
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            model->setData(index, edit->text());
        }
    }

private:
    QLineEdit* zip_;
};

} // namespace

TAddressBook::TAddressBook(QPlainTextEdit* memo, QLineEdit* city, QLineEdit* state, QLineEdit* zip,
                           QObject* parent)
    : QObject(parent), memo_(memo), city_(city), state_(state), zip_(zip) {
    // Typing into a control starts the record's edit.
    auto startEdit = [this] {
        if (showing_ || !IsOpen() || !mapper_) return;
        model_->EditRow(mapper_->currentIndex());
    };
    connect(memo_, &QPlainTextEdit::textChanged, this, startEdit);
    for (QLineEdit* e : {city_, state_, zip_}) connect(e, &QLineEdit::textChanged, this, startEdit);
}

TAddressBook::~TAddressBook() {
    if (!table_) return;
    mapper_.reset();
    model_.reset();
    try {
        table_->Close(); // an unposted edit is dropped when the window goes
    } catch (const std::exception& e) {
        // Closing releases the file either way; a destructor can only tell.
        qWarning("Closing the address table %s: %s", qPrintable(fileName_), e.what());
    }
}

QString TAddressBook::Open(const QString& fileName) {
    if (table_) Close(false);
    auto table = std::make_unique<TTzDbf>("TzDbfAddress");
    std::vector<std::string> fields;
    for (const QString& f : addresses::AddressTableFields()) fields.push_back(Std(f));
    table->SetDbfFields(fields);
    table->SetTableLanguage(qm::table::TTableLanguage::tlOem);
    table->SetExclusive(false);
    table->SetReadOnly(false);
    table->SetHideDeletedRecs(false);
    table->SetCreateIndex(qm::table::TCreateIndex::ciNotFound);
    // Other copies and other dBase programs read the shared book while it is open: every
    // posted record reaches the disk with its header count at once.
    table->SetWriteThrough(true);
    table->SetDbfFileName(Std(fileName));
    table->Open();
    const QString missing = addresses::MissingAddressField(*table);
    if (!missing.isEmpty()) {
        table->Close();
        return missing;
    }
    if (table->RecCount() == 0) {
        table->Insert();
        table->Post();
    }
    table->First();
    table_ = std::move(table);
    fileName_ = fileName;
    model_ = std::make_unique<TTzDbfModel>(*table_);
    mapper_ = std::make_unique<QDataWidgetMapper>();
    mapper_->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    mapper_->setItemDelegate(new AddressControls(zip_, mapper_.get()));
    mapper_->setModel(model_.get());
    const std::pair<QWidget*, const char*> bound[] = {
        {memo_, "Address"}, {city_, "City"}, {state_, "State"}, {zip_, "Zip"}};
    for (const auto& [control, field] : bound)
        mapper_->addMapping(control, table_->FieldIndex(field));
    ShowRecord();
    return {};
}

void TAddressBook::Close(bool pack) {
    if (!table_) return;
    PostPending();
    mapper_.reset();
    model_.reset();
    if (pack) table_->Pack();
    table_->Close();
    table_.reset();
    fileName_.clear();
}

bool TAddressBook::IsOpen() const {
    return table_ && table_->Active();
}

bool TAddressBook::Editing() const {
    if (!table_) return false;
    const auto s = table_->State();
    return s == TDataSetState::dsEdit || s == TDataSetState::dsInsert;
}

void TAddressBook::ThrowFailure() {
    if (std::exception_ptr failure = model_->TakeFailure()) std::rethrow_exception(failure);
}

void TAddressBook::PostPending() {
    if (Editing()) Post();
}

void TAddressBook::Post() {
    if (!Editing()) return;
    model_->TakeFailure(); // the controls are written anew
    {
        const QScopedValueRollback<bool> showing(showing_, true);
        mapper_->submit();
    }
    const std::exception_ptr failure = model_->TakeFailure();
    // A field that refused its value leaves the record in edit, as the controls show it.
    if (failure && Editing()) std::rethrow_exception(failure);
    ShowRecord(); // a refused post lost the change: the record shows as stored
    if (failure) std::rethrow_exception(failure);
}

void TAddressBook::First() {
    PostPending();
    table_->First();
    ShowRecord();
}

void TAddressBook::Prior() {
    PostPending();
    table_->Prior();
    ShowRecord();
}

void TAddressBook::Next() {
    PostPending();
    table_->Next();
    ShowRecord();
}

void TAddressBook::Last() {
    PostPending();
    table_->Last();
    ShowRecord();
}

void TAddressBook::Insert() {
    PostPending();
    table_->Insert();
    ShowRecord();
}

void TAddressBook::Cancel() {
    if (Editing()) table_->Cancel();
    ShowRecord();
}

void TAddressBook::Refresh() {
    PostPending();
    if (table_->RecCount() > 0) table_->SetRecNo(table_->RecNo());
    ShowRecord();
}

void TAddressBook::ToggleDeleted(const std::function<bool()>& confirm) {
    PostPending();
    if (table_->Deleted())
        table_->Restore();
    else if (confirm())
        table_->Delete();
    ShowRecord();
}

bool TAddressBook::AtEnd() const {
    return !table_ || table_->Eof();
}

QString TAddressBook::OrderText() {
    if (!IsOpen()) return {};
    return QStringLiteral("%1/%2").arg(table_->RecNo()).arg(table_->RecCount());
}

void TAddressBook::ShowRecord() {
    if (!IsOpen()) return;
    const QScopedValueRollback<bool> showing(showing_, true);
    model_->TakeFailure();
    model_->Sync(); // the records as the file holds them now
    mapper_->setCurrentIndex(model_->CurrentRow());
    ThrowFailure();
}

} // namespace qm
