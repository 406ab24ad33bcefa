#include "work_area.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine_error.h"
#include "engine_util.h"

namespace qm::table {

namespace {

std::array<TWorkArea*, kSlotCount + 1> g_slots{};

std::string_view TrimField(std::string_view s) {
    return TrimView(s, std::string_view(" \0", 2));
}

// A stored number without its padding and without a leading '+'.
std::string_view NumberText(std::string_view s) {
    s = TrimField(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    return s;
}

double ParseDouble(std::string_view s) {
    s = NumberText(s);
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v)) return 0;
    return v;
}

int64_t ParseInteger(std::string_view s) {
    s = NumberText(s);
    int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return v;
    double d = ParseDouble(s);
    if (d >= 9.2e18) return INT64_MAX;
    if (d <= -9.2e18) return INT64_MIN;
    return std::llround(d);
}

std::string PadText(std::string_view text, int width) {
    std::string s(text);
    size_t len = Utf8Length(text);
    if (len < size_t(width)) s.append(size_t(width) - len, ' ');
    return s;
}

std::string FieldKey(std::string_view name) {
    return UpperAscii(std::string(name.substr(0, 10)));
}

} // namespace

void FormatNumber(double value, int width, int decimals, char* dst) {
    if (width <= 0) return;
    char buf[400];
    int n = -1;
    if (std::isfinite(value) && std::fabs(value) < 1e300) {
        if (value == 0) value = 0; // no "-0.00"
        n = std::snprintf(buf, sizeof buf, "%.*f", std::clamp(decimals, 0, 18), value);
        // "-0.00" after rounding a tiny negative number
        if (n > 0 && buf[0] == '-' && std::strspn(buf + 1, "0.") == size_t(n - 1))
            n = std::snprintf(buf, sizeof buf, "%.*f", std::clamp(decimals, 0, 18), 0.0);
    }
    if (n < 0 || n > width) {
        std::memset(dst, '*', size_t(width));
        return;
    }
    std::memset(dst, ' ', size_t(width - n));
    std::memcpy(dst + (width - n), buf, size_t(n));
}

void FormatInteger(int64_t value, int width, char* dst) {
    if (width <= 0) return;
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    int n = int(r.ptr - buf);
    if (n > width) {
        std::memset(dst, '*', size_t(width));
        return;
    }
    std::memset(dst, ' ', size_t(width - n));
    std::memcpy(dst + (width - n), buf, size_t(n));
}

// ---- slots

TWorkArea* WorkAreaAt(int slot) {
    return slot >= 1 && slot <= kSlotCount ? g_slots[size_t(slot)] : nullptr;
}

int FreeUserSlot() {
    for (int i = 1; i <= kUserSlots; ++i)
        if (!g_slots[size_t(i)]) return i;
    return 0;
}

void BindSlot(int slot, TWorkArea* area) {
    g_slots[size_t(slot)] = area;
}
void ReleaseSlot(int slot) {
    if (slot >= 1 && slot <= kSlotCount) g_slots[size_t(slot)] = nullptr;
}

void CheckAliasFree(const std::string& alias, const TWorkArea* self) {
    for (int i = 1; i <= kSlotCount; ++i) {
        TWorkArea* a = g_slots[size_t(i)];
        if (a && a != self && a->IsOpen() && a->Alias() == alias)
            Fail(TErrorCode::InvalidParameter,
                 "Alias name \"" + alias + "\" already in use. [USE]");
    }
}

// ---- opening and closing

