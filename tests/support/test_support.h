#pragma once
// Helpers for tests that drive the real windows on the offscreen platform.
#include "core/companion_files.h"
#include "core/program_folder.h"
#include "core/settings.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace qm::test {

// The control, menu or action named name under root (by its object name); the test fails,
// naming what it looked for, when there is none.
template <class T> T* Find(const QObject& root, const char* name) {
    T* found = root.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr)
        throw std::runtime_error(std::string("no ") + T::staticMetaObject.className() +
                                 " named \"" + name + "\" in " + root.objectName().toStdString());
    return found;
}

// Runs action on the next modal window that opens (for example inside exec()), at most once.
inline void OnNextModal(std::function<void(QWidget*)> action, int timeoutMs = 5000) {
    auto* timer = new QTimer;
    auto deadline = QDeadlineTimer(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, [timer, action, deadline] {
        QWidget* modal = QApplication::activeModalWidget();
        // A modal window gets its focus widget when it is activated, which a loaded machine
        // may do a few timer ticks after it is shown.
        const bool ready = modal != nullptr && modal->isActiveWindow();
        if (!ready && !deadline.hasExpired()) return;
        timer->stop();
        timer->deleteLater();
        if (modal) action(modal);
    });
    timer->start(20);
}

// A program folder of its own (data and companion files), with fresh settings in memory, for
// every test.
class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetProgramFolderOverride(dir_.path());
        SetCompanionFolderOverride(dir_.path());
        Globals() = GlobalVariables{};
    }
    void TearDown() override {
        SetProgramFolderOverride({});
        SetCompanionFolderOverride({});
        Globals() = GlobalVariables{};
    }
    QString PathOf(const QString& name) const { return dir_.filePath(name); }
    void WriteFile(const QString& name, const QByteArray& bytes) {
        QFile f(PathOf(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray ReadFile(const QString& name) const {
        QFile f(PathOf(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Settings under which the first showing asks nothing; values go into [Values].
    void WriteQuietSettings(const QByteArray& values = {}) {
        WriteFile("quill4.ini", "[Type]\r\nCompany=Larkfield\r\nBarCodeApp=0\r\n"
                                "[YourAddress]\r\nLine1=Ann Sender\r\nCity=Dover\r\nState=DE\r\n"
                                "Zip=19901\r\n[Values]\r\nCustID=123456789\r\n" +
                                    values);
    }

    QTemporaryDir dir_;
};

} // namespace qm::test
