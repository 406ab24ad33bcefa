// Swapping a packed table and its packed memo file in as one step.
//
// Both new files are written whole under temporary names beside the old ones
// and flushed. Then a marker file beside the table names the pair; once the
// marker is on disk the swap is decided and goes forward: the memo file is
// renamed over the old one, then the table, then the marker goes. A crash in
// between leaves the marker, and the next open of the table finishes the
// renames before it reads anything, so every memo reference it sees belongs
// to the memo file beside it: the old pair before the marker, the new after.
#pragma once

#include <sys/types.h>

#include <string>

#include "file_io.h"

namespace qm::table {

// The files of one swap, as full paths in one folder.
struct TPackPair {
    std::string table;
    std::string tableTemp;
    std::string memo;
    std::string memoTemp;
};

// The marker of a table (full path of the table file).
std::string PackMarkerName(const std::string& tablePath);

// Writes the marker under a temporary name, flushes it and gives it its name.
// Returns true once the marker is in place (the swap is decided); false when
// it could not be written, in which case nothing of it is left.
bool PublishPackMarker(const TPackPair& pair, int& err);

// Removes the marker after a finished swap and flushes the folder; 0 or -errno.
int RemovePackMarker(const std::string& tablePath);

// Called by every open: when the marker of the table exists and no other copy
// has the table open, finishes the renames it names and removes it. Another
// copy holding the table (the packing one) leaves it alone. A marker that
// cannot be read or a rename that fails is an error naming the table.
void FinishInterruptedPack(const std::string& tablePath, const std::string& display);

// Takes an open's sharing lock of `kind` on the table file; 0 or -errno. A copy
// finishing a swap holds the table for a few file operations only, marked by
// the swap byte, so a lock that meets it is tried again until that copy lets
// go (up to the lock wait). Any other holder fails it at once.
int LockSharingBesideSwap(IFile& table, TLockKind kind);

} // namespace qm::table
