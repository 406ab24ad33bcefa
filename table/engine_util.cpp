#include "engine_util.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace qm::table {

std::string UpperAscii(std::string s) {
    for (char& c : s) c = UpperChar(c);
    return s;
}

std::string_view TrimView(std::string_view s, std::string_view chars) {
    const size_t first = s.find_first_not_of(chars);
    if (first == std::string_view::npos) return std::string_view();
    const size_t last = s.find_last_not_of(chars);
    return s.substr(first, last - first + 1);
}

std::string RTrim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsEngineFileName(const std::string& name) {
    const std::string upper = UpperAscii(name);
    const auto endsWith = [&](std::string_view tail) {
        return upper.size() >= tail.size() &&
               upper.compare(upper.size() - tail.size(), tail.size(), tail) == 0;
    };
    for (std::string_view ext :
         {".DBF", ".DBT", ".MDX", ".NDX", ".NTX", ".FPT", ".@S@", ".PACKSWAP"})
        if (endsWith(ext)) return true;
    // NAME.pack<digits> and NAME.packswap.new<digits>.
    const size_t digits = upper.find_last_not_of("0123456789");
    if (digits == std::string::npos || digits + 1 == upper.size()) return false;
    const std::string head = upper.substr(0, digits + 1);
    const auto headEnds = [&](std::string_view tail) {
        return head.size() >= tail.size() &&
               head.compare(head.size() - tail.size(), tail.size(), tail) == 0;
    };
    return headEnds(".PACK") || headEnds(".PACKSWAP.NEW");
}

std::string BaseName(const std::string& path) {
    std::string name = FileNamePart(path);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

std::string WithExtension(const std::string& path, const std::string& ext) {
    const std::string name = FileNamePart(path);
    const size_t dot = name.find_last_of('.');
    const std::string base =
        dot == std::string::npos ? path : path.substr(0, path.size() - (name.size() - dot));
    return base + "." + ext;
}

std::string AddDefaultExtension(const std::string& fileName, const std::string& ext) {
    if (FileNamePart(fileName).find('.') != std::string::npos) return fileName;
    return fileName + "." + ext;
}

std::string FullPath(const std::string& fileName) {
    std::error_code ec;
    auto p = std::filesystem::absolute(fileName, ec);
    if (ec) return fileName;
    return p.lexically_normal().string();
}

std::string DisplayPath(const std::string& fullPath) {
    // As named: on this system an upper-cased path names another file, or none.
    return fullPath;
}

std::string ResolveNameCase(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec)) || path.empty()) return path;
    const fs::path p(path);
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string wanted = UpperAscii(p.filename().string());
    std::vector<std::string> hits;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (UpperAscii(name) == wanted) hits.push_back(name);
    }
    if (hits.empty()) return path;
    std::sort(hits.begin(), hits.end());
    return p.has_parent_path() ? (p.parent_path() / hits.front()).string() : hits.front();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

} // namespace qm::table
