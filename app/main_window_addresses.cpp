// The main window's address commands: table mode with the bound controls and the navigator,
// mass print, and the name-and-address text files.
#include "addresses/address_book_texts.h"
#include "addresses/address_files.h"
#include "addresses/paste_address.h"
#include "app/address_book.h"
#include "app/addressee_box.h"
#include "app/fees_group.h"
#include "app/file_choice.h"
#include "app/main_window.h"
#include "app/pending_pieces.h"
#include "app/table_mode_bar.h"
#include "app/window_dialogs.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "entry/mass_print.h"
#include "log/log_table.h"
#include "print/page.h"
#include "print/page_printer.h"
#include "widgets/ask_with_buttons.h"
#include "widgets/error_display.h"
#include "widgets/font_scale.h"
#include "widgets/memo_lines.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopedValueRollback>

#include <optional>

namespace qm {

namespace {

const QString kOpenTitle = QStringLiteral("Read Name and Address from File");
const QString kOverwriteQuestion =
    QStringLiteral("A database of the same name has been found in this location.  Would you "
                   "like to overwrite this database, or append to this database?");

QString AddressFolder() {
    const QString folder = Globals().SystemPathDefault;
    return folder.isEmpty() ? DataFolder() + QStringLiteral("Addresses") : folder;
}

// Disables the main window's own controls while a run shows its progress window.
class WindowBusy {
public:
    explicit WindowBusy(QMainWindow* w) : w_(w) {
        w_->centralWidget()->setEnabled(false);
        w_->menuBar()->setEnabled(false);
    }
    ~WindowBusy() {
        w_->centralWidget()->setEnabled(true);
        w_->menuBar()->setEnabled(true);
    }
    WindowBusy(const WindowBusy&) = delete;
    WindowBusy& operator=(const WindowBusy&) = delete;

private:
    QMainWindow* w_;
};

// The records of table mode as the mass print reads them: the bound controls show each one.
class BoundRecords : public MassPrintSource {
public:
    explicit BoundRecords(TF_Main& w) : w_(w) {}
    unsigned Count() override { return w_.AddressBook().Table().RecCount(); }
    void First() override { w_.AddressBook().First(); }
    bool AtEnd() override { return w_.AddressBook().AtEnd(); }
    void Next() override { w_.AddressBook().Next(); }
    EntryFields Fields() override { return w_.FilledEntryFields(); }
    bool Deleted() override { return w_.AddressBook().Table().Deleted(); }
    unsigned RecNo() override { return unsigned(w_.AddressBook().Table().RecNo()); }

private:
    TF_Main& w_;
};

} // namespace

bool TF_Main::InTableMode() const {
    return addressee_->InTableMode();
}

template <class F> void TF_Main::TableCommand(F&& command) {
    try {
        command();
    } catch (const std::exception& e) {
        ShowError(this, e);
    }
}

void TF_Main::ShowTableMode(bool on) {
    if (on == InTableMode()) return;
    MIMassPrint_->setEnabled(on);
    addressee_->ShowTableMode(on, scale_);
}

void TF_Main::ShowOrder() {
    tableBar_->ShowOrder();
}

bool TF_Main::OpenAddressTable(const QString& fileName) {
    const QString previous = addressBook_->FileName();
    QString refusal;
    try {
        refusal = addressBook_->Open(fileName);
    } catch (const std::exception& e) {
        refusal = QString::fromStdString(e.what());
    }
    if (!refusal.isEmpty()) {
        QMessageBox::warning(this, ApplicationTitle(), refusal);
        if (!previous.isEmpty() && previous != fileName) {
            TableCommand([&] { addressBook_->Open(previous); });
        }
        if (!addressBook_->IsOpen()) ShowTableMode(false);
        return false;
    }
    ShowTableMode(true);
    tableBar_->ShowTableName(fileName);
    ShowOrder();
    tableBar_->FocusMemo();
    return true;
}

void TF_Main::MIReadWriteToDBClick() {
    const QString file = ActiveFileChoice().OpenFile(
        this, kOpenTitle, AddressFolder(), QStringLiteral("DBF Files (*.dbf);;All Files (*)"),
        QStringLiteral("dbf"));
    if (file.isEmpty()) return;
    Globals().SystemPathDefault = QFileInfo(file).absolutePath();
    OpenAddressTable(file);
}

void TF_Main::tznavigator1Click(TNavigateBtn button) {
    if (!addressBook_->IsOpen()) return;
    TAddressBook& book = *addressBook_;
    TableCommand([&] {
        switch (button) {
        case TNavigateBtn::nbFirst: book.First(); break;
        case TNavigateBtn::nbPrior: book.Prior(); break;
        case TNavigateBtn::nbNext: book.Next(); break;
        case TNavigateBtn::nbLast: book.Last(); break;
        case TNavigateBtn::nbInsert: book.Insert(); break;
        case TNavigateBtn::nbPost: book.Post(); break;
        case TNavigateBtn::nbCancel: book.Cancel(); break;
        case TNavigateBtn::nbRefresh: book.Refresh(); break;
        case TNavigateBtn::nbDelete:
            book.ToggleDeleted([this] {
                QMessageBox box(QMessageBox::Question, ApplicationTitle(),
                                QStringLiteral("Delete Record ?"),
                                QMessageBox::Ok | QMessageBox::Cancel, this);
                box.setDefaultButton(QMessageBox::Ok);
                return box.exec() == QMessageBox::Ok;
            });
            break;
        }
    });
    ShowOrder();
}

void TF_Main::btnExitClick() {
    if (!addressBook_->IsOpen()) {
        ShowTableMode(false);
        return;
    }
    try {
        addressBook_->Close(true);
    } catch (const std::exception& e) {
        // The marked records stay marked; the table is closed without packing.
        ShowError(this, e);
        CloseAddressTable();
    }
    ShowTableMode(false);
    fees_->RecheckPostage();
}

void TF_Main::CloseAddressTable() {
    if (!addressBook_ || !addressBook_->IsOpen()) return;
    try {
        addressBook_->Close(false);
    } catch (const std::exception& e) {
        ShowError(this, e);
    }
}

void TF_Main::MIMassPrintClick() {
    if (!InTableMode() || !addressBook_->IsOpen()) return;
    if (!ResolvePendingPieces(this)) return;
    WindowDialogs dialogs(this);
    MailingLog mailingLog;
    PieceLog& log = pieceLog_ ? *pieceLog_ : mailingLog;
    BoundRecords records(*this);
    MassPrintOutcome outcome;
    try {
        PagePrinter printer(ActivePageTarget());
        QProgressDialog progress(this);
        progress.setObjectName(QStringLiteral("MassPrintProgress"));
        progress.setWindowTitle(ApplicationTitle());
        progress.setCancelButtonText(QStringLiteral("&Cancel"));
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        progress.setMinimumDuration(0);
        progress.setWindowModality(Qt::NonModal);
        progress.reset();
        progress.hide();
        WindowBusy busy(this);
        const QScopedValueRollback<bool> running(massPrinting_, true);
        outcome =
            RunMassPrint(records, Globals(), printer, dialogs, log, [&](int piece, int count) {
                progress.setMaximum(count);
                progress.setValue(piece - 1);
                progress.setLabelText(QStringLiteral("Printing %1 of %2").arg(piece).arg(count));
                ShowOrder(); // the counter follows the record being printed
                progress.show();
                QApplication::processEvents();
                return !progress.wasCanceled();
            });
    } catch (const std::exception& e) {
        ShowError(this, e);
    }
    ShowOrder();
    if (!outcome.error.isEmpty() || !outcome.notLogged.isEmpty())
        dialogs.ShowError(MassPrintSummary(outcome));
    else if (outcome.asked && (outcome.printed > 0 || outcome.cancelled ||
                               outcome.deletedSkipped > 0 || !outcome.wrongZip.isEmpty()))
        dialogs.Inform(MassPrintSummary(outcome));
}

void TF_Main::MIImportClick() {
    const QString folder = AddressFolder();
    const QString textFile = ActiveFileChoice().OpenFile(
        this, kOpenTitle, folder, QStringLiteral("Import Files (*.txt *.csv);;All Files (*)"),
        QStringLiteral("txt"));
    if (textFile.isEmpty()) return;
    const QString reopen = addressBook_->IsOpen() ? addressBook_->FileName() : QString();
    CloseAddressTable();
    try {
        const QByteArray bytes = addresses::ReadNameAddressFile(textFile);
        const QString tableFile = ActiveFileChoice().SaveFile(
            this, kOpenTitle, folder, addresses::ProposedTableFileName(textFile),
            QStringLiteral("DBF Files (*.dbf)"));
        std::optional<addresses::TImportInto> into;
        if (tableFile.isEmpty()) {
            // cancelled
        } else if (!QFile::exists(tableFile)) {
            into = addresses::TImportInto::NewTable;
        } else {
            switch (AskWithButtons(ApplicationTitle(), kOverwriteQuestion,
                                   {QStringLiteral("&Overwrite"), QStringLiteral("&Append"),
                                    QStringLiteral("&Cancel")},
                                   this)) {
            case 1: into = addresses::TImportInto::Overwrite; break;
            case 2: into = addresses::TImportInto::Append; break;
            default: break;
            }
        }
        if (into) {
            const addresses::TImportReport report =
                addresses::ImportIntoTableFile(bytes, tableFile, *into);
            if (report.refused.empty())
                QMessageBox::information(this, ApplicationTitle(),
                                         addresses::ImportMessage(report));
            else
                QMessageBox::warning(this, ApplicationTitle(), addresses::ImportMessage(report));
        }
    } catch (const std::exception& e) {
        QMessageBox::critical(this, ApplicationTitle(),
                              QStringLiteral("Error on import: ") +
                                  QString::fromStdString(e.what()));
    }
    if (!reopen.isEmpty()) OpenAddressTable(reopen);
}

void TF_Main::MIExportClick() {
    const QString folder = AddressFolder();
    const QString tableFile = ActiveFileChoice().OpenFile(
        this, kOpenTitle, folder, QStringLiteral("dbf Files(*.dbf);;All Files (*)"),
        QStringLiteral("dbf"));
    if (tableFile.isEmpty()) return;
    try {
        const bool written = addresses::ExportTableFile(tableFile, [&] {
            return ActiveFileChoice().SaveFile(this, kOpenTitle, folder,
                                               addresses::ProposedTextFileName(tableFile),
                                               QStringLiteral("Text Files (*.txt);;All Files (*)"));
        });
        if (written)
            QMessageBox::information(this, ApplicationTitle(), QStringLiteral("Export Done."));
    } catch (const std::exception& e) {
        QMessageBox::critical(this, ApplicationTitle(),
                              QStringLiteral("Error on export: ") +
                                  QString::fromStdString(e.what()));
    }
}

} // namespace qm
