// Files set aside while a replacement is written come back unless it is committed.
#include <gtest/gtest.h>

#include "addresses/set_aside_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace qm::addresses {
namespace {

QByteArray Read(const QString& f) {
    QFile file(f);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString& f, const QByteArray& bytes) {
    QFile file(f);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(SetAsideFiles, OldFilesComeBackUnlessTheReplacementIsCommitted) {
    QTemporaryDir dir;
    const QString table = dir.filePath("names.dbf"), memo = dir.filePath("names.dbt"),
                  missing = dir.filePath("names.DBT");
    for (bool commit : {false, true}) {
        Write(table, "old table");
        Write(memo, "old memo");
        Write(TSetAsideFiles::AsideName(table), "stale"); // from an earlier crash
        {
            TSetAsideFiles aside({table, memo, missing});
            EXPECT_FALSE(QFile::exists(table));
            EXPECT_EQ(Read(TSetAsideFiles::AsideName(table)), "old table");
            Write(table, "new table"); // a replacement, complete or not
            if (commit) aside.Commit();
        }
        EXPECT_EQ(Read(table), commit ? "new table" : "old table");
        EXPECT_EQ(Read(memo), commit ? "<missing>" : "old memo");
        EXPECT_FALSE(QFile::exists(TSetAsideFiles::AsideName(table)));
        EXPECT_FALSE(QFile::exists(TSetAsideFiles::AsideName(memo)));
        EXPECT_FALSE(QFile::exists(missing));
    }
}

TEST(SetAsideFiles, AFileThatCannotBeMovedStopsAndPutsTheOthersBack) {
    QTemporaryDir dir;
    const QString table = dir.filePath("names.dbf");
    Write(table, "old table");
    // The second file's aside name is a folder that is not empty: it cannot be replaced.
    const QString blocked = dir.filePath("names.dbt");
    Write(blocked, "old memo");
    ASSERT_TRUE(QDir(dir.path()).mkpath("names.dbt.old/inside"));
    EXPECT_THROW(TSetAsideFiles({table, blocked}), std::runtime_error);
    EXPECT_EQ(Read(table), "old table");
    EXPECT_EQ(Read(blocked), "old memo");
}

} // namespace
} // namespace qm::addresses
