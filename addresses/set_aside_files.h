// Files moved out of the way while a replacement is written: they come back
// unless the replacement is committed, so a failed import over an existing
// address table leaves the old table as it was.
#pragma once

#include <QString>
#include <QStringList>

namespace qm::addresses {

class TSetAsideFiles {
public:
    // Renames each existing file to its name + ".old" (a stale one is replaced).
    // Throws std::runtime_error naming the file when a rename fails; the files
    // already moved come back.
    explicit TSetAsideFiles(const QStringList& files);
    // Without Commit: removes what was written under the original names and puts
    // the old files back.
    ~TSetAsideFiles();
    TSetAsideFiles(const TSetAsideFiles&) = delete;
    TSetAsideFiles& operator=(const TSetAsideFiles&) = delete;

    // The replacement is complete: the old files are removed.
    void Commit();
    static QString AsideName(const QString& file) { return file + QStringLiteral(".old"); }

private:
    void Restore() noexcept;
    QStringList moved_;
    bool committed_ = false;
};

} // namespace qm::addresses
