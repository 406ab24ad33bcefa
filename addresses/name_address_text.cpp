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
    const TAddressWidths w;
    return {QStringLiteral("Address,M,10,0"), QStringLiteral("City,C,%1,0").arg(w.city),
            QStringLiteral("State,C,%1,0").arg(w.state), QStringLiteral("Zip,C,%1,0").arg(w.zip)};
}

namespace {

// One line's bytes: UTF-8 when they are valid UTF-8, else Windows-1252.
QString DecodeLine(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? DecodeAnsi(bytes.toByteArray()) : text;
}

} // namespace

QString DecodeNameAddressText(const QByteArray& bytes) {
    // CR and LF are line ends in both encodings and never part of a UTF-8 sequence, so the
    // lines can be cut before they are decoded.
    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF")) rest = rest.sliced(3);
    QString text;
    text.reserve(rest.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && rest[i] != '\r' && rest[i] != '\n') continue;
        text += DecodeLine(rest.sliced(start, i - start));
        if (i < rest.size()) text += QLatin1Char(rest[i]);
        start = i + 1;
    }
    return text;
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

TParsedLine ParseImportLine(const QString& rawLine) {
    // NUL and other control characters go first, as the export drops them; taken out of a
    // field only after its end was found, they could leave a quote and a comma side by side
    // in a value, which no export line can give back.
    QString line = TrimValue(rawLine);
    line.removeIf([](QChar c) { return c.unicode() < u' '; });
    QStringList values;
    qsizetype at = 0;
    for (;;) {
        QString value;
        if (at < line.size() && line[at] == u'"') {
            // Ends at the first quote followed by a comma or the end of the line.
            qsizetype close = at + 1;
            while (close < line.size() &&
                   !(line[close] == u'"' && (close + 1 == line.size() || line[close + 1] == u',')))
                ++close;
            if (close == line.size()) return {{}, QStringLiteral("a quote is not closed")};
            value = line.mid(at + 1, close - at - 1);
            value.replace(QStringLiteral("\"\""), QStringLiteral("\""));
            at = close + 1;
        } else {
            qsizetype comma = line.indexOf(u',', at);
            if (comma < 0) comma = line.size();
            value = line.mid(at, comma - at);
            at = comma;
        }
        values << value;
        if (at == line.size()) break;
        ++at; // the comma; a comma at the end leaves one more, empty field
    }
    if (values.size() != 7)
        return {{},
                QStringLiteral("%1 %2, 7 expected")
                    .arg(values.size())
                    .arg(values.size() == 1 ? QStringLiteral("field") : QStringLiteral("fields"))};
    TParsedLine parsed;
    for (size_t f = 0; f < 7; ++f) parsed.fields[f] = values[qsizetype(f)];
    return parsed;
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

namespace {

// Characters of a value as the table stores it (one byte each); trailing blanks do not
// count, as the table pads with blanks anyway.
int StoredLength(const QString& value) {
    qsizetype e = value.size();
    while (e > 0 && value[e - 1] == u' ') --e;
    return int(qm::table::Utf8Length(Utf8(value.left(e))));
}

// "the city has 23 characters, its column holds 20" for each value too long for its column.
QString TooLong(const TImportFields& f, const TAddressWidths& widths) {
    const struct {
        const char* name;
        const QString& value;
        int width;
    } columns[] = {
        {"city", f[4], widths.city}, {"state", f[5], widths.state}, {"ZIP code", f[6], widths.zip}};
    QStringList found;
    for (const auto& c : columns) {
        const int length = StoredLength(c.value);
        if (length > c.width)
            found << QStringLiteral("the %1 has %2 characters, its column holds %3")
                         .arg(QLatin1String(c.name))
                         .arg(length)
                         .arg(c.width);
    }
    return found.join(QStringLiteral("; "));
}

int ReplacedIn(const TImportFields& f) {
    int replaced = 0;
    for (const QString& m : ImportMemoLines(f)) replaced += CountNotInOem(m);
    for (size_t i = 4; i < 7; ++i) replaced += CountNotInOem(f[i]);
    return replaced;
}

} // namespace

TImportPlan PlanImport(const QByteArray& bytes, const TAddressWidths& widths) {
    TImportPlan plan;
    const QStringList lines = SplitTextFileLines(DecodeNameAddressText(bytes));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (TrimValue(lines[n]).isEmpty()) continue;
        const int number = int(n + 1);
        TParsedLine parsed = ParseImportLine(lines[n]);
        if (parsed.refusal.isEmpty()) parsed.refusal = TooLong(parsed.fields, widths);
        if (!parsed.refusal.isEmpty()) {
            plan.report.refused.push_back({number, parsed.refusal});
            continue;
        }
        plan.report.replaced += ReplacedIn(parsed.fields);
        plan.records.push_back(std::move(parsed.fields));
    }
    plan.report.imported = int(plan.records.size());
    return plan;
}

TAddressWidths AddressWidthsOf(qm::table::TTzDbf& table) {
    auto width = [&](const char* name) {
        const int i = table.FieldIndex(name);
        return i < 0 ? 0 : table.FieldDef(i).width;
    };
    return {width("CITY"), width("STATE"), width("ZIP")};
}

void AppendImportRecords(qm::table::TTzDbf& table, const TImportPlan& plan) {
    for (const TImportFields& f : plan.records) {
        table.ALock(); // kept until the table is closed
        std::vector<std::string> memoLines;
        for (const QString& m : ImportMemoLines(f)) memoLines.push_back(Utf8(m));
        table.ClearRecord();
        table.SetMField("Address", memoLines);
        table.SetField("City", Utf8(f[4]));
        table.SetField("State", Utf8(f[5]));
        table.SetField("Zip", Utf8(f[6]));
        table.AppendRec();
    }
}

TImportReport ImportIntoTable(qm::table::TTzDbf& table, const QByteArray& bytes) {
    const TImportPlan plan = PlanImport(bytes, AddressWidthsOf(table));
    AppendImportRecords(table, plan);
    return plan.report;
}

QString ImportMessage(const TImportReport& report) {
    QStringList parts;
    if (report.refused.empty()) {
        parts << (report.imported > 0
                      ? QStringLiteral("Import Done.")
                      : QStringLiteral("The file holds no addresses; nothing was imported."));
    } else {
        const int refused = int(report.refused.size());
        QStringList lines;
        lines << QStringLiteral("%1 %2 imported; %3 %4 not:")
                     .arg(report.imported)
                     .arg(report.imported == 1 ? QStringLiteral("line was")
                                               : QStringLiteral("lines were"))
                     .arg(refused)
                     .arg(refused == 1 ? QStringLiteral("was") : QStringLiteral("were"));
        for (int i = 0; i < refused && i < kRefusedLinesNamed; ++i)
            lines << QStringLiteral("line %1: %2")
                         .arg(report.refused[size_t(i)].line)
                         .arg(report.refused[size_t(i)].reason);
        if (refused > kRefusedLinesNamed)
            lines << QStringLiteral("and %1 more %2.")
                         .arg(refused - kRefusedLinesNamed)
                         .arg(refused - kRefusedLinesNamed == 1 ? QStringLiteral("line")
                                                                : QStringLiteral("lines"));
        parts << lines.join(u'\n');
        if (report.imported == 0) parts << QStringLiteral("Nothing was written to the table.");
    }
    if (report.replaced > 0)
        parts << QStringLiteral("%1 character(s) of the text file could not be stored in the "
                                "table's code page and were replaced by \"?\".")
                     .arg(report.replaced);
    return parts.join(QStringLiteral("\n\n"));
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
