#include "entry/entry_form.h"

#include "app/ui/memo_lines.h"

#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QWidget>

namespace qm {
namespace {

void SetMarked(QWidget* form, const QColor& color, bool printEnabled) {
    for (const QString& name : MarkedControlNames()) {
        if (auto* w = form->findChild<QWidget*>(name)) {
            QPalette p = w->palette();
            p.setColor(QPalette::Base, color);
            w->setPalette(p);
        }
    }
    if (auto* print = form->findChild<QWidget*>(QStringLiteral("btnPrint")))
        print->setEnabled(printEnabled);
}

} // namespace

const QStringList& MarkedControlNames() {
    static const QStringList names = {
        QStringLiteral("editPostage"),    QStringLiteral("editCertFee"),
        QStringLiteral("editRestricted"), QStringLiteral("editReturn"),
        QStringLiteral("editTotal"),      QStringLiteral("editRe"),
        QStringLiteral("editComment"),    QStringLiteral("memoAddress"),
        QStringLiteral("editCity"),       QStringLiteral("editState"),
        QStringLiteral("editZip"),        QStringLiteral("tzmemoAddress"),
        QStringLiteral("tzeditCity"),     QStringLiteral("tzeditState"),
        QStringLiteral("tzeditZip"),
    };
    return names;
}

void MarkPrinted(QWidget* form) {
    SetMarked(form, PrintedColor(), false);
}

void MarkEdited(QWidget* form) {
    SetMarked(form, Qt::white, true);
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

void ClearAddressee(QWidget* form) {
    if (auto* memo = form->findChild<QPlainTextEdit*>(QStringLiteral("memoAddress"))) {
        memo->clear();
        memo->setPlainText(QStringLiteral(" "));
    }
    for (const char* name : {"editCity", "editState", "editZip"})
        if (auto* e = form->findChild<QLineEdit*>(QString::fromLatin1(name))) e->clear();
}

} // namespace qm
