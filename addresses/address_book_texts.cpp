#include "addresses/address_book_texts.h"

#include <QFileInfo>

namespace qm::addresses {

QString ProposedTableFileName(const QString& textFile) {
    const QString name = QFileInfo(textFile).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot < 0) return name + QStringLiteral(".dbf");
    return name.left(dot + 1) + QStringLiteral("dbf");
}

QString ProposedTextFileName(const QString& tableFile) {
    QString name = QFileInfo(tableFile).fileName();
    qsizetype at = name.indexOf(QLatin1String(".dbf"));
    if (at < 0) at = name.indexOf(QLatin1String(".DBF"));
    if (at >= 0) name.remove(at, 5);
    return name + QStringLiteral(".txt");
}

QString ShortenedDatabaseName(const QString& fullName,
                              const std::function<int(const QString&)>& width, int maxWidth,
                              int fitWidth) {
    if (width(fullName) <= maxWidth) return fullName;
    QString caption = fullName;
    while (width(caption) > fitWidth) {
        const qsizetype slash = caption.indexOf(QLatin1Char('/'));
        if (slash < 0) break;
        caption.remove(0, slash + 1);
    }
    return QStringLiteral(".../") + caption;
}

QString WithoutControlCharacters(QString text) {
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return text;
}

QString MemoControlText(const std::vector<std::string>& lines) {
    QStringList shown;
    shown.reserve(qsizetype(lines.size()));
    for (const std::string& line : lines)
        shown.append(WithoutControlCharacters(QString::fromStdString(line)));
    return shown.join(QLatin1Char('\n'));
}

std::vector<std::string> MemoLinesOfControl(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    std::vector<std::string> out;
    out.reserve(size_t(lines.size()));
    for (const QString& l : lines) out.push_back(l.toStdString());
    return out;
}

} // namespace qm::addresses