void TWorkArea::Use(const std::string& fileName, const std::string& alias, bool exclusive,
                    bool readOnly, bool autoFixRecCount, TTableLanguage lang) {
    alias_ = alias;
    CheckAliasFree(alias_, this);
    file_.Open(fileName, exclusive, readOnly, autoFixRecCount);
    fullName_ = FullPath(file_.Path()); // the name found on disk
    lang_ = lang;
    autoFix_ = autoFixRecCount;
    raw_.assign(size_t(file_.RecordLength()), ' ');
    scratch_.assign(raw_.size(), ' ');
    typed_.assign(file_.Fields().size(), TTypedValue{});
    decoded_.assign(typed_.size(), 1);
    assigned_.assign(typed_.size(), 1);
    lockState_ = TLockState::None;
    lockedRecs_.clear();
    countFresh_ = false;
    try {
        if (file_.HasMemo()) memo_.Open(fileName, file_.Version(), file_.Shared(), readOnly);
        if (file_.RecordCount() == 0)
            SetEmpty();
        else
            Go(1);
    } catch (...) {
        memo_.Close();
        file_.Abandon(); // a failed open leaves the table closed
        throw;
    }
}

void TWorkArea::CloseArea() {
    order_.Close();
    lockState_ = TLockState::None;
    lockedRecs_.clear();
    recNo_ = 0;
    eof_ = bof_ = true;
    memo_.Close();
    file_.Close(); // releases the file and every lock on it, also on failure
}

std::vector<std::string> TWorkArea::MemoLines(int i, const std::string& operation) {
    if (!memo_.IsOpen())
        Fail(TErrorCode::InvalidMemoOperation,
             file_.DisplayName() + " No Memo Field [" + operation + "]");
    const int32_t block = Value(i).memo;
    std::vector<std::string> lines = SplitMemoText(memo_.Read(block, recNo_));
    for (std::string& l : lines) {
        std::string u;
        DecodeText(lang_, l.data(), l.size(), u);
        l = std::move(u);
    }
    return lines;
}

namespace {
constexpr size_t kTextProbe = 512; // how many first bytes decide text or binary
}

std::string TWorkArea::MemoBytes(int i, const std::string& operation) {
    if (!memo_.IsOpen())
        Fail(TErrorCode::InvalidMemoOperation,
             file_.DisplayName() + " No Memo Field [" + operation + "]");
    std::string stored = memo_.Read(Value(i).memo, recNo_);
    if (!LooksLikeText(std::string_view(stored).substr(0, kTextProbe))) return stored;
    std::string text;
    DecodeText(lang_, stored.data(), stored.size(), text);
    return text;
}

void TWorkArea::SetMemoBytes(int i, std::string_view bytes, const std::string& operation) {
    if (!memo_.IsOpen())
        Fail(TErrorCode::InvalidMemoOperation,
             file_.DisplayName() + " No Memo Field [" + operation + "]");
    memo_.SetWriteThrough(file_.WriteThrough());
    int32_t block = 0;
    if (LooksLikeText(bytes.substr(0, kTextProbe))) {
        const std::string stored = EncodeString(lang_, bytes);
        block = memo_.Append(stored, operation);
    } else {
        block = memo_.Append(bytes, operation);
    }
    Assign(i).memo = block;
}

void TWorkArea::SetMemoLines(int i, const std::vector<std::string>& lines,
                             const std::string& operation) {
    if (!memo_.IsOpen())
        Fail(TErrorCode::InvalidMemoOperation,
             file_.DisplayName() + " No Memo Field [" + operation + "]");
    std::vector<std::string> stored;
    stored.reserve(lines.size());
    for (const std::string& l : lines) stored.push_back(EncodeString(lang_, l));
    memo_.SetWriteThrough(file_.WriteThrough());
    const int32_t block = memo_.Append(JoinMemoLines(stored), "EditMemo/CloseMemo");
    Assign(i).memo = block;
}

// ---- records and cursor

uint32_t TWorkArea::Count() {
    if (file_.Shared()) return file_.RefreshCountFromSize();
    return file_.RecordCount();
}

bool TWorkArea::MayReadAhead() const {
    return !file_.Shared() || lockState_ == TLockState::File;
}

void TWorkArea::Go(uint32_t n, bool ahead) {
    if (n > file_.RecordCount() && file_.Shared()) file_.RefreshCountFromSize();
    if (ahead && MayReadAhead())
        file_.ReadRecordAhead(n, raw_.data());
    else
        file_.ReadRecord(n, raw_.data());
    deleted_ = raw_[0] == '*';
    RawToTyped();
    recNo_ = n;
    eof_ = bof_ = false;
}

