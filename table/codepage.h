// Text code pages of table files: OEM (code page 437) and ANSI (Windows-1252).
// Text inside the program is UTF-8; the tables are built once from glibc's iconv.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm::table {

enum class TTableLanguage { tlOem, tlAnsi };

// Appends the UTF-8 form of n stored bytes to out.
void DecodeText(TTableLanguage lang, const char* p, size_t n, std::string& out);

// Stores UTF-8 text into exactly `width` bytes: cut after `width` characters,
// padded with blanks. Characters the code page lacks become '?', and so does each
// byte that begins no valid UTF-8 character (overlong forms and surrogates included).
void EncodeText(TTableLanguage lang, std::string_view utf8, char* dst, size_t width);

// The stored bytes of UTF-8 text, one a character, as many as it needs.
std::string EncodeString(TTableLanguage lang, std::string_view utf8);

// Number of characters (code points) in UTF-8 text.
size_t Utf8Length(std::string_view utf8);

// The first `chars` characters of UTF-8 text.
std::string_view Utf8Prefix(std::string_view utf8, size_t chars);

} // namespace qm::table
