// Work areas: the engine's state for one open table (file, typed record,
// cursor, locks) in a process-wide table of numbered slots. Slots 1..33 are
// for the table components, 34 and 35 are the engine's own.
//
// Operations throw EZezudError through Fail(); the component reports them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codepage.h"
#include "dbf_file.h"
#include "engine_date.h"
#include "index_order.h"
#include "memo_file.h"

namespace qm::table {

inline constexpr int kUserSlots = 33;
inline constexpr int kSlotCount = 35;
inline constexpr int kAppendFromSlot = 35;

// One slot of the typed record.
struct TTypedValue {
    std::string text;    // C: the text, UTF-8, at most the field width in characters
    TDate date;          // D
    double number = 0;   // N, F with decimals
    int64_t integer = 0; // N, F without decimals
    bool logical = false;
    int32_t memo = 0; // M: first memo block, 0 for none
};

enum class TLockState { None = 0, File = 1, Append = 2, Records = 3 };

// Stored form of a number: right-justified in width with `decimals` digits after
// the point; a number that does not fit fills the width with asterisks.
void FormatNumber(double value, int width, int decimals, char* dst);
void FormatInteger(int64_t value, int width, char* dst);

class TWorkArea {
public:
    TWorkArea() = default;
    TWorkArea(const TWorkArea&) = delete;
    TWorkArea& operator=(const TWorkArea&) = delete;

    // Opens the table (Part of USE): the file, the buffers, record 1 or the empty state.
    void Use(const std::string& fileName, const std::string& alias, bool exclusive, bool readOnly,
             bool autoFixRecCount, TTableLanguage lang);
    void CloseArea();
    bool IsOpen() const { return file_.IsOpen(); }

    TDbfFile& File() { return file_; }
    // The memo file; open while a table with memo fields is open.
    TMemoFile& Memo() { return memo_; }
    bool HasMemoFile() const { return memo_.IsOpen(); }
    // Memo of field i of the current typed record as lines (UTF-8); empty for block 0.
    std::vector<std::string> MemoLines(int i, const std::string& operation);
    // Writes the lines as a new memo and puts its block into field i of the typed record.
    void SetMemoLines(int i, const std::vector<std::string>& lines, const std::string& operation);
    // The same as bytes (the stream interface): converted between UTF-8 and the
    // table's code page only when the first bytes look like text.
    std::string MemoBytes(int i, const std::string& operation);
    void SetMemoBytes(int i, std::string_view bytes, const std::string& operation);
    const TDbfFile& File() const { return file_; }
    const std::vector<TFieldDef>& Fields() const { return file_.Fields(); }
    const std::string& Alias() const { return alias_; }
    const std::string& FullName() const { return fullName_; }
    TTableLanguage Language() const { return lang_; }

    // Record count; recomputed from the file size on a shared table.
    uint32_t Count();
    uint32_t RecNo() const { return recNo_; }
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    bool Deleted() const { return deleted_; }
    void SetDeletedFlag(bool d) { deleted_ = d; }
    bool skipDeleted = false;

    // Reads record n into the raw and typed record and makes it current
    // (ahead: through the read-ahead window of a forward walk).
    void Go(uint32_t n, bool ahead = false);
    // Blank record image, both end flags set (empty table or no visible record).
    void SetEmpty();
    void SetRecNo(uint32_t n) { recNo_ = n; }
    // Record-order navigation over visible records; false when there is none.
    bool FirstVisible();
    bool LastVisible();
    bool NextVisible();  // sets Eof and stays when there is no next
    bool PriorVisible(); // sets Bof and stays when there is no prior
    bool Hidden() const { return skipDeleted && deleted_; }

    // Typed record. A record read from the file keeps the stored bytes of every
    // field that is not assigned: only assigned fields are formatted anew when
    // it is written (a blank record counts as wholly assigned).
    // A field is decoded from the record when it is first asked for.
    const TTypedValue& Value(int i) const {
        if (!decoded_[size_t(i)]) {
            DecodeField(i, raw_.data(), typed_[size_t(i)]);
            decoded_[size_t(i)] = 1;
        }
        return typed_[size_t(i)];
    }
    const std::vector<TTypedValue>& Typed() const {
        for (int i = 0; i < int(typed_.size()); ++i) Value(i);
        return typed_;
    }
    TTypedValue& Assign(int i) {
        Value(i);
        assigned_[size_t(i)] = 1;
        return typed_[size_t(i)];
    }
    void BlankTyped(); // blank raw record and the typed record derived from it
    // Puts bytes into field i as they are to be stored (padded with blanks or
    // cut to the width); the write keeps them, unformatted.
    void SetStored(int i, std::string_view bytes);
    void RawToTyped();
    void TypedToRaw();
    // Field text of fixed form (GetField).
    std::string FieldText(int i) const;
    void FieldText(int i, std::string& out) const; // the same into a caller's buffer
    // Display value: text without trailing blanks, numbers without padding, dates
    // in the engine format, empty for empty dates.
    std::string FieldDisplay(int i) const;
    // Field lookup: case-insensitive, the name cut to 10 characters; -1 if none.
    int FieldIndex(std::string_view name) const;

