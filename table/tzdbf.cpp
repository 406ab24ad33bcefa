#include "tzdbf.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "engine_util.h"

namespace qm::table {

namespace {

std::string TrimBlanks(std::string_view s) {
    return Trim(s, " \t");
}

bool ParseIntPart(const std::string& s, int& out) {
    std::string_view v = s;
    if (v.empty()) {
        out = 0;
        return true;
    }
    if (v.front() == '+') v.remove_prefix(1);
    auto r = std::from_chars(v.data(), v.data() + v.size(), out);
    return r.ec == std::errc() && r.ptr == v.data() + v.size();
}

} // namespace

bool ParseFieldLine(const std::string& line, TFieldSpec& given, TFieldSpec& used, bool& corrected,
                    bool& skip) {
    corrected = false;
    skip = false;
    if (std::count(line.begin(), line.end(), ',') != 3) return false;
    std::vector<std::string> parts;
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t comma = line.find(',', start);
        parts.push_back(TrimBlanks(std::string_view(line).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start)));
        start = comma + 1;
    }
    given.name = parts[0].substr(0, 10);
    given.type = parts[1].empty() ? ' ' : parts[1][0];
    if (!ParseIntPart(parts[2], given.width) || !ParseIntPart(parts[3], given.decimals))
        return false;
    if (given.type == 'X' || given.type == 'x') {
        skip = true;
        return true;
    }
    used = given;
    char t = used.type >= 'a' && used.type <= 'z' ? char(used.type - 'a' + 'A') : used.type;
    used.type = t;
    if (std::string_view("BCDFGLMNP").find(t) == std::string_view::npos) used.type = 'C';
    if (used.type == 'N') {
        if (used.width > 20) used.width = 20;
        if (used.decimals > 18) used.decimals = 18;
        if (used.decimals > 0 && used.width - used.decimals < 2)
            used.decimals = std::max(0, used.width - 2);
    }
    if (used.type == 'C' && used.width == 255) {
        used.width = 254;
        used.decimals = 0;
    }
    corrected =
        used.type != given.type || used.width != given.width || used.decimals != given.decimals;
    return true;
}

TTzDbf::TTzDbf(std::string name) : name_(std::move(name)) {}

TTzDbf::~TTzDbf() {
    try {
        TReportingOff quiet;
        Close();
    } catch (...) {
        // A destructor must not throw; the failure stays in the error state.
    }
}

void TTzDbf::SetDbfFileName(const std::string& name) {
    const bool wasOpen = Active();
    if (wasOpen) Close();
    fileName_ = TrimBlanks(name);
    if (!fileName_.empty()) fileName_ = AddDefaultExtension(fileName_);
    if (wasOpen) Open();
}

void TTzDbf::SetHideDeletedRecs(bool on) {
    hideDeleted_ = on;
    area_.skipDeleted = on;
}

void TTzDbf::SetExclusive(bool on) {
    if (on == exclusive_) return;
    exclusive_ = on;
    if (Active()) {
        Close();
        Open();
    }
}

void TTzDbf::SetActive(bool on) {
    if (on)
        Open();
    else
        Close();
}

TWorkArea& TTzDbf::Area(const char* operation) {
    if (!area_.IsOpen())
        Fail(TErrorCode::InvalidOperation,
             "Database is not open [" + name_ + "." + operation + "]");
    return area_;
}

void TTzDbf::RequireEditable(const char* operation) {
    Area(operation);
    if (readOnly_) throw EDatabaseError("Cannot modify a read-only dataset");
}

bool TTzDbf::CreateFromFields() {
    if (dbfFields_.empty()) {
        ShowEngineMessage("FieldList.Count is <= 0 trying to create a database");
        return false;
    }
    std::vector<TFieldSpec> specs;
    for (const std::string& line : dbfFields_) {
        TFieldSpec given, used;
        bool corrected = false, skip = false;
        if (!ParseFieldLine(line, given, used, corrected, skip)) return false;
        if (skip) continue;
        if (corrected) {
            char buf[512];
            std::snprintf(buf, sizeof buf,
                          "Invalid field definition for %s: %s,%c,%d,%d. Will use corrected "
                          "definition: %s,%c,%d,%d",
                          name_.c_str(), given.name.c_str(), given.type, given.width,
                          given.decimals, used.name.c_str(), used.type, used.width, used.decimals);
            ShowEngineMessage(buf);
        }
        specs.push_back(used);
    }
    try {
        TReportingOff quiet;
        TDbfFile::Create(fileName_, specs, /*noReplace=*/true);
    } catch (const EZezudError& e) {
        // Why, in words (a bad definition names the field), before the caller's own note.
        ShowEngineMessage(e.Context());
        return false;
    }
    return true;
}

