#include "index_order.h"

#include <unistd.h>

#include <charconv>
#include <cstring>

#include "engine_error.h"
#include "engine_util.h"
#include "index_recovery.h"
#include "table_check.h"

namespace qm::table {

std::string ResolveIndexName(const std::string& name, const std::string& tablePath) {
    std::string n = AddDefaultExtension(Trim(name), "MDX");
    if (n.find('/') == std::string::npos) {
        const std::string full = FullPath(tablePath);
        n = full.substr(0, full.find_last_of('/') + 1) + n;
    }
    // Other programs write the name in another case ("ix2.mdx" beside "IX2.DBF").
    return FullPath(ResolveNameCase(n));
}

void TIndexOrder::Build(TDbfFile& table, const std::string& mdxPath,
                        const std::vector<TTagSpec>& tags) {
    const std::string ctx = " in " + table.DisplayName() + " [AddIndexTag()]";
    std::vector<TKeyExpr> exprs;
    for (const TTagSpec& spec : tags) {
        if (!Trim(spec.forExpr).empty())
            Fail(TErrorCode::WrongParserType,
                 "FOR conditions are not supported: " + spec.forExpr + ctx);
        exprs.push_back(BindKeyExpr(spec.keyExpr, table.Fields(), ctx));
    }
    const uint32_t count = table.Shared() ? table.RefreshCountFromSize() : table.RecordCount();
    std::vector<std::vector<uint8_t>> keys(exprs.size());
    for (size_t t = 0; t < exprs.size(); ++t) keys[t].resize(size_t(count) * exprs[t].length);
    std::vector<uint32_t> recNos(count);
    std::vector<char> raw(size_t(table.RecordLength()));
    for (uint32_t n = 1; n <= count; ++n) {
        table.ReadRecordAhead(n, raw.data());
        recNos[n - 1] = n;
        for (size_t t = 0; t < exprs.size(); ++t)
            exprs[t].Build(raw.data(), keys[t].data() + size_t(n - 1) * exprs[t].length);
    }
    table.DropReadAhead();

    // Built under a name of this process and renamed into place whole, so that
    // no copy ever opens a half-written index, even when two build at once.
    const std::string temp = mdxPath + "." + std::to_string(getpid()) + ".tmp";
    TMdxFile mdx;
    try {
        mdx.Create(temp, BaseName(table.Path()), Today());
        for (size_t t = 0; t < exprs.size(); ++t)
            mdx.AddTag(tags[t], exprs[t].type, exprs[t].length, keys[t], recNos);
        mdx.WriteStamp(count, false);
        mdx.Close();
        if (int rc = FileSystem().Rename(temp, mdxPath); rc < 0)
            Fail(CodeFromErrno(-rc, TIoKind::Write),
                 "Error writing index file: " + mdxPath + " [SeekAndWrite]");
    } catch (...) {
        mdx.Close();
        FileSystem().Remove(temp);
        throw;
    }
    if (IsProductionIndex(mdxPath, table)) MarkTaggedFields(table, tags);
}

void TIndexOrder::Open(const std::string& mdxPath, const TDbfFile& table, TTableLanguage lang) {
    Close();
    lang_ = lang;
    mdx_.Open(mdxPath, table.ReadOnly());
    try {
        if (table.Shared()) semaphore_.Open(table.Path());
        // Logged in, no copy rebuilds the file under us; one may have renamed
        // its new file in just before.
        for (int attempt = 1; !mdx_.IsAtPath(); ++attempt) {
            if (attempt >= kReopenTries)
                Fail(TErrorCode::SharingViolation, "Failure to open " + mdxPath + " [SetIndexTo]");
            mdx_.Close();
            mdx_.Open(mdxPath, table.ReadOnly());
        }
        exprs_.clear();
        for (const TMdxTag& t : mdx_.Tags()) {
            TKeyExpr k = BindKeyExpr(t.expression, table.Fields(), "[SetIndexTo]");
            if (k.length != t.keyLength || (k.type == 'C') != (t.type == 'C'))
                Fail(TErrorCode::CorruptedIndex,
                     "Corrupted index file: " + mdxPath + " (tag " + t.name + ") [SetIndexTo]");
            exprs_.push_back(k);
        }
        if (exprs_.empty())
            Fail(TErrorCode::CorruptedIndex, "Corrupted index file: " + mdxPath + " [SetIndexTo]");
    } catch (...) {
        Close();
        throw;
    }
    active_ = 0;
}

void TIndexOrder::Close() {
    semaphore_.Close();
    mdx_.Close();
    exprs_.clear();
}

std::vector<TTagSpec> TIndexOrder::TagSpecs() const {
    std::vector<TTagSpec> specs;
    for (const TMdxTag& t : mdx_.Tags())
        specs.push_back({t.name, t.expression, t.forExpr, t.descending, t.unique});
    return specs;
}

bool TIndexOrder::SelectTag(std::string_view name) {
    const std::vector<TMdxTag>& tags = mdx_.Tags();
    for (size_t t = 0; t < tags.size(); ++t) {
        if (UpperAscii(tags[t].name) != UpperAscii(Trim(name))) continue;
        active_ = int(t);
        walk_.valid = false;
        run_.length = 0;
        return true;
    }
    return false;
}

bool TIndexOrder::FitsTable(TDbfFile& table, std::string& fault) {
    TSemaphoreGuard g(semaphore_, false, "SetIndexTo");
    const uint32_t count = table.Shared() ? table.RefreshCountFromSize() : table.RecordCount();
    mdx_.Reload();
    const TIndexStamp stamp = mdx_.Stamp();
    if (stamp.stale) {
        fault = "the table has changed without it";
        return false;
    }
    if (stamp.present && stamp.records != count) {
        fault = "it was last updated with " + std::to_string(stamp.records) +
                " records, the table has " + std::to_string(count);
        return false;
    }
    return CheckIndexFile(mdx_.Path(), table, count, false, [&](const std::string& text) {
        if (fault.empty()) fault = text;
    });
}

void TIndexOrder::MarkStale() {
    if (mdx_.ReadOnly()) return;
    TSemaphoreGuard g(semaphore_, true, "SetIndexTo");
    mdx_.Reload();
    mdx_.WriteStamp(mdx_.Stamp().records, true);
}

uint32_t TIndexOrder::Ran(bool forward, uint32_t from, uint32_t recNo) {
    if (run_.length == 0 || run_.forward != forward || run_.last != from) {
        run_.forward = forward;
        run_.length = from == 0 ? 0 : 1;
    }
    if (recNo != 0) ++run_.length;
    run_.last = recNo;
    return recNo;
}

TMdxItem TIndexOrder::ItemOf(const char* raw, uint32_t recNo) const {
    TMdxItem it;
    it.key.resize(size_t(exprs_[size_t(active_)].length));
    exprs_[size_t(active_)].Build(raw, it.key.data());
    it.recNo = recNo;
    return it;
}

uint32_t TIndexOrder::First() {
    walk_.valid = false;
    TSemaphoreGuard g(semaphore_, false, "First");
    TMdxItem it;
    run_.length = 0;
    return Ran(true, 0, mdx_.First(active_, it) ? it.recNo : 0);
}

uint32_t TIndexOrder::Last() {
    walk_.valid = false;
    TSemaphoreGuard g(semaphore_, false, "Last");
    TMdxItem it;
    run_.length = 0;
    return Ran(false, 0, mdx_.Last(active_, it) ? it.recNo : 0);
}

void TIndexOrder::StartWalkAt(bool forward, uint32_t recNo, const uint8_t* key, size_t length) {
    walk_.valid = true;
    walk_.forward = forward;
    walk_.last = walk_.first = recNo;
    walk_.key.assign(key, key + length);
    if (!walk_.seen.empty()) walk_.seen.clear();
}

uint32_t TIndexOrder::Step(const char* currentRaw, uint32_t currentRec, bool forward) {
    const TKeyExpr& k = exprs_[size_t(active_)];
    const size_t length = size_t(k.length);
    uint8_t key[kMaxKeyLength];
    k.Build(currentRaw, key);
    // Equal keys need not stand in record order, so a record met again under one key is the
    // only sign of a tree leading back there; a step to a key already passed is the other.
    if (!walk_.valid || walk_.forward != forward || walk_.last != currentRec ||
        walk_.key.size() != length || std::memcmp(walk_.key.data(), key, length) != 0)
        StartWalkAt(forward, currentRec, key, length);
    const auto damaged = [&] {
        walk_.valid = false;
        Fail(TErrorCode::CorruptedIndex, "Corrupted index file: " + mdx_.Path() + " [Skip]");
    };
    const int ahead = forward ? 1 : -1;
    for (size_t passed = 0;;) {
        if (!mdx_.StepInPage(active_, key, currentRec, forward, item_)) {
            TSemaphoreGuard g(semaphore_, false, "Skip");
            const bool found = forward ? mdx_.Next(active_, key, currentRec, item_)
                                       : mdx_.Prior(active_, key, currentRec, item_);
            if (!found) {
                walk_.valid = false;
                return 0;
            }
        }
        // item_ follows (precedes) the current key and record here, whichever way it was read.
        const int moved = mdx_.Compare(active_, item_.key.data(), key) * ahead;
        if (moved < 0) damaged();
        if (moved > 0) {
            StartWalkAt(forward, item_.recNo, item_.key.data(), length);
            return item_.recNo;
        }
        if (walk_.seen.empty()) walk_.seen.insert(walk_.first);
        if (walk_.seen.insert(item_.recNo).second) {
            walk_.last = item_.recNo;
            return item_.recNo;
        }
        // A record of this key met before: passed over when the current item has gone
        // meanwhile, but a sound tree never leads to more of them than there are.
        if (++passed > walk_.seen.size()) damaged();
        std::memcpy(key, item_.key.data(), length);
        currentRec = item_.recNo;
    }
}

uint32_t TIndexOrder::Next(const char* currentRaw, uint32_t currentRec) {
    return Ran(true, currentRec, Step(currentRaw, currentRec, true));
}

uint32_t TIndexOrder::Prior(const char* currentRaw, uint32_t currentRec) {
    return Ran(false, currentRec, Step(currentRaw, currentRec, false));
}

int TIndexOrder::SearchKey(std::string_view text, bool exact, std::vector<uint8_t>& key) const {
    const TKeyExpr& k = exprs_[size_t(active_)];
    key.assign(size_t(k.length), ' ');
    int len = k.length;
    if (k.type == 'C') {
        const std::string stored = EncodeString(lang_, text);
        len = int(std::min(stored.size(), key.size()));
        std::memcpy(key.data(), stored.data(), size_t(len));
        if (exact) len = k.length;
    } else if (k.type == 'D') {
        TDate d;
        if (!ParseEngineDate(text, d)) d = TDate{};
        EncodeDateKey(d, key.data());
    } else {
        const std::string_view t = TrimView(text);
        double v = 0;
        std::from_chars(t.data(), t.data() + t.size(), v);
        EncodeNumericKey(v, key.data());
    }
    return len;
}

bool TIndexOrder::Matches(const uint8_t* key, const std::vector<uint8_t>& search, int len) const {
    const TKeyExpr& k = exprs_[size_t(active_)];
    return k.type == 'C' ? std::memcmp(key, search.data(), size_t(len)) == 0
                         : CompareKeys(k.type, key, search.data(), k.length) == 0;
}

uint32_t TIndexOrder::Find(std::string_view text, bool exact) {
    std::vector<uint8_t> key;
    const int len = SearchKey(text, exact, key);
    TSemaphoreGuard g(semaphore_, false, "Find");
    TMdxItem it;
    run_.length = 0;
    if (!mdx_.Seek(active_, key.data(), len, it)) return 0;
    return Ran(true, 0, Matches(it.key.data(), key, len) ? it.recNo : 0);
}

bool TIndexOrder::KeyMatches(const char* raw, std::string_view text, bool exact) const {
    std::vector<uint8_t> key;
    const int len = SearchKey(text, exact, key);
    const TMdxItem it = ItemOf(raw, 0);
    return Matches(it.key.data(), key, len);
}

void TIndexOrder::Append(const char* raw, uint32_t recNo, const std::function<void()>& write) {
    TSemaphoreGuard g(semaphore_, true, "Append");
    write();
    mdx_.Reload();
    const TIndexStamp stamp = mdx_.Stamp();
    if (stamp.present && (stamp.stale || stamp.records + 1 != recNo)) {
        if (!stamp.stale) mdx_.WriteStamp(stamp.records, true);
        return;
    }
    std::vector<uint8_t> key;
    for (size_t t = 0; t < exprs_.size(); ++t) {
        key.resize(size_t(exprs_[t].length));
        exprs_[t].Build(raw, key.data());
        mdx_.InsertKey(int(t), key.data(), recNo);
    }
    if (stamp.present) mdx_.WriteStamp(recNo, false);
}

void TIndexOrder::Replace(const char* oldRaw, const char* newRaw, uint32_t recNo,
                          const std::function<void()>& write) {
    TSemaphoreGuard g(semaphore_, true, "Replace");
    std::vector<std::vector<uint8_t>> oldKeys(exprs_.size()), newKeys(exprs_.size());
    bool moves = false;
    for (size_t t = 0; t < exprs_.size(); ++t) {
        oldKeys[t].resize(size_t(exprs_[t].length));
        newKeys[t].resize(oldKeys[t].size());
        exprs_[t].Build(oldRaw, oldKeys[t].data());
        exprs_[t].Build(newRaw, newKeys[t].data());
        moves = moves || oldKeys[t] != newKeys[t];
    }
    if (!moves) {
        write();
        return;
    }
    mdx_.Reload();
    const TIndexStamp stamp = mdx_.Stamp();
    const bool marks = stamp.present && !stamp.stale;
    if (marks) mdx_.WriteStamp(stamp.records, true);
    write();
    for (size_t t = 0; t < exprs_.size(); ++t) {
        if (oldKeys[t] == newKeys[t]) continue;
        mdx_.RemoveKey(int(t), oldKeys[t].data(), recNo);
        mdx_.InsertKey(int(t), newKeys[t].data(), recNo);
    }
    if (marks) mdx_.WriteStamp(stamp.records, false);
}

} // namespace qm::table
