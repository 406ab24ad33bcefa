#pragma once
// The question about pieces that may have printed without reaching the mailing log (a copy
// killed between the printer and the log), asked at the start and before each print.
class QWidget;

namespace qm {

// Asks about each pending piece of the print journal (log/print_journal.h) with the buttons
// "Log it" and "It did not print (number spoiled)" and carries out the answer. Returns false
// when the journal could not be read or an answer could not be carried out (the error is
// shown; the print should not go on).
bool ResolvePendingPieces(QWidget* parent);

} // namespace qm
