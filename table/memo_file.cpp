#include "memo_file.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "dbf_file.h"
#include "engine_error.h"

namespace qm::table {

namespace {

constexpr uint8_t kBlockHeaderMark[4] = {0xFF, 0xFF, 0x08, 0x00};

uint32_t GetLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t GetBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void PutBe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

[[noreturn]] void FailIo(int negErrno, TIoKind kind, std::string context) {
    Fail(CodeFromErrno(-negErrno, kind), std::move(context));
}

// A short transfer of a header is reported with 29 (write) or 30 (read).
[[noreturn]] void FailHeader(int negErrno, TIoKind kind, std::string context) {
    if (negErrno == -ENODATA || negErrno == -ENOSPC || negErrno == -EIO)
        Fail(kind == TIoKind::Read ? TErrorCode::DeviceReadFault : TErrorCode::DeviceWriteFault,
             std::move(context));
    FailIo(negErrno, kind, std::move(context));
}

} // namespace

uint8_t MemoKind(uint8_t v) {
    return (v == 0x83 || v == 0x8B || v == 0x8C || v == 0xF5) ? v : 0x8B;
}

std::string MemoFileName(const std::string& tablePath, uint8_t tableVersion) {
    size_t slash = tablePath.find_last_of('/');
    size_t dot = tablePath.find_last_of('.');
    std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                           ? tablePath.substr(0, dot)
                           : tablePath;
    return base + (tableVersion == 0xF5 ? ".FPT" : ".DBT");
}

void CreateMemofile(const std::string& path, uint8_t kind, uint32_t blockSize,
                    const std::string& baseName, const std::string& caller) {
    const std::string failText = "Cannot create memo file " + path + " [" + caller + "]";
    if (blockSize == 0) blockSize = kMemoDefaultBlockSize;
    std::vector<uint8_t> h;
    switch (kind) {
    case 0x83:
        h.assign(513, 0);
        PutLe32(h.data(), 1);
        h[512] = 0x1A;
        break;
    case 0xF5:
        h.assign(512, 0);
        PutBe32(h.data(), 511 / blockSize + 1);
        h[6] = uint8_t(blockSize >> 8);
        h[7] = uint8_t(blockSize);
        break;
    default:
        h.assign(24, 0);
        PutLe32(h.data(), 1);
        std::memcpy(&h[8], baseName.data(), std::min<size_t>(baseName.size(), 8));
        h[18] = 0x02;
        h[19] = 0x01;
        h[20] = uint8_t(blockSize);
        h[21] = uint8_t(blockSize >> 8);
        break;
    }
    int err = 0;
    auto f = FileSystem().Open(path, TOpenMode::CreateTruncate, err);
    if (!f) Fail(CodeFromErrno(err, TIoKind::Open), failText);
    if (int r = WriteAll(*f, h.data(), h.size(), 0); r < 0) {
        f.reset();
        FileSystem().Remove(path);
        FailIo(r, TIoKind::Write, failText);
    }
}

std::vector<std::string> SplitMemoText(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && lines.size() < size_t(kMemoMaxLines)) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool pair = i + 1 < n && text[i + 1] == '\n';
        if (c == 0x0D && pair) {
            lines.push_back(std::move(line));
            line.clear();
            i += 2;
        } else if (c == 0x8D && pair) {
            i += 2; // soft return: the line goes on
        } else {
            line.push_back(char(c));
            ++i;
        }
    }
    if (!line.empty() && lines.size() < size_t(kMemoMaxLines)) lines.push_back(std::move(line));
    return lines;
}

