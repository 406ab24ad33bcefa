#pragma once
// The hourglass while a command works, and the normal cursor again while it asks the user.
#include <QGuiApplication>

namespace qm {

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Puts the normal cursor back while a dialog is open inside a WaitCursor.
class NormalCursor {
public:
    NormalCursor() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~NormalCursor() { QGuiApplication::restoreOverrideCursor(); }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;
};

} // namespace qm