void TWorkArea::SetEmpty() {
    BlankTyped();
    recNo_ = 0;
    eof_ = bof_ = true;
}

void TWorkArea::SetStored(int i, std::string_view bytes) {
    const TFieldDef& f = file_.Fields()[size_t(i)];
    char* p = raw_.data() + f.offset;
    std::memset(p, ' ', size_t(f.width));
    std::memcpy(p, bytes.data(), std::min(bytes.size(), size_t(f.width)));
    DecodeField(i, raw_.data(), typed_[size_t(i)]);
    assigned_[size_t(i)] = 0;
}

void TWorkArea::BlankTyped() {
    // What decoding a record of blanks gives, without decoding it.
    std::fill(raw_.begin(), raw_.end(), ' ');
    std::fill(assigned_.begin(), assigned_.end(), 1);
    std::fill(decoded_.begin(), decoded_.end(), 1);
    deleted_ = false;
    for (TTypedValue& v : typed_) {
        v.text.clear();
        v.date = TDate{};
        v.number = 0;
        v.integer = 0;
        v.logical = false;
        v.memo = 0;
    }
}

bool TWorkArea::VisibleAt(uint32_t n) {
    if (!skipDeleted) return true;
    if (MayReadAhead())
        file_.ReadRecordAhead(n, scratch_.data());
    else
        file_.ReadRecord(n, scratch_.data());
    return scratch_[0] != '*';
}

bool TWorkArea::OrderedWalk(uint32_t rec, bool forward) {
    // An index holds each record once: passing more hidden records than the
    // table has means it leads round in a circle (a damaged index, or one that
    // a copy without it open has made stale).
    uint64_t passed = 0;
    while (rec != 0) {
        CheckRun("Skip");
        Go(rec);
        if (!Hidden()) return true;
        if (++passed > uint64_t(file_.RecordCount()) + 1)
            Fail(TErrorCode::CorruptedIndex,
                 "Corrupted index file: " + order_.Path() + " (the order leads round) [Skip]");
        rec = forward ? order_.Next(raw_.data(), rec) : order_.Prior(raw_.data(), rec);
    }
    return false;
}

void TWorkArea::CheckRun(const char* operation) {
    // One walk meets each record once: across calls too (First, then Next
    // after Next), a walk handing out more records than the table has goes
    // round in a circle. Appends by other copies may have grown the table.
    if (order_.RunLength() <= file_.RecordCount() || order_.RunLength() <= Count()) return;
    Fail(TErrorCode::CorruptedIndex,
         "Corrupted index file: " + order_.Path() + " (the order leads round) [" + operation + "]");
}

bool TWorkArea::FirstVisible() {
    if (order_.IsOpen()) {
        if (OrderedWalk(order_.First(), true)) return true;
        SetEmpty();
        return false;
    }
    const uint32_t count = Count();
    for (uint32_t n = 1; n <= count; ++n) {
        if (VisibleAt(n)) {
            Go(n, true);
            return true;
        }
    }
    SetEmpty();
    return false;
}

bool TWorkArea::LastVisible() {
    if (order_.IsOpen()) {
        if (OrderedWalk(order_.Last(), false)) return true;
        SetEmpty();
        return false;
    }
    for (uint32_t n = Count(); n >= 1; --n) {
        if (VisibleAt(n)) {
            Go(n);
            return true;
        }
    }
    SetEmpty();
    return false;
}

bool TWorkArea::NextVisible() {
    if (order_.IsOpen() && recNo_ > 0) {
        const uint32_t at = recNo_;
        if (OrderedWalk(order_.Next(raw_.data(), at), true)) return true;
        if (recNo_ != at) Go(at);
        eof_ = true;
        return false;
    }
    // Records of a shared table only grow: ask the file size only at the end.
    uint32_t count = file_.RecordCount();
    if (recNo_ >= count) count = Count();
    for (uint32_t n = recNo_ + 1; n <= count && n > recNo_; ++n) {
        if (n == count && file_.Shared()) count = Count();
        if (VisibleAt(n)) {
            Go(n, true);
            return true;
        }
    }
    eof_ = true;
    return false;
}

