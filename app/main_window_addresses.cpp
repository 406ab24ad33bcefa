// The main window's address commands: table mode with the bound controls and the navigator,
// mass print, paste, and the name-and-address text files.
#include "addresses/address_book_texts.h"
#include "addresses/address_files.h"
#include "addresses/paste_address.h"
#include "app/address_book.h"
#include "app/file_choice.h"
#include "app/main_window.h"
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
constexpr int kTableModeBoxHeight = 204;

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

void TF_Main::BuildTableMode() {
    tznavigator1 = new TTzNavigator(gbAddress);
    tznavigator1->setObjectName(QStringLiteral("tznavigator1"));
    tznavigator1->setGeometry(8, 44, 189, 18);
    labelOrder = new QLabel(gbAddress);
    labelOrder->setObjectName(QStringLiteral("labelOrder"));
    labelOrder->setGeometry(8, 62, 189, 16);
    labelOrder->setAlignment(Qt::AlignCenter);
    labelOrder->setAutoFillBackground(true);
    QPalette aqua = labelOrder->palette();
    aqua.setColor(QPalette::Window, QColor(0, 255, 255));
    labelOrder->setPalette(aqua);
    labelDeleted = new QLabel(QStringLiteral("Deleted"), gbAddress);
    labelDeleted->setObjectName(QStringLiteral("labelDeleted"));
    labelDeleted->setGeometry(137, 62, 60, 16);
    labelDeleted->setAlignment(Qt::AlignCenter);
    labelDeleted->setAutoFillBackground(true);
    QPalette red = labelDeleted->palette();
    red.setColor(QPalette::Window, QColor(192, 0, 0));
    red.setColor(QPalette::WindowText, Qt::white);
    labelDeleted->setPalette(red);
    labelDeleted->hide();
    labelDatabaseName = new QLabel(gbAddress);
    labelDatabaseName->setObjectName(QStringLiteral("labelDatabaseName"));
    labelDatabaseName->move(8, 20);
    QPalette blue = labelDatabaseName->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    labelDatabaseName->setPalette(blue);
    btnExit = new QPushButton(QStringLiteral("&Exit"), gbAddress);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnExit->setGeometry(206, 60, 59, 25);
    // The same sizes as the free-entry controls, below the navigator.
    tzmemoAddress->setGeometry(8, 89, 265, 68);
    tzeditCity->setGeometry(8, 173, 144, 22);
    tzeditState->setGeometry(156, 173, 40, 22);
    tzeditZip->setGeometry(200, 173, 90, 22);
    for (QWidget* w :
         std::initializer_list<QWidget*>{tznavigator1, labelOrder, labelDatabaseName, btnExit})
        w->hide();

    addressBook_ = new TAddressBook(tzmemoAddress, tzeditCity, tzeditState, tzeditZip, this);
    connect(tznavigator1, &TTzNavigator::Click, this, &TF_Main::tznavigator1Click);
    connect(btnExit, &QPushButton::clicked, this, &TF_Main::btnExitClick);
    connect(tzmemoAddress, &QPlainTextEdit::textChanged, this, &TF_Main::tzmemoAddressChange);
}

bool TF_Main::InTableMode() const {
    return !tzmemoAddress->isHidden();
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
    MIMassPrint->setEnabled(on);
    // The captions stand above the city, state and ZIP fields of either mode.
    const QRect captions[3] = {{10, 90, 144, 16}, {158, 90, 40, 16}, {202, 90, 90, 16}};
    const QRect tableCaptions[3] = {{8, 157, 144, 16}, {156, 157, 40, 16}, {200, 157, 90, 16}};
    QLabel* captionLabels[3] = {lblCity, lblState, lblZip};
    for (int i = 0; i < 3; ++i)
        captionLabels[i]->setGeometry(Scaled(on ? tableCaptions[i] : captions[i], scale_));
    if (on) {
        pasteFreeGeometry_ = btnPaste->geometry();
        btnPaste->setGeometry(Scaled(QRect(206, 36, 59, 25), scale_));
        if (gbAddress->height() < Scaled(kTableModeBoxHeight, scale_))
            gbAddress->resize(gbAddress->width(), Scaled(kTableModeBoxHeight, scale_));
    } else {
        btnPaste->setGeometry(pasteFreeGeometry_);
        labelDeleted->hide();
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{btnExit, tznavigator1, labelDatabaseName, labelOrder,
                                         tzmemoAddress, tzeditCity, tzeditState, tzeditZip})
        w->setVisible(on);
    for (QWidget* w :
         std::initializer_list<QWidget*>{btnClear, memoAddress, editCity, editState, editZip})
        w->setVisible(!on);
}

