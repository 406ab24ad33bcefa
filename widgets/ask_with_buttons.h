#pragma once
// A modal message dialog with caller-given buttons.
#include <QDialog>
#include <QStringList>

#include <memory>

class QWidget;

namespace qm {

// The dialog AskWithButtons shows: the first caption is the rightmost button, the last one has
// the focus, Return or Enter presses the focused button, there is no close box, and the Escape
// key does not close it.
class AskDialog : public QDialog {
    Q_OBJECT
public:
    AskDialog(const QString& caption, const QString& message, const QStringList& buttons,
              QWidget* parent = nullptr);

public slots:
    void reject() override {} // closed by its buttons only
};

// Shows the dialog modally and returns the number of the pressed button, 1 for the first
// caption. buttons must not be empty.
int AskWithButtons(const QString& caption, const QString& message, const QStringList& buttons,
                   QWidget* parent = nullptr);

} // namespace qm
