#include "core/replace_file.h"

#include <QTemporaryFile>

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qm {

std::optional<QString> ReplaceFile(const QString& path, const std::function<void(QFile&)>& write) {
    const auto systemReason = [] { return QString::fromLocal8Bit(std::strerror(errno)); };
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open()) return file.errorString();
    write(file);
    if (!file.flush() || file.error() != QFileDevice::NoError) return file.errorString();
    if (::fsync(file.handle()) != 0) return systemReason();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    if (::rename(QFile::encodeName(file.fileName()).constData(),
                 QFile::encodeName(path).constData()) != 0)
        return systemReason();
    file.setAutoRemove(false);
    return std::nullopt;
}

} // namespace qm
