#include "widgets/dialog_parts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace qm {

QLabel* WrappedLabel(const QString& text, QWidget* parent, bool bold) {
    QLabel* label = bold ? BoldLabel(text, parent) : new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QLabel* BoldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QPushButton* NamedButton(const QString& caption, const char* objectName, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons) row->addWidget(button);
    return row;
}

void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

} // namespace qm
