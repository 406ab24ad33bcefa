#pragma once
// The main window: menu bar, sender block and the entry form for one mail piece. It wires the
// form's groups (sender block, addressee box with its table mode, fees) to the menus and the
// commands. Every control, menu item and action carries its component name as object name.
#include "entry/entry_fields.h"
#include "widgets/tz_navigator.h"

#include <QColor>
#include <QList>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QLineEdit;
class QPixmap;

namespace qm {

struct GlobalVariables;
class PieceLog;
struct PrintOutcome;
class TAddressBook;
class TAddresseeBox;
class LogWindow;
class TF_About;
class TF_Help;
class TFeesGroup;
class TSenderBlock;
class TTableModeBar;

class TF_Main : public QMainWindow {
    Q_OBJECT
public:
    // splash: the start-up splash to wait for and close at the first showing (may be null).
    explicit TF_Main(TF_About* splash = nullptr, QWidget* parent = nullptr);
    ~TF_Main() override;

    // While true, the first showing runs the start-up checks and reminders.
    bool FirstShow = false;

    // Fills the brand when the setting is empty (called by LoadSettings).
    void ChooseBrand(GlobalVariables& g);
    void ShowSenderLabels();
    // Silver fields and Print disabled after a piece has been printed; white fields and
    // Print enabled on the next change.
    void MarkPrinted();
    void MarkEdited();
    static QColor PrintedColor() { return QColor(192, 192, 192); }
    // The fifteen controls that MarkPrinted dims and MarkEdited brightens.
    QList<QWidget*> MarkedControls() const;
    // The entry form as the print reads it: the free-entry controls, or the
    // address-table ones while the free-entry memo is hidden.
    EntryFields FilledEntryFields() const;
    // The address table of table mode (open while the table's controls show).
    TAddressBook& AddressBook() { return *addressBook_; }
    bool InTableMode() const;
    // The mailing log the prints enter their pieces into (not owned; null: the log beside the
    // program).
    void SetPieceLog(PieceLog* log);
    // The free-entry form holds typed text that has not been printed.
    bool HoldsUnprintedPiece() const;
    // File, Reprint... and the Mailing Log window's Reprint: prints the logged piece
    // `mailernum` again with its own number (asked for when empty) and records the reprint.
    void ReprintLoggedPiece(const QString& mailernum);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // File
    void MIReadWriteToDBClick();
    void MIPrintClick();
    void MIMassPrintClick();
    void MIReprintClick();
    void MIPrintBarCodesClick();
    void MIExitClick();
    // Options
    void MailerNumber1Click();
    void YourNameAddress1Click();
    void MIPrinterSetupClick();
    void MIPrinterAlignmentClick();
    void MIAlignmentTestPageClick();
    void MIExtraLabelClick();
    void PrintBarCodeMIClick();
    void DontPrintBarCodeMIClick();
    void SaveValues1Click();
    void MIImportClick();
    void MIExportClick();
    void MIDataFolderClick();
    void TrackItem1Click();
    // Report
    void miPrintFullClick();
    void miPrintShortClick();
    void miPreviewFullClick();
    void miPreviewShortClick();
    void ClearReport1Click();
    void MIByMailerNumberClick();
    void MIByNameClick();
    void MIByDateClick();
    void MIByZipCodeClick();
    void miMailingLogClick();
    void miFirmMailingBookClick();
    void miExportLogClick();
    // Help
    void Content1Click();
    void MIAboutClick();
    // Entry form
    void btnPrintClick();
    // Address table mode
    void tznavigator1Click(qm::TNavigateBtn button);
    void btnExitClick();
    // Start-up customer-ID check: the Mailer Number dialog with the stored values.
    void ShowMailerNumberAtStart();

private:
    void FormCreate();
    void FormShow();
    void CloseTables();
    void BuildMenu();
    void BuildForm();
    void ApplyLook();
    // Sends the user to the field a check of the print stopped at.
    void FocusProblem(const PrintOutcome& outcome);
    void SetMarked(const QColor& color, bool printEnabled);
    void ShowPartnerLogo(const QPixmap& logo);
    // Opens the file into table mode; false (with the message shown) when it cannot serve.
    bool OpenAddressTable(const QString& fileName);
    void ShowTableMode(bool on);
    void CloseAddressTable();
    void ShowOrder();
    // Runs a table command; an error is shown and the shown record read again.
    template <class F> void TableCommand(F&& command);

    // Menu "File"
    QAction* MIMassPrint_ = nullptr;
    // Menu "&Options"
    QAction* PrintBarCodeMI_ = nullptr;
    QAction* DontPrintBarCodeMI_ = nullptr;
    QAction* MIVerifyBarcodes_ = nullptr;
    QAction* MIKeepPdfCopy_ = nullptr;
    // Menu "&Report", "&Sort": the order of the next report.
    QAction* MIByMailerNumber_ = nullptr;
    QAction* MIByName_ = nullptr;
    QAction* MIByDate_ = nullptr;
    QAction* MIByZipCode_ = nullptr;

    // Pictures
    QLabel* Image1_ = nullptr;
    QLabel* imageCompany_ = nullptr;
    // Form
    TSenderBlock* sender_ = nullptr;
    QLineEdit* editComment_ = nullptr;
    QLineEdit* editRe_ = nullptr;
    TAddresseeBox* addressee_ = nullptr;
    TTableModeBar* tableBar_ = nullptr;
    TFeesGroup* fees_ = nullptr;

    QPointer<TF_About> splash_;
    QPointer<TF_Help> help_;
    QPointer<LogWindow> logWindow_; // the Mailing Log window while open
    // How much the pixel design grew for the window's font.
    double scale_ = 1.0;
    PieceLog* pieceLog_ = nullptr;
    TAddressBook* addressBook_ = nullptr;
    bool massPrinting_ = false; // the window stays open until the run ends
};

} // namespace qm
