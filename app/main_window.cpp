#include "app/main_window.h"

#include "app/about.h"
#include "app/addressee_box.h"
#include "app/data_folder_dialog.h"
#include "app/fees_group.h"
#include "app/form_parts.h"
#include "app/help_window.h"
#include "app/pending_pieces.h"
#include "app/pictures.h"
#include "app/sender_block.h"
#include "app/settings_not_saved.h"
#include "app/table_mode_bar.h"
#include "app/tracking_address.h"
#include "app/window_dialogs.h"
#include "app/your_address.h"
#include "core/companion_files.h"
#include "core/program_folder.h"
#include "core/sender.h"
#include "core/settings.h"
#include "core/settings_check.h"
#include "entry/print_run.h"
#include "entry/reprint.h"
#include "log/log_table.h"
#include "log/reprint_log.h"
#include "log/ui/log_menu.h"
#include "log/ui/log_window.h"
#include "piece/piece_log.h"
#include "print/alignment_test_page.h"
#include "print/page.h"
#include "print/page_printer.h"
#include "print/ui/align_dialog.h"
#include "print/ui/extra_label_dialog.h"
#include "print/ui/printer_setup.h"
#include "widgets/ask_with_buttons.h"
#include "widgets/dialog_parts.h"
#include "widgets/error_display.h"
#include "widgets/font_scale.h"
#include "widgets/wait_cursor.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcStartup, "qm.startup", QtWarningMsg)

namespace qm {
namespace {

const QString kTrackingPage = QStringLiteral("https://www.usps.com/shipping/trackandconfirm.htm");
const QString kRegistrationMessage = QStringLiteral(
    "This software prints the newly required Bar Code on your mailers. Thus the U.S. "
    "Postal Service Requires that you register with them.  The DUNS numbers are no longer used. "
    "You must have a mailer ID issued by the U.S. Postal Server.  If you do not have a USPS "
    "mailer ID contact them at 800 522 9085 option 3 then option 6. ");

QAction* AddItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QMenu* AddSubmenu(QMenu* menu, const char* name, const QString& caption) {
    QMenu* sub = menu->addMenu(caption);
    sub->setObjectName(QString::fromLatin1(name));
    sub->menuAction()->setObjectName(QString::fromLatin1(name));
    return sub;
}

// Makes the items checkable and mutually exclusive, like a radio group.
QActionGroup* AddRadioGroup(QObject* owner, const char* name,
                            std::initializer_list<QAction*> items) {
    auto* group = new QActionGroup(owner);
    group->setObjectName(QString::fromLatin1(name));
    group->setExclusive(true);
    for (QAction* item : items) {
        item->setCheckable(true);
        group->addAction(item);
    }
    return group;
}

} // namespace

TF_Main::TF_Main(TF_About* splash, QWidget* parent) : QMainWindow(parent), splash_(splash) {
    setObjectName(QStringLiteral("F_Main"));
    BuildMenu();
    BuildForm();
    ApplyLook();
    FormCreate();
}

TF_Main::~TF_Main() = default;

void TF_Main::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* menuFile = bar->addMenu(QStringLiteral("&File"));
    menuFile->setObjectName(QStringLiteral("File1"));
    QAction* MIReadWriteToDB =
        AddItem(menuFile, "MIReadWriteToDB", QStringLiteral("&Read/Write to a database"));
    menuFile->addSeparator();
    QAction* MIPrint = AddItem(menuFile, "MIPrint", QStringLiteral("&Print"));
    MIMassPrint_ = AddItem(menuFile, "MIMassPrint", QStringLiteral("&Mass Print"));
    QAction* MIReprint = AddItem(menuFile, "MIReprint", QStringLiteral("R&eprint..."));
    MIMassPrint_->setEnabled(false);
    QAction* MIPrintBarCodes =
        AddItem(menuFile, "MIPrintBarCodes", QStringLiteral("Print &Bar Codes"));
    menuFile->addSeparator();
    QAction* MIExit = AddItem(menuFile, "MIExit", QStringLiteral("&Exit"));

