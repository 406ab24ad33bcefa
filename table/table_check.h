// Consistency check of a dBase table file, byte by byte against its header:
// the header count against the file size, the end-of-file mark, deletion
// flags, field bytes that do not parse for their type, and memo references
// (block inside the memo file, length plausible).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qm::table {

struct TCheckReport {
    std::vector<std::string> findings; // one line per inconsistency (at most kMaxFindings)
    size_t total = 0;                  // findings, including those not listed
    std::vector<std::string> notes;    // sound but unusual (padding other programs write)
    bool Clean() const { return total == 0; }
};

inline constexpr size_t kMaxFindings = 1000;

// Opens the table through the engine (shared, read-only; an engine error is
// thrown as EZezudError) and reads every record once.
TCheckReport CheckTable(const std::string& fileName);

class TDbfFile;

// Walks every tag of an index file of the open table page by page: page
// bounds, key counts, no page reached twice, key order, and with `keys` every
// record's key present once (a record marked deleted may have none) and no key
// for a record the table does not hold. Each fault goes to `add`; false when
// there was one. Records are counted by `records`.
bool CheckIndexFile(const std::string& mdxPath, TDbfFile& table, uint32_t records, bool keys,
                    const std::function<void(const std::string&)>& add);

// The stored bytes of one field are a valid value of its type (C always is).
bool ValidFieldBytes(char type, const char* bytes, int width);

} // namespace qm::table