bool TWorkArea::PriorVisible() {
    if (order_.IsOpen() && recNo_ > 0) {
        const uint32_t at = recNo_;
        if (OrderedWalk(order_.Prior(raw_.data(), at), false)) return true;
        if (recNo_ != at) Go(at);
        bof_ = true;
        return false;
    }
    if (recNo_ > 0) {
        for (uint32_t n = std::min(recNo_ - 1, Count()); n >= 1; --n) {
            if (VisibleAt(n)) {
                Go(n);
                return true;
            }
        }
    }
    bof_ = true;
    return false;
}

// ---- typed record

void TWorkArea::DecodeField(int i, const char* raw, TTypedValue& v) const {
    const TFieldDef& f = file_.Fields()[size_t(i)];
    const char* p = raw + f.offset;
    switch (f.type) {
    case 'C':
        v.text.clear();
        DecodeText(lang_, p, size_t(f.width), v.text);
        break;
    case 'D': v.date = f.width == 8 ? LoadDate(p) : TDate{}; break;
    case 'N':
    case 'F':
        if (f.decimals > 0)
            v.number = ParseDouble(std::string_view(p, size_t(f.width)));
        else
            v.integer = ParseInteger(std::string_view(p, size_t(f.width)));
        break;
    case 'L': v.logical = f.width > 0 && (*p == 'T' || *p == 't' || *p == 'Y' || *p == 'y'); break;
    case 'M': {
        int64_t b = ParseInteger(std::string_view(p, size_t(f.width)));
        v.memo = int32_t(std::clamp<int64_t>(b, INT32_MIN + 1, INT32_MAX));
        break;
    }
    default: break;
    }
}

void TWorkArea::EncodeField(int i, const TTypedValue& v, char* raw) const {
    const TFieldDef& f = file_.Fields()[size_t(i)];
    char* p = raw + f.offset;
    const size_t w = size_t(f.width);
    switch (f.type) {
    case 'C': EncodeText(lang_, v.text, p, w); break;
    case 'D':
        if (w == 8)
            StoreDate(v.date, p);
        else
            std::memset(p, ' ', w);
        break;
    case 'N':
    case 'F':
        if (f.decimals > 0)
            FormatNumber(v.number, f.width, f.decimals, p);
        else
            FormatInteger(v.integer, f.width, p);
        break;
    case 'L':
        if (w > 0) {
            std::memset(p, ' ', w);
            *p = v.logical ? 'T' : 'F';
        }
        break;
    case 'M': FormatInteger(v.memo, f.width, p); break;
    default: std::memset(p, ' ', w); break;
    }
}

void TWorkArea::RawToTyped() {
    std::fill(assigned_.begin(), assigned_.end(), 0);
    std::fill(decoded_.begin(), decoded_.end(), 0); // decoded when asked for
}

void TWorkArea::TypedToRaw() {
    raw_[0] = deleted_ ? '*' : ' ';
    const int n = int(typed_.size());
    for (int i = 0; i < n; ++i)
        if (assigned_[size_t(i)]) EncodeField(i, typed_[size_t(i)], raw_.data());
}

std::string TWorkArea::ValueText(int i, const TTypedValue& v) const {
    const TFieldDef& f = file_.Fields()[size_t(i)];
    switch (f.type) {
    case 'C': return PadText(v.text, f.width);
    case 'D': return FormatEngineDate(v.date);
    case 'L': return v.logical ? "T" : "F";
    case 'M': return std::string(); // memo text: memo files
    case 'N':
    case 'F': {
        std::string s(size_t(f.width), ' ');
        if (f.decimals > 0)
            FormatNumber(v.number, f.width, f.decimals, s.data());
        else
            FormatInteger(v.integer, f.width, s.data());
        return s;
    }
    default: return std::string();
    }
}

