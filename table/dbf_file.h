// The file layer: bytes of a dBase table file (header, field descriptors,
// records, end-of-file byte) and the byte-range locks on it.
//
// Failures throw EZezudError (via Fail); the table component decides how a
// failure is reported. All file access goes through IFile (file_io.h).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine_util.h"
#include "file_io.h"

namespace qm::table {

class TMemoFile;
class TMemoCopy;

// One field of an open table.
struct TFieldDef {
    std::string name; // upper case, at most 11 characters
    char type = 'C';  // C, D, F, L, M, N (B, G and P are read as M)
    int width = 0;
    int decimals = 0;
    int offset = 0; // inside the record; 1 for the first field
    // Descriptor byte 31 of a dBase III/IV table: the production index has a
    // tag on this field, named after it.
    bool tagged = false;
};

// A field definition given to CreateDBF.
struct TFieldSpec {
    std::string name;
    char type = 'C';
    int width = 0;
    int decimals = 0;
};

// What the close has to write: 1 unchanged, 2 records rewritten, 3 records appended.
enum class TChangeState { Unchanged = 1, Rewritten = 2, Appended = 3 };

// Byte-range lock regions, far beyond the data so that locks never block reading.
inline constexpr off_t kLockBase = off_t(1) << 30;
inline constexpr off_t kAppendLockOffset = kLockBase + 1;
inline constexpr off_t kFileLockOffset = kLockBase + 1;
inline constexpr off_t kFileLockLength = (off_t(1) << 30) - 1;
// How long an append lock (and the close's header rewrite) waits for another copy.
inline constexpr int kLockWaitMs = 2000;
// Sharing modes: shared opens hold a read lock here, exclusive opens a write lock.
inline constexpr off_t kSharingLockOffset = (off_t(1) << 31) + (off_t(1) << 30);
// A copy finishing another's interrupted pack write-locks this byte for as long
// as it holds the sharing lock: an open that meets it waits those moments out
// instead of reporting a sharing violation.
inline constexpr off_t kSwapLockOffset = kSharingLockOffset + 1;

class TDbfFile {
public:
    TDbfFile() = default;
    ~TDbfFile(); // releases the file; call Close() to write what the change state requires
    TDbfFile(const TDbfFile&) = delete;
    TDbfFile& operator=(const TDbfFile&) = delete;

    // Creates the table file (and its memo file when a field is M, B, G or P).
    // With noReplace an existing file is left alone and counts as success
    // (another copy of the program created it first).
    static void Create(const std::string& fileName, const std::vector<TFieldSpec>& fields,
                       bool noReplace = false);

    // Opens an existing table; fileName is used as given (add the extension first).
    void Open(const std::string& fileName, bool exclusive, bool readOnly, bool autoFixRecCount);
    bool IsOpen() const { return file_ != nullptr; }
    // Writes what the change state requires and releases the file (also on failure).
    void Close();
    // Releases the file without writing anything.
    void Abandon();

    void ReadRecord(uint32_t n, char* buf);
    // The same for a forward walk: served from a read-ahead window of whole
    // records that any write or lock operation of this handle drops. Only for
    // callers that know no other copy can write meanwhile (an exclusive open,
    // or a file lock held).
    void ReadRecordAhead(uint32_t n, char* buf);
    void DropReadAhead() { aheadCount_ = 0; }
    // Read-ahead on (default) or off; off, ReadRecordAhead reads like ReadRecord.
    void SetReadAhead(bool on) {
        readAhead_ = on;
        DropReadAhead();
    }
    // n > record count appends as record count + 1.
    void WriteRecord(uint32_t n, const char* buf);
    void WriteDeletionFlag(uint32_t n, char flag);
    void RewriteHeader();
    // Shared tables: the count from the file size; a torn last record does not
    // count, nor does anything from the end-of-file mark or the first position
    // whose deletion flag is neither blank nor "*" on (padding, garbage).
    uint32_t RefreshCountFromSize();
    // Cuts the file after `count` records, writes the end-of-file byte, rewrites
    // the header and flushes.
    void CutAfter(uint32_t count);
    // Removes the records marked deleted (exclusive, writable opens only) and
    // returns the number left. The packed table is written under a temporary
    // name beside the table, flushed and swapped in by SwapInPacked, so a crash
    // leaves the old table or the new one, whole. With the table's open memo
    // file the memos of the surviving records are copied into a compact new
    // memo file, and the pair is swapped in as one step (pack_swap.h).
    uint32_t Pack(TMemoFile* memo = nullptr);

