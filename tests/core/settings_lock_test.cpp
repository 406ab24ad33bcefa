// The numbering lock: one holder at a time across open files, released with its holder.
#include "core/settings_lock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

using namespace qm;

TEST(SettingsLock, OneHolderAtATimeAndReleasedWithItsHolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ini = dir.filePath(QStringLiteral("quill4.ini"));
    auto first = std::make_unique<SettingsLock>(ini);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("quill4.ini.lock"))));
    // An open-file-description lock also keeps out a second open file of this process.
    try {
        SettingsLock second(ini, 50);
        FAIL() << "two holders";
    } catch (const SettingsLockError& e) {
        EXPECT_NE(std::string(e.what()).find("in use by another copy"), std::string::npos)
            << e.what();
    }
    first.reset();
    EXPECT_NO_THROW(SettingsLock again(ini, 50));
}

TEST(SettingsLock, AFolderWithoutWriteAccessIsNamedInTheError) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("gone/quill4.ini"));
    try {
        SettingsLock lock(missing, 50);
        FAIL() << "locked in a folder that does not exist";
    } catch (const SettingsLockError& e) {
        EXPECT_NE(std::string(e.what()).find("gone/quill4.ini.lock"), std::string::npos)
            << e.what();
    }
}

// A symbolic link planted as the lock file is refused: no file is created or
// opened through it.
TEST(SettingsLock, APlantedLinkIsRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ini = dir.filePath(QStringLiteral("quill4.ini"));
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    ASSERT_TRUE(QFile::link(victim, SettingsLock::LockFilePath(ini)));
    EXPECT_THROW(SettingsLock lock(ini, 50), SettingsLockError);
    EXPECT_FALSE(QFile::exists(victim));
}
