#include "core/ini_profile.h"

#include "core/codepage.h"
#include "core/whole_file.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qm {
namespace {

// The section name of a header line "[name]", or nothing for any other line.
std::optional<QString> SectionName(const QString& line) {
    const QString t = line.trimmed();
    if (!t.startsWith(u'[')) return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    return (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
}

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A value as written into a line: one line of text, whatever the caller passed.
QString OneLine(QString value) {
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

} // namespace

std::optional<int> ParseProfileInteger(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (text.mid(i, 1) == u"$") {
        base = 16;
        i += 1;
    } else if (text.size() > 2 && (text.mid(i, 2) == u"0x" || text.mid(i, 2) == u"0X")) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return std::nullopt;
    quint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].toLower().unicode();
        int d = -1;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            d = 10 + (c - u'a');
        if (d < 0) return std::nullopt;
        value = value * static_cast<quint64>(base) + static_cast<quint64>(d);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (base == 16) {
        // Hexadecimal covers the full 32 bits: $FFFFFFFF is -1.
        // The sign wraps in 32 bits too (-$80000000 is the smallest int, -$FFFFFFFF is 1).
        const quint32 bits = static_cast<quint32>(value);
        return static_cast<int>(negative ? 0u - bits : bits);
    }
    if (negative) {
        if (value > 0x80000000ull) return std::nullopt;
        return static_cast<int>(-static_cast<qint64>(value));
    }
    if (value > 0x7FFFFFFFull) return std::nullopt;
    return static_cast<int>(value);
}

IniProfile IniProfile::FromText(const QString& text) {
    IniProfile p;
    if (text.isEmpty()) return p;
    p.lines_ = text.split(u'\n');
    for (QString& line : p.lines_)
        if (line.endsWith(u'\r')) line.chop(1);
    // The line break after the last line does not start another line.
    if (!p.lines_.isEmpty() && p.lines_.last().isEmpty()) p.lines_.removeLast();
    return p;
}

QString NotAPlainFile(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode)) return {};
    // A link planted in a shared folder would have us read or rewrite another user's file.
    return QStringLiteral("%1 is %2, not a settings file. Quillmark neither reads nor writes it, "
                          "and prints nothing, until it is a plain file again.")
        .arg(path, S_ISLNK(st.st_mode)   ? QStringLiteral("a symbolic link")
                   : S_ISDIR(st.st_mode) ? QStringLiteral("a folder")
                                         : QStringLiteral("a special file"));
}

IniProfile IniProfile::Load(const QString& path) {
    if (const QString why = NotAPlainFile(path); !why.isEmpty()) throw IniError(why.toStdString());
    // O_NOFOLLOW: a link put in its place since the check is refused, not read.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return {};
    if (fd < 0)
        throw IniError(QStringLiteral("Unable to read %1: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(errno)))
                           .toStdString());
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw IniError(
            QStringLiteral("Unable to read %1: %2").arg(path, f.errorString()).toStdString());
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw IniError(
            QStringLiteral("Unable to read %1: %2").arg(path, f.errorString()).toStdString());
    return FromText(DecodeAnsi(bytes));
}

int IniProfile::FindSection(const QString& section) const {
    for (int i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (name && SameName(*name, section.trimmed())) return i;
    }
    return -1;
}

int IniProfile::SectionEnd(int headerLine) const {
    int i = headerLine + 1;
    while (i < lines_.size() && !SectionName(lines_[i])) ++i;
    return i;
}

std::optional<IniProfile::KeyLine> IniProfile::FindKey(int headerLine, const QString& key) const {
    const int end = SectionEnd(headerLine);
    for (int i = headerLine + 1; i < end; ++i) {
        const qsizetype eq = lines_[i].indexOf(u'=');
        if (eq < 0) continue;
        const QString name = lines_[i].left(eq).trimmed();
        if (SameName(name, key.trimmed())) return KeyLine{i, name};
    }
    return std::nullopt;
}

std::optional<QString> IniProfile::Value(const QString& section, const QString& key) const {
    const int header = FindSection(section);
    if (header < 0) return std::nullopt;
    const auto found = FindKey(header, key);
    if (!found) return std::nullopt;
    const QString& line = lines_[found->line];
    QString value = line.mid(line.indexOf(u'=') + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    if (value.size() > kMaxProfileValue) value.truncate(kMaxProfileValue);
    return value;
}

QString IniProfile::ReadString(const QString& section, const QString& key,
                               const QString& def) const {
    return Value(section, key).value_or(def);
}

int IniProfile::ReadInteger(const QString& section, const QString& key, int def) const {
    const auto text = Value(section, key);
    if (!text) return def;
    return ParseProfileInteger(*text).value_or(def);
}

bool IniProfile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniProfile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString v = OneLine(value);
    const int header = FindSection(section);
    if (header < 0) {
        lines_.append(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
        lines_.append(key.trimmed() + QLatin1Char('=') + v);
        return;
    }
    if (const auto found = FindKey(header, key)) {
        lines_[found->line] = found->key + QLatin1Char('=') + v;
        return;
    }
    // After the last non-blank line of the section, so blank lines before the next header stay.
    int at = SectionEnd(header);
    while (at > header + 1 && lines_[at - 1].trimmed().isEmpty()) --at;
    lines_.insert(at, key.trimmed() + QLatin1Char('=') + v);
}

void IniProfile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void IniProfile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QString IniProfile::ToText() const {
    QString text;
    for (const QString& line : lines_) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return text;
}

void IniProfile::Save(const QString& path) const {
    const QString failure = QStringLiteral("Unable to write to %1").arg(path);
    // A read-only file stays untouched, even where its folder would allow replacing it.
    const QFileInfo info(path);
    const auto writeBits =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & writeBits)))
        throw IniError(failure.toStdString());
    if (const QString why = NotAPlainFile(path); !why.isEmpty()) throw IniError(why.toStdString());
    try {
        WriteWholeFile(path, EncodeAnsi(ToText()));
    } catch (const WholeFileError& e) {
        throw IniError((failure + QStringLiteral(": ") + e.Reason()).toStdString());
    }
}

} // namespace qm
