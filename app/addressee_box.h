#pragma once
// The addressee box of the main window: the address memo, city, state and ZIP with their
// captions, Paste and Clear, and the table-mode bar that takes their place while an address
// table is open.
#include <QGroupBox>
#include <QList>
#include <QRect>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qm {

struct EntryFields;
class TTableModeBar;

class TAddresseeBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TAddresseeBox(QWidget* parent = nullptr);

    TTableModeBar& TableBar() { return *tableBar_; }
    bool InTableMode() const;
    // Switches between the free-entry controls and the table's; scale is how much the pixel
    // design grew for the window's font.
    void ShowTableMode(bool on, double scale);
    // The addressee as the print reads it, from the controls of the mode shown.
    void FillAddressee(EntryFields& f) const;
    void FocusZip();
    void FocusAddressLine(int line, int column);
    // The free-entry controls hold a typed address.
    bool HoldsTypedAddress() const;
    // The address fields of both modes, which show whether the piece has been printed.
    QList<QWidget*> MarkedFields() const;

signals:
    // An address field of either mode changed.
    void Edited();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void btnPasteClick();
    void btnClearClick();
    void memoAddressChange();

    QPlainTextEdit* memoAddress_ = nullptr;
    // Captions of the city, state and ZIP fields (the same in table mode).
    QLabel* lblCity_ = nullptr;
    QLabel* lblState_ = nullptr;
    QLabel* lblZip_ = nullptr;
    QLineEdit* editCity_ = nullptr;
    QLineEdit* editState_ = nullptr;
    QLineEdit* editZip_ = nullptr;
    TTableModeBar* tableBar_ = nullptr;
    QPushButton* btnPaste_ = nullptr;
    QPushButton* btnClear_ = nullptr;
    QRect pasteFreeGeometry_;
    bool inLineRule_ = false;
};

} // namespace qm
