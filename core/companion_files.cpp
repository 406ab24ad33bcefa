#include "core/companion_files.h"

#include "core/data_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace qm {
namespace {

QString& Override() {
    static QString folder;
    return folder;
}

} // namespace

QStringList CompanionFolders() {
    if (!Override().isEmpty()) return {Override()};
    const QDir bin(QCoreApplication::applicationDirPath());
    QStringList folders{bin.absolutePath(),
                        QDir::cleanPath(bin.filePath(QStringLiteral(QM_SHARE_FROM_BIN)))};
    const QString installed = QStringLiteral(QM_SHARE_INSTALLED);
    if (!folders.contains(installed)) folders << installed;
    return folders;
}

QString CompanionFile(const QString& name) {
    const QStringList folders = CompanionFolders();
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile()) return path;
    }
    return QDir(folders.first()).filePath(name);
}

QString ReportProjectFile() {
    const QString own = DataFolder() + QStringLiteral("Quill3.rav");
    if (QFileInfo(own).isFile()) return own;
    return CompanionFile(QStringLiteral("Quill3.rav"));
}

void SetCompanionFolderOverride(const QString& folder) {
    Override() = folder;
}

} // namespace qm
