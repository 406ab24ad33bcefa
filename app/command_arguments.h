#pragma once
// The program's arguments sorted before anything starts: the options of the commands, --folder,
// Qt's own options of a window program, and everything else, which is a mistake.
#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

namespace qm {

struct ArgumentScan {
    bool command = false; // an option of the commands (or the help) was given
    QString mistake;  // the first argument that is no option of ours or Qt's, said as a usage error
    QStringList ours; // the program name and our options with their values, Qt's left out
};

// Every argument must be an option of ours (two dashes for a long name, one for a letter) with
// its value, or one of Qt's (one dash or two, as Qt takes them); a word that is no option's
// value is a mistake too. `commands` are the options of the commands, `window` those the window
// program takes as well (--folder).
ArgumentScan ScanArguments(const QStringList& args, const QList<QCommandLineOption>& commands,
                           const QList<QCommandLineOption>& window);

} // namespace qm
