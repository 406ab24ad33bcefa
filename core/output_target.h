#pragma once
// Where an output of the program (a report or book PDF, a log export, an address text file)
// may land: never on the office's own files, never into a folder, FIFO or device. The one
// guard of the command line and of every save dialog's accept.
#include <QString>

namespace qm {

// Why `target` must not receive an output, or an empty text when it may. Refused: the data
// folder's settings and their lock, the chosen-folder file, Quill3.rav, and any file of the
// table engine's formats (a name ending in .dbf, .dbt, .mdx, .ndx, .ntx, .fpt, the engine's
// semaphores, pack markers and temporaries, or a file whose header is a dBase table's), by
// its own name or, for a link, by the file it leads to; and an existing name that is not a
// plain file. A link to an ordinary file is fine: the output replaces the link, never the
// file it leads to.
QString OutputTargetRefusal(const QString& target);

} // namespace qm