    QMenu* menuOptions = bar->addMenu(QStringLiteral("&Options"));
    menuOptions->setObjectName(QStringLiteral("Options1"));
    QAction* MailerNumber1 =
        AddItem(menuOptions, "MailerNumber1", QStringLiteral("&Mailer Number"));
    QAction* YourNameAddress1 =
        AddItem(menuOptions, "YourNameAddress1", QStringLiteral("&Your Name && Address"));
    QMenu* MIPrintOptions =
        AddSubmenu(menuOptions, "MIPrintOptions", QStringLiteral("Print &Options"));
    QAction* MIPrinterSetup =
        AddItem(MIPrintOptions, "MIPrinterSetup", QStringLiteral("&Printer Setup"));
    QAction* MIPrinterAlignment =
        AddItem(MIPrintOptions, "MIPrinterAlignment", QStringLiteral("Printer &Alignment"));
    QAction* MIAlignmentTestPage = AddItem(MIPrintOptions, "MIAlignmentTestPage",
                                           QStringLiteral("Print Alignment &Test Page"));
    QAction* MIExtraLabel = AddItem(MIPrintOptions, "MIExtraLabel", QStringLiteral("&Extra Label"));
    MIPrintOptions->addSeparator();
    MIVerifyBarcodes_ = AddItem(MIPrintOptions, "MIVerifyBarcodes",
                                QStringLiteral("&Verify Barcodes Before Printing"));
    MIVerifyBarcodes_->setCheckable(true);
    MIKeepPdfCopy_ =
        AddItem(MIPrintOptions, "MIKeepPdfCopy", QStringLiteral("&Keep a PDF Copy of Each Mailer"));
    MIKeepPdfCopy_->setCheckable(true);
    QMenu* BarCodes1 = AddSubmenu(menuOptions, "BarCodes1", QStringLiteral("&BarCode's"));
    PrintBarCodeMI_ = AddItem(BarCodes1, "PrintBarCodeMI", QStringLiteral("&Print"));
    DontPrintBarCodeMI_ = AddItem(BarCodes1, "DontPrintBarCodeMI", QStringLiteral("&Don't Print"));
    AddRadioGroup(this, "groupBarCodes", {PrintBarCodeMI_, DontPrintBarCodeMI_});
    QMenu* defaultPostage1 =
        AddSubmenu(menuOptions, "defaultPostage1", QStringLiteral("&Default Postage"));
    QAction* SaveValues1 = AddItem(defaultPostage1, "SaveValues1", QStringLiteral("&Save Values"));
    QMenu* MINameAddressTextFiles = AddSubmenu(menuOptions, "MINameAddressTextFiles",
                                               QStringLiteral("&Name && Address Text Files"));
    QAction* MIImport = AddItem(MINameAddressTextFiles, "MIImport", QStringLiteral("&Import"));
    QAction* MIExport = AddItem(MINameAddressTextFiles, "MIExport", QStringLiteral("&Export"));
    QAction* MIDataFolder = AddItem(menuOptions, "MIDataFolder", QStringLiteral("Data &Folder..."));

    QAction* TrackItem1 = bar->addAction(QStringLiteral("Track Item"));
    TrackItem1->setObjectName(QStringLiteral("TrackItem1"));

