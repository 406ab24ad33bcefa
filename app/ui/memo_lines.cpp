#include "app/ui/memo_lines.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace qm {

QList<DisplayedLine> DisplayedLineRanges(const QPlainTextEdit* edit) {
    QList<DisplayedLine> lines;
    const QTextDocument* doc = edit->document();
    QAbstractTextDocumentLayout* docLayout = doc->documentLayout();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        // Asking for the bounding rectangle lays the block out at the edit's current width.
        docLayout->blockBoundingRect(block);
        const QTextLayout* layout = block.layout();
        const QString text = block.text();
        if (layout == nullptr || layout->lineCount() == 0) {
            lines.append({block.position(), static_cast<int>(text.size()), text});
            continue;
        }
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const int start = line.textStart();
            const int length =
                std::min<int>(line.textLength(), static_cast<int>(text.size()) - start);
            lines.append({block.position() + start, length, text.mid(start, length)});
        }
    }
    if (!lines.isEmpty() && lines.last().text.isEmpty()) lines.removeLast();
    return lines;
}

QStringList DisplayedLines(const QPlainTextEdit* edit) {
    QStringList out;
    for (const DisplayedLine& l : DisplayedLineRanges(edit)) out.append(l.text);
    return out;
}

QString DisplayedLineAt(const QPlainTextEdit* edit, int n) {
    const QStringList lines = DisplayedLines(edit);
    return n >= 1 && n <= lines.size() ? lines[n - 1] : QString();
}

} // namespace qm
