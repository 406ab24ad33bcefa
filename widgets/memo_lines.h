#pragma once
// Displayed lines of a multi-line edit: a long line that wraps counts as several lines, as the
// edit shows them. An empty last line (after a final line break) is not counted.
#include <QList>
#include <QStringList>

class QPlainTextEdit;

namespace qm {

struct DisplayedLine {
    int position = 0; // document position of the line's first character
    int length = 0;   // characters shown on the line, without the line break
    QString text;
};

QList<DisplayedLine> DisplayedLineRanges(const QPlainTextEdit* edit);
QStringList DisplayedLines(const QPlainTextEdit* edit);
// Line n (counting from 1), empty when the edit has fewer lines.
QString DisplayedLineAt(const QPlainTextEdit* edit, int n);

// The most displayed lines an address memo holds.
inline constexpr int kMaxAddressLines = 4;
// Deletes displayed line 5 until at most four remain; returns whether it deleted anything.
bool KeepFourLines(QPlainTextEdit* memo);

} // namespace qm
