// TTzDbf: the table component over one dBase table.
//
//   TTzDbf log("TzDbfReport");
//   log.SetDbfFileName(folder + "/Reports/report3.dbf");
//   log.SetDbfFields({"sentname0, C, 30, 0", ...});
//   log.Open();                      // creates the table from DbfFields when missing
//   log.ClearRecord();
//   log.SetField("sentname0", "John Smith");
//   if (TTableLock lock(log, TTableLock::Append); lock.Held()) log.AppendRec();
//   log.Close();
//
// Engine failures go through the engine's error mechanism (engine_error.h): in
// exception mode they throw EZezudError; in report mode they end the program.
// Dataset-level misuse throws EDatabaseError, impossible field values EConvertError.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "codepage.h"
#include "dbf_file.h"
#include "engine_date.h"
#include "engine_error.h"
#include "work_area.h"

namespace qm::table {

class EDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };
enum class TCreateIndex { ciNotFound, ciAlways, ciVerifyHeader, ciNever };

// Parses one DbfFields line ("name, C, 30, 0") into a definition, applying the
// corrections; returns false when the line is malformed. `corrected` tells whether
// the definition was changed; `skip` is set for a line of type X.
bool ParseFieldLine(const std::string& line, TFieldSpec& given, TFieldSpec& used, bool& corrected,
                    bool& skip);

class TTzDbf {
public:
    using TLockFailedEvent = std::function<void(TTzDbf& sender, bool& retry)>;
    using TNotifyEvent = std::function<void(TTzDbf& sender)>;

    explicit TTzDbf(std::string name = std::string());
    ~TTzDbf();
    TTzDbf(const TTzDbf&) = delete;
    TTzDbf& operator=(const TTzDbf&) = delete;

    const std::string& Name() const { return name_; }

    // ---- published properties
    const std::string& DbfFileName() const { return fileName_; }
    void SetDbfFileName(const std::string& name);
    const std::vector<std::string>& DbfFields() const { return dbfFields_; }
    void SetDbfFields(std::vector<std::string> lines) { dbfFields_ = std::move(lines); }
    TTableLanguage TableLanguage() const { return language_; }
    void SetTableLanguage(TTableLanguage lang) { language_ = lang; }
    bool HideDeletedRecs() const { return hideDeleted_; }
    void SetHideDeletedRecs(bool on);
    bool ShowProgress() const { return showProgress_; }
    void SetShowProgress(bool on) { showProgress_ = on; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool on) { readOnly_ = on; }
    bool AutoFixRecCount() const { return autoFix_; }
    void SetAutoFixRecCount(bool on) { autoFix_ = on; }
    TCreateIndex CreateIndex() const { return createIndex_; }
    void SetCreateIndex(TCreateIndex ci) { createIndex_ = ci; }
    bool CreateIfNotFound() const { return createIfNotFound_; }
    void SetCreateIfNotFound(bool on) { createIfNotFound_ = on; }
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool on); // reopens an open table in the new mode
    // Write-through of this table (see TDbfFile::SetWriteThrough); off by default.
    bool WriteThrough() const { return area_.File().WriteThrough(); }
    void SetWriteThrough(bool on) { area_.File().SetWriteThrough(on); }
    const std::vector<std::string>& IndexList() const { return indexList_; }
    void SetIndexList(std::vector<std::string> lines) { indexList_ = std::move(lines); }

    std::function<void(const std::string& name, bool& canMake)> OnBeforeMakeIndex;
    std::function<void(const std::string& name)> OnAfterMakeIndex;
    // The progress window of a production index rebuild (with ShowProgress on):
    // called with "Indexing <file>..." and true before the build, false after.
    std::function<void(const std::string& caption, bool open)> OnIndexProgress;
    TLockFailedEvent OnALockFailedOnInsert;
    TLockFailedEvent OnRLockFailedOnDelete;
    TLockFailedEvent OnRLockFailedOnPost;
    TLockFailedEvent OnRLockFailedOnRestore;
    TNotifyEvent BeforeRestore;
    TNotifyEvent AfterRestore;
    TNotifyEvent AfterScroll;     // after every cursor move
    TNotifyEvent AfterDataChange; // after a write to the file (post, append, delete, pack)

    // ---- open and close
    bool Active() const { return area_.IsOpen(); }
    void SetActive(bool on);
    void Open();
    void Close(); // an unposted edit is dropped
    TDataSetState State() const { return Active() ? state_ : TDataSetState::dsInactive; }
    int WorkArea() const { return slot_; }

    // ---- navigation
    void First();
    void GoTop() { First(); }
    void Last();
    void Next();
    void Prior();
    bool Eof() const;
    bool Bof() const;
    uint32_t RecNo() const;
    void SetRecNo(uint32_t n); // go to a physical record
    uint32_t RecCount();       // all records in the file, deleted ones included
    uint32_t RecordCount() { return RecCount(); }
    bool IsEmpty();
    bool Deleted() const; // current record marked deleted

    // ---- fields
    int FieldCount() const;
    const TFieldDef& FieldDef(int i) const;
    int FieldIndex(std::string_view name) const; // -1 when there is no such field
    std::string GetField(std::string_view name);
    std::string GetField(int i);
    void GetField(int i, std::string& out); // the same into a caller's buffer
    // Display value of the current record (text without trailing blanks ...).
    std::string FieldDisplay(int i) const;
    void SetField(std::string_view name, std::string_view text);
    void SetField(int i, std::string_view text);
    // A date value from a bound control: turned into the system's short date
    // text and checked; an impossible date shows "        Invalid date       "
    // and leaves the field empty.
    void SetFieldDate(int i, const TDate& date);
    // Field i takes these bytes as they are to be stored (blank-padded to the
    // width): for values the typed record cannot hold, as a 20-digit number.
    void SetFieldStored(int i, std::string_view bytes);
    void ClearRecord();
    // Memo fields as lists of lines (UTF-8 text, one entry a line). GetMField
    // clears `lines` and fills it from the current record; SetMField writes the
    // lines as a new memo and puts the record into edit state; the new block
    // reaches the file when the record is posted or appended.
    void GetMField(std::string_view name, std::vector<std::string>& lines);
    // The stream interface's side: the memo as bytes (text converted from and to
    // the table's code page when its first bytes look like text). SetMemoBytes
    // writes a new memo (none for no bytes) and puts the record into edit state.
    std::string GetMemoBytes(std::string_view name);
    void SetMemoBytes(std::string_view name, std::string_view bytes);
    // The open table has a memo file (its version byte says so).
    bool HasMemoFile() const { return area_.HasMemoFile(); }
    void SetMField(std::string_view name, const std::vector<std::string>& lines);

    // ---- dataset states
    void Edit();
    void Insert();
    void Append() { Insert(); }
    void Post();
    void Cancel();
    void Delete();  // the current record, under a record lock
    void Restore(); // recall the current record, under a record lock

    // ---- record operations
    bool ALock();
    bool RLock();
    bool FLock();
    void UnLock();
    void AppendRec();
    void DeleteRec();
    void RecallRec();
    void Pack();
    void AppendFrom(const std::string& fileName);

    // ---- index orders
    // Builds the index file `indexName` (".MDX" added, the table's folder when it
    // names none) with the one tag DUMMY_TAG on the key expression and makes it
    // the active order; the cursor goes to the first record in key order.
    bool IndexOnOne(const std::string& keyExpression, const std::string& indexName);
    bool MakeIndex(const std::vector<TTagSpec>& tags, const std::string& indexName);
    // Opens an index file and makes its first tag the active order.
    void SetIndexTo(const std::string& indexName);
    // Makes the tag `tag` of the open index the active order; the cursor goes to its
    // first record. An error when no index is open or it has no such tag.
    void SetOrderTag(std::string_view tag);
    // An index order is in use (a production index that does not fit is not).
    bool Ordered() const { return area_.Ordered(); }
    // The first record whose key begins with (equals) the text; the cursor stays
    // when there is none.
    bool Find(std::string_view text);
    bool FindExact(std::string_view text);

    // Reads record n (1..RecCount) without moving the cursor: display values.
    bool PeekRecord(uint32_t n, std::vector<std::string>& values, bool& deleted);

