// Temporary files a killed copy leaves beside a table: pack copies of the
// table and its memo file (NAME.packPID), a pack marker being written
// (NAME.packswap.newPID) and an index being built (STEM.MDX.PID.tmp).
#pragma once

#include <string>

namespace qm::table {

// Removes the temporaries of the table `table` (and of its memo file `memo`,
// if not empty) whose copy is no longer running, each reported in one engine
// message naming it. A temporary of a running copy is left alone. Only for a
// copy that holds the table exclusively: then no other copy works on them, and
// one of this process (named with its own id) is a leftover too.
void RemoveLeftoverTemporaries(const std::string& table, const std::string& memo);

} // namespace qm::table
