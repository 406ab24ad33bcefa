#pragma once
// The address-table mode of the addressee box: the table's name, the navigator with the record
// counter and the deleted mark, the Exit button, and the data-bound twins of the free-entry
// controls. It lies over the whole box and shows only while a table is open.
#include "widgets/tz_navigator.h"

#include <QList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qm {

struct EntryFields;
class TAddressBook;

class TTableModeBar : public QWidget {
    Q_OBJECT
public:
    explicit TTableModeBar(QWidget* parent = nullptr);

    // The address table the bound controls show.
    TAddressBook& Book() { return *addressBook_; }
    bool IsShown() const;
    void ShowTableMode(bool on);
    // The table's file name, shortened to fit beside the navigator.
    void ShowTableName(const QString& fileName);
    // The record counter and the deleted mark for the current record.
    void ShowOrder();
    void FocusMemo();
    void FocusZip();
    void FocusAddressLine(int line, int column);
    void ClearMemo();
    void ShowPasted(const QString& text);
    void FillAddressee(EntryFields& f) const;
    QList<QWidget*> MarkedFields() const;

signals:
    void NavigatorClicked(qm::TNavigateBtn button);
    void ExitClicked();
    // A bound control changed.
    void Edited();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowDeletedMark();
    void tzmemoAddressChange();

    QPlainTextEdit* tzmemoAddress_ = nullptr;
    QLineEdit* tzeditCity_ = nullptr;
    QLineEdit* tzeditState_ = nullptr;
    QLineEdit* tzeditZip_ = nullptr;
    TTzNavigator* tznavigator1_ = nullptr;
    QLabel* labelOrder_ = nullptr;
    // Beside the record counter while the current record is marked deleted.
    QLabel* labelDeleted_ = nullptr;
    QLabel* labelDatabaseName_ = nullptr;
    QPushButton* btnExit_ = nullptr;
    TAddressBook* addressBook_ = nullptr;
    bool inLineRule_ = false;
};

} // namespace qm