void TTzDbf::OpenArea() {
    const int slot = FreeUserSlot();
    if (slot == 0) Fail(TErrorCode::InvalidParameter, "No free workarea available [Select(0)]");
    // A file that differs in case only is the table, not a reason to create one.
    const std::string found = ResolveNameCase(fileName_);
    if (createIfNotFound_ && !FileSystem().Exists(found)) {
        if (!CreateFromFields()) ShowEngineMessage("Could not create \"" + fileName_ + "\"");
    }
    const std::string alias = UpperAscii(name_.empty() ? BaseName(fileName_) : name_);
    BindSlot(slot, &area_);
    try {
        area_.Use(fileName_, alias, exclusive_, readOnly_, autoFix_, language_);
        area_.skipDeleted = hideDeleted_;
        OpenProductionIndex();
        if (area_.Ordered()) KeepProductionIndexFit();
        area_.FirstVisible();
    } catch (...) {
        // A failure while positioning leaves the table closed, its slot free.
        area_.CloseIndexes();
        area_.File().Abandon();
        ReleaseSlot(slot);
        throw;
    }
    slot_ = slot;
    state_ = TDataSetState::dsBrowse;
}

void TTzDbf::Open() {
    if (Active()) return;
    if (fileName_.empty()) throw EDatabaseError("Missing DbfFilename property");
    Guarded([&] { OpenArea(); });
    if (Active()) Scrolled();
}

void TTzDbf::Close() {
    if (!Active()) {
        // A failed reopen (pack) left the file closed: free its work area.
        if (slot_ != 0) ReleaseSlot(slot_);
        slot_ = 0;
        state_ = TDataSetState::dsInactive;
        return;
    }
    const int slot = slot_;
    slot_ = 0;
    state_ = TDataSetState::dsInactive;
    struct Release {
        int slot;
        ~Release() { ReleaseSlot(slot); }
    } release{slot};
    Guarded([&] { area_.CloseArea(); });
}

// ---- navigation

void TTzDbf::Scrolled() {
    if (AfterScroll) AfterScroll(*this);
}

void TTzDbf::Changed() {
    if (AfterDataChange) AfterDataChange(*this);
}

template <class Move> void TTzDbf::Navigate(const char* operation, Move&& move) {
    Guarded([&] {
        Area(operation);
        if (Editing()) Post();
        move();
    });
    Scrolled();
}

void TTzDbf::First() {
    Navigate("First", [&] { area_.FirstVisible(); });
}
void TTzDbf::Last() {
    Navigate("Last", [&] { area_.LastVisible(); });
}
void TTzDbf::Next() {
    Navigate("Next", [&] { area_.NextVisible(); });
}
void TTzDbf::Prior() {
    Navigate("Prior", [&] { area_.PriorVisible(); });
}

bool TTzDbf::Eof() const {
    return !area_.IsOpen() || area_.Eof();
}
bool TTzDbf::Bof() const {
    return !area_.IsOpen() || area_.Bof();
}
uint32_t TTzDbf::RecNo() const {
    return area_.IsOpen() ? area_.RecNo() : 0;
}
bool TTzDbf::Deleted() const {
    return area_.IsOpen() && area_.Deleted();
}

void TTzDbf::SetRecNo(uint32_t n) {
    Navigate("SetRecNo", [&] { area_.Go(n); });
}

uint32_t TTzDbf::RecCount() {
    return Guarded([&] { return Area("RecCount").Count(); });
}

bool TTzDbf::IsEmpty() {
    return RecCount() == 0;
}

// ---- fields

int TTzDbf::FieldCount() const {
    return area_.IsOpen() ? int(area_.Fields().size()) : 0;
}
const TFieldDef& TTzDbf::FieldDef(int i) const {
    return area_.Fields().at(size_t(i));
}
int TTzDbf::FieldIndex(std::string_view name) const {
    return area_.IsOpen() ? area_.FieldIndex(name) : -1;
}