std::string TWorkArea::ValueDisplay(int i, const TTypedValue& v) const {
    const TFieldDef& f = file_.Fields()[size_t(i)];
    switch (f.type) {
    case 'C': return RTrim(v.text);
    case 'D': return v.date.Empty() ? std::string() : FormatEngineDate(v.date);
    case 'N':
    case 'F': return std::string(TrimField(ValueText(i, v)));
    default: return ValueText(i, v);
    }
}

std::string TWorkArea::FieldText(int i) const {
    return ValueText(i, Value(i));
}

void TWorkArea::FieldText(int i, std::string& out) const {
    const TFieldDef& f = file_.Fields()[size_t(i)];
    if (f.type == 'C' && !decoded_[size_t(i)]) {
        // Straight from the record: a character for every byte of the field.
        out.clear();
        DecodeText(lang_, raw_.data() + f.offset, size_t(f.width), out);
        return;
    }
    const TTypedValue& v = Value(i);
    if (f.type == 'C') {
        out.assign(v.text);
        // Read from the record, the text has a character for every byte of the field.
        if (!assigned_[size_t(i)]) return;
        size_t len = Utf8Length(v.text);
        if (len < size_t(f.width)) out.append(size_t(f.width) - len, ' ');
        return;
    }
    out = ValueText(i, v);
}
std::string TWorkArea::FieldDisplay(int i) const {
    return ValueDisplay(i, Value(i));
}

int TWorkArea::FieldIndex(std::string_view name) const {
    const std::string key = FieldKey(name);
    const auto& fields = file_.Fields();
    for (size_t i = 0; i < fields.size(); ++i)
        if (std::string_view(fields[i].name).substr(0, 10) == key) return int(i);
    return -1;
}

void TWorkArea::PeekRecord(uint32_t n, std::vector<std::string>& values, bool& deleted) {
    if (n > file_.RecordCount() && file_.Shared()) file_.RefreshCountFromSize();
    file_.ReadRecord(n, scratch_.data());
    deleted = scratch_[0] == '*';
    values.resize(typed_.size());
    TTypedValue v;
    for (size_t i = 0; i < typed_.size(); ++i) {
        DecodeField(int(i), scratch_.data(), v);
        values[i] = ValueDisplay(int(i), v);
    }
}

// ---- locks

bool TWorkArea::ALock() {
    if (lockState_ == TLockState::Append) return true;
    if (lockState_ != TLockState::None) return false;
    // Another copy holds the append byte only for one append or a close's
    // header rewrite: wait for it a little rather than drop the entry.
    if (file_.Shared() && !file_.TryLockFor(kAppendLockOffset, 1, kLockWaitMs)) return false;
    lockState_ = TLockState::Append;
    countFresh_ = false;
    return true;
}

bool TWorkArea::HoldsRecordLock(uint32_t n) const {
    return lockState_ == TLockState::Records &&
           std::find(lockedRecs_.begin(), lockedRecs_.end(), n) != lockedRecs_.end();
}

bool TWorkArea::RLock() {
    if (HoldsRecordLock(recNo_)) return true;
    if (lockState_ == TLockState::File || lockState_ == TLockState::Append) return false;
    if (recNo_ < 1) return false;
    if (file_.Shared() && !file_.TryLock(file_.RecordLockOffset(recNo_), file_.RecordLength()))
        return false;
    lockedRecs_.push_back(recNo_);
    lockState_ = TLockState::Records;
    return true;
}

bool TWorkArea::FLock() {
    if (lockState_ == TLockState::File) return true;
    if (lockState_ != TLockState::None) return false;
    if (file_.Shared() && !file_.TryLock(kFileLockOffset, kFileLockLength)) return false;
    lockState_ = TLockState::File;
    countFresh_ = false;
    return true;
}

