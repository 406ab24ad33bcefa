#include "paste_address.h"

namespace qm::addresses {

namespace {

bool IsSeparator(QChar a, QChar b) {
    return (a == u'\r' && b == u'\n') || (a == u'\n' && b == u'\r');
}

} // namespace

void SplitCityLine(const QString& line, QString& city, QString& state, QString& zip) {
    const qsizetype len = line.size();
    // Positions below count from 1, as `at(k)` reads line[k - 1].
    auto at = [&](qsizetype k) { return line[k - 1]; };
    const qsizetype hyphen = line.indexOf(u'-');
    if (hyphen >= 0) {
        const qsizetype start = hyphen >= 5 ? hyphen - 5 : 0;
        zip = line.mid(start, 10);
    } else {
        zip = len > 5 ? line.right(5) : line;
    }
    qsizetype k = len - zip.size();
    while (k >= 1 && at(k) == u' ') --k;
    state = k < 2 ? line.left(2) : line.mid(k - 2, 2);
    k -= 2;
    while (k >= 1 && (at(k) == u' ' || at(k) == u',')) --k;
    city = k < 1 ? QString() : line.left(k);
}

std::optional<TPastedAddress> SplitPastedAddress(const QString& clip) {
    if (clip.isEmpty()) return std::nullopt;
    QString text = clip;
    const QChar last = text.back();
    if (last != u'\r' && last != u'\n') text += QStringLiteral("\r\n");

    QStringList lines;
    qsizetype start = 0, i = 0;
    while (i + 1 < text.size()) {
        if (IsSeparator(text[i], text[i + 1])) {
            lines.append(text.mid(start, i - start));
            i += 2;
            start = i;
        } else {
            ++i;
        }
    }
    if (lines.isEmpty()) return std::nullopt;

    TPastedAddress a;
    SplitCityLine(lines.back(), a.city, a.state, a.zip);
    lines.removeLast();
    a.lines = lines.mid(0, 4);
    return a;
}

QString PastedMemoText(const QStringList& lines) {
    QString memo;
    for (qsizetype i = 0; i < lines.size() && i < 4; ++i) {
        memo += lines[i];
        if (i < 3) memo += QStringLiteral("\r\n");
    }
    return memo;
}

} // namespace qm::addresses
