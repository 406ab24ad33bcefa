#pragma once
// The application's standard error display: a critical message box with the error's text and
// the application title as caption.
#include <QString>

#include <exception>

class QWidget;

namespace qm {

void ShowError(QWidget* parent, const QString& message);
void ShowError(QWidget* parent, const std::exception& error);

// Information box for menu commands that are not part of this build yet.
void ShowNotAvailableYet(QWidget* parent);

} // namespace qm