void TWorkArea::UnLock() {
    if (file_.Shared() && file_.IsOpen()) {
        switch (lockState_) {
        case TLockState::Records:
            for (uint32_t n : lockedRecs_)
                file_.Unlock(file_.RecordLockOffset(n), file_.RecordLength());
            break;
        case TLockState::File: file_.Unlock(kFileLockOffset, kFileLockLength); break;
        case TLockState::Append: file_.Unlock(kAppendLockOffset, 1); break;
        case TLockState::None: break;
        }
    }
    lockedRecs_.clear();
    lockState_ = TLockState::None;
    countFresh_ = false;
}

// ---- record operations

bool TWorkArea::MayWriteCurrent() const {
    return !file_.Shared() || lockState_ == TLockState::File || HoldsRecordLock(recNo_);
}

void TWorkArea::Append() {
    const std::string& path = file_.DisplayName();
    if (file_.Shared() && lockState_ != TLockState::File && lockState_ != TLockState::Append)
        Fail(TErrorCode::AccessDenied, "File must be locked to append: " + path + " [APPEND]");
    if (file_.Shared() && !countFresh_) {
        file_.RefreshCountFromSize();
        countFresh_ = true; // nobody else appends while we hold the lock
    }
    TypedToRaw();
    const uint32_t n = file_.RecordCount() + 1;
    const auto write = [&] {
        try {
            file_.WriteRecord(n, raw_.data());
        } catch (...) {
            countFresh_ = false;
            throw;
        }
    };
    if (order_.IsOpen())
        order_.Append(raw_.data(), n, write);
    else
        write();
    recNo_ = n;
    eof_ = bof_ = false;
}

void TWorkArea::Replace() {
    const std::string& path = file_.DisplayName();
    const uint32_t count = Count();
    if (recNo_ < 1) Fail(TErrorCode::BeyondRange, "Database \"" + path + "\" is empty. [REPLACE]");
    if (recNo_ > count)
        Fail(TErrorCode::BeyondRange, "Database \"" + path + "\" is at EOF. [REPLACE]");
    if (!MayWriteCurrent())
        Fail(TErrorCode::RecordNotLocked,
             "Record #" + std::to_string(recNo_) + " in " + path + " [REPLACE]");
    // The old keys come from the record as it is in the file.
    if (order_.IsOpen()) file_.ReadRecord(recNo_, scratch_.data());
    TypedToRaw();
    if (order_.IsOpen())
        order_.Replace(scratch_.data(), raw_.data(), recNo_,
                       [&] { file_.WriteRecord(recNo_, raw_.data()); });
    else
        file_.WriteRecord(recNo_, raw_.data());
}

void TWorkArea::DeleteRec() {
    const std::string& path = file_.DisplayName();
    if (!MayWriteCurrent())
        Fail(TErrorCode::RecordNotLocked, path + " Record not locked [DeleteRec]");
    if (recNo_ >= 1 && recNo_ <= Count()) {
        deleted_ = true;
        raw_[0] = '*';
        file_.WriteDeletionFlag(recNo_, '*');
    }
}

void TWorkArea::RecallRec() {
    const std::string& path = file_.DisplayName();
    if (!MayWriteCurrent())
        Fail(TErrorCode::RecordNotLocked, path + " Record not locked [RecallRec]");
    if (recNo_ < 1 || recNo_ > Count())
        Fail(TErrorCode::InvalidOperation, path + " at EOF [RecallRec]");
    deleted_ = false;
    raw_[0] = ' ';
    file_.WriteDeletionFlag(recNo_, ' ');
}

