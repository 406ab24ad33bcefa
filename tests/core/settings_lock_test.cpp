// The numbering lock: one holder at a time across open files, released with its holder.
#include "core/settings_lock.h"

#include "fault_fs.h"

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

// The lock goes through the engine's file interface, so an injected fault reaches it: the
// open and the lock call each fail with their own message, and a failed lock is released.
TEST(SettingsLock, FaultsOfTheFileInterfaceAreNamedInTheError) {
    using table::testing::FaultyFileSystem;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ini = dir.filePath(QStringLiteral("quill4.ini"));
    const QString lockFile = SettingsLock::LockFilePath(ini);
    struct Case {
        const char* why;
        bool denyOpen;
        const char* expected;
    };
    const Case cases[] = {
        {"the open is refused", true,
         "Unable to lock the mailer numbers: %1 cannot be opened (Permission denied)."},
        {"the lock call fails", false,
         "Unable to lock the mailer numbers in %1 (No locks available)."},
    };
    for (const Case& c : cases) {
        FaultyFileSystem fs;
        fs.kinds = table::testing::kFaultLock;
        fs.failAt = 1;
        if (c.denyOpen) fs.denyWrite = QFile::encodeName(lockFile).toStdString();
        table::SetFileSystem(&fs);
        try {
            SettingsLock lock(ini, 50);
            ADD_FAILURE() << c.why << ": locked";
        } catch (const SettingsLockError& e) {
            EXPECT_EQ(QString::fromStdString(e.what()),
                      QString::fromLatin1(c.expected).arg(lockFile))
                << c.why;
        }
        EXPECT_EQ(fs.faults, c.denyOpen ? 0 : 1) << c.why;
        table::SetFileSystem(nullptr);
        // Nothing is left held: the next copy locks at once.
        EXPECT_NO_THROW(SettingsLock again(ini, 50)) << c.why;
    }
}
