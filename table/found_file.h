// Judging a file the engine found on disk (a pack temporary named by a marker)
// before renaming it over a table or memo file. The file is opened without
// following a link and judged by the open handle: a link, a second name of a
// file elsewhere, a stranger's file or one whose header does not fit its size
// is not one of our copies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_io.h"

namespace qm::table {

// What a file found beside a table must be.
struct TFoundFileRules {
    uint64_t device = 0;          // the table's device (a rename never crosses one)
    std::vector<uint32_t> owners; // who may own it (the marker's writer, the old file's owner)
};

// Empty when `f` may be a table copy written by a pack: a regular file with
// one name, on the device, of an owner the rules allow, whose dBase header
// agrees with its size. Else the fault in words.
std::string TableCopyFault(IFile& f, const TFoundFileRules& rules);
// The same for a memo copy of the layout `kind` (0x83, 0x8B, 0x8C, 0xF5): its
// header's next free block agrees with its size.
std::string MemoCopyFault(IFile& f, uint8_t kind, const TFoundFileRules& rules);

// Whether `path` itself (a link not followed) is still the file `f` has open:
// checked just before a rename by name.
bool StillNamed(IFile& f, const std::string& path);

} // namespace qm::table