private:
    TWorkArea& Area(const char* operation);
    void RequireEditable(const char* operation);
    bool CreateFromFields();
    void OpenArea();
    void OpenProductionIndex();
    // Opens the production index a table's header names; one that cannot be
    // read is rebuilt on an exclusive open (from the tag definitions that
    // survive), else the table goes on in record order.
    void OpenOrRecoverProductionIndex(const std::string& file);
    // A production index that does not fit the table (another program cut the
    // table short) is rebuilt on an exclusive open; a shared open goes on in
    // record order and tells how to rebuild it.
    void KeepProductionIndexFit();
    bool RebuildProductionIndex(const std::string& file, const std::vector<TTagSpec>& tags);
    void KeepVisible(uint32_t newRec);
    void Reread();
    void Scrolled();
    void Changed();
    bool Editing() const {
        return state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert;
    }
    // Posts a pending edit, moves the cursor with `move` and reports the scroll.
    template <class Move> void Navigate(const char* operation, Move&& move);
    bool LockedOperation(const char* word, const TLockFailedEvent& event, bool append,
                         const std::function<void()>& op);
    void SetTypedFromText(int i, std::string_view text);
    int MemoFieldIndex(std::string_view name);

    std::string name_;
    std::string fileName_;
    std::vector<std::string> dbfFields_;
    TTableLanguage language_ = TTableLanguage::tlOem;
    bool hideDeleted_ = false;
    bool showProgress_ = true;
    bool readOnly_ = false;
    bool autoFix_ = false;
    TCreateIndex createIndex_ = TCreateIndex::ciNotFound;
    bool createIfNotFound_ = true;
    bool exclusive_ = false;
    std::vector<std::string> indexList_;

    TWorkArea area_;
    int slot_ = 0;
    TDataSetState state_ = TDataSetState::dsInactive;
};

// Holds one of a table's locks for a scope: the append lock (ALock), the current record's
// lock (RLock) or the file lock (FLock), released by UnLock when the scope ends, also when an
// exception leaves it. Held() is false when another copy kept the lock past the engine's
// bounded wait.
class TTableLock {
public:
    enum TKind { Append, Record, File };
    TTableLock(TTzDbf& table, TKind kind) : table_(table) {
        held_ = kind == Append ? table.ALock() : kind == Record ? table.RLock() : table.FLock();
    }
    ~TTableLock() { Release(); }
    TTableLock(const TTableLock&) = delete;
    TTableLock& operator=(const TTableLock&) = delete;

    bool Held() const { return held_; }
    // Releases the lock before the scope ends (a closed table holds none).
    void Release() {
        if (held_ && table_.Active()) table_.UnLock();
        held_ = false;
    }

private:
    TTzDbf& table_;
    bool held_ = false;
};

// A command boundary for the program's exception mode: runs `command`; when an
// engine error ends it, closes `tables` (quietly: a second failure must not hide
// the first), shows the engine's text ("Error # " ... context) through
// `showError` and returns false, so the program goes on.
bool RunTableCommand(const std::function<void()>& command, std::initializer_list<TTzDbf*> tables,
                     const std::function<void(const std::string& text)>& showError);

} // namespace qm::table
