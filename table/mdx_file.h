// Multiple-index files in the dBase IV layout: a 2048-byte header with the
// tag table, one header page per tag and a B-tree of 1024-byte pages per tag.
// The file is addressed in 512-byte blocks; all integers are little-endian.
//
// Header: version 2, creation date, table base name, blocks per page (2),
// page size (1024), production flag, 48 entries of 32 bytes, tags in use, the
// number of blocks in the file (offset 32, the next block to allocate), the
// date of the last rebuild. Tag entries start at byte 544 (47 fit before
// block 4), each with the tag header's block, the name, the name-tree threads
// and the key type.
//
// Pages: key count, a link word (0), then items of the tag's item length: the
// record number (leaf) or child block (inner page) and the key. An inner page
// of n keys has n + 1 children; the last child stands in the record-number
// slot of item n, which is 0 in a leaf. The key of an inner item is an upper
// bound of the keys below its child, and no key below the next child is
// smaller. Equal keys keep record-number order when built.
//
// All file access goes through IFile; failures throw EZezudError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine_date.h"
#include "file_io.h"

namespace qm::table {

inline constexpr int kMdxBlockSize = 512;
inline constexpr int kMdxPageSize = 1024;
inline constexpr int kMdxHeaderSize = 2048;
inline constexpr int kMdxTagEntryCount = 48; // the header's count
inline constexpr int kMdxTagEntryLength = 32;
inline constexpr int kMdxTagTableOffset = 544;
inline constexpr int kMdxMaxTags = (kMdxHeaderSize - kMdxTagTableOffset) / kMdxTagEntryLength;

// What the index covers, as the engine that last changed it wrote down: the
// table's record count at that change, or the mark that the table has changed
// without it (a pack, a copy working without the index). An index written by
// another program has no stamp.
struct TIndexStamp {
    bool present = false;
    bool stale = false;
    uint32_t records = 0;
};

struct TTagSpec {
    std::string name;    // up to 10 characters
    std::string keyExpr; // at most 220 characters
    std::string forExpr; // empty: every record
    bool descending = false;
    bool unique = false;
};

struct TMdxTag {
    int entry = 0; // 1-based number in the tag table
    std::string name;
    uint32_t headerBlock = 0;
    char type = 'C';
    int keyLength = 0;
    int itemLength = 0;
    int maxKeys = 0;
    bool descending = false;
    bool unique = false;
    std::string expression;
    std::string forExpr;
};

// One key of a tag with its record.
struct TMdxItem {
    std::vector<uint8_t> key;
    uint32_t recNo = 0;
};

class TMdxFile {
public:
    TMdxFile() = default;
    ~TMdxFile() = default;
    TMdxFile(const TMdxFile&) = delete;
    TMdxFile& operator=(const TMdxFile&) = delete;

    // Writes a new file (replacing one of that name) with an empty tag table and
    // keeps it open for AddTag.
    void Create(const std::string& path, const std::string& tableBaseName, const TDate& today);
    // Opens an existing file: code from the system for a missing file, 223 for a
    // version other than 2, 222 for a header or tag that does not hold together.
    void Open(const std::string& path, bool readOnly);
    void Close() {
        file_.reset();
        walk_.tag = -1;
    }
    bool IsOpen() const { return file_ != nullptr; }
    // Still the file at its path (another copy's rebuild renames a new one in).
    bool IsAtPath() { return file_ && StillAtPath(*file_, path_); }
    const std::string& Path() const { return path_; }
    bool ReadOnly() const { return readOnly_; }
    const std::vector<TMdxTag>& Tags() const { return tags_; }
    const uint8_t* Header() const { return header_.data(); }

    // Re-reads the header and the tag table: another copy may have grown the file.
    void Reload();

    // The stamp as last read (Open, Reload) or written.
    TIndexStamp Stamp() const;
    // Writes the stamp: the index holds the keys of records 1..records, or
    // (stale) the table has changed without it.
    void WriteStamp(uint32_t records, bool stale);

    // Adds a tag holding `count` keys (count x keyLength bytes in `keys`, the
    // record of key i in recNos[i]): builds its B-tree, appends the tree and the
    // tag header page, writes the tag entry and the header.
    void AddTag(const TTagSpec& spec, char type, int keyLength, const std::vector<uint8_t>& keys,
                const std::vector<uint32_t>& recNos);

