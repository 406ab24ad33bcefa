#include "core/data_folder_copy.h"

#include "core/ini_profile.h"
#include "core/whole_file.h"
#include "file_io.h"
#include "table_check.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <vector>

namespace qm {
namespace {

const QString kSettings = QStringLiteral("quill4.ini");
const QStringList kFolders = {QStringLiteral("Reports"), QStringLiteral("Addresses")};

DataFolderCopyError Failure(const QString& path, const QString& why) {
    return DataFolderCopyError(QStringLiteral("%1: %2").arg(path, why).toStdString());
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw Failure(path, f.errorString());
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) throw Failure(path, f.errorString());
    return bytes;
}

// Undoes a copy that did not finish: removes what it created, newest first.
class CreatedEntries {
public:
    ~CreatedEntries() {
        if (kept_) return;
        for (auto it = paths_.rbegin(); it != paths_.rend(); ++it) {
            if (QFileInfo(*it).isDir())
                QDir().rmdir(*it);
            else
                QFile::remove(*it);
        }
    }
    void Add(const QString& path) { paths_.push_back(path); }
    void Keep() { kept_ = true; }

private:
    std::vector<QString> paths_;
    bool kept_ = false;
};

// The copies take the access of the new folder (a shared folder's group), not the old one's.
void CopyFile(const QString& source, const QString& target, CreatedEntries& created) {
    const QByteArray bytes = ReadAll(source);
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        throw Failure(target, QStringLiteral("a file of that name appeared during the copy"));
    try {
        WriteWholeFile(target, bytes);
    } catch (const WholeFileError& e) {
        throw Failure(target, e.Reason());
    }
    created.Add(target);
}

void MakeFolder(const QString& path, CreatedEntries& created) {
    if (QFileInfo::exists(path) ||
        table::FileSystem().CreateFolder(QFile::encodeName(path).toStdString()) != 0)
        throw Failure(path, QStringLiteral("the folder cannot be created"));
    created.Add(path);
}

// The files below folder, as paths relative to it; sub-folders come before their files.
QStringList Entries(const QString& folder) {
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) entries << QDir(folder).relativeFilePath(it.next());
    entries.sort(); // "a" before "a/b"
    return entries;
}

bool IsTable(const QString& path) {
    return path.endsWith(QStringLiteral(".dbf"), Qt::CaseInsensitive);
}

void PointAddressesAtNewFolder(const QString& from, const QString& to) {
    const QString path = QDir(to).filePath(kSettings);
    try {
        IniProfile ini = IniProfile::Load(path);
        const auto stored = ini.Value(QStringLiteral("System Path"), QStringLiteral("Default"));
        const QString oldAddresses =
            QDir::cleanPath(QDir(from).filePath(QStringLiteral("Addresses")));
        if (!stored || QDir::cleanPath(*stored) != oldAddresses) return;
        ini.WriteString(QStringLiteral("System Path"), QStringLiteral("Default"),
                        QDir::cleanPath(QDir(to).filePath(QStringLiteral("Addresses"))));
        ini.Save(path);
    } catch (const IniError& e) {
        throw Failure(path, QString::fromUtf8(e.what()));
    }
}

} // namespace

bool IsEmptyFolder(const QString& folder) {
    const QDir dir(folder);
    return dir.exists() &&
           dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
               .isEmpty();
}

DataFolderCopyResult CopyDataFolder(const QString& from, const QString& to) {
    if (!IsEmptyFolder(to)) throw Failure(to, QStringLiteral("the folder is not empty"));
    const QDir source(from), target(to);
    CreatedEntries created;
    QStringList copied; // relative to both folders

    if (QFileInfo(source.filePath(kSettings)).isFile()) {
        CopyFile(source.filePath(kSettings), target.filePath(kSettings), created);
        copied << kSettings;
    }
    for (const QString& folder : kFolders) {
        if (!QFileInfo(source.filePath(folder)).isDir()) continue;
        MakeFolder(target.filePath(folder), created);
        for (const QString& entry : Entries(source.filePath(folder))) {
            const QString relative = folder + u'/' + entry;
            const QFileInfo info(source.filePath(relative));
            if (info.isDir()) {
                MakeFolder(target.filePath(relative), created);
            } else if (info.isFile()) {
                CopyFile(info.filePath(), target.filePath(relative), created);
                copied << relative;
            } else {
                throw Failure(info.filePath(), QStringLiteral("neither a file nor a folder"));
            }
        }
    }

    // Read everything back: the bytes, then every table through the engine.
    DataFolderCopyResult result;
    for (const QString& relative : copied) {
        if (ReadAll(source.filePath(relative)) != ReadAll(target.filePath(relative)))
            throw Failure(target.filePath(relative),
                          QStringLiteral("the copy differs from the original"));
        ++result.files;
        if (!IsTable(relative)) continue;
        const QString copy = target.filePath(relative);
        try {
            // The copy reads as the original does (a flaw of the original is no copy fault).
            const table::TCheckReport copyReport = table::CheckTable(copy.toStdString());
            const table::TCheckReport ownReport =
                table::CheckTable(source.filePath(relative).toStdString());
            if (copyReport.total != ownReport.total)
                throw Failure(copy, QString::fromStdString(copyReport.findings.front()));
        } catch (const DataFolderCopyError&) {
            throw;
        } catch (const std::exception& e) {
            throw Failure(copy, QString::fromUtf8(e.what()));
        }
        ++result.tables;
    }
    if (copied.contains(kSettings)) PointAddressesAtNewFolder(from, to);
    created.Keep();
    return result;
}

} // namespace qm
