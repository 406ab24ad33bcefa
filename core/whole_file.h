#pragma once
// The one way the program writes a file whole (settings, the data-folder choice, exports,
// PDFs): the new bytes go to a file of their own beside the name (created new, never through
// a link), every write, fsync and close is checked, and only then is it renamed over the
// name and the folder flushed. A reader sees the old file or the whole new one; a full disk
// or any other failure leaves the old file as it was and removes the new one. A link at the
// name is replaced, never written through. Goes through the table engine's file seam, so the
// fault tests reach it as they reach the tables.
#include "core/error.h"

#include <QByteArray>
#include <QString>

namespace qm {

// The failure of a whole-file write: what() is "<path> could not be written: <reason>";
// Reason() alone, for callers that name the file in their own words.
class WholeFileError : public Error {
public:
    WholeFileError(const QString& path, const QString& reason)
        : Error(QStringLiteral("%1 could not be written: %2").arg(path, reason)), reason_(reason) {}
    const QString& Reason() const { return reason_; }

private:
    QString reason_;
};

// Throws WholeFileError on any failure. The folder must exist. The file takes its folder's
// access (see table::NewEntryAccess).
void WriteWholeFile(const QString& path, const QByteArray& bytes);

// Creates `path` and any missing folders above it, each with the access of the folder it is
// created in; throws Error naming the folder that could not be created.
void CreateFolders(const QString& path);

// Creates `path` (its parent must exist) as a folder only its owner may enter (0700), or
// narrows an existing one to that: the user's private data folder.
void CreatePrivateFolder(const QString& path);

} // namespace qm
