#pragma once
// Moving the data to a new, empty data folder: quill4.ini, Reports/ and Addresses/ are
// copied, then read back (every file byte for byte, every table through the engine) before
// the caller switches. The old folder is only read.
#include <QString>

#include <stdexcept>

namespace qm {

class DataFolderCopyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when folder exists and holds no entry at all.
bool IsEmptyFolder(const QString& folder);

struct DataFolderCopyResult {
    int files = 0;  // files copied
    int tables = 0; // tables read back through the engine
};

// Copies from the data folder `from` into the empty folder `to`. A [System Path] Default in
// the copied quill4.ini that names from's Addresses folder is pointed at to's. On any error
// the copied entries are removed again and DataFolderCopyError tells the file and the cause.
DataFolderCopyResult CopyDataFolder(const QString& from, const QString& to);

} // namespace qm
