#include "memo_pack.h"

#include <cerrno>

#include "engine_error.h"

namespace qm::table {

namespace {

constexpr size_t kFlushAt = size_t(1) << 20;

[[noreturn]] void FailWrite(int negErrno, const std::string& context) {
    if (negErrno == -ENOSPC) Fail(TErrorCode::MemoPackNoSpace, context);
    Fail(CodeFromErrno(-negErrno, TIoKind::Write), context);
}

off_t RoundUp(off_t v, off_t to) {
    return (v + to - 1) / to * to;
}

} // namespace

size_t MemoHeaderLength(uint8_t kind) {
    return (kind == 0x83 || kind == 0xF5) ? 512 : 24;
}

uint64_t TMemoCopy::SizeFor(uint8_t kind, uint32_t blockSize, uint64_t storedTotalPadded) {
    return uint64_t(RoundUp(off_t(MemoHeaderLength(kind)), off_t(blockSize))) + storedTotalPadded +
           1;
}

TMemoCopy::TMemoCopy(TMemoFile& source, std::string path, std::string failText)
    : source_(source), path_(std::move(path)), failText_(std::move(failText)), kind_(source.Kind()),
      blockSize_(source.BlockSize()) {
    // The old header is kept (the base name, the block size, what other
    // programs keep there) but for the next free block, which starts any free
    // chain: the copy has none.
    header_ = source_.HeaderBytes(MemoHeaderLength(kind_));
    int err = 0;
    file_ = FileSystem().Open(path_, TOpenMode::CreateTruncate, err);
    if (!file_) Fail(CodeFromErrno(err, TIoKind::Open), failText_);
    buf_ = header_;
    bufAt_ = 0;
    end_ = off_t(header_.size());
}

TMemoCopy::~TMemoCopy() {
    if (released_) return;
    file_.reset();
    FileSystem().Remove(path_);
}

void TMemoCopy::Flush() {
    if (buf_.empty()) return;
    if (int r = WriteAll(*file_, buf_.data(), buf_.size(), bufAt_); r < 0) FailWrite(r, failText_);
    bufAt_ += off_t(buf_.size());
    buf_.clear();
}

void TMemoCopy::Put(const std::string& bytes) {
    const off_t bs = blockSize_;
    const off_t start = RoundUp(end_, bs);
    buf_.append(size_t(start - end_), '\0');
    buf_.append(bytes);
    end_ = start + off_t(bytes.size());
    // The oldest layout fills the last block of a memo with zeros.
    if (kind_ == 0x83 && end_ % bs) {
        buf_.append(size_t(bs - end_ % bs), '\0');
        end_ = RoundUp(end_, bs);
    }
    if (buf_.size() >= kFlushAt) Flush();
}

int32_t TMemoCopy::Copy(int32_t block, uint32_t recNo) {
    if (block == 0) return 0;
    const int32_t key = block < 0 ? -block : block;
    auto it = moved_.find(key);
    if (it == moved_.end()) {
        const off_t start = RoundUp(end_, off_t(blockSize_));
        const int64_t newBlock = start / off_t(blockSize_);
        if (newBlock > INT32_MAX) Fail(TErrorCode::MemoPackNoSpace, failText_);
        Put(source_.ReadStored(key, recNo));
        any_ = true;
        it = moved_.emplace(key, int32_t(newBlock)).first;
    }
    return block < 0 ? -it->second : it->second;
}

void TMemoCopy::Finish() {
    const off_t bs = blockSize_;
    uint32_t next;
    if (!any_ && kind_ == 0x83) {
        // As created: the header block and one end mark.
        buf_.push_back('\x1A');
        next = 1;
    } else {
        next = uint32_t(RoundUp(end_, bs) / bs);
    }
    Flush();
    uint8_t nb[4];
    for (int i = 0; i < 4; ++i)
        nb[i] = kind_ == 0xF5 ? uint8_t(next >> (24 - 8 * i)) : uint8_t(next >> (8 * i));
    if (int r = WriteAll(*file_, nb, 4, 0); r < 0) FailWrite(r, failText_);
    if (int r = file_->Sync(); r < 0) FailWrite(r, failText_);
}

std::unique_ptr<IFile> TMemoCopy::Release() {
    released_ = true;
    return std::move(file_);
}

} // namespace qm::table
