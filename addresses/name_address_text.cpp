#include "name_address_text.h"

#include <QStringDecoder>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "table/codepage.h"
#include "table/tzdbf.h"

namespace qm::addresses {

using qm::table::TTableLanguage;

namespace {

std::string Utf8(const QString& s) {
    return s.toStdString();
}
QString FromUtf8(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

QStringList AddressTableFields() {
    return {"Address,M,10,0", "City,C,20,0", "State,C,4,0", "Zip,C,10,0"};
}

QString DecodeNameAddressText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        return text;
    }
    return DecodeAnsi(bytes);
}

QByteArray EncodeNameAddressText(const QString& text) {
    return EncodeAnsi(text);
}

QStringList SplitTextFileLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.append(text.mid(start));
    return lines;
}

QString TrimValue(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= u' ') ++b;
    while (e > b && s[e - 1].unicode() <= u' ') --e;
    return s.mid(b, e - b);
}

TImportFields ParseImportLine(const QString& rawLine) {
    TImportFields fields;
    QString rest = TrimValue(rawLine);
    if (!rest.contains(u',')) return fields;
    for (int f = 0; f < 7; ++f) {
        QString value;
        if (rest.startsWith(u'"')) {
            rest.remove(0, 1);
            const qsizetype end = rest.indexOf(QStringLiteral("\","));
            if (end < 0) {
                rest.remove(0, 1);
            } else {
                value = rest.left(end);
                rest.remove(0, end + 2);
            }
            value.replace(QStringLiteral("\"\""), QStringLiteral("\""));
        } else {
            const qsizetype end = rest.indexOf(u',');
            if (end < 0) {
                value = rest;
                rest.clear();
            } else {
                value = rest.left(end);
                rest.remove(0, end + 1);
            }
        }
        // NUL and other control characters go, as the export drops them.
        value.removeIf([](QChar c) { return c.unicode() < u' '; });
        fields[size_t(f)] = value;
        if (f == 5) rest += u',';
        if (f <= 4 && !rest.contains(u',')) return TImportFields{}; // malformed
    }
    return fields;
}

QStringList ImportMemoLines(const TImportFields& fields) {
    QStringList lines;
    for (size_t i = 0; i < 4; ++i)
        if (!TrimValue(fields[i]).isEmpty()) lines.append(fields[i] + QStringLiteral("\n\r"));
    return lines;
}

namespace {

// Trimmed, without control characters inside (a line break in a value would
// split the record over two lines of the file), quotes doubled as the import
// reads them.
QString ExportValue(const QString& s) {
    QString t = TrimValue(s);
    t.removeIf([](QChar c) { return c.unicode() < u' '; });
    t.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return t;
}

} // namespace

QString FormatExportLine(const QStringList& memoLines, const QString& city, const QString& state,
                         const QString& zip) {
    QString line;
    for (qsizetype i = 0; i < 4; ++i)
        line += u'"' + ExportValue(i < memoLines.size() ? memoLines[i] : QString()) +
                QStringLiteral("\",");
    line += u'"' + ExportValue(city) + QStringLiteral("\",\"") + ExportValue(state) +
            QStringLiteral("\",\"") + ExportValue(zip) + QStringLiteral("\"\r\n");
    return line;
}

int CountNotInOem(const QString& text) {
    int count = 0;
    for (QChar c : text) {
        if (c.unicode() < 0x80) continue;
        if (c.isSurrogate()) {
            ++count; // outside the Basic Multilingual Plane: never in 437 (counted per half)
            continue;
        }
        const std::string enc = qm::table::EncodeString(TTableLanguage::tlOem, Utf8(QString(c)));
        if (enc == "?") ++count;
    }
    return count;
}

QString MissingAddressField(qm::table::TTzDbf& table) {
    const struct {
        const char* name;
        char type;
    } needed[] = {{"ADDRESS", 'M'}, {"CITY", 'C'}, {"STATE", 'C'}, {"ZIP", 'C'}};
    for (const auto& n : needed) {
        const int i = table.FieldIndex(n.name);
        if (i < 0 || table.FieldDef(i).type != n.type)
            return QStringLiteral("The table %1 has no %2 field %3.")
                .arg(QString::fromStdString(table.DbfFileName()),
                     n.type == 'M' ? QStringLiteral("memo") : QStringLiteral("character"),
                     QString::fromLatin1(n.name));
    }
    return {};
}

int ImportIntoTable(qm::table::TTzDbf& table, const QByteArray& bytes) {
    int replaced = 0;
    const QStringList lines = SplitTextFileLines(DecodeNameAddressText(bytes));
    for (const QString& line : lines) {
        table.ALock(); // kept until the table is closed
        const TImportFields f = ParseImportLine(line);
        const QStringList memo = ImportMemoLines(f);
        std::vector<std::string> memoLines;
        memoLines.reserve(size_t(memo.size()));
        for (const QString& m : memo) {
            replaced += CountNotInOem(m);
            memoLines.push_back(Utf8(m));
        }
        table.ClearRecord();
        table.SetMField("Address", memoLines);
        for (size_t i = 4; i < 7; ++i) replaced += CountNotInOem(f[i]);
        table.SetField("City", Utf8(f[4]));
        table.SetField("State", Utf8(f[5]));
        table.SetField("Zip", Utf8(f[6]));
        table.AppendRec();
    }
    return replaced;
}

QByteArray ExportTable(qm::table::TTzDbf& table) {
    QString text;
    std::vector<std::string> lines;
    const int city = table.FieldIndex("City"), state = table.FieldIndex("State"),
              zip = table.FieldIndex("Zip");
    const uint32_t count = table.RecCount();
    for (uint32_t n = 1; n <= count; ++n) {
        table.SetRecNo(n);
        table.GetMField("Address", lines);
        QStringList memo;
        for (const std::string& l : lines) memo.append(FromUtf8(l));
        text += FormatExportLine(memo, FromUtf8(table.GetField(city)),
                                 FromUtf8(table.GetField(state)), FromUtf8(table.GetField(zip)));
    }
    return EncodeNameAddressText(text);
}

} // namespace qm::addresses
