#include "widgets/memo_lines.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
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

bool KeepFourLines(QPlainTextEdit* memo) {
    bool changed = false;
    for (;;) {
        const QList<DisplayedLine> lines = DisplayedLineRanges(memo);
        if (lines.size() <= kMaxAddressLines) return changed;
        // From the start of line 5 to the start of line 6, or to the end of the text.
        const int from = lines[kMaxAddressLines].position;
        const int to = lines.size() > kMaxAddressLines + 1 ? lines[kMaxAddressLines + 1].position
                                                           : memo->document()->characterCount() - 1;
        QTextCursor c(memo->document());
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        if (!c.hasSelection()) return changed; // nothing left to take away
        c.removeSelectedText();
        changed = true;
    }
}

} // namespace qm
