// The Qt model over a table: rows, columns, texts, edits through the locked post.
#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>

#include "table_test_util.h"
#include "tzdbf_model.h"

namespace qm::table {
namespace {

class TzDbfModelTest : public testing::TableTest {
protected:
    void SetUp() override {
        TableTest::SetUp();
        table_.SetDbfFileName(Path("addr.dbf"));
        table_.SetDbfFields({"name,C,10,0", "qty,N,5,0", "ok,L,1,0", "day,D,8,0", "note,M,10,0"});
        table_.Open();
        ASSERT_TRUE(table_.ALock());
        for (const char* n : {"Ann", "Ben", "Cy"}) {
            table_.ClearRecord();
            table_.SetField("name", n);
            table_.SetField("qty", "7");
            table_.SetField("day", "3/5/2008");
            table_.AppendRec();
        }
        table_.UnLock();
    }
    void TearDown() override {
        table_.Close(); // the header and end-of-file mark are written at close
        TableTest::TearDown();
    }
    TTzDbf table_{"TzDbfAddress"};
};

TEST_F(TzDbfModelTest, ShowsRecordsAndFields) {
    TTzDbfModel model(table_);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "NAME");
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "Ben");
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), "7");
    EXPECT_EQ(model.data(model.index(1, 2)).toString(), "F");
    EXPECT_EQ(model.data(model.index(1, 3)).toString(), "03/05/2008");
    EXPECT_FALSE(model.flags(model.index(0, 4)) & Qt::ItemIsEditable); // memo
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    // reading does not move the table's cursor
    EXPECT_EQ(table_.RecNo(), 3u);
}

TEST_F(TzDbfModelTest, EditsAndDeletes) {
    TTzDbfModel model(table_);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy errors(&model, &TTzDbfModel::errorOccurred);
    EXPECT_TRUE(model.setData(model.index(0, 0), "Anna"));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "Anna");
    EXPECT_FALSE(model.setData(model.index(0, 1), "many"));
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), "'many' is not a valid integer value");
    EXPECT_EQ(table_.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), "7");

    EXPECT_TRUE(model.removeRows(1, 1));
    EXPECT_EQ(model.rowCount(), 3); // deleted records stay visible unless hidden
    EXPECT_TRUE(model.data(model.index(1, 0), TTzDbfModel::DeletedRole).toBool());
    table_.SetHideDeletedRecs(true);
    model.Refresh();
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.RecNoAt(1), 3u);
    EXPECT_EQ(model.RowOf(2), -1);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "Cy");
}

// What a second copy of the program finds in the file: record n's values through its own handle.
std::vector<std::string> OnDisk(const std::string& file, uint32_t n) {
    TTzDbf other("TzDbfOther");
    other.SetDbfFileName(file);
    other.Open();
    std::vector<std::string> values;
    bool deleted = false;
    other.PeekRecord(n, values, deleted);
    other.SetRecNo(n);
    std::vector<std::string> memo;
    other.GetMField("note", memo);
    for (const std::string& line : memo) values.push_back("memo:" + line);
    other.Close();
    return values;
}

// Bound controls write a record in one post: inside the table's edit, setData fills the
// record (memo lines too) and nothing reaches the file or the views until submit(); a new
// record is the last row while it is inserted; revert() drops the edit.
TEST_F(TzDbfModelTest, EditOfTheCurrentRecordPostsOnceOnSubmit) {
    TTzDbfModel model(table_);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(model.EditRow(1));
    EXPECT_EQ(table_.RecNo(), 2u);
    EXPECT_EQ(model.CurrentRow(), 1);
    EXPECT_TRUE(model.setData(model.index(1, 0), "Bea"));
    EXPECT_TRUE(model.setData(model.index(1, 4), QStringList{"Bea Bell", "2 Oak Ave"}));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "Bea");
    EXPECT_EQ(model.data(model.index(1, 4), Qt::EditRole).toStringList(),
              (QStringList{"Bea Bell", "2 Oak Ave"}));
    EXPECT_EQ(OnDisk(Path("addr.dbf"), 2)[0], "Ben");
    EXPECT_TRUE(model.submit());
    EXPECT_EQ(table_.State(), TDataSetState::dsBrowse);
    EXPECT_GE(changed.count(), 1);
    const auto posted = OnDisk(Path("addr.dbf"), 2);
    ASSERT_EQ(posted.size(), 7u);
    EXPECT_EQ(posted[0], "Bea");
    EXPECT_EQ(posted[5], "memo:Bea Bell");
    EXPECT_EQ(posted[6], "memo:2 Oak Ave");
    // The current record's memo shows its lines; the display role joins them.
    EXPECT_EQ(model.data(model.index(1, 4)).toString(), "Bea Bell\n2 Oak Ave");

    table_.Insert();
    model.Sync();
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.CurrentRow(), 3);
    EXPECT_EQ(model.RecNoAt(3), 0u);
    EXPECT_EQ(model.data(model.index(3, 0)).toString(), "");
    EXPECT_TRUE(model.setData(model.index(3, 0), "Dot"));
    EXPECT_TRUE(model.submit());
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.RecNoAt(3), 4u);
    EXPECT_EQ(model.data(model.index(3, 0)).toString(), "Dot");

    ASSERT_TRUE(model.EditRow(0));
    EXPECT_TRUE(model.setData(model.index(0, 0), "Zed"));
    model.revert();
    EXPECT_EQ(table_.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "Ann");
    EXPECT_EQ(OnDisk(Path("addr.dbf"), 1)[0], "Ann");

    // An insert dropped removes its row.
    table_.Insert();
    model.Sync();
    EXPECT_EQ(model.rowCount(), 5);
    model.revert();
    EXPECT_EQ(model.rowCount(), 4);
}