std::string TTzDbf::GetField(std::string_view name) {
    return Guarded([&] {
        Area("GetField");
        const int i = area_.FieldIndex(name);
        if (i < 0) throw EDatabaseError(name_ + ": Field '" + std::string(name) + "' not found");
        return area_.FieldText(i);
    });
}

std::string TTzDbf::GetField(int i) {
    return Guarded([&] {
        Area("GetField");
        if (i < 0 || i >= FieldCount()) throw EDatabaseError(name_ + ": Field index out of range");
        return area_.FieldText(i);
    });
}

void TTzDbf::GetField(int i, std::string& out) {
    Guarded([&] {
        Area("GetField");
        if (i < 0 || i >= FieldCount()) throw EDatabaseError(name_ + ": Field index out of range");
        area_.FieldText(i, out);
    });
}

std::string TTzDbf::FieldDisplay(int i) const {
    if (!area_.IsOpen() || i < 0 || i >= FieldCount()) return std::string();
    return area_.FieldDisplay(i);
}

void TTzDbf::SetField(std::string_view name, std::string_view text) {
    Guarded([&] {
        Area("SetField");
        const int i = area_.FieldIndex(name);
        if (i < 0) throw EDatabaseError(name_ + ": Field '" + std::string(name) + "' not found");
        SetField(i, text);
    });
}

void TTzDbf::SetField(int i, std::string_view text) {
    Guarded([&] {
        RequireEditable("SetField");
        if (i < 0 || i >= FieldCount()) throw EDatabaseError(name_ + ": Field index out of range");
        if (!Editing()) Edit();
        SetTypedFromText(i, text);
    });
}

void TTzDbf::SetFieldStored(int i, std::string_view bytes) {
    Guarded([&] {
        RequireEditable("SetField");
        if (i < 0 || i >= FieldCount()) throw EDatabaseError(name_ + ": Field index out of range");
        if (!Editing()) Edit();
        area_.SetStored(i, bytes);
    });
}

void TTzDbf::SetFieldDate(int i, const TDate& date) {
    Guarded([&] {
        RequireEditable("SetField");
        if (i < 0 || i >= FieldCount() || FieldDef(i).type != 'D')
            throw EDatabaseError(name_ + ": Field index out of range");
        if (!Editing()) Edit();
        TTypedValue& v = area_.Assign(i);
        TDate checked;
        if (date.Empty()) {
            v.date = TDate{};
        } else if (IsValidDate(date.year, date.month, date.day) &&
                   ParseEngineDate(FormatEngineDate(date).substr(0, 10), checked) &&
                   checked == date) {
            v.date = date;
        } else {
            ShowEngineMessage("        Invalid date       ");
            v.date = TDate{};
        }
    });
}

void TTzDbf::SetTypedFromText(int i, std::string_view text) {
    const TFieldDef& f = FieldDef(i);
    // Only a value that converts is assigned; the field keeps its stored bytes otherwise.
    auto quoted = [&] {
        std::string q(1, '\'');
        q.append(text);
        q += '\'';
        return q;
    };
    switch (f.type) {
    case 'C': area_.Assign(i).text.assign(Utf8Prefix(text, size_t(f.width))); break;
    case 'D': {
        TDate d;
        if (!IsBlankDateText(text) && !ParseEngineDate(text, d))
            throw EConvertError(quoted() + " is not a valid date");
        area_.Assign(i).date = d;
        break;
    }
    case 'N':
    case 'F': {
        std::string_view s = TrimView(text, " \t");
        const bool empty = s.empty();
        if (!s.empty() && s.front() == '+') s.remove_prefix(1);
        if (f.decimals > 0) {
            double d = 0;
            auto r = std::from_chars(s.data(), s.data() + s.size(), d);
            if (!empty && (r.ec != std::errc() || r.ptr != s.data() + s.size()))
                throw EConvertError(quoted() + " is not a valid floating point value");
            area_.Assign(i).number = empty ? 0 : d;
        } else {
            int64_t n = 0;
            auto r = std::from_chars(s.data(), s.data() + s.size(), n);
            if (!empty && (r.ec != std::errc() || r.ptr != s.data() + s.size()))
                throw EConvertError(quoted() + " is not a valid integer value");
            area_.Assign(i).integer = empty ? 0 : n;
        }
        break;
    }
    case 'L': {
        std::string_view t = TrimView(text, " \t");
        char c = t.empty() ? 'F' : t[0];
        if (c == 'T' || c == 't' || c == 'Y' || c == 'y')
            area_.Assign(i).logical = true;
        else if (c == 'F' || c == 'f' || c == 'N' || c == 'n')
            area_.Assign(i).logical = false;
        else
            throw EConvertError(quoted() + " is not a valid boolean value");
        break;
    }
    default: throw EDatabaseError("Field '" + f.name + "' cannot be modified");
    }
}