    // Reads any record into a scratch buffer and gives its display values.
    void PeekRecord(uint32_t n, std::vector<std::string>& values, bool& deleted);

    // Locks for shared access.
    TLockState LockState() const { return lockState_; }
    bool ALock();
    bool RLock();
    bool FLock();
    void UnLock();
    bool HoldsRecordLock(uint32_t n) const;

    // Record operations.
    void Append();
    void Replace();
    void DeleteRec();
    void RecallRec();
    void Pack();
    void AppendFrom(const std::string& fileName);

    // Index files. MakeIndex writes a new file (the name resolved by
    // ResolveIndexName); SetIndexTo opens one and makes its first tag the
    // active order, which navigation then follows; Append and Replace keep
    // its keys. FindKey moves to the first record whose key begins with (or
    // equals) the text.
    void MakeIndex(const std::vector<TTagSpec>& tags, const std::string& indexName);
    void SetIndexTo(const std::string& indexName);
    void CloseIndexes() { order_.Close(); }
    bool Ordered() const { return order_.IsOpen(); }
    TIndexOrder& Order() { return order_; }
    bool FindKey(std::string_view text, bool exact);

private:
    void DecodeField(int i, const char* raw, TTypedValue& v) const;
    void EncodeField(int i, const TTypedValue& v, char* raw) const;
    std::string ValueText(int i, const TTypedValue& v) const;
    std::string ValueDisplay(int i, const TTypedValue& v) const;
    bool VisibleAt(uint32_t n);
    // Read-ahead serves only reads that no other copy can change meanwhile.
    bool MayReadAhead() const;
    // A shared table may write the current record: under the file lock or its record lock.
    bool MayWriteCurrent() const;
    // Pack: opens the table shared again and moves to record `goTo` (clamped), or to
    // the empty state.
    void ReopenShared(const std::string& path, const std::string& display, bool readOnly,
                      uint32_t goTo);

    TDbfFile file_;
    TMemoFile memo_;
    std::string alias_;
    std::string fullName_;
    TTableLanguage lang_ = TTableLanguage::tlOem;
    bool autoFix_ = false;
    // Walks the active order from `rec` to a visible record; false when none.
    bool OrderedWalk(uint32_t rec, bool forward);
    // Fails when the active order's walk has handed out more records than the table has.
    void CheckRun(const char* operation);
    void RebuildIndex();

    TIndexOrder order_;
    std::vector<char> raw_;
    std::vector<char> scratch_;
    bool deleted_ = false;
    mutable std::vector<TTypedValue> typed_;
    mutable std::vector<char> decoded_; // per field: typed_ holds the value
    std::vector<char> assigned_;        // per field: set since the record was read
    uint32_t recNo_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    TLockState lockState_ = TLockState::None;
    std::vector<uint32_t> lockedRecs_;
    // The count was taken from the file size under a lock that excludes other
    // appenders and that has been held since: no need to ask the file again.
    bool countFresh_ = false;
};

// The slot table. Slots hold non-owning pointers to the areas of open tables.
TWorkArea* WorkAreaAt(int slot);
int FreeUserSlot(); // 0 when all of 1..33 are taken
void BindSlot(int slot, TWorkArea* area);
void ReleaseSlot(int slot);
// Fails with 220 when another open area has the alias.
void CheckAliasFree(const std::string& alias, const TWorkArea* self);
// Releases the locks a work area took for one operation when the scope ends.
class TAreaUnlock {
public:
    explicit TAreaUnlock(TWorkArea& area) : area_(area) {}
    ~TAreaUnlock() { area_.UnLock(); }
    TAreaUnlock(const TAreaUnlock&) = delete;
    TAreaUnlock& operator=(const TAreaUnlock&) = delete;

private:
    TWorkArea& area_;
};

} // namespace qm::table
