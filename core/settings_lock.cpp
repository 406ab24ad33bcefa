#include "core/settings_lock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qm {

namespace {

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString SettingsLock::LockFilePath(const QString& settingsPath) {
    return settingsPath + QStringLiteral(".lock");
}

SettingsLock::SettingsLock(const QString& settingsPath, int timeoutMs) {
    const QString path = LockFilePath(settingsPath);
    const QByteArray native = QFile::encodeName(path);
    fd_ = ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0)
        throw SettingsLockError(
            QStringLiteral("Unable to lock the mailer numbers: %1 cannot be opened (%2).")
                .arg(path, SystemError(errno))
                .toStdString());
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (::fcntl(fd_, F_OFD_SETLK, &lock) == 0) return;
        const int error = errno;
        if (error == EINTR) continue;
        if ((error != EAGAIN && error != EACCES) || deadline.hasExpired()) {
            ::close(fd_);
            fd_ = -1;
            throw SettingsLockError(
                (error == EAGAIN || error == EACCES
                     ? QStringLiteral("The mailer numbers are in use by another copy of the "
                                      "program (%1). Please try again.")
                           .arg(path)
                     : QStringLiteral("Unable to lock the mailer numbers in %1 (%2).")
                           .arg(path, SystemError(error)))
                    .toStdString());
        }
        QThread::msleep(5);
    }
}

SettingsLock::~SettingsLock() {
    if (fd_ >= 0) ::close(fd_); // closing the description releases its lock
}

} // namespace qm
