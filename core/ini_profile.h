#pragma once
// An INI profile file held in memory, with the matching and writing rules of the platform's
// profile functions: sections and keys are found without regard to letter case; a write keeps
// an existing key's spelling and place, appends a new key after the last key of its section
// and a new section at the end. The file is Windows-1252 text with CR LF line ends.
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace qm {

class IniError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The longest value a read returns.
inline constexpr int kMaxProfileValue = 2047;

// A profile integer: optional sign, then decimal digits, or hexadecimal digits after "$", "0x"
// or "0X". Anything else (also an empty text or a value beyond 32 bits) gives no value.
std::optional<int> ParseProfileInteger(const QString& text);

// Why the settings file at path must not be read or replaced (a symbolic link, a folder, a
// special file in its place), or an empty text when it is a plain file or missing.
QString NotAPlainFile(const QString& path);

class IniProfile {
public:
    IniProfile() = default;

    // Parses the text of a profile file (CR LF or LF line ends).
    static IniProfile FromText(const QString& text);
    // Reads the file at path; a missing file gives an empty profile. Throws IniError when the
    // file exists but cannot be read, or is a link or anything but a plain file.
    static IniProfile Load(const QString& path);

    // The stored value (trimmed, one pair of enclosing quotes removed, at most 2047
    // characters), or nothing when the section or key is missing.
    std::optional<QString> Value(const QString& section, const QString& key) const;
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    // The file text with CR LF after every line.
    QString ToText() const;
    // Writes the whole file at once (a failed write leaves the old file as it was). Throws
    // IniError when the file or its folder cannot be written.
    void Save(const QString& path) const;

    const QStringList& Lines() const { return lines_; }

private:
    struct KeyLine {
        int line = -1;
        QString key;
    };
    int FindSection(const QString& section) const;
    int SectionEnd(int headerLine) const;
    std::optional<KeyLine> FindKey(int headerLine, const QString& key) const;

    QStringList lines_;
};

} // namespace qm