void TF_Main::ShowOrder() {
    labelOrder->setText(addressBook_->OrderText());
    labelOrder->resize(tznavigator1->width(), labelOrder->height());
    ShowDeletedMark();
}

void TF_Main::ShowDeletedMark() {
    const bool deleted =
        addressBook_->IsOpen() && !addressBook_->Editing() && addressBook_->Table().Deleted();
    // The counter makes room for the mark beside it, under the navigator.
    if (deleted)
        labelOrder->resize(tznavigator1->width() - labelDeleted->width(), labelOrder->height());
    labelDeleted->move(labelOrder->x() + labelOrder->width(), labelOrder->y());
    labelDeleted->setVisible(deleted && InTableMode());
    // A deleted record's fields are greyed; recalling the record brings them back.
    for (QWidget* w :
         std::initializer_list<QWidget*>{tzmemoAddress, tzeditCity, tzeditState, tzeditZip})
        w->setEnabled(!deleted);
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
    const QFontMetrics metrics(labelDatabaseName->font());
    labelDatabaseName->setText(addresses::ShortenedDatabaseName(
        QFileInfo(fileName).absoluteFilePath(),
        [&](const QString& text) { return metrics.horizontalAdvance(text); }));
    labelDatabaseName->adjustSize();
    ShowOrder();
    tzmemoAddress->setFocus();
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

void TF_Main::tzmemoAddressChange() {
    MarkEdited();
    if (inLineRule_) return;
    inLineRule_ = true;
    KeepFourLines(tzmemoAddress);
    inLineRule_ = false;
}

void TF_Main::tzmemoAddressExit() {
    // Lines 1 to 4 written back count as a change of the memo; the record is not edited by it.
    if (!tzmemoAddress->document()->isEmpty()) tzmemoAddressChange();
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
    editPostageExit();
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
    if (!outcome.error.isEmpty())
        dialogs.ShowError(MassPrintSummary(outcome));
    else if (outcome.asked && (outcome.printed > 0 || outcome.cancelled ||
                               outcome.deletedSkipped > 0 || !outcome.wrongZip.isEmpty()))
        dialogs.Inform(MassPrintSummary(outcome));
}

void TF_Main::btnPasteClick() {
    btnClearClick();
    const bool table = InTableMode();
    if (table) tzmemoAddress->clear();
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) return;
    const auto pasted = addresses::SplitPastedAddress(text);
    if (!pasted) return;
    // A lone carriage return or line feed stays in its line but is neither shown nor printed.
    using addresses::WithoutControlCharacters;
    (table ? tzeditCity : editCity)->setText(WithoutControlCharacters(pasted->city));
    (table ? tzeditState : editState)->setText(WithoutControlCharacters(pasted->state));
    (table ? tzeditZip : editZip)->setText(WithoutControlCharacters(pasted->zip));
    if (!pasted->lines.isEmpty()) {
        QStringList lines;
        for (const QString& line : pasted->lines) lines << WithoutControlCharacters(line);
        QString memo = addresses::PastedMemoText(lines);
        memo.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        (table ? tzmemoAddress : memoAddress)->setPlainText(memo);
    }
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
            const int replaced = addresses::ImportIntoTableFile(bytes, tableFile, *into);
            QMessageBox::information(this, ApplicationTitle(), QStringLiteral("Import Done."));
            if (replaced > 0)
                QMessageBox::information(
                    this, ApplicationTitle(),
                    QStringLiteral("%1 character(s) of the text file could not be stored "
                                   "in the table's code page and were replaced by \"?\".")
                        .arg(replaced));
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
