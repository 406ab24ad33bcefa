#pragma once
// The data folder: where quill4.ini, Reports/ and Addresses/ live (everything the program
// writes). Chosen once per run, in this order:
//   1. --folder DIR on the command line (SetDataFolderOverride);
//   2. the program's own folder when a quill4.ini lies beside the executable (portable);
//   3. the folder chosen under Options, Data Folder, kept in quillmark.conf;
//   4. $XDG_DATA_HOME/quillmark (~/.local/share/quillmark).
#include <QString>

#include <optional>
#include <stdexcept>

namespace qm {

enum class DataFolderSource { CommandLine, BesideProgram, Chosen, Default };

struct DataFolderChoice {
    QString folder; // ends in "/"
    DataFolderSource source = DataFolderSource::Default;
    // A chosen folder whose name is not UTF-8 text: no path of the program can name it, and
    // folder shows its name percent-encoded, for messages only.
    bool unnamable = false;
};

// What the choice depends on, gathered by DataFolder() from the running system.
struct DataFolderInputs {
    QString commandLine;              // --folder, empty when not given
    QString programFolder;            // folder of the executable
    bool settingsBesideProgram{};     // programFolder holds quill4.ini
    std::optional<QByteArray> chosen; // the folder kept in quillmark.conf, its path's bytes
    QString dataHome;                 // $XDG_DATA_HOME or ~/.local/share
};

DataFolderChoice ResolveDataFolder(const DataFolderInputs& in);

// The data folder of this run, ending in "/". Resolved at the first call and kept for the
// run, so that a choice made while running takes effect only after a restart.
QString DataFolder();
DataFolderSource CurrentDataFolderSource();
DataFolderChoice CurrentDataFolder();

// Makes DataFolder() return folder (a "/" is appended when missing), as --folder does; an
// empty text returns to the resolved folder. Tests may give the source the folder stands for.
void SetDataFolderOverride(const QString& folder,
                           DataFolderSource source = DataFolderSource::CommandLine);

// Makes the data folder of this run when it is missing, as the start does: the default folder
// private to its user (0700; an older, wider one is narrowed), a folder given with --folder or
// beside the program with the access of the folder it is made in. A chosen folder (a share that
// may not be mounted) is never made: the caller asks the user. Throws Error naming the folder.
void CreateDataFolder();

// Reports/ and Addresses/ in the data folder, made at start with the folder's access. A folder
// that cannot be made is reported where it is used (the log, the address book).
void CreateDataSubfolders() noexcept;

// $XDG_CONFIG_HOME/quillmark/quillmark.conf. It keeps the chosen folder as "DataFolderPath="
// with the bytes of the path percent-encoded ("/" as it is), so that every name a file system
// allows (blanks at either end, line breaks, "%", bytes that are not UTF-8) comes back the same.
// Earlier versions wrote "DataFolder=" with the path as plain text; that key is read when
// "DataFolderPath=" is missing.
QString DataFolderConfigPath();

class DataFolderConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The folder kept in the file, as the bytes of its path (QFile::encodeName), or none when the
// file or the key is missing or empty.
std::optional<QByteArray> ReadChosenDataFolder(const QString& configPath);
// Keeps folder, the bytes of its path, in the file (replaced whole). Throws
// DataFolderConfigError naming the file.
void WriteChosenDataFolder(const QString& configPath, const QByteArray& folder);

} // namespace qm