    bool TryLock(off_t offset, off_t length);
    // The same, retried for up to waitMs milliseconds while another copy holds the range.
    bool TryLockFor(off_t offset, off_t length, int waitMs);
    bool Unlock(off_t offset, off_t length);
    off_t RecordLockOffset(uint32_t n) const {
        return kLockBase + headerLength_ + off_t(n - 1) * recordLength_;
    }

    uint8_t Version() const { return header_[0]; }
    bool HasMemo() const { return (header_[0] & 0x80) != 0; }
    int HeaderLength() const { return headerLength_; }
    int RecordLength() const { return recordLength_; }
    uint32_t RecordCount() const { return count_; }
    const std::vector<TFieldDef>& Fields() const { return fields_; }
    const std::string& Path() const { return path_; }           // as opened
    const std::string& DisplayName() const { return display_; } // full path as named
    bool Shared() const { return !exclusive_; }
    bool Exclusive() const { return exclusive_; }
    bool ReadOnly() const { return readOnly_; }
    TChangeState State() const { return state_; }
    const uint8_t* Header() const { return header_; }
    uint8_t ProductionIndexFlag() const { return header_[28]; }
    // Writes header byte 28, which tells that the table has a production index.
    void SetProductionIndexFlag(bool on);
    // Writes descriptor byte 31 of every field (see TFieldDef::tagged); the
    // layouts without that byte are left alone.
    void SetTaggedFields(const std::vector<bool>& tagged);

    // Write-through: an append also rewrites the header and the end-of-file
    // byte, and every write is flushed at once. Off by default; kept across
    // reopens of this handle.
    void SetWriteThrough(bool on) { writeThrough_ = on; }
    bool WriteThrough() const { return writeThrough_; }

private:
    off_t RecordOffset(uint32_t n) const {
        return off_t(headerLength_) + off_t(n - 1) * recordLength_;
    }
    void WriteEof(uint32_t count);
    void RewriteHeaderOn(IFile& file);
    void CloseShared();
    // Gives the packed file at `temp` the table's name `target` and makes it the open file.
    void SwapInPacked(std::unique_ptr<IFile> packed, const std::string& temp,
                      const std::string& target);
    // The steps of Pack: the plan (what moves), the copy of the surviving
    // records under a temporary name, and the swap that puts the copy in place
    // (clearing `tempOwned` once the temporary file is no longer to be removed).
    struct TPackPlan;
    TPackPlan PlanPack(TMemoFile* memo);
    uint32_t CopyPacked(const TPackPlan& plan, IFile& out, TMemoCopy* memoCopy);
    void SwapPacked(const TPackPlan& plan, TMemoFile* memo, std::unique_ptr<IFile> out,
                    const std::string& temp, std::unique_ptr<TMemoCopy> memoCopy,
                    uint32_t survivors, bool& tempOwned);
    void ReadRecords(uint32_t first, uint32_t k, std::vector<char>& block,
                     const std::string& failText);
    static void CopyOwnership(const std::string& from, const std::string& to);
    uint32_t CountFromSize(off_t size) const;
    // With the table to ourselves: what a killed append left after the records
    // (a header counting fewer of them, a torn record, no end-of-file mark) is
    // set right.
    void SettleEnd(uint32_t headerCount, off_t size);
    static bool ValidFlag(uint8_t flag);
    // The number of records: `known` ones, then every following whole record
    // up to `limit` that starts with a valid deletion flag.
    uint32_t CountValidFrom(uint32_t known, uint32_t limit, bool verifyKnown);

    std::unique_ptr<IFile> file_;
    std::string path_;
    std::string display_;
    bool exclusive_ = false;
    bool readOnly_ = false;
    uint8_t header_[32] = {};
    int headerLength_ = 0;
    int recordLength_ = 0;
    uint32_t count_ = 0;
    std::vector<TFieldDef> fields_;
    TChangeState state_ = TChangeState::Unchanged;
    std::vector<char> ahead_;
    uint32_t aheadFirst_ = 0;
    uint32_t aheadCount_ = 0;
    bool readAhead_ = true;
    bool writeThrough_ = false;
    uint32_t knownCount_ = 0; // records counted and checked once
};

} // namespace qm::table
