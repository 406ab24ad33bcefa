#pragma once
// The exclusive lock that makes every change of the stored mailer numbers one step across
// all running copies. It is an open-file-description lock on "quill4.ini.lock" beside the
// settings file (the settings file itself is replaced on every write, so it cannot carry
// the lock), taken through the table engine's file interface (file_io.h), so the fault
// tests reach it like the tables' locks.
#include <QString>

#include <memory>
#include <stdexcept>

namespace qm::table {
class IFile;
}

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
    std::unique_ptr<table::IFile> file_; // closing the file releases its lock
};

} // namespace qm
