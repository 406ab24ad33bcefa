#include "core/settings_lock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include "file_io.h"

#include <cerrno>
#include <cstring>

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
    int error = 0;
    file_ = table::FileSystem().Open(QFile::encodeName(path).toStdString(),
                                     table::TOpenMode::OpenOrCreate, error);
    if (!file_)
        throw SettingsLockError(
            QStringLiteral("Unable to lock the mailer numbers: %1 cannot be opened (%2).")
                .arg(path, SystemError(error))
                .toStdString());
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const int r = file_->Lock(0, 1, table::TLockKind::Write);
        if (r == 0) return;
        const int error = -r;
        if (error == EINTR) continue;
        if ((error != EAGAIN && error != EACCES) || deadline.hasExpired()) {
            file_.reset();
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

SettingsLock::~SettingsLock() = default;

} // namespace qm
