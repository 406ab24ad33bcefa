#include "core/data_folder.h"

#include "core/whole_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

namespace qm {
namespace {

const QString kKey = QStringLiteral("DataFolder");

QString WithSlash(QString folder) {
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder;
}

DataFolderChoice& Override() {
    static DataFolderChoice choice;
    return choice;
}

DataFolderInputs SystemInputs() {
    DataFolderInputs in;
    in.programFolder = QCoreApplication::applicationDirPath();
    in.settingsBesideProgram =
        QFileInfo(QDir(in.programFolder).filePath(QStringLiteral("quill4.ini"))).isFile();
    in.chosen = ReadChosenDataFolder(DataFolderConfigPath());
    in.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return in;
}

const DataFolderChoice& Resolved() {
    static const DataFolderChoice choice = ResolveDataFolder(SystemInputs());
    return choice;
}

} // namespace

DataFolderChoice ResolveDataFolder(const DataFolderInputs& in) {
    if (!in.commandLine.isEmpty())
        return {WithSlash(QDir::cleanPath(QDir(in.commandLine).absolutePath())),
                DataFolderSource::CommandLine};
    if (in.settingsBesideProgram)
        return {WithSlash(in.programFolder), DataFolderSource::BesideProgram};
    if (in.chosen && !in.chosen->isEmpty())
        return {WithSlash(QDir::cleanPath(*in.chosen)), DataFolderSource::Chosen};
    return {WithSlash(QDir::cleanPath(in.dataHome + QStringLiteral("/quillmark"))),
            DataFolderSource::Default};
}

QString DataFolder() {
    if (!Override().folder.isEmpty()) return Override().folder;
    return Resolved().folder;
}

DataFolderSource CurrentDataFolderSource() {
    if (!Override().folder.isEmpty()) return Override().source;
    return Resolved().source;
}

void SetDataFolderOverride(const QString& folder, DataFolderSource source) {
    Override() = {folder.isEmpty() ? QString() : WithSlash(folder), source};
}

void CreateDataFolder() {
    switch (CurrentDataFolderSource()) {
    case DataFolderSource::Chosen: return;
    // The user's own folder holds the office's names and addresses: nobody else's business.
    case DataFolderSource::Default: CreatePrivateFolder(DataFolder()); return;
    case DataFolderSource::CommandLine:
    case DataFolderSource::BesideProgram: CreateFolders(DataFolder()); return;
    }
}

void CreateDataSubfolders() noexcept {
    for (const char* folder : {"Addresses", "Reports"}) {
        try {
            CreateFolders(DataFolder() + QLatin1String(folder));
        } catch (const Error&) {
        }
    }
}

QString DataFolderConfigPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quillmark/quillmark.conf");
}

std::optional<QString> ReadChosenDataFolder(const QString& configPath) {
    QFile f(configPath);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QString text = QString::fromUtf8(f.readAll());
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        const qsizetype eq = line.indexOf(u'=');
        if (line.startsWith(u'#') || eq < 0 || line.left(eq).trimmed() != kKey) continue;
        const QString value = line.mid(eq + 1).trimmed();
        if (value.isEmpty()) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

void WriteChosenDataFolder(const QString& configPath, const QString& folder) {
    const QByteArray text = "# The data folder of Quillmark (Options, Data Folder...).\n" +
                            (kKey + u'=' + QDir::cleanPath(folder) + u'\n').toUtf8();
    try {
        // The choice is the user's own: the folder and file are private to them.
        CreatePrivateFolder(QFileInfo(configPath).absolutePath());
        WriteWholeFile(configPath, text);
    } catch (const WholeFileError& e) {
        throw DataFolderConfigError(e.what());
    } catch (const Error& e) {
        throw DataFolderConfigError(
            QStringLiteral("%1 could not be written: %2").arg(configPath, e.what()).toStdString());
    }
}

} // namespace qm
