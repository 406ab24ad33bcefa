// Splitting an address copied to the clipboard: the lines before the last are
// the name and street lines, the last line gives city, state and ZIP code.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace qm::addresses {

struct TPastedAddress {
    QStringList lines; // the address lines before the city line, at most four
    QString city;
    QString state;
    QString zip;
};

// Lines are separated by CR LF or LF CR; a lone CR or LF stays in its line.
// Nothing (after the clear) for an empty text or one from which no line can
// be taken (no separator and a lone CR or LF at its end).
std::optional<TPastedAddress> SplitPastedAddress(const QString& text);

// City, state and ZIP code of a city line ("Springfield, IL 62704").
void SplitCityLine(const QString& line, QString& city, QString& state, QString& zip);

// The memo text of the address lines: lines 1 to 3 each followed by CR LF,
// line 4 without.
QString PastedMemoText(const QStringList& lines);

} // namespace qm::addresses
