#pragma once
// The main window: menu bar, sender block and the entry form for one mail piece.
// Every control, menu item and action carries its component name as object name.
#include "entry/address_checks.h"
#include "entry/entry_fields.h"
#include "widgets/tz_navigator.h"

#include <QColor>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>

class QAction;
class QActionGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPixmap;
class QPlainTextEdit;
class QPushButton;

namespace qm {

struct GlobalVariables;
class PieceLog;
struct PrintOutcome;
class TAddressBook;
class TF_About;
class TF_Help;

class TF_Main : public QMainWindow {
    Q_OBJECT
public:
    // splash: the start-up splash to wait for and close at the first showing (may be null).
    explicit TF_Main(TF_About* splash = nullptr, QWidget* parent = nullptr);
    ~TF_Main() override;

    // While true, the first showing runs the start-up checks and reminders.
    bool FirstShow = false;

    // Menu "File"
    QMenu* menuFile;
    QAction* MIReadWriteToDB;
    QAction* MIPrint;
    QAction* MIMassPrint;
    QAction* MIPrintBarCodes;
    QAction* MIExit;
    // Menu "&Options"
    QMenu* menuOptions;
    QAction* MailerNumber1;
    QAction* YourNameAddress1;
    QMenu* MIPrintOptions;
    QAction* MIPrinterSetup;
    QAction* MIPrinterAlignment;
    QAction* MIExtraLabel;
    QMenu* BarCodes1;
    QActionGroup* groupBarCodes;
    QAction* PrintBarCodeMI;
    QAction* DontPrintBarCodeMI;
    QMenu* defaultPostage1;
    QAction* SaveValues1;
    QMenu* MINameAddressTextFiles;
    QAction* MIImport;
    QAction* MIExport;
    QAction* MIDataFolder;
    // "Track Item" on the bar itself
    QAction* TrackItem1;
    // Menu "&Report"
    QMenu* menuReport;
    QMenu* PrintReport1;
    QAction* miPrintFull;
    QAction* miPrintShort;
    QMenu* PreviewReport1;
    QAction* miPreviewFull;
    QAction* miPreviewShort;
    QAction* ClearReport1;
    QMenu* SortRepost1;
    QActionGroup* groupSort;
    QAction* MIByMailerNumber;
    QAction* MIByName;
    QAction* MIByDate;
    QAction* MIByZipCode;
    QAction* miFirmMailingBook;
    QAction* miExportLog;
    // Menu "&Help"
    QMenu* menuHelp;
    QAction* Content1;
    QAction* MIOrderSupplies;
    QAction* MITechnicalSupport;
    QAction* miAbout;

    // Pictures
    QLabel* Image1;
    QLabel* imageCompany;
    // Sender block
    QGroupBox* gbYour;
    QLabel* lblYourAddress1;
    QLabel* lblYourAddress2;
    QLabel* lblYourAddress3;
    QLabel* lblYourAddress4;
    QLabel* lblYourAddress5;
    QPushButton* btnChangeYourAddress;
    // Entry form
    QLabel* lblComment;
    QLineEdit* editComment;
    QLabel* lblRe;
    QLineEdit* editRe;
    QGroupBox* gbAddress;
    QPlainTextEdit* memoAddress;
    QLineEdit* editCity;
    QLineEdit* editState;
    QLineEdit* editZip;
    // Captions of the city, state and ZIP fields (the same in table mode).
    QLabel* lblCity;
    QLabel* lblState;
    QLabel* lblZip;
    QPushButton* btnPaste;
    QPushButton* btnClear;
    // Address-table mode: data-bound twins of the free-entry controls, hidden until a table opens.
    QPlainTextEdit* tzmemoAddress;
    QLineEdit* tzeditCity;
    QLineEdit* tzeditState;
    QLineEdit* tzeditZip;
    TTzNavigator* tznavigator1;
    QLabel* labelOrder;
    // Beside the record counter while the current record is marked deleted.
    QLabel* labelDeleted;
    QLabel* labelDatabaseName;
    QPushButton* btnExit;
    // Fees
    QGroupBox* gbFees;
    QLabel* lblPostage;
    QLineEdit* editPostage;
    QLabel* lblCertFee;
    QLineEdit* editCertFee;
    QLabel* lblReturn;
    QLineEdit* editReturn;
    QCheckBox* cbRestricted;
    QLabel* lblRestricted;
    QLineEdit* editRestricted;
    QLabel* lblTotal;
    QLineEdit* editTotal;
    QPushButton* btnPrint;

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
    // The address table of table mode (open while tzmemoAddress shows).
    TAddressBook& AddressBook() { return *addressBook_; }
    bool InTableMode() const;
    // The mailing log the prints enter their pieces into (not owned; null: the log beside the
    // program).
    void SetPieceLog(PieceLog* log);
    // The fee text formatted, with editTotal recomputed from the fields as they stand.
    QString RecalcFees(const QString& text);
    // The free-entry form holds typed text that has not been printed.
    bool HoldsUnprintedPiece() const;

public slots:
    // File
    void MIReadWriteToDBClick();
    void MIPrintClick();
    void MIMassPrintClick();
    void MIPrintBarCodesClick();
    void MIExitClick();
    // Options
    void MailerNumber1Click();
    void YourNameAddress1Click();
    void MIPrinterSetupClick();
    void MIPrinterAlignmentClick();
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
    void miFirmMailingBookClick();
    void miExportLogClick();
    // Help
    void Content1Click();
    void MIAboutClick();
    // Entry form
    void btnPrintClick();
    void btnPasteClick();
    void btnClearClick();
    void cbRestrictedClick();
    void editPostageExit();
    void editCertFeeExit();
    void editReturnExit();
    void editRestrictedExit();
    void editPostageChange();
    void memoAddressChange();
    void memoAddressExit();
    // Address table mode
    void tznavigator1Click(qm::TNavigateBtn button);
    void tzmemoAddressChange();
    void tzmemoAddressExit();
    void btnExitClick();
    // Start-up customer-ID check: the Mailer Number dialog with the stored values.
    void ShowMailerNumberAtStart();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void CloseTables();
    void BuildMenu();
    void BuildForm();
    void ApplyLook();
    void ExitField(QLineEdit* edit);
    // Puts the focus back into a field the user has to correct, once the event that took it
    // away has been handled.
    void ReturnFocus(QWidget* field);
    // Sends the user to the field a check of the print stopped at.
    void FocusProblem(const PrintOutcome& outcome);
    QLineEdit* FeeEdit(FeeField field) const;
    void SetMarked(const QColor& color, bool printEnabled);
    void ShowPartnerLogo(const QPixmap& logo);
    void BuildTableMode();
    // Opens the file into table mode; false (with the message shown) when it cannot serve.
    bool OpenAddressTable(const QString& fileName);
    void ShowTableMode(bool on);
    void CloseAddressTable();
    void ShowOrder();
    void ShowDeletedMark();
    // Runs a table command; an error is shown and the shown record read again.
    template <class F> void TableCommand(F&& command);

    QPointer<TF_About> splash_;
    QPointer<TF_Help> help_;
    bool inLineRule_ = false;
    bool returningFocus_ = false; // the field left meanwhile is not checked again
    // How much the pixel design grew for the window's font.
    double scale_ = 1.0;
    PieceLog* pieceLog_ = nullptr;
    TAddressBook* addressBook_ = nullptr;
    QRect pasteFreeGeometry_;
    bool massPrinting_ = false; // the window stays open until the run ends
};

} // namespace qm
