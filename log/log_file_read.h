#pragma once
// The mailing log's file as it stands, read in one sequential pass under a shared lock on the
// table's append byte: every copy appends under a write lock there, so no append is half
// written in what the pass sees, and readers do not hold each other up. The records come in
// blocks of whole records through one reused buffer.
//
//   struct Count : LogFileVisitor { ... };
//   ReadLogFile(log.DbfFileName(), count);

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qm {

class LogFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class LogFileVisitor {
public:
    virtual ~LogFileVisitor() = default;
    // The header: its first 32 bytes, or the whole header when those give a header length
    // and a record length that fit the file (then Record and Tail follow); `fileSize` bytes in
    // all.
    virtual void Header(std::string_view header, uint64_t fileSize) = 0;
    // Every whole record after the header in file order, n from 1.
    virtual void Record(uint64_t n, std::string_view record) = 0;
    // What follows the last whole record (shorter than a record; often the end-of-file byte).
    virtual void Tail(std::string_view rest) = 0;
};

// Header length and record length as the header's bytes give them (0 when too short).
size_t HeaderLengthOf(std::string_view header);
size_t RecordLengthOf(std::string_view header);

// Reads the file at `path` into `visitor`. Throws LogFileError naming the file when it cannot be
// opened or read, or when another copy keeps the append lock past the engine's wait.
void ReadLogFile(const std::string& path, LogFileVisitor& visitor);

} // namespace qm