int TTzDbf::MemoFieldIndex(std::string_view name) {
    const int i = area_.FieldIndex(name);
    if (i < 0) throw EDatabaseError(name_ + ": Field '" + std::string(name) + "' not found");
    if (FieldDef(i).type != 'M')
        throw EDatabaseError(name_ + ": Field '" + std::string(name) + "' is not a memo field");
    return i;
}

void TTzDbf::GetMField(std::string_view name, std::vector<std::string>& lines) {
    lines.clear();
    Guarded([&] {
        Area("GetMField");
        lines = area_.MemoLines(MemoFieldIndex(name), "GetMField");
    });
}

void TTzDbf::SetMField(std::string_view name, const std::vector<std::string>& lines) {
    Guarded([&] {
        RequireEditable("SetMField");
        const int i = MemoFieldIndex(name);
        if (!Editing()) Edit();
        area_.SetMemoLines(i, lines, "SetMField");
    });
}

std::string TTzDbf::GetMemoBytes(std::string_view name) {
    std::string bytes;
    Guarded([&] {
        Area("CreateBlobStream");
        bytes = area_.MemoBytes(MemoFieldIndex(name), "CreateBlobStream");
    });
    return bytes;
}

void TTzDbf::SetMemoBytes(std::string_view name, std::string_view bytes) {
    Guarded([&] {
        RequireEditable("CreateBlobStream");
        const int i = MemoFieldIndex(name);
        if (!Editing()) Edit();
        area_.SetMemoBytes(i, bytes, "CreateBlobStream");
    });
}

void TTzDbf::ClearRecord() {
    Guarded([&] {
        RequireEditable("ClearRecord");
        // Edit state without rereading the record: it is blanked at once anyway.
        if (!Editing())
            state_ = area_.Eof() && area_.Bof() ? TDataSetState::dsInsert : TDataSetState::dsEdit;
        area_.BlankTyped();
    });
}

// ---- dataset states

void TTzDbf::Edit() {
    Guarded([&] {
        RequireEditable("Edit");
        if (Editing()) return;
        if (area_.Eof() && area_.Bof()) {
            area_.BlankTyped();
            state_ = TDataSetState::dsInsert;
            return;
        }
        area_.Go(area_.RecNo()); // the record as it is in the file now
        state_ = TDataSetState::dsEdit;
    });
}

void TTzDbf::Insert() {
    Guarded([&] {
        RequireEditable("Insert");
        if (Editing()) Post();
        area_.BlankTyped();
        state_ = TDataSetState::dsInsert;
    });
}

bool TTzDbf::LockedOperation(const char* word, const TLockFailedEvent& event, bool append,
                             const std::function<void()>& op) {
    if (readOnly_) return false;
    bool retry = false;
    do {
        retry = false;
        if (append ? area_.ALock() : area_.RLock()) {
            TAreaUnlock unlock(area_);
            op();
            return true;
        }
        if (event)
            event(*this, retry);
        else
            ShowEngineMessage(std::string("Lock failed [") + word + "]");
    } while (retry);
    return false;
}

void TTzDbf::Post() {
    Guarded([&] {
        Area("Post");
        if (state_ == TDataSetState::dsInsert) {
            area_.SetDeletedFlag(false);
            const bool done =
                LockedOperation("Insert", OnALockFailedOnInsert, true, [&] { area_.Append(); });
            state_ = TDataSetState::dsBrowse;
            if (done)
                KeepVisible(area_.RecNo());
            else
                Reread();
        } else if (state_ == TDataSetState::dsEdit) {
            if (area_.RecNo() < 1) throw EDatabaseError("Dataset error: 1402");
            if (area_.RecNo() > area_.Count()) throw EDatabaseError("Dataset error: 1403");
            const bool done =
                LockedOperation("Post", OnRLockFailedOnPost, false, [&] { area_.Replace(); });
            state_ = TDataSetState::dsBrowse;
            if (done)
                KeepVisible(area_.RecNo());
            else
                Reread();
        } else {
            throw EDatabaseError("Dataset not in edit or insert mode");
        }
    });
    Changed();
}

