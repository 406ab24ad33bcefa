#include "app/form_parts.h"

#include "addresses/address_book_texts.h"
#include "addresses/paste_address.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace qm {

QLabel* AddLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    return l;
}

QLineEdit* AddEdit(QWidget* parent, const char* name, int maxLength, QRect geometry) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0) e->setMaxLength(maxLength);
    e->setGeometry(geometry);
    return e;
}

QPlainTextEdit* AddMemo(QWidget* parent, const char* name, QRect geometry) {
    auto* m = new QPlainTextEdit(parent);
    m->setObjectName(QString::fromLatin1(name));
    m->setGeometry(geometry);
    // Lines are counted as typed: a long line scrolls instead of wrapping.
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    m->setTabChangesFocus(true);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return m;
}

void ShowPastedAddress(const QString& text, QPlainTextEdit* memo, QLineEdit* city, QLineEdit* state,
                       QLineEdit* zip) {
    const auto pasted = addresses::SplitPastedAddress(text);
    if (!pasted) return;
    // A lone carriage return or line feed stays in its line but is neither shown nor printed.
    using addresses::WithoutControlCharacters;
    city->setText(WithoutControlCharacters(pasted->city));
    state->setText(WithoutControlCharacters(pasted->state));
    zip->setText(WithoutControlCharacters(pasted->zip));
    if (!pasted->lines.isEmpty()) {
        QStringList lines;
        for (const QString& line : pasted->lines) lines << WithoutControlCharacters(line);
        QString memoText = addresses::PastedMemoText(lines);
        memoText.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        memo->setPlainText(memoText);
    }
}

} // namespace qm