    QMenu* menuReport = bar->addMenu(QStringLiteral("&Report"));
    menuReport->setObjectName(QStringLiteral("Report1"));
    QMenu* PrintReport1 = AddSubmenu(menuReport, "PrintReport1", QStringLiteral("&Print"));
    QAction* miPrintFull = AddItem(PrintReport1, "miPrintFull", QStringLiteral("Full Detail"));
    QAction* miPrintShort = AddItem(PrintReport1, "miPrintShort", QStringLiteral("Short Detail"));
    QMenu* PreviewReport1 = AddSubmenu(menuReport, "PreviewReport1", QStringLiteral("Pre&view"));
    QAction* miPreviewFull =
        AddItem(PreviewReport1, "miPreviewFull", QStringLiteral("&Full Detail"));
    QAction* miPreviewShort =
        AddItem(PreviewReport1, "miPreviewShort", QStringLiteral("&Short Detail"));
    QAction* ClearReport1 = AddItem(menuReport, "ClearReport1", QStringLiteral("&Clear"));
    QMenu* SortRepost1 = AddSubmenu(menuReport, "SortRepost1", QStringLiteral("&Sort"));
    MIByMailerNumber_ =
        AddItem(SortRepost1, "MIByMailerNumber", QStringLiteral("&By Mailer Number"));
    MIByName_ = AddItem(SortRepost1, "MIByName", QStringLiteral("By &Name"));
    MIByDate_ = AddItem(SortRepost1, "MIByDate", QStringLiteral("By &Date"));
    MIByZipCode_ = AddItem(SortRepost1, "MIByZipCode", QStringLiteral("By &ZipCode"));
    AddRadioGroup(this, "groupSort", {MIByMailerNumber_, MIByName_, MIByDate_, MIByZipCode_});
    menuReport->addSeparator();
    QAction* miMailingLog = AddItem(menuReport, "miMailingLog", QStringLiteral("Mailing Log..."));
    QAction* miFirmMailingBook =
        AddItem(menuReport, "miFirmMailingBook", QStringLiteral("Firm Mailing Book..."));
    QAction* miExportLog = AddItem(menuReport, "miExportLog", QStringLiteral("Export Log..."));

    QMenu* menuHelp = bar->addMenu(QStringLiteral("&Help"));
    menuHelp->setObjectName(QStringLiteral("Help1"));
    QAction* Content1 = AddItem(menuHelp, "Content1", QStringLiteral("&Content"));
    menuHelp->addSeparator();
    QAction* MIOrderSupplies =
        AddItem(menuHelp, "MIOrderSupplies", QStringLiteral("&Order Supplies"));
    QAction* MITechnicalSupport =
        AddItem(menuHelp, "MITechnicalSupport", QStringLiteral("&Technical Support"));
    menuHelp->addSeparator();
    QAction* miAbout = AddItem(menuHelp, "miAbout", QStringLiteral("&About"));

    const std::pair<QAction*, void (TF_Main::*)()> handlers[] = {
        {MIReadWriteToDB, &TF_Main::MIReadWriteToDBClick},
        {MIPrint, &TF_Main::MIPrintClick},
        {MIMassPrint_, &TF_Main::MIMassPrintClick},
        {MIReprint, &TF_Main::MIReprintClick},
        {MIPrintBarCodes, &TF_Main::MIPrintBarCodesClick},
        {MIExit, &TF_Main::MIExitClick},
        {MailerNumber1, &TF_Main::MailerNumber1Click},
        {YourNameAddress1, &TF_Main::YourNameAddress1Click},
        {MIPrinterSetup, &TF_Main::MIPrinterSetupClick},
        {MIPrinterAlignment, &TF_Main::MIPrinterAlignmentClick},
        {MIAlignmentTestPage, &TF_Main::MIAlignmentTestPageClick},
        {MIExtraLabel, &TF_Main::MIExtraLabelClick},
        {PrintBarCodeMI_, &TF_Main::PrintBarCodeMIClick},
        {DontPrintBarCodeMI_, &TF_Main::DontPrintBarCodeMIClick},
        {SaveValues1, &TF_Main::SaveValues1Click},
        {MIImport, &TF_Main::MIImportClick},
        {MIExport, &TF_Main::MIExportClick},
        {MIDataFolder, &TF_Main::MIDataFolderClick},
        {TrackItem1, &TF_Main::TrackItem1Click},
        {miPrintFull, &TF_Main::miPrintFullClick},
        {miPrintShort, &TF_Main::miPrintShortClick},
        {miPreviewFull, &TF_Main::miPreviewFullClick},
        {miPreviewShort, &TF_Main::miPreviewShortClick},
        {ClearReport1, &TF_Main::ClearReport1Click},
        {MIByMailerNumber_, &TF_Main::MIByMailerNumberClick},
        {MIByName_, &TF_Main::MIByNameClick},
        {MIByDate_, &TF_Main::MIByDateClick},
        {MIByZipCode_, &TF_Main::MIByZipCodeClick},
        {miMailingLog, &TF_Main::miMailingLogClick},
        {miFirmMailingBook, &TF_Main::miFirmMailingBookClick},
        {miExportLog, &TF_Main::miExportLogClick},
        {Content1, &TF_Main::Content1Click},
        {MIOrderSupplies, &TF_Main::MIAboutClick},
        {MITechnicalSupport, &TF_Main::MIAboutClick},
        {miAbout, &TF_Main::MIAboutClick},
    };
    for (const auto& [action, handler] : handlers)
        connect(action, &QAction::triggered, this, handler);
    connect(MIVerifyBarcodes_, &QAction::toggled, this,
            [](bool on) { Globals().VerifyBarcodes = on; });
    connect(MIKeepPdfCopy_, &QAction::toggled, this, [](bool on) { Globals().KeepPdfCopy = on; });
}

