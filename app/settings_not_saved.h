#pragma once
// The question shown when the settings file cannot be written while the program closes.
#include <QString>

class QWidget;

namespace qm {

enum class UnsavedSettingsChoice { Retry, ExitWithoutSaving, Cancel };

// A warning with the error's text and the buttons "Retry", "Exit without saving" and
// "Cancel"; Retry is the default, Escape answers Cancel.
UnsavedSettingsChoice AskUnsavedSettings(QWidget* parent, const QString& error);

} // namespace qm
