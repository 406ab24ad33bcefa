// TTzBlobStream: a memo field of the current record as a byte stream, for the
// bound memo control.
//
//   TTzBlobStream in(table, "Address", TTzBlobStream::TMode::Read);
//   std::string text(size_t(in.Size()), '\0');
//   in.Read(text.data(), text.size());
//
//   TTzBlobStream out(table, "Address", TTzBlobStream::TMode::Write);
//   out.Write(text.data(), text.size());
//   out.Finish(); // the new memo; the record is in edit state until posted
//
// A write stream that is destroyed without Finish() changes nothing; one that
// finishes without any write makes the memo empty (block 0).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm::table {

class TTzDbf;

class TTzBlobStream {
public:
    enum class TMode { Read, Write };
    static constexpr size_t kMaxStep = 32767; // bytes moved by one Read

    TTzBlobStream(TTzDbf& table, std::string_view field, TMode mode);
    TTzBlobStream(const TTzBlobStream&) = delete;
    TTzBlobStream& operator=(const TTzBlobStream&) = delete;

    size_t Read(char* buf, size_t n);
    size_t Write(const char* buf, size_t n);
    // origin: 0 from the start, 1 from the current position, 2 from the end.
    int64_t Seek(int64_t offset, int origin);
    int64_t Size() const { return int64_t(data_.size()); }
    void Finish();

private:
    TTzDbf& table_;
    std::string field_;
    TMode mode_;
    std::string data_;
    size_t pos_ = 0;
    bool finished_ = false;
};

} // namespace qm::table
