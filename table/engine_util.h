// The engine's small toolbox: ASCII case, blank trimming, file-name parts,
// little-endian integers. Shared by the table, memo and index files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm::table {

// ASCII letters only; bytes of other code pages stay as they are.
constexpr char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
std::string UpperAscii(std::string s);

// Without the leading and trailing characters found in `chars`.
std::string_view TrimView(std::string_view s, std::string_view chars = " ");
inline std::string Trim(std::string_view s, std::string_view chars = " ") {
    return std::string(TrimView(s, chars));
}
std::string RTrim(std::string s);

// "/a/b/name.ext" -> "name.ext".
std::string FileNamePart(const std::string& path);
// Whether a file name is one of the engine's formats, whatever its case: a table, memo or index
// file (.dbf .dbt .mdx .ndx .ntx .fpt), the index semaphore (.@S@), a pack marker (.packswap)
// or a temporary of a pack (NAME.packPID, MARKER.newPID).
bool IsEngineFileName(const std::string& name);
// "/a/b/name.ext" -> "name" (file-name part without its extension).
std::string BaseName(const std::string& path);
// The path with its extension replaced (or added): WithExtension("a/t.dbf", "DBT") -> "a/t.DBT".
std::string WithExtension(const std::string& path, const std::string& ext);
// "name" -> "name.DBF" when the file-name part has no extension.
std::string AddDefaultExtension(const std::string& fileName, const std::string& ext = "DBF");
// Absolute, normalised path.
std::string FullPath(const std::string& fileName);
// The full path as the file was named, the form messages about an open table show.
std::string DisplayPath(const std::string& fullPath);
// The path itself when it exists; otherwise the one entry of its folder whose
// name matches case-insensitively (the first in name order when several do);
// otherwise the path unchanged.
std::string ResolveNameCase(const std::string& path);
// True when both paths name the same existing file (symbolic and hard links included).
bool SameFile(const std::string& a, const std::string& b);

inline uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace qm::table
