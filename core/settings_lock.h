#pragma once
// The exclusive lock that makes every change of the stored mailer numbers one step across
// all running copies. It is an open-file-description lock on "quill4.ini.lock" beside the
// settings file (the settings file itself is replaced on every write, so it cannot carry
// the lock).
#include <QString>

#include <stdexcept>

namespace qm {

class SettingsLockError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SettingsLock {
public:
    // Waits up to timeoutMs for the lock. Throws SettingsLockError when the lock file
    // cannot be opened or another copy holds the lock for longer.
    explicit SettingsLock(const QString& settingsPath, int timeoutMs = 5000);
    ~SettingsLock();
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

    static QString LockFilePath(const QString& settingsPath);

private:
    int fd_ = -1;
};

} // namespace qm
