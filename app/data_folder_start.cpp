#include "app/data_folder_start.h"

#include "core/data_folder.h"
#include "core/error.h"
#include "core/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>

namespace qm {
namespace {

const QString kFolderOption = QStringLiteral("--folder");

bool& Restart() {
    static bool on = false;
    return on;
}

} // namespace

bool ApplyFolderArgument(const QStringList& arguments, QString& error) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        QString folder;
        if (arg == kFolderOption) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("--folder needs the data folder: --folder DIR");
                return false;
            }
            folder = arguments[++i];
        } else if (arg.startsWith(kFolderOption + u'=')) {
            folder = arg.mid(kFolderOption.size() + 1);
        } else {
            continue;
        }
        if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
            error = QStringLiteral("The data folder %1 given with --folder does not exist.")
                        .arg(folder);
            return false;
        }
        SetDataFolderOverride(QDir(folder).absolutePath());
    }
    return true;
}

bool PrepareDataFolder(QWidget* parent) {
    const DataFolderChoice current = CurrentDataFolder();
    const QString& folder = current.folder;
    if (current.source == DataFolderSource::Chosen && current.unnamable) {
        QMessageBox::critical(
            parent, ApplicationTitle(),
            QStringLiteral("The data folder kept in %2 has a name that is not UTF-8 text (%1, "
                           "percent-encoded), and Quillmark cannot open a folder of such a name. "
                           "Give the folder a name in UTF-8 text and delete %2; then start "
                           "Quillmark and choose the folder again under Options, Data Folder....")
                .arg(folder, DataFolderConfigPath()));
        return false;
    }
    if (current.source == DataFolderSource::Chosen) {
        while (!QFileInfo(folder).isDir()) {
            const auto answer = QMessageBox::critical(
                parent, ApplicationTitle(),
                QStringLiteral("The data folder %1 cannot be found. Is the network share "
                               "connected?\n\nRetry when it is, or Cancel to end Quillmark. "
                               "Another folder can be given for one run with --folder DIR; the "
                               "chosen folder is kept in %2.")
                    .arg(folder, DataFolderConfigPath()),
                QMessageBox::Retry | QMessageBox::Cancel);
            if (answer != QMessageBox::Retry) return false;
        }
        return true;
    }
    try {
        CreateDataFolder();
    } catch (const Error& e) {
        QMessageBox::critical(parent, ApplicationTitle(), QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

void RequestRestart(bool on) {
    Restart() = on;
}

bool RestartRequested() {
    return Restart();
}

bool StartAgain() {
    return QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                   QCoreApplication::arguments().mid(1));
}

} // namespace qm
