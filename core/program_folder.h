#pragma once
// The names older code uses for the data folder (core/data_folder.h). Companion files are
// found through core/companion_files.h.
#include "core/data_folder.h"

#include <QString>

namespace qm {

// The data folder, ending in "/".
inline QString ProgramFolder() {
    return DataFolder();
}
// Sets the data folder, as --folder does; an empty text returns to the resolved folder.
inline void SetProgramFolderOverride(const QString& folder) {
    SetDataFolderOverride(folder);
}

// The application title, also the main window's caption.
inline QString ApplicationTitle() {
    return QStringLiteral("Quillmark");
}

} // namespace qm
