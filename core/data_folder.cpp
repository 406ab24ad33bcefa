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

// The path's bytes, percent-encoded; the plain text of earlier versions.
const QByteArray kPathKey = "DataFolderPath";
const QByteArray kPlainKey = "DataFolder";

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
    if (in.chosen && !in.chosen->isEmpty()) {
        const QString name = QFile::decodeName(*in.chosen);
        if (QFile::encodeName(name) != *in.chosen)
            return {WithSlash(QString::fromLatin1(in.chosen->toPercentEncoding("/"))),
                    DataFolderSource::Chosen, true};
        return {WithSlash(QDir::cleanPath(name)), DataFolderSource::Chosen};
    }
    return {WithSlash(QDir::cleanPath(in.dataHome + QStringLiteral("/quillmark"))),
            DataFolderSource::Default};
}

QString DataFolder() {
    if (!Override().folder.isEmpty()) return Override().folder;
    return Resolved().folder;
}

DataFolderSource CurrentDataFolderSource() {
    return CurrentDataFolder().source;
}

DataFolderChoice CurrentDataFolder() {
    if (!Override().folder.isEmpty()) return Override();
    return Resolved();
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
            // Said where the folder is used: the log's or the address book's own error.
        }
    }
}

QString DataFolderConfigPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quillmark/quillmark.conf");
}

std::optional<QByteArray> ReadChosenDataFolder(const QString& configPath) {
    QFile f(configPath);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    std::optional<QByteArray> encoded, plain;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        // An encoded value holds no blank, so trimming the line changes nothing of it.
        const QByteArray line = raw.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (line.startsWith('#') || eq < 0) continue;
        const QByteArray key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        if (key == kPathKey && !encoded)
            encoded = QByteArray::fromPercentEncoding(value);
        else if (key == kPlainKey && !plain)
            plain = value;
    }
    const std::optional<QByteArray> folder = encoded ? encoded : plain;
    if (!folder || folder->isEmpty()) return std::nullopt;
    return folder;
}

void WriteChosenDataFolder(const QString& configPath, const QByteArray& folder) {
    const QByteArray text =
        "# The data folder of Quillmark (Options, Data Folder...), the bytes of\n"
        "# its path percent-encoded.\n" +
        kPathKey + '=' + folder.toPercentEncoding("/") + '\n';
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
