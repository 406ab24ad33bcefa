#pragma once
// The mailing log's file as it stands, read whole in one pass under a shared lock on the
// table's append byte: every copy appends under a write lock there, so no append is half
// written in what the read gives, and readers do not hold each other up.
//
//   const std::string image = ReadLogFileImage(log.DbfFileName());

#include <stdexcept>
#include <string>

namespace qm {

class LogFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The bytes of the file at `path`, header to end. Throws LogFileError naming the file when it
// cannot be opened or read, or when another copy keeps the append lock past the engine's wait.
std::string ReadLogFileImage(const std::string& path);

} // namespace qm
