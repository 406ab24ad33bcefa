#include "core/codepage.h"

#include "table/codepage.h"

#include <string>

namespace qm {

QString DecodeAnsi(const QByteArray& bytes) {
    std::string utf8;
    table::DecodeText(table::TTableLanguage::tlAnsi, bytes.constData(),
                      static_cast<size_t>(bytes.size()), utf8);
    return QString::fromStdString(utf8);
}

QByteArray EncodeAnsi(const QString& text) {
    return QByteArray::fromStdString(
        table::EncodeString(table::TTableLanguage::tlAnsi, text.toStdString()));
}

QStringList CharactersAnsiCannotHold(const QString& text) {
    QStringList missing;
    for (const char32_t codePoint : text.toUcs4()) {
        const QString ch = QString::fromUcs4(&codePoint, 1);
        if (missing.contains(ch)) continue;
        // A character the code page holds comes back unchanged from a round trip.
        if (DecodeAnsi(EncodeAnsi(ch)) != ch) missing << ch;
    }
    return missing;
}

} // namespace qm
