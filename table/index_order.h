// The index file of a work area and its active order: building an index file
// from a table, opening it with its tags bound to the table's fields, walking
// the records in key order, seeking keys, and keeping the keys up to date when
// records are appended or rewritten. A shared table's index is used under the
// index semaphore.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "codepage.h"
#include "dbf_file.h"
#include "index_key.h"
#include "index_semaphore.h"
#include "mdx_file.h"

namespace qm::table {

// The tag of the single-tag index files.
inline constexpr const char* kSingleTagName = "DUMMY_TAG";

// "name" -> "<table folder>/name.MDX": the extension when there is none, the
// table's folder when the name holds none.
std::string ResolveIndexName(const std::string& name, const std::string& tablePath);

class TIndexOrder {
public:
    TIndexOrder() = default;
    TIndexOrder(const TIndexOrder&) = delete;
    TIndexOrder& operator=(const TIndexOrder&) = delete;

    // Writes a new index file with the given tags over every record of the table
    // (records marked deleted included). A failure removes the partial file.
    static void Build(TDbfFile& table, const std::string& mdxPath,
                      const std::vector<TTagSpec>& tags);

    // Opens the file, binds its tags to the table's fields and makes the first
    // tag the active order; a shared table logs in on the semaphore.
    void Open(const std::string& mdxPath, const TDbfFile& table, TTableLanguage lang);
    void Close();
    bool IsOpen() const { return mdx_.IsOpen(); }
    TMdxFile& File() { return mdx_; }
    const std::string& Path() const { return mdx_.Path(); }
    // The tag definitions of the open file, for rebuilding it.
    std::vector<TTagSpec> TagSpecs() const;
    // Makes the tag of that name (any case) the active order; false when the file has none.
    bool SelectTag(std::string_view name);

    // Whether the index is known to hold the table's records, decided under the
    // semaphore's read lock (so no copy appends meanwhile): its stamp is not
    // stale and names the table's record count, and every tag's pages hold
    // together and name only records 1..count. The first fault goes to `fault`.
    bool FitsTable(TDbfFile& table, std::string& fault);
    // Marks the index stale (under the write lock): the table is about to
    // change without it, or has. Nothing for a read-only index.
    void MarkStale();

    // Key order of the active tag; 0 when there is no such record.
    uint32_t First();
    uint32_t Last();
    uint32_t Next(const char* currentRaw, uint32_t currentRec);
    uint32_t Prior(const char* currentRaw, uint32_t currentRec);
    // The first record whose key begins with the text (exact: equals it, the
    // text padded to the key); 0 when there is none.
    uint32_t Find(std::string_view text, bool exact);
    // Whether a record's key qualifies for Find(text, exact).
    bool KeyMatches(const char* raw, std::string_view text, bool exact) const;
    // Records handed out one after the other in one direction since the walk
    // began (First, Last, Find, or a move elsewhere): a walk of a sound index
    // never hands out more than the table has.
    uint64_t RunLength() const { return run_.length; }

    // Writes record recNo through `write` and adds its keys, both under the
    // semaphore's write lock, so that no copy ever finds the record without
    // its keys. An index the table has outgrown meanwhile (a copy appended
    // without it) gets no keys but the stale mark.
    void Append(const char* raw, uint32_t recNo, const std::function<void()>& write);
    // Rewrites record recNo through `write` and moves its keys, both under the
    // semaphore's write lock. When a key changes, the index carries the stale
    // mark from before the write until its keys are moved, so a copy killed in
    // between leaves an index the next exclusive open rebuilds.
    void Replace(const char* oldRaw, const char* newRaw, uint32_t recNo,
                 const std::function<void()>& write);

private:
    TMdxItem ItemOf(const char* raw, uint32_t recNo) const;
    // The record after (before) the current one in the active order: from the
    // leaf page in hand while the walk stays in it, else from the file under
    // the semaphore's read lock. Fails with 222 when the tree leads back to keys
    // or records the walk has passed.
    uint32_t Step(const char* currentRaw, uint32_t currentRec, bool forward);
    // The key Find looks for and the number of its bytes that must match.
    int SearchKey(std::string_view text, bool exact, std::vector<uint8_t>& key) const;
    bool Matches(const uint8_t* key, const std::vector<uint8_t>& search, int len) const;

    TMdxFile mdx_;
    std::vector<TKeyExpr> exprs_;
    int active_ = 0;
    TTableLanguage lang_ = TTableLanguage::tlOem;
    TIndexSemaphore semaphore_;
    TMdxItem item_; // the last item read from the file
    // The walk in progress: its direction, the record it stands on, that record's key, the
    // record where it came to that key and the records met under the key since (filled only
    // when a key repeats).
    struct TWalkState {
        bool valid = false;
        bool forward = true;
        uint32_t last = 0;
        uint32_t first = 0;
        std::vector<uint8_t> key;
        std::unordered_set<uint32_t> seen;
    } walk_;
    void StartWalkAt(bool forward, uint32_t recNo, const uint8_t* key, size_t length);
    struct TRun {
        bool forward = true;
        uint32_t last = 0;
        uint64_t length = 0;
    } run_;
    // Counts the record `recNo` (0: the end) handed out from `from` in the direction.
    uint32_t Ran(bool forward, uint32_t from, uint32_t recNo);
};

} // namespace qm::table
