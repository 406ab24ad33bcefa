#pragma once
// The error of an operation below the windows: its text is the whole message the user sees,
// with its context (the file, the record, what was left unchanged). Operations throw it (or
// one of the subsystems' own std::runtime_error types, or the table engine's EZezudError);
// each command boundary catches std::exception in one place and shows what().
#include <QString>

#include <stdexcept>

namespace qm {

class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()) {}
};

} // namespace qm
