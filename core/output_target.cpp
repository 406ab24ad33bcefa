#include "core/output_target.h"

#include "core/companion_files.h"
#include "core/data_folder.h"
#include "core/settings.h"
#include "core/settings_lock.h"
#include "engine_util.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace qm {

namespace {

// The path with its folder resolved (links and "..") and the last name kept as given.
QString ResolvedFolder(const QString& path) {
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                            : QDir(folder).filePath(info.fileName());
}

// What a write that followed links would reach: the final target of the whole chain.
QString LinkTarget(const QString& path) {
    std::unique_ptr<char, decltype(&std::free)> real(
        ::realpath(QFile::encodeName(path).constData(), nullptr), &std::free);
    if (real) return QFile::decodeName(real.get());
    // Dangling: where the chain ends, as far as it can be read.
    QString at = path;
    for (int hops = 0; hops < 40 && QFileInfo(at).isSymLink(); ++hops)
        at = QFileInfo(at).symLinkTarget();
    return ResolvedFolder(at);
}

// A dBase table's header: a known version byte, a valid update date, header and record
// lengths that fit the file.
bool LooksLikeTable(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray h = f.read(32);
    if (h.size() < 32) return false;
    const auto u = [&h](int i) { return uint8_t(h[i]); };
    static const uint8_t versions[] = {0x02, 0x03, 0x04, 0x05, 0x30, 0x31, 0x43,
                                       0x63, 0x83, 0x8B, 0xCB, 0xE5, 0xF5, 0xFB};
    if (std::find(std::begin(versions), std::end(versions), u(0)) == std::end(versions))
        return false;
    if (u(2) < 1 || u(2) > 12 || u(3) < 1 || u(3) > 31) return false;
    const qint64 header = u(8) | (u(9) << 8);
    const qint64 record = u(10) | (u(11) << 8);
    return header >= 33 && record >= 1 && header <= f.size();
}

// The data folder's own files, resolved like a target, with what they are to the user.
QList<std::pair<QString, QString>> OwnFiles() {
    const QString settings = SettingsFilePath();
    QList<std::pair<QString, QString>> files = {
        {settings, QStringLiteral("the settings file")},
        {SettingsLock::LockFilePath(settings), QStringLiteral("the lock of the mailer numbers")},
        {DataFolder() + QStringLiteral("Reports/report3.dbf"),
         QStringLiteral("the mailing log itself")},
        {DataFolder() + QStringLiteral("Quill3.rav"), QStringLiteral("the report project")},
        {ReportProjectFile(), QStringLiteral("the report project")},
        {CompanionFile(QStringLiteral("Quill3.rav")), QStringLiteral("the report project")},
        {DataFolderConfigPath(), QStringLiteral("the data-folder choice")},
    };
    for (auto& [path, what] : files) path = ResolvedFolder(path);
    return files;
}

// Why `path` (resolved) is a file of the office's, or an empty text.
QString OwnFileReason(const QString& path) {
    for (const auto& [own, what] : OwnFiles())
        if (own == path) return what;
    if (table::IsEngineFileName(QFile::encodeName(QFileInfo(path).fileName()).toStdString()))
        return QStringLiteral("a table, memo or index file");
    if (QFileInfo(path).isFile() && LooksLikeTable(path)) return QStringLiteral("a table file");
    return {};
}

QString KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("a folder");
    if (S_ISFIFO(mode)) return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    return QStringLiteral("not a plain file");
}

} // namespace

QString OutputTargetRefusal(const QString& target) {
    if (target.isEmpty()) return QStringLiteral("No file was named.");
    const QString named = ResolvedFolder(target);
    if (const QString why = OwnFileReason(named); !why.isEmpty())
        return QStringLiteral("%1 is %2; choose another file.").arg(target, why);

    struct stat st {};
    if (::lstat(QFile::encodeName(named).constData(), &st) != 0) return {}; // a new name
    if (S_ISLNK(st.st_mode)) {
        const QString reached = LinkTarget(named);
        if (const QString why = OwnFileReason(reached); !why.isEmpty())
            return QStringLiteral("%1 is a link to %2, %3; choose another file.")
                .arg(target, reached, why);
        return {}; // the output replaces the link itself
    }
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("%1 is %2; choose a file name.").arg(target, KindOf(st.st_mode));
    return {};
}

} // namespace qm
