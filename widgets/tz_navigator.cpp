#include "widgets/tz_navigator.h"

#include <QResizeEvent>
#include <QToolButton>

namespace qm {

namespace {

struct ButtonLook {
    const char* name;
    const char* glyph;
    const char* hint;
};

constexpr ButtonLook kLooks[TTzNavigator::kButtons] = {
    {"nbFirst", "|\u25c0", "First record"},  {"nbPrior", "\u25c0", "Prior record"},
    {"nbNext", "\u25b6", "Next record"},     {"nbLast", "\u25b6|", "Last record"},
    {"nbInsert", "+", "Insert record"},      {"nbDelete", "\u2212", "Delete record"},
    {"nbPost", "\u2713", "Post edit"},       {"nbCancel", "\u2715", "Cancel edit"},
    {"nbRefresh", "\u21bb", "Refresh data"},
};

} // namespace

TTzNavigator::TTzNavigator(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < kButtons; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(kLooks[i].name));
        b->setText(QString::fromUtf8(kLooks[i].glyph));
        b->setToolTip(QString::fromLatin1(kLooks[i].hint));
        b->setAccessibleName(QString::fromLatin1(kLooks[i].hint));
        b->setFocusPolicy(Qt::NoFocus);
        const auto which = TNavigateBtn(i);
        connect(b, &QToolButton::clicked, this, [this, which] { emit Click(which); });
        buttons_[size_t(i)] = b;
    }
}

QToolButton* TTzNavigator::Button(TNavigateBtn which) const {
    return buttons_[size_t(which)];
}

void TTzNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width(), h = height();
    for (int i = 0; i < kButtons; ++i) {
        const int left = w * i / kButtons, right = w * (i + 1) / kButtons;
        buttons_[size_t(i)]->setGeometry(left, 0, right - left, h);
    }
}

} // namespace qm
