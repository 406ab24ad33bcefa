#include "app/pending_pieces.h"

#include "log/log_table.h"
#include "log/print_journal.h"
#include "log/reprint_log.h"
#include "widgets/error_display.h"

#include <QMessageBox>
#include <QPushButton>

namespace qm {

bool ResolvePendingPieces(QWidget* parent) {
    try {
        for (const JournalEntry& entry : PendingJournalEntries(JournalPath(), LogTablePath())) {
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Mailer Not Logged"),
                            PendingPieceQuestion(entry), QMessageBox::NoButton, parent);
            box.setObjectName(QStringLiteral("PendingPieceQuestion"));
            QPushButton* logIt = box.addButton(LogItAnswer(), QMessageBox::AcceptRole);
            QPushButton* spoiled = box.addButton(SpoiledAnswer(), QMessageBox::RejectRole);
            box.setDefaultButton(logIt);
            box.setEscapeButton(nullptr);
            box.exec();
            if (box.clickedButton() == spoiled)
                SpoilPendingPiece(JournalPath(), LogTablePath(), ReprintTablePath(), entry);
            else
                LogPendingPiece(JournalPath(), LogTablePath(), entry);
        }
        return true;
    } catch (const std::exception& e) {
        ShowError(parent, e);
        return false;
    }
}

} // namespace qm
