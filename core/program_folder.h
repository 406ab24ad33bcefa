#pragma once
#include <QString>

namespace qm {

// The folder of the program file, ending in "/". Every companion file lies relative to it.
QString ProgramFolder();
// Makes ProgramFolder() return folder (a "/" is appended when missing); an empty text returns
// to the program file's folder. For tests and the start-up benchmark.
void SetProgramFolderOverride(const QString& folder);

// The application title, also the main window's caption.
inline QString ApplicationTitle() {
    return QStringLiteral("Quillmark");
}

} // namespace qm
