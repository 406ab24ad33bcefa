#include "app/sender_block.h"

#include "app/form_parts.h"

#include <QLabel>
#include <QPushButton>

namespace qm {

TSenderBlock::TSenderBlock(QWidget* parent)
    : QGroupBox(QStringLiteral("Your Name and Address"), parent) {
    setObjectName(QStringLiteral("gbYour"));
    setFocusPolicy(Qt::TabFocus);
    for (int i = 0; i < 5; ++i) {
        const QByteArray name = "lblYourAddress" + QByteArray::number(i + 1);
        lblYourAddress_[size_t(i)] =
            AddLabel(this, name.constData(), QString(), QRect(8, 20 + 16 * i, 282, 16));
    }
    btnChangeYourAddress_ = new QPushButton(QStringLiteral("Change"), this);
    btnChangeYourAddress_->setObjectName(QStringLiteral("btnChangeYourAddress"));
    // In the group's top right corner, above the lines, wide enough for its caption.
    btnChangeYourAddress_->setGeometry(234, 0, 60, 20);
    connect(btnChangeYourAddress_, &QPushButton::clicked, this, &TSenderBlock::ChangeClicked);
}

void TSenderBlock::ShowLines(const std::array<QString, 5>& lines) {
    for (size_t i = 0; i < 5; ++i) lblYourAddress_[i]->setText(lines[i]);
}

std::array<QString, 5> TSenderBlock::Lines() const {
    std::array<QString, 5> lines;
    for (size_t i = 0; i < 5; ++i) lines[i] = lblYourAddress_[i]->text();
    return lines;
}

} // namespace qm
