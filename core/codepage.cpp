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

} // namespace qm
