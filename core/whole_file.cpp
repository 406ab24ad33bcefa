#include "core/whole_file.h"

#include "file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

namespace qm {

namespace {

using table::FileSystem;
using table::IFile;

QString Reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A new name beside `target` that no file has: "<target>.<random>.new".
std::unique_ptr<IFile> CreateBeside(const std::string& target, std::string& name, int& error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name =
            target + '.' +
            QString::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 36).toStdString() +
            ".new";
        std::unique_ptr<IFile> file = FileSystem().Open(name, table::TOpenMode::CreateNew, error);
        if (file || error != EEXIST) return file;
    }
    return nullptr;
}

} // namespace

void WriteWholeFile(const QString& path, const QByteArray& bytes) {
    const std::string target = Native(path);
    const auto fail = [&](const QString& step, int error, const QString& kept) {
        return WholeFileError(path, QStringLiteral("%1 (%2). %3").arg(Reason(error), step, kept));
    };
    const QString untouched = QStringLiteral("The file was left as it was.");
    std::string temporary;
    int error = 0;
    std::unique_ptr<IFile> file = CreateBeside(target, temporary, error);
    if (!file) throw fail(QStringLiteral("creating a new file beside it"), error, untouched);

    // Removes the new file on every failure below; the old one was never touched.
    struct Discard {
        const std::string& name;
        bool keep = false;
        ~Discard() {
            if (!keep) FileSystem().Remove(name);
        }
    } discard{temporary};

    if (const int r = table::WriteAll(*file, bytes.constData(), size_t(bytes.size()), 0); r < 0)
        throw fail(QStringLiteral("writing"), -r, untouched);
    if (const int r = file->Sync(); r < 0) throw fail(QStringLiteral("flushing"), -r, untouched);
    if (const int r = file->Close(); r < 0) throw fail(QStringLiteral("closing"), -r, untouched);
    file.reset();
    if (const int r = FileSystem().Rename(temporary, target); r < 0)
        throw fail(QStringLiteral("renaming the new file over it"), -r, untouched);
    discard.keep = true;
    if (const int r = FileSystem().SyncFolder(target); r < 0)
        throw fail(QStringLiteral("flushing its folder"), -r,
                   QStringLiteral("The new file is in place but may not survive a power cut."));
}

void CreateFolders(const QString& path) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (QFileInfo(clean).isDir()) return;
    const QString parent = QFileInfo(clean).path();
    if (parent != clean) CreateFolders(parent);
    if (const int r = FileSystem().CreateFolder(Native(clean)); r < 0)
        throw Error(QStringLiteral("The folder %1 cannot be created: %2.").arg(clean, Reason(-r)));
}

void CreatePrivateFolder(const QString& path) {
    const std::string name = Native(path);
    CreateFolders(QFileInfo(path).absolutePath());
    if (::mkdir(name.c_str(), 0700) != 0 && errno != EEXIST)
        throw Error(
            QStringLiteral("The folder %1 cannot be created: %2.").arg(path, Reason(errno)));
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Error(QStringLiteral("%1 is not a folder.").arg(path));
    // An earlier version made it 0755: the office's names and addresses are nobody else's.
    if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid() && ::chmod(name.c_str(), 0700) != 0)
        throw Error(
            QStringLiteral("The folder %1 cannot be made private: %2.").arg(path, Reason(errno)));
}

} // namespace qm