void TWorkArea::Pack() {
    if (file_.ReadOnly())
        Fail(TErrorCode::AccessDenied, "File:  " + file_.DisplayName() + " [Pack]");
    if (Count() == 0) return;
    const std::string path = file_.Path();
    const std::string display = file_.DisplayName();
    const bool wasShared = file_.Shared();
    if (wasShared) {
        UnLock();
        file_.Close();
        try {
            TReportingOff quiet;
            file_.Open(path, true, false, autoFix_);
        } catch (const EZezudError& e) {
            // Another copy has the table open: leave it unchanged, silently.
            // Any other failure is reported once the table is open again.
            ReopenShared(path, display, false, recNo_);
            if (e.Error() == TErrorCode::SharingViolation) return;
            Fail(e.Error(), e.Context());
        }
    }
    // From here the index no longer holds the records: should the pack stop
    // halfway (the next open finishes the swap), the index says so.
    if (order_.IsOpen()) order_.MarkStale();
    uint32_t survivors = 0;
    try {
        survivors = file_.Pack(&memo_);
    } catch (const EZezudError&) {
        if (!file_.IsOpen()) {
            // Stopped inside the swap of table and memo file: the next open finishes it.
            CloseArea();
            throw;
        }
        if (wasShared) {
            file_.Close();
            ReopenShared(path, display, false, recNo_);
        }
        throw;
    }
    if (survivors == 0)
        SetEmpty();
    else
        Go(1);
    if (wasShared) {
        file_.Close();
        ReopenShared(path, display, false, 1);
    }
    RebuildIndex();
}

// ---- index files

void TWorkArea::RebuildIndex() {
    if (!order_.IsOpen()) return;
    const std::string path = order_.Path();
    const std::vector<TTagSpec> tags = order_.TagSpecs();
    order_.Close();
    TIndexOrder::Build(file_, path, tags);
    order_.Open(path, file_, lang_);
}

void TWorkArea::MakeIndex(const std::vector<TTagSpec>& tags, const std::string& indexName) {
    const std::string path = ResolveIndexName(indexName, file_.Path());
    if (order_.IsOpen() && order_.Path() == path) order_.Close();
    // The new file replaces an existing one in one step (see TIndexOrder::Build).
    TIndexOrder::Build(file_, path, tags);
}

void TWorkArea::SetIndexTo(const std::string& indexName) {
    order_.Close();
    order_.Open(ResolveIndexName(indexName, file_.Path()), file_, lang_);
}

bool TWorkArea::FindKey(std::string_view text, bool exact) {
    if (!order_.IsOpen())
        Fail(TErrorCode::IndexNotOpen, "Index not open. (DBF=" + file_.DisplayName() + ") [Find]");
    const uint32_t at = recNo_;
    uint32_t rec = order_.Find(text, exact);
    // Past hidden records as OrderedWalk goes: never more of them than the table has.
    uint64_t passed = 0;
    while (rec != 0) {
        CheckRun("Find");
        Go(rec);
        if (!order_.KeyMatches(raw_.data(), text, exact)) break;
        if (!Hidden()) return true;
        if (++passed > uint64_t(file_.RecordCount()) + 1)
            Fail(TErrorCode::CorruptedIndex,
                 "Corrupted index file: " + order_.Path() + " (the order leads round) [Find]");
        rec = order_.Next(raw_.data(), rec);
    }
    // Not found: the cursor stays where it was.
    if (at != 0 && recNo_ != at) Go(at);
    return false;
}

void TWorkArea::ReopenShared(const std::string& path, const std::string& display, bool readOnly,
                             uint32_t goTo) {
    try {
        file_.Open(path, false, readOnly, autoFix_);
    } catch (const EZezudError& e) {
        Fail(e.Error(), "Cannot re-open database sharable. " + display + " [Pack]");
    }
    if (file_.RecordCount() == 0)
        SetEmpty();
    else
        Go(std::clamp<uint32_t>(goTo, 1, file_.RecordCount()));
}