void TF_Main::BuildForm() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("panelForm"));
    setCentralWidget(central);

    Image1_ = new QLabel(central);
    Image1_->setObjectName(QStringLiteral("Image1"));
    Image1_->setGeometry(16, 6, 250, 52);
    Image1_->setPixmap(ProductLogo(QSize(250, 52)));
    imageCompany_ = new QLabel(central);
    imageCompany_->setObjectName(QStringLiteral("imageCompany"));
    imageCompany_->setGeometry(30, 63, 197, 41);
    imageCompany_->setScaledContents(true);
    imageCompany_->setPixmap(CompanyPicture(QSize(197, 41)));

    // Sender block, top right.
    sender_ = new TSenderBlock(central);
    sender_->setGeometry(352, 4, 298, 104);

    // Comment and reference.
    AddLabel(central, "lblComment", QStringLiteral("Comment:"), QRect(16, 119, 76, 18));
    editComment_ = AddEdit(central, "editComment", 35, QRect(94, 116, 242, 22));
    AddLabel(central, "lblRe", QStringLiteral("RE:"), QRect(352, 119, 28, 18));
    editRe_ = AddEdit(central, "editRe", 25, QRect(382, 116, 268, 22));

    // Addressee, with the address table's controls in its table mode.
    addressee_ = new TAddresseeBox(central);
    addressee_->setGeometry(16, 148, 320, 172);
    tableBar_ = &addressee_->TableBar();
    addressBook_ = &tableBar_->Book();

    // Fees.
    fees_ = new TFeesGroup(central);
    fees_->setGeometry(352, 148, 298, 250);

    // Tab order: addressee side first, then the fee group.
    const char* order[] = {
        "editComment", "editRe",       "memoAddress",    "editCity",    "editState",
        "editZip",     "btnPaste",     "btnClear",       "editPostage", "editCertFee",
        "editReturn",  "cbRestricted", "editRestricted", "btnPrint",    "btnChangeYourAddress"};
    QWidget* previous = nullptr;
    for (const char* name : order) {
        QWidget* next = central->findChild<QWidget*>(QString::fromLatin1(name));
        Q_ASSERT(next != nullptr);
        if (previous) setTabOrder(previous, next);
        previous = next;
    }

    // Handlers.
    connect(sender_, &TSenderBlock::ChangeClicked, this, &TF_Main::YourNameAddress1Click);
    connect(fees_, &TFeesGroup::PrintClicked, this, &TF_Main::btnPrintClick);
    for (QLineEdit* e : {editRe_, editComment_})
        connect(e, &QLineEdit::textChanged, this, &TF_Main::MarkEdited);
    connect(addressee_, &TAddresseeBox::Edited, this, &TF_Main::MarkEdited);
    connect(fees_, &TFeesGroup::Edited, this, &TF_Main::MarkEdited);
    connect(tableBar_, &TTableModeBar::NavigatorClicked, this, &TF_Main::tznavigator1Click);
    connect(tableBar_, &TTableModeBar::ExitClicked, this, &TF_Main::btnExitClick);
    // One application-wide filter sees the Escape key and the Return key anywhere; the groups
    // check their own fields when the focus leaves them.
    qApp->installEventFilter(this);
}