    // Key maintenance; a writer of a shared index holds the semaphore's write lock.
    void InsertKey(int tag, const uint8_t* key, uint32_t recNo);
    bool RemoveKey(int tag, const uint8_t* key, uint32_t recNo); // false when not there

    // Key order. Each call reads the pages afresh, so a cursor given as the last
    // item seen (its key and record) survives changes made meanwhile (by this or
    // another copy). A shared index is read under the semaphore's read lock.
    bool First(int tag, TMdxItem& out);
    bool Last(int tag, TMdxItem& out);
    bool Next(int tag, const uint8_t* fromKey, uint32_t fromRec, TMdxItem& out);
    bool Prior(int tag, const uint8_t* fromKey, uint32_t fromRec, TMdxItem& out);
    // The neighbour of the last item handed out from the copy of its leaf page
    // read with it, without reading the file: for a walk, which reads each leaf
    // page once. False when `from` is not that item (the cursor moved, or the
    // record's key changed), at either end of the page, and after any change to
    // the file through this handle; then Next or Prior reads the pages afresh.
    bool StepInPage(int tag, const uint8_t* fromKey, uint32_t fromRec, bool forward, TMdxItem& out);
    // The first item whose key begins with `len` bytes not less than `key`.
    bool Seek(int tag, const uint8_t* key, int len, TMdxItem& out);
    // Number of levels of the tag's tree (1: the root is a leaf).
    int Depth(int tag);

    int Compare(int tag, const uint8_t* a, const uint8_t* b) const;

private:
    struct TPage {
        uint32_t block = 0;
        uint8_t bytes[kMdxPageSize];
    };
    struct TLevel {
        std::shared_ptr<TPage> page;
        int index = 0;
    };
    using TPath = std::vector<TLevel>;

    void ReadAt(void* buf, size_t len, off_t offset);
    void WriteAt(const void* buf, size_t len, off_t offset);
    void ReadTags();
    uint32_t RootBlock(const TMdxTag& t);
    void SetRootBlock(const TMdxTag& t, uint32_t block);
    std::shared_ptr<TPage> ReadPage(const TMdxTag& t, uint32_t block);
    void WritePage(const TPage& p);
    uint32_t AllocateBlocks(uint32_t blocks);
    uint32_t AllocatePage();
    void WriteThreads();
    void WriteHeader();

    // Path to the first item not less than key (leaf index may be past the end);
    // a null key goes to the leftmost leaf, `last` to the rightmost item.
    TPath Descend(const TMdxTag& t, const uint8_t* key, int len, bool last);
    // Appends the levels from `block` down to a leaf, along the first or the last child.
    void DescendEdge(const TMdxTag& t, uint32_t block, bool last, TPath& path);
    bool Forward(const TMdxTag& t, TPath& path);  // to a real item at or after the position
    bool Backward(const TMdxTag& t, TPath& path); // to a real item at or before the position
    bool Advance(const TMdxTag& t, TPath& path);
    bool Retreat(const TMdxTag& t, TPath& path);
    bool LocateExact(const TMdxTag& t, const uint8_t* key, uint32_t recNo, TPath& path);
    void ItemAt(const TMdxTag& t, const TPath& path, TMdxItem& out) const;
    int Cmp(const TMdxTag& t, const uint8_t* a, const uint8_t* b, int len) const;

    // The leaf page of the last item handed out, as read with it, and where the
    // item stands in it: a leaf holds a run of consecutive items of its tag.
    struct TWalkPage {
        int tag = -1; // -1: none
        int index = 0;
        uint8_t bytes[kMdxPageSize];
    };
    void Remember(int tag, const TPath& path);

    TWalkPage walk_;
    std::unique_ptr<IFile> file_;
    std::string path_;
    bool readOnly_ = false;
    std::vector<uint8_t> header_ = std::vector<uint8_t>(kMdxHeaderSize);
    std::vector<TMdxTag> tags_;
};

// Builds a tag's pages for keys already in order: the pages of every level,
// leaves first, numbered from `firstBlock`; returns the root's block.
uint32_t BuildTagPages(const std::vector<const uint8_t*>& keys, const std::vector<uint32_t>& recNos,
                       int keyLength, uint32_t firstBlock, std::vector<uint8_t>& out);

} // namespace qm::table