void TWorkArea::AppendFrom(const std::string& fileName) {
    const std::string name = ResolveNameCase(AddDefaultExtension(fileName));
    const std::string full = FullPath(name);
    // The same file under another name (a link, another case) is the table itself too.
    if (full == fullName_ || SameFile(name, file_.Path()))
        Fail(TErrorCode::AlreadyInUse,
             "Attempting to append file to itself. [AppendFrom(" + name + ")]");
    TWorkArea* source = nullptr;
    for (int i = 1; i <= kSlotCount; ++i) {
        TWorkArea* a = WorkAreaAt(i);
        if (a && a->IsOpen() && a->FullName() == full) source = a;
    }
    TWorkArea own;
    struct SlotGuard {
        bool bound = false;
        ~SlotGuard() {
            if (bound) ReleaseSlot(kAppendFromSlot);
        }
    } guard;
    if (!source) {
        if (!FileSystem().Exists(name))
            Fail(TErrorCode::FileNotFound, "[AppendFrom(" + name + ")]");
        own.Use(name, "*FROMFILE", false, true, false, lang_);
        BindSlot(kAppendFromSlot, &own);
        guard.bound = true;
        source = &own;
    }
    const uint32_t before = recNo_;

    const auto& tf = Fields();
    const auto& sf = source->Fields();
    bool same = tf.size() == sf.size();
    for (size_t i = 0; same && i < tf.size(); ++i)
        same = tf[i].name == sf[i].name && tf[i].type == sf[i].type && tf[i].width == sf[i].width &&
               tf[i].decimals == sf[i].decimals;
    std::vector<int> map(tf.size(), -1);
    bool any = false;
    for (size_t i = 0; i < tf.size(); ++i) {
        map[i] = source->FieldIndex(tf[i].name);
        any = any || map[i] >= 0;
    }
    if (!any) return;

    // Records of the same structure are copied byte for byte.
    const bool copyBytes = same && source->raw_.size() == raw_.size() && source->lang_ == lang_;
    const uint32_t count = source->Count();
    for (uint32_t n = 1; n <= count; ++n) {
        source->Go(n);
        if (copyBytes) {
            raw_ = source->raw_;
            RawToTyped();
        } else {
            BlankTyped();
        }
        for (size_t i = 0; i < tf.size(); ++i) {
            Value(int(i));
            TTypedValue& t = typed_[i];
            if (same) {
                if (!copyBytes) Assign(int(i)) = source->Value(int(i));
                if (tf[i].type == 'M' && t.memo != 0)
                    Fail(TErrorCode::InvalidMemoOperation,
                         file_.DisplayName() + " No Memo Field [AppendFrom]");
                continue;
            }
            if (map[i] < 0) continue;
            const TFieldDef& sd = sf[size_t(map[i])];
            const TTypedValue& s = source->Value(map[i]);
            const bool sNum = sd.type == 'N' || sd.type == 'F';
            switch (tf[i].type) {
            case 'C':
                if (sNum) {
                    std::string buf(size_t(tf[i].width), ' ');
                    if (sd.decimals > 0)
                        FormatNumber(s.number, tf[i].width, sd.decimals, buf.data());
                    else
                        FormatInteger(s.integer, tf[i].width, buf.data());
                    t.text = buf;
                } else if (sd.type == 'M') {
                    if (s.memo != 0)
                        Fail(TErrorCode::InvalidMemoOperation,
                             file_.DisplayName() + " No Memo Field [AppendFrom]");
                } else {
                    t.text =
                        std::string(Utf8Prefix(source->FieldText(map[i]), size_t(tf[i].width)));
                }
                break;
            case 'N':
            case 'F':
                if (sNum) {
                    t.number = sd.decimals > 0 ? s.number : double(s.integer);
                    t.integer = sd.decimals > 0 ? std::llround(s.number) : s.integer;
                } else if (sd.type == 'C') {
                    t.number = ParseDouble(s.text);
                    t.integer = ParseInteger(s.text);
                }
                break;
            case 'L': t.logical = sd.type == 'L' ? s.logical : false; break;
            case 'D': t.date = sd.type == 'D' ? s.date : TDate{}; break;
            case 'M':
                if ((sd.type == 'M' && s.memo != 0) ||
                    (sd.type == 'C' && !TrimField(s.text).empty()))
                    Fail(TErrorCode::InvalidMemoOperation,
                         file_.DisplayName() + " No Memo Field [AppendFrom]");
                break;
            default: break;
            }
        }
        deleted_ = source->Deleted();
        Append();
    }
    // Back to the record that was current before, or the last one.
    const uint32_t total = Count();
    if (total == 0)
        SetEmpty();
    else
        Go(before >= 1 && before <= total ? before : total);
}

} // namespace qm::table