// A field that refuses its value keeps the record in edit and nothing is posted; the failure
// is kept for the caller, with the engine's text.
TEST_F(TzDbfModelTest, RefusedFieldPostsNothing) {
    TTzDbfModel model(table_);
    QSignalSpy errors(&model, &TTzDbfModel::errorOccurred);
    ASSERT_TRUE(model.EditRow(0));
    EXPECT_TRUE(model.setData(model.index(0, 0), "Abe"));
    EXPECT_FALSE(model.setData(model.index(0, 1), "many"));
    EXPECT_FALSE(model.submit());
    EXPECT_EQ(table_.State(), TDataSetState::dsEdit);
    EXPECT_EQ(OnDisk(Path("addr.dbf"), 1)[0], "Ann");
    ASSERT_EQ(errors.count(), 1);
    const std::exception_ptr failure = model.TakeFailure();
    ASSERT_TRUE(failure);
    try {
        std::rethrow_exception(failure);
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'many' is not a valid integer value");
    }
    EXPECT_FALSE(model.TakeFailure());
    // With the failure taken the edit posts what the record holds.
    EXPECT_TRUE(model.submit());
    EXPECT_EQ(OnDisk(Path("addr.dbf"), 1)[0], "Abe");
}

// Another copy changes and appends records under an open model: a Sync shows them, rows
// that were read before included (nothing is served from an old read).
TEST_F(TzDbfModelTest, SyncShowsWhatAnotherCopyWrote) {
    TTzDbfModel model(table_);
    ASSERT_EQ(model.data(model.index(0, 0)).toString(), "Ann");
    ASSERT_EQ(model.data(model.index(2, 0)).toString(), "Cy");
    TTzDbf other("TzDbfOther");
    other.SetDbfFileName(Path("addr.dbf"));
    other.Open();
    other.SetRecNo(3);
    other.Edit();
    other.SetField("name", "Cyd");
    other.Post();
    model.Sync();
    EXPECT_EQ(model.data(model.index(2, 0)).toString(), "Cyd");
    other.Insert();
    other.SetField("name", "Dan");
    other.Post();
    other.Close();
    model.Sync();
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.data(model.index(3, 0)).toString(), "Dan");
    EXPECT_EQ(model.RowOf(4), 3);
}

// A table damaged under an open view: the engine's error is shown once, the
// view empties, and nothing escapes into the event loop (in either error mode).
TEST_F(TzDbfModelTest, DamagedTableEmptiesTheViewOnce) {
    for (TErrorMode mode : {TErrorMode::Exception, TErrorMode::Report}) {
        SetErrorMode(mode);
        TTzDbfModel model(table_);
        QSignalSpy errors(&model, &TTzDbfModel::errorOccurred);
        ASSERT_EQ(model.rowCount(), 3);
        EXPECT_EQ(model.data(model.index(0, 0)).toString(), "Ann");
        // Cut the file in the middle of record 2.
        const auto bytes = testing::ReadBytes(Path("addr.dbf"));
        const size_t header = testing::Le16(bytes, 8), record = testing::Le16(bytes, 10);
        std::filesystem::resize_file(Path("addr.dbf"), header + record + record / 2);
        EXPECT_FALSE(model.data(model.index(1, 0)).isValid());
        EXPECT_FALSE(model.data(model.index(2, 0)).isValid());
        ASSERT_EQ(errors.count(), 1);
        EXPECT_TRUE(errors.at(0).at(0).toString().startsWith("Error # 213")) << int(mode);
        QCoreApplication::processEvents();
        EXPECT_EQ(model.rowCount(), 0);
        // Restore the table for the next round.
        testing::WriteBytes(Path("addr.dbf"), bytes);
        model.Refresh();
        EXPECT_EQ(model.rowCount(), 3);
    }
    SetErrorMode(TErrorMode::Exception);
}

} // namespace
} // namespace qm::table

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
