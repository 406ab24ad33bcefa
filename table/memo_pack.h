// Compaction of a memo file: the memos still referenced are copied, in the
// order they are met, into a new file of the same kind and block size, so
// replaced memos and the free chains of other programs are left behind.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "file_io.h"
#include "memo_file.h"

namespace qm::table {

// The header length of a memo file kind (512 for 0x83 and 0xF5, else 24).
size_t MemoHeaderLength(uint8_t kind);

class TMemoCopy {
public:
    // Creates `path` (replacing it) with the header of `source`.
    TMemoCopy(TMemoFile& source, std::string path, std::string failText);
    ~TMemoCopy(); // removes the new file unless it was released
    TMemoCopy(const TMemoCopy&) = delete;
    TMemoCopy& operator=(const TMemoCopy&) = delete;

    // The new block of the memo at `block` (0 stays 0, the sign is kept); a
    // memo referenced more than once is copied once.
    int32_t Copy(int32_t block, uint32_t recNo);
    // Writes what is buffered and the next free block into the header, and flushes.
    void Finish();
    // After Finish: the open new file, which is no longer removed.
    std::unique_ptr<IFile> Release();
    const std::string& Path() const { return path_; }

    // The size a copy of memos with these stored sizes has at most.
    static uint64_t SizeFor(uint8_t kind, uint32_t blockSize, uint64_t storedTotalPadded);

private:
    void Flush();
    void Put(const std::string& bytes);

    TMemoFile& source_;
    std::string path_;
    std::string failText_;
    std::unique_ptr<IFile> file_;
    bool released_ = false;
    uint8_t kind_;
    uint32_t blockSize_;
    std::string header_;
    std::string buf_; // bytes not yet written, from offset bufAt_
    off_t bufAt_ = 0;
    off_t end_ = 0;    // end of what was copied
    bool any_ = false; // a memo was copied
    std::unordered_map<int32_t, int32_t> moved_;
};

} // namespace qm::table
