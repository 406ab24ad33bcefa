#include "core/program_folder.h"

#include <QCoreApplication>

namespace qm {
namespace {
QString& Override() {
    static QString folder;
    return folder;
}

QString WithSlash(QString folder) {
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder;
}
} // namespace

QString ProgramFolder() {
    if (!Override().isEmpty()) return Override();
    return WithSlash(QCoreApplication::applicationDirPath());
}

void SetProgramFolderOverride(const QString& folder) {
    Override() = folder.isEmpty() ? QString() : WithSlash(folder);
}

} // namespace qm
