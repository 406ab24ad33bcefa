// Memo files: the texts of a table's memo fields, in one of three layouts.
//
//   0x83        oldest layout: text ended by 0x1A (written as 0x1A 0x1A), blocks of 512
//   0x8B, 0x8C  block-header layout: FF FF 08 00 + length, block size at offset 20
//   0xF5        FoxPro layout (.FPT): type + length big-endian, block size at offset 6
//
// New memos are always appended at the end of the file under the memo lock;
// blocks already in the file (live memos, free chains of other programs) are
// never written. Failures throw EZezudError (via Fail).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "codepage.h"
#include "file_io.h"

namespace qm::table {

inline constexpr int kMemoMaxLines = 1024;
inline constexpr size_t kMemoMaxLineLength = 254;
inline constexpr off_t kMemoLockOffset = 10;
inline constexpr int kMemoLockTries = 11;
inline constexpr uint32_t kMemoDefaultBlockSize = 512;

// The memo kind of a table version byte: 0x83, 0x8B, 0x8C and 0xF5 as they are,
// anything else 0x8B.
uint8_t MemoKind(uint8_t tableVersion);
// The table's path with "FPT" for version 0xF5, else "DBT".
std::string MemoFileName(const std::string& tablePath, uint8_t tableVersion);

// Creates (replaces) an empty memo file of the kind. `baseName` is written into
// the block-header layout's header (first 8 characters).
void CreateMemofile(const std::string& path, uint8_t kind, uint32_t blockSize,
                    const std::string& baseName, const std::string& caller);

// Stored memo text <-> lines, in the stored code page. Lines end at CR LF; a
// soft return 0x8D LF joins a line with the next; a lone CR or LF belongs to
// its line. At most kMemoMaxLines lines are read.
std::vector<std::string> SplitMemoText(std::string_view text);
std::string JoinMemoLines(const std::vector<std::string>& lines);

// True when the bytes hold no control byte other than tab, LF, CR, 0x0F, 0x14, 0x15:
// such a memo is converted between code pages by the stream interface.
bool LooksLikeText(std::string_view bytes);

class TMemoFile {
public:
    TMemoFile() = default;
    TMemoFile(const TMemoFile&) = delete;
    TMemoFile& operator=(const TMemoFile&) = delete;

    // Opens the memo file of a table (".DBT"/".FPT", else the same in lower case);
    // `shared` makes every write take the memo lock.
    void Open(const std::string& tablePath, uint8_t tableVersion, bool shared, bool readOnly);
    void Close() { file_.reset(); }
    bool IsOpen() const { return file_ != nullptr; }

    const std::string& Path() const { return path_; }
    uint8_t Kind() const { return kind_; }
    uint32_t BlockSize() const { return blockSize_; }
    // Flush every memo write at once (the table's write-through switch).
    void SetWriteThrough(bool on) { writeThrough_ = on; }

    // The stored bytes of the memo at `block` (its absolute value); empty for 0.
    // recNo only names the record in the failure text.
    std::string Read(int32_t block, uint32_t recNo);
    // Writes a new memo at the end of the file and returns its block; 0 for empty text.
    int32_t Append(std::string_view text, const std::string& caller);

    // Checks a reference without reading the text: empty when good, else the fault.
    std::string CheckReference(int32_t block);

    // The memo at `block` as stored, for a copy into another memo file of the
    // same kind: its header (block header or FoxPro header) and bytes, or, for
    // text ended by 0x1A, the text and two end marks. Check the reference first.
    std::string ReadStored(int32_t block, uint32_t recNo);
    // The number of bytes ReadStored gives, from the memo header where there is
    // one (a text ended by 0x1A is scanned).
    uint64_t StoredSize(int32_t block);
    // The first `length` bytes of the file (its header block).
    std::string HeaderBytes(size_t length);
    // Size of the file; -errno on failure.
    off_t FileSize() { return file_->Size(); }
    // Takes over the file of a compacted copy that now has this file's name
    // (same kind and block size).
    void Adopt(std::unique_ptr<IFile> file) { file_ = std::move(file); }

private:
    // With the table to ourselves: a header whose next free block lies inside
    // the file (a copy killed between a memo's write and the header's) is set
    // past the end, where other programs write their next memo.
    void SettleNextFree();
    void LockMemo(const std::string& caller);
    void UnlockMemo();

    std::unique_ptr<IFile> file_;
    std::string path_;
    uint8_t kind_ = 0x8B;
    uint32_t blockSize_ = kMemoDefaultBlockSize;
    bool shared_ = false;
    bool readOnly_ = false;
    bool writeThrough_ = false;
};

} // namespace qm::table