std::string JoinMemoLines(const std::vector<std::string>& lines) {
    std::string text;
    size_t total = 0;
    for (const std::string& l : lines) total += l.size() + 2;
    text.reserve(total);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

bool LooksLikeText(std::string_view bytes) {
    for (unsigned char c : bytes) {
        if (c >= 0x20) continue;
        if (c == '\t' || c == '\n' || c == '\r' || c == 0x0F || c == 0x14 || c == 0x15) continue;
        return false;
    }
    return true;
}

void TMemoFile::Open(const std::string& tablePath, uint8_t tableVersion, bool shared,
                     bool readOnly) {
    std::string path = MemoFileName(tablePath, tableVersion);
    if (file_) Fail(TErrorCode::MemoAlreadyOpen, path + " [USE]");
    // Other programs on this system may have written the extension in lower case.
    if (!FileSystem().Exists(path)) {
        std::string lower = path;
        for (size_t i = lower.size() - 3; i < lower.size(); ++i) lower[i] = char(lower[i] | 0x20);
        if (FileSystem().Exists(lower)) path = lower;
    }
    path_ = path;
    kind_ = MemoKind(tableVersion);
    shared_ = shared;
    readOnly_ = readOnly;
    int err = 0;
    std::unique_ptr<IFile> f;
    // The file at the path now: a pack may have swapped a compacted one in.
    for (int attempt = 1;; ++attempt) {
        f = FileSystem().Open(path_, readOnly ? TOpenMode::ReadOnly : TOpenMode::ReadWrite, err);
        if (!f) Fail(CodeFromErrno(err, TIoKind::Open), "Memo file not found: " + path_ + " [USE]");
        if (StillAtPath(*f, path_)) break;
        if (attempt >= kReopenTries)
            Fail(TErrorCode::SharingViolation, "Failure to open " + path_ + " [USE]");
    }
    blockSize_ = kMemoDefaultBlockSize;
    if (kind_ == 0xF5) {
        uint8_t h[8];
        if (int r = ReadAll(*f, h, sizeof h, 0); r < 0)
            FailHeader(r, TIoKind::Read, path_ + " [ReadGroupHeader()]");
        uint32_t bs = uint32_t(h[6]) << 8 | h[7];
        if (bs != 0) blockSize_ = bs;
    } else if (kind_ != 0x83) {
        uint8_t h[24];
        if (int r = ReadAll(*f, h, sizeof h, 0); r < 0)
            FailHeader(r, TIoKind::Read, path_ + " [ReadGroupHeader()]");
        uint32_t bs = uint32_t(h[20]) | uint32_t(h[21]) << 8;
        if (bs != 0) blockSize_ = bs;
    }
    file_ = std::move(f);
    if (!shared && !readOnly) SettleNextFree();
}

void TMemoFile::SettleNextFree() {
    const std::string failText = path_ + " [UpdateMemoHeader()]";
    const off_t size = file_->Size();
    if (size < 0) FailIo(int(size), TIoKind::Read, failText);
    uint8_t nb[4];
    if (int r = ReadAll(*file_, nb, sizeof nb, 0); r < 0) FailHeader(r, TIoKind::Read, failText);
    const uint64_t next = kind_ == 0xF5 ? GetBe32(nb) : GetLe32(nb);
    const uint64_t bs = blockSize_;
    if (next != 0 && next * bs + bs > uint64_t(size)) return;
    const uint32_t past = uint32_t(std::min<uint64_t>((uint64_t(size) + bs - 1) / bs, UINT32_MAX));
    if (kind_ == 0xF5)
        PutBe32(nb, past);
    else
        PutLe32(nb, past);
    if (int r = WriteAll(*file_, nb, sizeof nb, 0); r < 0) FailHeader(r, TIoKind::Write, failText);
}

std::string TMemoFile::CheckReference(int32_t block) {
    if (block == 0) return {};
    const off_t size = file_->Size();
    if (size < 0) return "cannot read the memo file";
    const off_t offset = off_t(block < 0 ? -int64_t(block) : int64_t(block)) * blockSize_;
    if (offset >= size - 1) return "block " + std::to_string(block) + " beyond the end of the file";
    uint8_t h[8] = {};
    const bool full = ReadAll(*file_, h, sizeof h, offset) == 0;
    uint64_t length = 0;
    if (kind_ == 0xF5) {
        if (!full) return "block " + std::to_string(block) + " holds no memo header";
        length = GetBe32(h + 4) + 8ull;
    } else if (full && std::memcmp(h, kBlockHeaderMark, 4) == 0) {
        length = GetLe32(h + 4);
        if (length < 8) return "block " + std::to_string(block) + " has a length below 8";
    } else {
        // Text up to 0x1A: a file cut short ends before the mark.
        char chunk[4096];
        for (off_t pos = offset; pos < size; pos += off_t(sizeof chunk)) {
            const size_t want = size_t(std::min<off_t>(sizeof chunk, size - pos));
            if (ReadAll(*file_, chunk, want, pos) < 0) return "cannot read the memo file";
            if (std::memchr(chunk, 0x1A, want)) return {};
        }
        return "block " + std::to_string(block) + " has no end mark (the file is cut short)";
    }
    if (offset + off_t(length) > size)
        return "block " + std::to_string(block) + " length " + std::to_string(length) +
               " runs past the end of the file";
    return {};
}

std::string TMemoFile::ReadStored(int32_t block, uint32_t recNo) {
    const off_t offset = off_t(block < 0 ? -int64_t(block) : int64_t(block)) * blockSize_;
    uint8_t h[8] = {};
    const bool full = ReadAll(*file_, h, sizeof h, offset) == 0;
    std::string text = Read(block, recNo);
    if (kind_ == 0xF5 || (full && std::memcmp(h, kBlockHeaderMark, 4) == 0)) {
        // The header keeps its type word; the length is the one of what was read.
        if (kind_ == 0xF5)
            PutBe32(h + 4, uint32_t(text.size()));
        else
            PutLe32(h + 4, uint32_t(text.size() + 8));
        text.insert(0, reinterpret_cast<const char*>(h), 8);
        return text;
    }
    text.append("\x1A\x1A");
    return text;
}

uint64_t TMemoFile::StoredSize(int32_t block) {
    const off_t offset = off_t(block < 0 ? -int64_t(block) : int64_t(block)) * blockSize_;
    uint8_t h[8] = {};
    if (ReadAll(*file_, h, sizeof h, offset) == 0) {
        if (kind_ == 0xF5) return uint64_t(GetBe32(h + 4)) + 8;
        if (std::memcmp(h, kBlockHeaderMark, 4) == 0) return std::max<uint32_t>(GetLe32(h + 4), 8);
    }
    return Read(block, 0).size() + 2;
}

std::string TMemoFile::HeaderBytes(size_t length) {
    std::string h(length, '\0');
    const off_t size = file_->Size();
    if (size < 0) FailIo(int(size), TIoKind::Read, path_ + " [ReadGroupHeader()]");
    h.resize(std::min<size_t>(length, size_t(size)));
    if (int r = ReadAll(*file_, h.data(), h.size(), 0); r < 0)
        FailHeader(r, TIoKind::Read, path_ + " [ReadGroupHeader()]");
    h.resize(length, '\0');
    return h;
}

std::string TMemoFile::Read(int32_t block, uint32_t recNo) {
    if (block == 0) return {};
    const off_t size = file_->Size();
    if (size < 0) FailIo(int(size), TIoKind::Read, path_ + " [GetMemo]");
    const off_t offset = off_t(block < 0 ? -int64_t(block) : int64_t(block)) * blockSize_;
    if (offset >= size - 1)
        Fail(TErrorCode::InvalidMemoAddress,
             path_ + " Record # " + std::to_string(recNo) + " [GetMemo]");
    try {
        uint8_t h[8] = {};
        const off_t avail = size - offset;
        const size_t got = size_t(std::min<off_t>(avail, 8));
        if (int r = ReadAll(*file_, h, got, offset); r < 0)
            FailIo(r, TIoKind::Read, path_ + " [GetMemo]");
        off_t start = offset;
        off_t length = -1; // unknown: up to 0x1A
        if (kind_ == 0xF5) {
            if (got < 8)
                Fail(TErrorCode::InvalidMemoAddress,
                     path_ + " Record # " + std::to_string(recNo) + " [GetMemo]");
            start = offset + 8;
            length = off_t(GetBe32(h + 4));
        } else if (got == 8 && std::memcmp(h, kBlockHeaderMark, 4) == 0) {
            start = offset + 8;
            uint32_t l = GetLe32(h + 4);
            length = l >= 8 ? off_t(l - 8) : 0;
        }
        // A length running past the end of the file reads what is there.
        if (length >= 0) {
            length = std::min<off_t>(length, size - start);
            std::string text(size_t(length), '\0');
            if (int r = ReadAll(*file_, text.data(), text.size(), start); r < 0)
                FailIo(r, TIoKind::Read, path_ + " [GetMemo]");
            return text;
        }
        std::string text;
        char chunk[4096];
        off_t pos = start;
        while (pos < size) {
            const size_t want = size_t(std::min<off_t>(sizeof chunk, size - pos));
            if (int r = ReadAll(*file_, chunk, want, pos); r < 0)
                FailIo(r, TIoKind::Read, path_ + " [GetMemo]");
            const void* end = std::memchr(chunk, 0x1A, want);
            if (end) {
                text.append(chunk, size_t(static_cast<const char*>(end) - chunk));
                break;
            }
            text.append(chunk, want);
            pos += off_t(want);
        }
        return text;
    } catch (const std::bad_alloc&) {
        Fail(TErrorCode::InsufficientMemory, "Reading memo field in " + path_);
    }
}

void TMemoFile::LockMemo(const std::string& caller) {
    if (!shared_) return;
    for (int attempt = 1;; ++attempt) {
        int r = file_->Lock(kMemoLockOffset, 1, TLockKind::Write);
        if (r == 0) return;
        if (attempt >= kMemoLockTries || (r != -EAGAIN && r != -EACCES))
            Fail(TErrorCode::MemoLockFailed, path_ + " [" + caller + "]");
        ::usleep(20000);
    }
}

void TMemoFile::UnlockMemo() {
    if (!shared_) return;
    if (file_->Lock(kMemoLockOffset, 1, TLockKind::Unlock) != 0)
        Fail(TErrorCode::MemoUnlockFailed, path_ + " [EditMemo/CloseMemo]");
}

int32_t TMemoFile::Append(std::string_view text, const std::string& caller) {
    if (text.empty()) return 0;
    if (readOnly_) Fail(TErrorCode::AccessDenied, path_ + " [" + caller + "]");
    // Short texts skip the question: a full disk fails their write, which is
    // taken back as a whole.
    struct statvfs vfs {};
    if (text.size() >= 1024 && ::statvfs(FolderOf(path_).c_str(), &vfs) == 0) {
        const unsigned long long freeKb = (unsigned long long)vfs.f_bavail * vfs.f_frsize / 1024ull;
        if (text.size() / 1024 >= freeKb) Fail(TErrorCode::DiskFull, path_ + " [" + caller + "]");
    }

    // Releases the memo lock however the write ends.
    struct Locked {
        TMemoFile& m;
        bool held = false;
        ~Locked() {
            if (held) m.file_->Lock(kMemoLockOffset, 1, TLockKind::Unlock);
        }
    } locked{*this};
    LockMemo(caller);
    locked.held = true;

    const off_t size = file_->Size();
    if (size < 0) FailIo(int(size), TIoKind::Read, path_ + " [" + caller + "]");
    const off_t bs = blockSize_;
    off_t start;
    if (kind_ == 0x83 && size == 513) {
        start = 512;
    } else {
        start = (size + bs - 1) / bs * bs;
    }
    const int64_t blockNo = start / bs;
    if (blockNo > INT32_MAX || text.size() > UINT32_MAX - 8u)
        Fail(TErrorCode::DiskFull, path_ + " [" + caller + "]");

    // One write: zero fill up to the block, the memo header, the text.
    std::string buf;
    const size_t pad = start > size ? size_t(start - size) : 0;
    const off_t writeAt = start > size ? size : start;
    try {
        buf.reserve(pad + 8 + text.size() + size_t(bs));
        buf.assign(pad, '\0');
        uint8_t h[8];
        if (kind_ == 0xF5) {
            PutBe32(h, 1);
            PutBe32(h + 4, uint32_t(text.size()));
            buf.append(reinterpret_cast<char*>(h), 8);
            buf.append(text);
        } else if (kind_ == 0x83) {
            // Two end marks: readers of this layout look for the pair.
            buf.append(text);
            buf.append("\x1A\x1A");
            const size_t used = text.size() + 2;
            if (used % size_t(bs)) buf.append(size_t(bs) - used % size_t(bs), '\0');
        } else {
            std::memcpy(h, kBlockHeaderMark, 4);
            PutLe32(h + 4, uint32_t(text.size() + 8));
            buf.append(reinterpret_cast<char*>(h), 8);
            buf.append(text);
        }
    } catch (const std::bad_alloc&) {
        Fail(TErrorCode::InsufficientMemory, path_ + " [CreateMemoDescriptor]");
    }
    if (int r = WriteAll(*file_, buf.data(), buf.size(), writeAt); r < 0) {
        // Take back what reached the file: nothing refers to it yet.
        if (writeAt >= size) file_->Truncate(size);
        FailIo(r, TIoKind::Write, path_ + " [EditMemo/CloseMemo]");
    }
    if (writeThrough_) {
        if (int r = file_->Sync(); r < 0)
            FailIo(r, TIoKind::Write, path_ + " [EditMemo/CloseMemo]");
    }
    const off_t end = writeAt + off_t(buf.size());
    const uint32_t next = uint32_t((end + bs - 1) / bs);
    uint8_t nb[4];
    if (kind_ == 0xF5)
        PutBe32(nb, next);
    else
        PutLe32(nb, next);
    if (int r = WriteAll(*file_, nb, 4, 0); r < 0)
        FailHeader(r, TIoKind::Write, path_ + " [UpdateMemoHeader()]");
    locked.held = false;
    UnlockMemo();
    return int32_t(blockNo);
}

} // namespace qm::table
