#include "app/address_book.h"

#include "addresses/address_book_texts.h"
#include "addresses/name_address_text.h"
#include "widgets/zip_edit.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace qm {

using qm::table::TDataSetState;
using qm::table::TTzDbf;

namespace {

std::string Std(const QString& s) {
    return s.toStdString();
}

} // namespace

TAddressBook::TAddressBook(QPlainTextEdit* memo, QLineEdit* city, QLineEdit* state, QLineEdit* zip,
                           QObject* parent)
    : QObject(parent), memo_(memo), city_(city), state_(state), zip_(zip) {
    connect(memo_, &QPlainTextEdit::textChanged, this, &TAddressBook::StartEdit);
    for (QLineEdit* e : {city_, state_, zip_})
        connect(e, &QLineEdit::textChanged, this, &TAddressBook::StartEdit);
}

TAddressBook::~TAddressBook() {
    if (!table_) return;
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
    ShowRecord();
    return {};
}

void TAddressBook::Close(bool pack) {
    if (!table_) return;
    PostPending();
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

void TAddressBook::StartEdit() {
    if (showing_ || !IsOpen()) return;
    if (table_->State() == TDataSetState::dsBrowse) table_->Edit();
}

void TAddressBook::PostPending() {
    if (Editing()) Post();
}

void TAddressBook::Post() {
    if (!Editing()) return;
    table_->SetMField("Address", addresses::MemoLinesOfControl(memo_->toPlainText()));
    table_->SetField("City", Std(city_->text()));
    table_->SetField("State", Std(state_->text()));
    // The mask's hyphen is kept only before a ZIP+4 extension.
    QString zip = ZipEditText(zip_).trimmed();
    if (zip.endsWith(QLatin1Char('-'))) zip = zip.chopped(1).trimmed();
    table_->SetField("Zip", Std(zip));
    try {
        table_->Post();
    } catch (...) {
        // A refused lock loses this change; the record shows as stored.
        if (Editing()) table_->Cancel();
        ShowRecord();
        throw;
    }
    ShowRecord();
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
    showing_ = true;
    std::vector<std::string> lines;
    QString city, state, zip;
    if (table_->State() != TDataSetState::dsInsert) {
        table_->GetMField("Address", lines);
        city = QString::fromStdString(table_->GetField("City"));
        state = QString::fromStdString(table_->GetField("State"));
        zip = QString::fromStdString(table_->GetField("Zip"));
    }
    memo_->setPlainText(addresses::MemoControlText(lines));
    city_->setText(city.trimmed());
    state_->setText(state.trimmed());
    zip_->setText(zip.trimmed());
    showing_ = false;
}

} // namespace qm