void TF_Main::ApplyLook() {
    // The design fits the reference font; a larger font grows the window and every control.
    scale_ = FontScale(font());
    ScaleChildGeometry(centralWidget(), scale_);
    setFixedSize(Scaled(660, scale_), Scaled(440, scale_));
    const QColor paleGreen(192, 220, 192), green(0, 128, 0);
    QPalette p = centralWidget()->palette();
    p.setColor(QPalette::Window, paleGreen);
    p.setColor(QPalette::WindowText, green);
    centralWidget()->setPalette(p);
    centralWidget()->setAutoFillBackground(true);
    // Captions of labels and group boxes in bold; every other control keeps a plain font.
    QFont plain = font();
    QFont bold = plain;
    bold.setBold(true);
    const auto children = centralWidget()->findChildren<QWidget*>();
    for (QWidget* w : children) {
        if (qobject_cast<QLabel*>(w) || qobject_cast<QGroupBox*>(w))
            w->setFont(bold);
        else if (w->objectName() != QLatin1String("btnPrint")) // keeps its own large font
            w->setFont(plain);
    }
    fees_->SetAmountFont(bold);
    CentreOnScreen(this);
}

void TF_Main::FormCreate() {
    GlobalVariables& g = Globals();
    LoadSettings(g, [this](GlobalVariables& s) { ChooseBrand(s); });
    setWindowTitle(ApplicationTitle());

    if (g.Company == QLatin1String("Osterby")) {
        QPixmap logo;
        if (logo.load(CompanionFile(QStringLiteral("Scr_logo.bmp")))) ShowPartnerLogo(logo);
    }

    fees_->LoadDefaults(g);

    (g.PrintBarCode ? PrintBarCodeMI_ : DontPrintBarCodeMI_)->setChecked(true);
    MIVerifyBarcodes_->setChecked(g.VerifyBarcodes);
    MIKeepPdfCopy_->setChecked(g.KeepPdfCopy);

    // The log table's file is DataFolder() + "Reports/report3.dbf"; it is opened when used.
    CreateDataSubfolders();

    g.ConfirmNumbers = true;

    if (splash_ && splash_->Timer1->isActive()) {
        QEventLoop wait;
        connect(splash_->Timer1, &QTimer::timeout, &wait, &QEventLoop::quit);
        connect(splash_, &QObject::destroyed, &wait, &QEventLoop::quit);
        wait.exec();
    }
    fees_->FocusPostage();
    FirstShow = true;
}

void TF_Main::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!FirstShow) return;
    FirstShow = false;
    qCInfo(lcStartup) << "main window shown";
    // The checks open dialogs; the window shows first.
    QTimer::singleShot(0, this, &TF_Main::FormShow);
}

void TF_Main::FormShow() {
    if (splash_) {
        splash_->close();
        delete splash_;
    }
    GlobalVariables& g = Globals();
    // A settings file that could not be read is said first: its sender is not missing.
    const bool senderMissing = g.SettingsFileFault.isEmpty() && g.Line1.isEmpty() &&
                               g.City.isEmpty() && g.State.isEmpty() && g.Zip.isEmpty();
    if (senderMissing) {
        TF_YourAddress dialog(this);
        dialog.exec();
    }
    ShowSenderLabels();
    ShowMailerNumberAtStart();
    ResolvePendingPieces(this);
    if (g.BarCodeApp && g.SettingsFileFault.isEmpty()) {
        if (AskWithButtons(QStringLiteral("Bar Code Printing Registration"), kRegistrationMessage,
                           {QStringLiteral("&Never Print again")}, this) == 1)
            g.BarCodeApp = false;
    }
    fees_->FocusPostage();
}

void TF_Main::ShowMailerNumberAtStart() {
    WindowDialogs dialogs(this);
    RunFirstShowCustomerCheck(Globals(), dialogs);
}

void TF_Main::closeEvent(QCloseEvent* event) {
    if (massPrinting_) {
        event->ignore();
        return;
    }
    for (;;) {
        try {
            SaveSettings(Globals());
            break;
        } catch (const SettingsWriteError& e) {
            const auto choice = AskUnsavedSettings(this, QString::fromUtf8(e.what()));
            if (choice == UnsavedSettingsChoice::Retry) continue;
            if (choice == UnsavedSettingsChoice::ExitWithoutSaving) break;
            // Cancel: the window and its tables stay open; the next close tries again.
            event->ignore();
            return;
        }
    }
    CloseTables();
    qApp->removeEventFilter(this);
    event->accept();
}

