#pragma once
// The companion files that ship with the program (Quill3.hlp, Quill3.rav, Scr_logo.bmp):
// beside the executable (a build, a portable copy) or, installed, in the program's share
// folder (bin/../share/quillmark, then the share folder of the installation prefix).
#include <QString>
#include <QStringList>

namespace qm {

// The folders searched, in order.
QStringList CompanionFolders();

// The first of the folders that holds name; the path beside the executable when none does
// (so that a message names a sensible place).
QString CompanionFile(const QString& name);

// Quill3.rav: a copy in the data folder, which the user may edit, wins over the shipped one.
QString ReportProjectFile();

// Makes CompanionFolders() the one given folder; an empty text returns to the usual search.
// For tests.
void SetCompanionFolderOverride(const QString& folder);

} // namespace qm
