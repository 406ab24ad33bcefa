#include "widgets/ask_with_buttons.h"

#include "widgets/dialog_parts.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <stdexcept>

namespace qm {

AskDialog::AskDialog(const QString& caption, const QString& message, const QStringList& buttons,
                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    if (buttons.isEmpty()) throw std::invalid_argument("AskWithButtons needs at least one button");
    setObjectName(QStringLiteral("AskWithButtons"));
    setWindowTitle(caption);
    const QFontMetrics fm(font());
    const int n = static_cast<int>(buttons.size());

    int width = 325;
    int w = 0;
    for (const QString& b : buttons) w = std::max(w, fm.horizontalAdvance(b));
    w += 10;
    const int needed = n * w + (n + 1) * 10;
    width = std::max(width, needed);

    const int h = fm.height();
    const int m = fm.horizontalAdvance(message);
    const int textHeight = width < m ? (m / width + 3) * h : 3 * h;
    const int height = textHeight + 4 * h + 22;
    setFixedSize(width, height);

    auto* label = new QLabel(message, this);
    label->setObjectName(QStringLiteral("labelMessage"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(10, 10, width - 20, textHeight);

    for (int i = 0; i < n; ++i) {
        auto* button = new QPushButton(buttons[i], this);
        button->setObjectName(QStringLiteral("button%1").arg(i + 1));
        button->setGeometry(width - (i + 1) * (w + 10), height - 35, w, 25);
        // The focused button is the dialog's default: Return or Enter presses it.
        button->setAutoDefault(true);
        const int result = i + 1;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        button->setFocus();
    }
    CentreOnScreen(this);
}

int AskWithButtons(const QString& caption, const QString& message, const QStringList& buttons,
                   QWidget* parent) {
    AskDialog dialog(caption, message, buttons, parent);
    return dialog.exec();
}

} // namespace qm
