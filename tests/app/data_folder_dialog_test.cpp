// Options, Data Folder...: the choice of another data folder, the copy into an empty one,
// the restart prompt, and the refusals while the folder is fixed for the run.
#include "app/data_folder_dialog.h"
#include "app/data_folder_start.h"
#include "app/main_window.h"
#include "core/data_folder.h"
#include "modal_script.h"
#include "test_support.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace qm {
namespace {

using test::AnswerBox;
using test::ModalScript;

class DataFolderCommand : public test::ProgramFolderTest {
protected:
    void SetUp() override {
        test::ProgramFolderTest::SetUp();
        ASSERT_TRUE(config_.isValid() && target_.isValid());
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        SetDataFolderOverride(dir_.path(), DataFolderSource::Default);
        RequestRestart(false);
    }
    void TearDown() override {
        RequestRestart(false);
        qputenv("XDG_CONFIG_HOME", oldConfig_);
        test::ProgramFolderTest::TearDown();
    }
    std::unique_ptr<TF_Main> Open() {
        WriteQuietSettings("SerialNum=0000077\r\n");
        QDir(dir_.path()).mkpath("Reports");
        WriteFile("Reports/report3.dbf.keep", "the log's own bytes");
        auto w = std::make_unique<TF_Main>();
        w->show();
        QApplication::processEvents();
        return w;
    }
    static ModalScript::Step Choose(const QString& folder) {
        return [folder](QWidget* w) {
            ASSERT_EQ(w->objectName(), "F_DataFolder");
            w->findChild<QLineEdit*>("editFolder")->setText(folder);
            w->findChild<QPushButton*>("btnOK")->click();
        };
    }
    void Trigger(TF_Main& w) {
        w.findChild<QAction*>("MIDataFolder")->trigger();
        QApplication::processEvents();
    }
    std::optional<QString> Kept() const {
        const std::optional<QByteArray> kept = ReadChosenDataFolder(DataFolderConfigPath());
        if (!kept) return std::nullopt;
        return QFile::decodeName(*kept);
    }
    QStringList TargetEntries() const {
        QStringList entries =
            QDir(target_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        entries.sort();
        return entries;
    }

    QTemporaryDir config_, target_;
    QByteArray oldConfig_;
};

TEST_F(DataFolderCommand, AnEmptyFolderTakesACopyAndTheProgramStartsAgain) {
    auto w = Open();
    ASSERT_EQ(DataFolderConfigPath(), config_.filePath("quillmark/quillmark.conf"));
    ModalScript script;
    script.Then(Choose(target_.path()))
        .Then(AnswerBox(QMessageBox::Yes)) // copy?
        .Then(AnswerBox(QMessageBox::Yes)) // restart?
        .Then(AnswerBox(QMessageBox::Ok)); // copied
    Trigger(*w);
    ASSERT_TRUE(script.Done()) << script.messages.join('\n').toStdString();
    ASSERT_EQ(script.messages.size(), 3);
    EXPECT_TRUE(script.messages[0].contains(target_.path()));
    EXPECT_TRUE(script.messages[0].contains(QDir::cleanPath(dir_.path())));
    EXPECT_TRUE(script.messages[2].contains(QDir::cleanPath(dir_.path())))
        << "the old folder is named: " << script.messages[2].toStdString();

    EXPECT_EQ(Kept(), target_.path());
    EXPECT_TRUE(RestartRequested());
    EXPECT_FALSE(w->isVisible()) << "the window closed for the restart";
    const QDir t(target_.path());
    EXPECT_EQ(TargetEntries(), QStringList({"Addresses", "Reports", "quill4.ini"}));
    QFile copied(t.filePath("Reports/report3.dbf.keep"));
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), "the log's own bytes");
    QFile ini(t.filePath("quill4.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("SerialNum=0000077"));
    EXPECT_TRUE(QFileInfo::exists(PathOf("quill4.ini"))) << "the old folder is left";
}

TEST_F(DataFolderCommand, NoRestartKeepsEverythingAsItWas) {
    auto w = Open();
    ModalScript script;
    script.Then(Choose(target_.path()))
        .Then(AnswerBox(QMessageBox::Yes)) // copy?
        .Then(AnswerBox(QMessageBox::No)); // restart?
    Trigger(*w);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(Kept(), std::nullopt);
    EXPECT_FALSE(RestartRequested());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(TargetEntries().isEmpty()) << "nothing copied before the restart is agreed";
}

TEST_F(DataFolderCommand, AFolderWithDataIsUsedAsItIs) {
    QFile theirs(QDir(target_.path()).filePath("quill4.ini"));
    ASSERT_TRUE(theirs.open(QIODevice::WriteOnly));
    theirs.write("[Values]\r\nSerialNum=0000500\r\n");
    theirs.close();
    auto w = Open();
    ModalScript script;
    script.Then(Choose(target_.path())).Then(AnswerBox(QMessageBox::Yes)); // restart?
    Trigger(*w);
    EXPECT_TRUE(script.Done());
    ASSERT_EQ(script.messages.size(), 1);
    EXPECT_TRUE(script.messages[0].contains("Restart now?"));
    EXPECT_EQ(Kept(), target_.path());
    EXPECT_TRUE(RestartRequested());
    EXPECT_EQ(TargetEntries(), QStringList{"quill4.ini"});
    ASSERT_TRUE(theirs.open(QIODevice::ReadOnly));
    EXPECT_EQ(theirs.readAll(), "[Values]\r\nSerialNum=0000500\r\n")
        << "the shared settings are not overwritten by this copy's";
}

TEST_F(DataFolderCommand, AFolderThatIsMissingOrFullOfOtherThingsIsRefusedOrAsked) {
    auto w = Open();
    {
        ModalScript script;
        script.Then(Choose(target_.filePath("missing"))).Then(AnswerBox(QMessageBox::Ok));
        Trigger(*w);
        ASSERT_TRUE(script.Done());
        EXPECT_TRUE(script.messages.value(0).contains("does not exist"));
    }
    {
        QFile other(target_.filePath("holiday.jpg"));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.close();
        ModalScript script;
        script.Then(Choose(target_.path())).Then(AnswerBox(QMessageBox::No));
        Trigger(*w);
        ASSERT_TRUE(script.Done());
        EXPECT_TRUE(script.messages.value(0).contains("holds no Quillmark settings"));
    }
    EXPECT_EQ(Kept(), std::nullopt);
    EXPECT_FALSE(RestartRequested());
}

// The folder typed or browsed to is kept as it is named: a blank at either end is part of it.
TEST_F(DataFolderCommand, ANameWithBlanksAtItsEndsIsKeptAsItIs) {
    auto w = Open();
    for (const char* name : {" leading", "trailing ", " both "}) {
        SCOPED_TRACE(name);
        const QString folder = target_.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QDir().mkdir(folder));
        QFile theirs(QDir(folder).filePath("quill4.ini"));
        ASSERT_TRUE(theirs.open(QIODevice::WriteOnly));
        theirs.close();
        ModalScript script;
        script.Then(Choose(folder)).Then(AnswerBox(QMessageBox::No)); // restart?
        Trigger(*w);
        ASSERT_TRUE(script.Done()) << script.messages.join('\n').toStdString();
        EXPECT_TRUE(script.messages.value(0).contains(folder + QStringLiteral(". Restart now?")))
            << script.messages.value(0).toStdString();
    }
    ModalScript script;
    const QString last = target_.filePath(QStringLiteral(" both "));
    script.Then(Choose(last)).Then(AnswerBox(QMessageBox::Yes));
    Trigger(*w);
    ASSERT_TRUE(script.Done());
    EXPECT_EQ(Kept(), last);
    EXPECT_TRUE(RestartRequested());
}

TEST_F(DataFolderCommand, AFolderFixedForTheRunIsOnlyShown) {
    auto w = Open();
    for (const auto& [source, text] :
         {std::pair{DataFolderSource::BesideProgram, "beside the program"},
          std::pair{DataFolderSource::CommandLine, "--folder"}}) {
        SetDataFolderOverride(dir_.path(), source);
        ModalScript script;
        script.Then(AnswerBox(QMessageBox::Ok));
        Trigger(*w);
        ASSERT_TRUE(script.Done());
        EXPECT_TRUE(script.messages.value(0).contains(QString::fromLatin1(text)))
            << script.messages.value(0).toStdString();
        EXPECT_TRUE(script.messages.value(0).contains(QDir::cleanPath(dir_.path())));
    }
    EXPECT_EQ(Kept(), std::nullopt);
}

} // namespace
} // namespace qm
