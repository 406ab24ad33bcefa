#pragma once
// Rules of the entry form that work on its controls, found by object name under the form.
#include <QColor>
#include <QStringList>

class QPlainTextEdit;
class QWidget;

namespace qm {

// The fifteen controls that MarkPrinted dims and MarkEdited brightens.
const QStringList& MarkedControlNames();
inline QColor PrintedColor() {
    return QColor(192, 192, 192);
}

// Silver fields and Print disabled after a piece has been printed.
void MarkPrinted(QWidget* form);
// White fields and Print enabled on the next change.
void MarkEdited(QWidget* form);

// The most displayed lines an address memo holds.
inline constexpr int kMaxAddressLines = 4;
// Deletes displayed line 5 until at most four remain; returns whether it deleted anything.
bool KeepFourLines(QPlainTextEdit* memo);

// Clear: the memo holds a single blank, city and state are empty, every ZIP place is blank.
// Comment, reference and fees keep their texts.
void ClearAddressee(QWidget* form);

} // namespace qm
