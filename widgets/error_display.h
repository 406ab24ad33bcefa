#pragma once
// The application's standard error display: a critical message box with the error's text and
// the application title as caption.
#include <QString>

#include <exception>

class QWidget;

namespace qm {

void ShowError(QWidget* parent, const QString& message);
void ShowError(QWidget* parent, const std::exception& error);

} // namespace qm
