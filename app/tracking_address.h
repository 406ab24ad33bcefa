#pragma once
// The tracking page's address for the user to copy when no web browser can open it.
#include <QString>

class QWidget;

namespace qm {

// An information box with the address as selectable text and a button that copies it
// to the clipboard.
void ShowTrackingAddress(QWidget* parent, const QString& address);

} // namespace qm
