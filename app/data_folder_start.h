#pragma once
// The data folder at start-up: --folder DIR on the command line, the folder made ready
// before the settings are read, and the restart after Options, Data Folder.
#include <QString>
#include <QStringList>

class QWidget;

namespace qm {

// Takes "--folder DIR" or "--folder=DIR" from the program's arguments and sets the data
// folder for this run. False, with error set, when the option lacks its folder or the folder
// does not exist.
bool ApplyFolderArgument(const QStringList& arguments, QString& error);

// Makes the data folder ready: the default one is created on first use; a chosen one (a
// share that may not be mounted) is never created: the user may retry or end the program.
// False when the program should end.
bool PrepareDataFolder(QWidget* parent = nullptr);

// Asked by Options, Data Folder: start the program again when this run ends.
void RequestRestart(bool on);
bool RestartRequested();
// Starts a new copy of the program with this run's arguments. False when it cannot start.
bool StartAgain();

} // namespace qm