void TTzDbf::Cancel() {
    Guarded([&] {
        Area("Cancel");
        if (Editing()) {
            state_ = TDataSetState::dsBrowse;
            Reread();
        }
    });
}

void TTzDbf::Reread() {
    const uint32_t n = area_.RecNo();
    const uint32_t count = area_.Count();
    if (count == 0) {
        area_.SetEmpty();
    } else if (n >= 1 && n <= count) {
        area_.Go(n);
        if (area_.Hidden()) KeepVisible(n);
    } else {
        area_.FirstVisible();
    }
}

void TTzDbf::KeepVisible(uint32_t newRec) {
    if (!area_.Hidden()) return;
    area_.UnLock();
    if (area_.NextVisible()) return;
    area_.Go(newRec);
    if (!area_.PriorVisible()) area_.SetEmpty();
}

void TTzDbf::Delete() {
    Guarded([&] {
        RequireEditable("Delete");
        if (Editing()) {
            state_ = TDataSetState::dsBrowse;
            Reread();
        }
        if (area_.Eof() && area_.Bof())
            throw EDatabaseError("Cannot perform this operation on an empty dataset");
        const uint32_t n = area_.RecNo();
        if (LockedOperation("Delete", OnRLockFailedOnDelete, false, [&] { area_.DeleteRec(); }))
            KeepVisible(n);
        else
            Reread();
    });
    Changed();
}

void TTzDbf::Restore() {
    Guarded([&] {
        RequireEditable("Restore");
        if (BeforeRestore) BeforeRestore(*this);
        if (!LockedOperation("Restore", OnRLockFailedOnRestore, false, [&] { area_.RecallRec(); }))
            Reread();
        if (AfterRestore) AfterRestore(*this);
    });
    Changed();
}

// ---- record operations

bool TTzDbf::ALock() {
    return Guarded([&] { return Area("ALock").ALock(); });
}
bool TTzDbf::RLock() {
    return Guarded([&] { return Area("RLock").RLock(); });
}
bool TTzDbf::FLock() {
    return Guarded([&] { return Area("FLock").FLock(); });
}
void TTzDbf::UnLock() {
    Guarded([&] { Area("UnLock").UnLock(); });
}

void TTzDbf::AppendRec() {
    Guarded([&] {
        Area("AppendRec");
        area_.Append();
        state_ = TDataSetState::dsBrowse;
        KeepVisible(area_.RecNo());
    });
    Changed();
}

void TTzDbf::DeleteRec() {
    Guarded([&] {
        Area("DeleteRec");
        const uint32_t n = area_.RecNo();
        area_.DeleteRec();
        KeepVisible(n);
    });
    Changed();
}

void TTzDbf::RecallRec() {
    Guarded([&] { Area("RecallRec").RecallRec(); });
    Changed();
}

void TTzDbf::Pack() {
    Guarded([&] {
        Area("Pack");
        if (Editing()) state_ = TDataSetState::dsBrowse;
        area_.Pack();
        area_.FirstVisible();
    });
    Changed();
    Scrolled();
}

void TTzDbf::AppendFrom(const std::string& fileName) {
    Guarded([&] {
        Area("AppendFrom");
        state_ = TDataSetState::dsBrowse;
        area_.AppendFrom(fileName);
    });
    Changed();
}

bool TTzDbf::PeekRecord(uint32_t n, std::vector<std::string>& values, bool& deleted) {
    return Guarded([&] {
        Area("PeekRecord").PeekRecord(n, values, deleted);
        return true;
    });
}

bool RunTableCommand(const std::function<void()>& command, std::initializer_list<TTzDbf*> tables,
                     const std::function<void(const std::string& text)>& showError) {
    try {
        command();
        return true;
    } catch (const EZezudError& e) {
        {
            TReportingOff quiet;
            for (TTzDbf* t : tables) {
                try {
                    if (t) t->Close();
                } catch (const std::exception&) {
                    // already reporting the first failure
                }
            }
        }
        if (showError) showError(e.what());
        return false;
    }
}

} // namespace qm::table
