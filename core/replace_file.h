#pragma once
// Replacing a file in one step: the new contents go to a file of their own beside the name
// (created new, O_EXCL), are flushed to disk and renamed over the name. A reader sees the old
// file or the whole new one, and a link planted at the name is replaced, never followed.
#include <QFile>
#include <QString>

#include <functional>
#include <optional>

namespace qm {

// `write` fills the new file (an exception from it leaves nothing behind and propagates).
// The file gets mode 0644. Returns the reason it could not be written, nullopt once it is
// in place. The folder must exist.
std::optional<QString> ReplaceFile(const QString& path, const std::function<void(QFile&)>& write);

} // namespace qm
