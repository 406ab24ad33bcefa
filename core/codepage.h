#pragma once
// Conversion between the settings file's ANSI code page (Windows-1252) and QString.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qm {

// Decodes Windows-1252 bytes. Bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) come through as the control characters of the same value.
QString DecodeAnsi(const QByteArray& bytes);

// Encodes to Windows-1252; characters the code page cannot hold become '?'.
QByteArray EncodeAnsi(const QString& text);

// The characters of text that Windows-1252 cannot hold, each once, in the order of their
// first appearance (a character outside the Basic Multilingual Plane is one entry).
QStringList CharactersAnsiCannotHold(const QString& text);

} // namespace qm
