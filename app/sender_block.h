#pragma once
// The sender block of the main window: the five lines of the sender's name and address and the
// button that changes them.
#include <QGroupBox>

#include <array>

class QLabel;
class QPushButton;

namespace qm {

class TSenderBlock : public QGroupBox {
    Q_OBJECT
public:
    explicit TSenderBlock(QWidget* parent = nullptr);

    void ShowLines(const std::array<QString, 5>& lines);
    // The lines as shown (and printed).
    std::array<QString, 5> Lines() const;

signals:
    void ChangeClicked();

private:
    std::array<QLabel*, 5> lblYourAddress_{};
    QPushButton* btnChangeYourAddress_ = nullptr;
};

} // namespace qm
