#include "blob_stream.h"

#include <algorithm>
#include <cstring>

#include "tzdbf.h"

namespace qm::table {

TTzBlobStream::TTzBlobStream(TTzDbf& table, std::string_view field, TMode mode)
    : table_(table), field_(field), mode_(mode) {
    if (mode_ == TMode::Read) data_ = table_.GetMemoBytes(field_);
}

size_t TTzBlobStream::Read(char* buf, size_t n) {
    if (pos_ >= data_.size()) return 0;
    n = std::min({n, kMaxStep, data_.size() - pos_});
    std::memcpy(buf, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

size_t TTzBlobStream::Write(const char* buf, size_t n) {
    if (mode_ != TMode::Write || finished_) throw EDatabaseError("Blob stream is not writable");
    if (pos_ > data_.size()) data_.resize(pos_, '\0');
    data_.replace(pos_, std::min(n, data_.size() - pos_), buf, n);
    pos_ += n;
    return n;
}

int64_t TTzBlobStream::Seek(int64_t offset, int origin) {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? int64_t(pos_) : int64_t(data_.size());
    pos_ = size_t(std::max<int64_t>(0, base + offset));
    return int64_t(pos_);
}

void TTzBlobStream::Finish() {
    if (mode_ != TMode::Write || finished_) return;
    finished_ = true;
    table_.SetMemoBytes(field_, data_);
}

} // namespace qm::table
