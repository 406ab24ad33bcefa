#pragma once
// TTzNavigator: the record navigator of the address book, nine buttons with their hints.
#include <QWidget>

#include <array>

class QToolButton;

namespace qm {

enum class TNavigateBtn {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbPost,
    nbCancel,
    nbRefresh
};

class TTzNavigator : public QWidget {
    Q_OBJECT
public:
    static constexpr int kButtons = 9;
    explicit TTzNavigator(QWidget* parent = nullptr);
    QToolButton* Button(TNavigateBtn which) const;

signals:
    void Click(qm::TNavigateBtn which);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<QToolButton*, kButtons> buttons_{};
};

} // namespace qm