void TF_Main::CloseTables() {
    // The log table is opened per command; the address table closes with the window.
    CloseAddressTable();
}

bool TF_Main::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // Key preview: Escape anywhere in the main window closes it.
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this && QApplication::activeModalWidget() == nullptr &&
            QApplication::activePopupWidget() == nullptr) {
            // A typed piece that was not printed is not thrown away without a question.
            if (!HoldsUnprintedPiece() ||
                QMessageBox::question(this, ApplicationTitle(),
                                      QStringLiteral("Exit Quillmark? The piece you typed has "
                                                     "not been printed."),
                                      QMessageBox::Yes | QMessageBox::No,
                                      QMessageBox::No) == QMessageBox::Yes)
                close();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        // Return or Enter presses the focused button (Print, Clear, Paste, Change), as Space
        // does; a dialog's buttons are the dialog's own business.
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QPushButton*>(watched);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button && button->window() == this &&
            button->isEnabled()) {
            button->click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Start-up helpers -----------------------------------------------------------------------

void TF_Main::ChooseBrand(GlobalVariables& g) {
    const QString path = CompanionFile(QStringLiteral("Scr_logo.bmp"));
    if (QFile::exists(path)) {
        QPixmap logo;
        if (logo.load(path)) {
            ShowPartnerLogo(logo);
            g.Company = QStringLiteral("Osterby");
        }
    }
    if (g.Company.isEmpty()) g.Company = QStringLiteral("Larkfield");
}

void TF_Main::ShowPartnerLogo(const QPixmap& logo) {
    // The logo is stretched to the free place under the product logo, left of the sender
    // block and above the comment row, keeping its proportions, so it never covers a caption
    // or a field.
    const QRect place = Scaled(QRect(16, 60, 320, 52), scale_);
    QSize size = logo.size();
    if (size.isEmpty()) return;
    size.scale(place.size(), Qt::KeepAspectRatio);
    QRect bounds(QPoint(0, 0), size);
    bounds.moveCenter(place.center());
    imageCompany_->setPixmap(logo);
    imageCompany_->setGeometry(bounds);
}

void TF_Main::ShowSenderLabels() {
    sender_->ShowLines(SenderLabelTexts(Globals()));
}

// --- Entry form -----------------------------------------------------------------------------

QList<QWidget*> TF_Main::MarkedControls() const {
    return fees_->MarkedFields() + QList<QWidget*>{editRe_, editComment_} +
           addressee_->MarkedFields();
}

void TF_Main::SetMarked(const QColor& color, bool printEnabled) {
    for (QWidget* w : MarkedControls()) {
        QPalette p = w->palette();
        p.setColor(QPalette::Base, color);
        w->setPalette(p);
    }
    fees_->SetPrintEnabled(printEnabled);
}

void TF_Main::MarkPrinted() {
    SetMarked(PrintedColor(), false);
}

void TF_Main::MarkEdited() {
    SetMarked(Qt::white, true);
}

EntryFields TF_Main::FilledEntryFields() const {
    EntryFields f;
    f.senderLabels = sender_->Lines();
    addressee_->FillAddressee(f);
    f.re = editRe_->text();
    f.comment = editComment_->text();
    fees_->FillFees(f);
    return f;
}

void TF_Main::SetPieceLog(PieceLog* log) {
    pieceLog_ = log;
}

void TF_Main::FocusProblem(const PrintOutcome& o) {
    switch (o.focus) {
    case PrintOutcome::Focus::None: return;
    case PrintOutcome::Focus::Zip: addressee_->FocusZip(); return;
    case PrintOutcome::Focus::Fee: fees_->FocusFee(o.focusFee); return;
    case PrintOutcome::Focus::AddressLine:
        addressee_->FocusAddressLine(o.focusLine, o.focusColumn);
        return;
    }
}

bool TF_Main::HoldsUnprintedPiece() const {
    if (!fees_->PrintEnabled()) return false; // printed, and not changed since
    for (const QLineEdit* e : {editComment_, editRe_})
        if (!e->text().trimmed().isEmpty()) return true;
    return addressee_->HoldsTypedAddress();
}

void TF_Main::SaveValues1Click() {
    fees_->StoreDefaults(Globals());
}

// --- Menu commands of this window -----------------------------------------------------------

void TF_Main::MIExitClick() {
    close();
}

void TF_Main::YourNameAddress1Click() {
    TF_YourAddress dialog(this);
    if (dialog.exec() == QDialog::Accepted) ShowSenderLabels();
    sender_->setFocus();
}

void TF_Main::PrintBarCodeMIClick() {
    PrintBarCodeMI_->setChecked(true);
    GlobalVariables& g = Globals();
    g.PrintBarCode = true;
    g.UnreadValues.remove(QStringLiteral("PrintBarCode"));
}

void TF_Main::DontPrintBarCodeMIClick() {
    DontPrintBarCodeMI_->setChecked(true);
    GlobalVariables& g = Globals();
    g.PrintBarCode = false;
    g.Increment = true;
    g.UnreadValues.remove(QStringLiteral("PrintBarCode"));
    g.UnreadValues.remove(QStringLiteral("Increment"));
}

void TF_Main::TrackItem1Click() {
    if (!QDesktopServices::openUrl(QUrl(kTrackingPage))) ShowTrackingAddress(this, kTrackingPage);
}

void TF_Main::Content1Click() {
    try {
        if (!help_) help_ = new TF_Help(this);
        help_->ShowContents(CompanionFile(QStringLiteral("Quill3.hlp")));
        help_->show();
        help_->raise();
    } catch (const std::exception& e) {
        ShowError(this, e);
    }
}

void TF_Main::MIDataFolderClick() {
    RunDataFolderCommand(this);
}

void TF_Main::MIAboutClick() {
    TF_About about(this);
    about.IsSplash = 0;
    about.exec();
}

// --- Commands whose windows come with later parts of the program ----------------------------

// File, Print prints the piece again even while the Print button is disabled.
void TF_Main::MIPrintClick() {
    btnPrintClick();
}
void TF_Main::MIPrintBarCodesClick() {
    WindowDialogs dialogs(this);
    WaitCursor wait;
    PagePrinter printer(ActivePageTarget());
    RunPrePrint(Globals(), printer, dialogs);
}
void TF_Main::MailerNumber1Click() {
    WindowDialogs dialogs(this);
    RunMailerNumberCommand(Globals(), dialogs);
}
void TF_Main::MIPrinterSetupClick() {
    RunPrinterSetup(this);
}
void TF_Main::MIPrinterAlignmentClick() {
    GlobalVariables& g = Globals();
    TF_Align dialog(g.LeftRight, g.TopBottom, this);
    if (dialog.exec() == QDialog::Accepted) {
        g.LeftRight = dialog.LeftRight();
        g.TopBottom = dialog.TopBottom();
        g.UnreadValues.remove(QStringLiteral("LeftRight"));
        g.UnreadValues.remove(QStringLiteral("TopBottom"));
    }
}
void TF_Main::MIAlignmentTestPageClick() {
    const GlobalVariables& g = Globals();
    if (const std::optional<SettingFault> fault = PrintSettingFault(g)) {
        ShowError(this, fault->message);
        return;
    }
    try {
        WaitCursor wait;
        PrintAlignmentTestPage(g.LeftRight, g.TopBottom, BasePrintFont(), ActivePageTarget());
    } catch (const std::exception& e) {
        ShowError(this, e);
    }
}
void TF_Main::MIExtraLabelClick() {
    GlobalVariables& g = Globals();
    TF_ExtraLabel dialog(g.PrintExtraLabel, g.ExtraLabel, this);
    if (dialog.exec() == QDialog::Accepted) {
        g.PrintExtraLabel = dialog.PrintExtraLabel();
        g.ExtraLabel = dialog.ExtraLabel();
    }
}
void TF_Main::miPrintFullClick() {
    RunLogReportCommand(this,
                        CheckedLogOrder(MIByMailerNumber_, MIByName_, MIByDate_, MIByZipCode_),
                        ReportDestination::Printer, LogReport::FullDetail);
}
void TF_Main::miPrintShortClick() {
    RunLogReportCommand(this,
                        CheckedLogOrder(MIByMailerNumber_, MIByName_, MIByDate_, MIByZipCode_),
                        ReportDestination::Printer, LogReport::ShortDetail);
}
void TF_Main::miPreviewFullClick() {
    RunLogReportCommand(this,
                        CheckedLogOrder(MIByMailerNumber_, MIByName_, MIByDate_, MIByZipCode_),
                        ReportDestination::Preview, LogReport::FullDetail);
}
void TF_Main::miPreviewShortClick() {
    RunLogReportCommand(this,
                        CheckedLogOrder(MIByMailerNumber_, MIByName_, MIByDate_, MIByZipCode_),
                        ReportDestination::Preview, LogReport::ShortDetail);
}
void TF_Main::ClearReport1Click() {
    RunClearLogCommand(this);
}
// A sort item only checks itself (its radio group unchecks the others); the next report uses it.
void TF_Main::MIByMailerNumberClick() {
    MIByMailerNumber_->setChecked(true);
}
void TF_Main::MIByNameClick() {
    MIByName_->setChecked(true);
}
void TF_Main::MIByDateClick() {
    MIByDate_->setChecked(true);
}
void TF_Main::MIByZipCodeClick() {
    MIByZipCode_->setChecked(true);
}
void TF_Main::miMailingLogClick() {
    if (!logWindow_) {
        logWindow_ = new LogWindow(LogTablePath(), this);
        connect(logWindow_, &LogWindow::reprintRequested, this, &TF_Main::ReprintLoggedPiece);
    }
    logWindow_->show();
    logWindow_->raise();
    logWindow_->activateWindow();
}
void TF_Main::miFirmMailingBookClick() {
    RunFirmMailingBookCommand(this);
}
void TF_Main::miExportLogClick() {
    RunExportLogCommand(this);
}
void TF_Main::MIReprintClick() {
    ReprintLoggedPiece(QString());
}

void TF_Main::ReprintLoggedPiece(const QString& mailernum) {
    WindowDialogs dialogs(this);
    bool ok = true;
    const QString number =
        mailernum.isEmpty()
            ? QInputDialog::getText(this, QStringLiteral("Reprint"),
                                    QStringLiteral("Tracking number of the spoiled mailer:"),
                                    QLineEdit::Normal, QString(), &ok)
            : mailernum;
    if (!ok || number.trimmed().isEmpty()) return;
    std::optional<LogEntry> logged;
    try {
        logged = FindLoggedPiece(LogTablePath(), number);
    } catch (const std::exception& e) {
        dialogs.ShowError(QString::fromStdString(e.what()));
        return;
    }
    if (!logged) {
        dialogs.Refuse(ReprintUnknownNumberMessage(number));
        return;
    }
    const QString reason = QInputDialog::getItem(
        this, QStringLiteral("Reprint"),
        QStringLiteral("Reprint %1 for %2. Reason:").arg(logged->mailernum, logged->addressee[0]),
        {QStringLiteral("Jam"), QStringLiteral("Misprint"), QStringLiteral("Damaged form")}, 0,
        true, &ok);
    if (!ok) return;
    PrintOutcome outcome;
    {
        WaitCursor wait;
        PagePrinter printer(ActivePageTarget());
        outcome = RunReprint(ReprintFieldsOf(*logged, sender_->Lines()), logged->mailernum,
                             Globals(), printer, dialogs);
    }
    if (!outcome.Printed()) return;
    const QString error = AppendReprint(ReprintTablePath(), logged->mailernum, reason);
    if (!error.isEmpty())
        dialogs.Warn(QStringLiteral("The mailer %1 was reprinted, but the reprint could not be "
                                    "recorded in %2:\n\n%3")
                         .arg(logged->mailernum, ReprintTablePath(), error));
}

void TF_Main::btnPrintClick() {
    if (!ResolvePendingPieces(this)) return;
    WindowDialogs dialogs(this);
    MailingLog mailingLog;
    WaitCursor wait;
    PagePrinter printer(ActivePageTarget());
    const PrintOutcome outcome = RunSinglePrint(FilledEntryFields(), Globals(), printer, dialogs,
                                                pieceLog_ ? *pieceLog_ : mailingLog);
    if (outcome.Printed()) MarkPrinted();
    FocusProblem(outcome);
}

} // namespace qm
