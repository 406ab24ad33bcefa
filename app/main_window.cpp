#include "app/main_window.h"

#include "app/about.h"
#include "app/data_folder_dialog.h"
#include "app/help_window.h"
#include "app/pictures.h"
#include "app/settings_not_saved.h"
#include "app/tracking_address.h"
#include "app/window_dialogs.h"
#include "app/your_address.h"
#include "core/companion_files.h"
#include "core/format_zip.h"
#include "core/program_folder.h"
#include "core/sender.h"
#include "core/settings.h"
#include "entry/money.h"
#include "entry/print_run.h"
#include "log/log_table.h"
#include "log/ui/log_menu.h"
#include "piece/piece_log.h"
#include "print/page.h"
#include "print/page_printer.h"
#include "print/ui/align_dialog.h"
#include "print/ui/extra_label_dialog.h"
#include "print/ui/printer_setup.h"
#include "widgets/ask_with_buttons.h"
#include "widgets/dialog_parts.h"
#include "widgets/error_display.h"
#include "widgets/font_scale.h"
#include "widgets/memo_lines.h"
#include "widgets/wait_cursor.h"
#include "widgets/zip_edit.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
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

QLabel* AddLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    return l;
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

QLineEdit* AddEdit(QWidget* parent, const char* name, int maxLength, QRect geometry) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0) e->setMaxLength(maxLength);
    e->setGeometry(geometry);
    return e;
}

QPlainTextEdit* AddMemo(QWidget* parent, const char* name, QRect geometry) {
    auto* m = new QPlainTextEdit(parent);
    m->setObjectName(QString::fromLatin1(name));
    m->setGeometry(geometry);
    // Lines are counted as typed: a long line scrolls instead of wrapping.
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    m->setTabChangesFocus(true);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return m;
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

    menuFile = bar->addMenu(QStringLiteral("&File"));
    menuFile->setObjectName(QStringLiteral("File1"));
    MIReadWriteToDB =
        AddItem(menuFile, "MIReadWriteToDB", QStringLiteral("&Read/Write to a database"));
    menuFile->addSeparator();
    MIPrint = AddItem(menuFile, "MIPrint", QStringLiteral("&Print"));
    MIMassPrint = AddItem(menuFile, "MIMassPrint", QStringLiteral("&Mass Print"));
    MIMassPrint->setEnabled(false);
    MIPrintBarCodes = AddItem(menuFile, "MIPrintBarCodes", QStringLiteral("Print &Bar Codes"));
    menuFile->addSeparator();
    MIExit = AddItem(menuFile, "MIExit", QStringLiteral("&Exit"));

    menuOptions = bar->addMenu(QStringLiteral("&Options"));
    menuOptions->setObjectName(QStringLiteral("Options1"));
    MailerNumber1 = AddItem(menuOptions, "MailerNumber1", QStringLiteral("&Mailer Number"));
    YourNameAddress1 =
        AddItem(menuOptions, "YourNameAddress1", QStringLiteral("&Your Name && Address"));
    MIPrintOptions = AddSubmenu(menuOptions, "MIPrintOptions", QStringLiteral("Print &Options"));
    MIPrinterSetup = AddItem(MIPrintOptions, "MIPrinterSetup", QStringLiteral("&Printer Setup"));
    MIPrinterAlignment =
        AddItem(MIPrintOptions, "MIPrinterAlignment", QStringLiteral("Printer &Alignment"));
    MIExtraLabel = AddItem(MIPrintOptions, "MIExtraLabel", QStringLiteral("&Extra Label"));
    BarCodes1 = AddSubmenu(menuOptions, "BarCodes1", QStringLiteral("&BarCode's"));
    PrintBarCodeMI = AddItem(BarCodes1, "PrintBarCodeMI", QStringLiteral("&Print"));
    DontPrintBarCodeMI = AddItem(BarCodes1, "DontPrintBarCodeMI", QStringLiteral("&Don't Print"));
    groupBarCodes = AddRadioGroup(this, "groupBarCodes", {PrintBarCodeMI, DontPrintBarCodeMI});
    defaultPostage1 =
        AddSubmenu(menuOptions, "defaultPostage1", QStringLiteral("&Default Postage"));
    SaveValues1 = AddItem(defaultPostage1, "SaveValues1", QStringLiteral("&Save Values"));
    MINameAddressTextFiles = AddSubmenu(menuOptions, "MINameAddressTextFiles",
                                        QStringLiteral("&Name && Address Text Files"));
    MIImport = AddItem(MINameAddressTextFiles, "MIImport", QStringLiteral("&Import"));
    MIExport = AddItem(MINameAddressTextFiles, "MIExport", QStringLiteral("&Export"));
    MIDataFolder = AddItem(menuOptions, "MIDataFolder", QStringLiteral("Data &Folder..."));

    TrackItem1 = bar->addAction(QStringLiteral("Track Item"));
    TrackItem1->setObjectName(QStringLiteral("TrackItem1"));

    menuReport = bar->addMenu(QStringLiteral("&Report"));
    menuReport->setObjectName(QStringLiteral("Report1"));
    PrintReport1 = AddSubmenu(menuReport, "PrintReport1", QStringLiteral("&Print"));
    miPrintFull = AddItem(PrintReport1, "miPrintFull", QStringLiteral("Full Detail"));
    miPrintShort = AddItem(PrintReport1, "miPrintShort", QStringLiteral("Short Detail"));
    PreviewReport1 = AddSubmenu(menuReport, "PreviewReport1", QStringLiteral("Pre&view"));
    miPreviewFull = AddItem(PreviewReport1, "miPreviewFull", QStringLiteral("&Full Detail"));
    miPreviewShort = AddItem(PreviewReport1, "miPreviewShort", QStringLiteral("&Short Detail"));
    ClearReport1 = AddItem(menuReport, "ClearReport1", QStringLiteral("&Clear"));
    SortRepost1 = AddSubmenu(menuReport, "SortRepost1", QStringLiteral("&Sort"));
    MIByMailerNumber =
        AddItem(SortRepost1, "MIByMailerNumber", QStringLiteral("&By Mailer Number"));
    MIByName = AddItem(SortRepost1, "MIByName", QStringLiteral("By &Name"));
    MIByDate = AddItem(SortRepost1, "MIByDate", QStringLiteral("By &Date"));
    MIByZipCode = AddItem(SortRepost1, "MIByZipCode", QStringLiteral("By &ZipCode"));
    groupSort =
        AddRadioGroup(this, "groupSort", {MIByMailerNumber, MIByName, MIByDate, MIByZipCode});
    menuReport->addSeparator();
    miFirmMailingBook =
        AddItem(menuReport, "miFirmMailingBook", QStringLiteral("Firm Mailing Book..."));
    miExportLog = AddItem(menuReport, "miExportLog", QStringLiteral("Export Log..."));

    menuHelp = bar->addMenu(QStringLiteral("&Help"));
    menuHelp->setObjectName(QStringLiteral("Help1"));
    Content1 = AddItem(menuHelp, "Content1", QStringLiteral("&Content"));
    menuHelp->addSeparator();
    MIOrderSupplies = AddItem(menuHelp, "MIOrderSupplies", QStringLiteral("&Order Supplies"));
    MITechnicalSupport =
        AddItem(menuHelp, "MITechnicalSupport", QStringLiteral("&Technical Support"));
    menuHelp->addSeparator();
    miAbout = AddItem(menuHelp, "miAbout", QStringLiteral("&About"));

    const std::pair<QAction*, void (TF_Main::*)()> handlers[] = {
        {MIReadWriteToDB, &TF_Main::MIReadWriteToDBClick},
        {MIPrint, &TF_Main::MIPrintClick},
        {MIMassPrint, &TF_Main::MIMassPrintClick},
        {MIPrintBarCodes, &TF_Main::MIPrintBarCodesClick},
        {MIExit, &TF_Main::MIExitClick},
        {MailerNumber1, &TF_Main::MailerNumber1Click},
        {YourNameAddress1, &TF_Main::YourNameAddress1Click},
        {MIPrinterSetup, &TF_Main::MIPrinterSetupClick},
        {MIPrinterAlignment, &TF_Main::MIPrinterAlignmentClick},
        {MIExtraLabel, &TF_Main::MIExtraLabelClick},
        {PrintBarCodeMI, &TF_Main::PrintBarCodeMIClick},
        {DontPrintBarCodeMI, &TF_Main::DontPrintBarCodeMIClick},
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
        {MIByMailerNumber, &TF_Main::MIByMailerNumberClick},
        {MIByName, &TF_Main::MIByNameClick},
        {MIByDate, &TF_Main::MIByDateClick},
        {MIByZipCode, &TF_Main::MIByZipCodeClick},
        {miFirmMailingBook, &TF_Main::miFirmMailingBookClick},
        {miExportLog, &TF_Main::miExportLogClick},
        {Content1, &TF_Main::Content1Click},
        {MIOrderSupplies, &TF_Main::MIAboutClick},
        {MITechnicalSupport, &TF_Main::MIAboutClick},
        {miAbout, &TF_Main::MIAboutClick},
    };
    for (const auto& [action, handler] : handlers)
        connect(action, &QAction::triggered, this, handler);
}

void TF_Main::BuildForm() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("panelForm"));
    setCentralWidget(central);

    Image1 = new QLabel(central);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(16, 6, 250, 52);
    Image1->setPixmap(ProductLogo(QSize(250, 52)));
    imageCompany = new QLabel(central);
    imageCompany->setObjectName(QStringLiteral("imageCompany"));
    imageCompany->setGeometry(30, 63, 197, 41);
    imageCompany->setScaledContents(true);
    imageCompany->setPixmap(CompanyPicture(QSize(197, 41)));

    // Sender block, top right.
    gbYour = new QGroupBox(QStringLiteral("Your Name and Address"), central);
    gbYour->setObjectName(QStringLiteral("gbYour"));
    gbYour->setGeometry(352, 4, 298, 104);
    gbYour->setFocusPolicy(Qt::TabFocus);
    QLabel** senderLabels[] = {&lblYourAddress1, &lblYourAddress2, &lblYourAddress3,
                               &lblYourAddress4, &lblYourAddress5};
    for (int i = 0; i < 5; ++i) {
        const QByteArray name = "lblYourAddress" + QByteArray::number(i + 1);
        *senderLabels[i] =
            AddLabel(gbYour, name.constData(), QString(), QRect(8, 20 + 16 * i, 282, 16));
    }
    btnChangeYourAddress = new QPushButton(QStringLiteral("Change"), gbYour);
    btnChangeYourAddress->setObjectName(QStringLiteral("btnChangeYourAddress"));
    // In the group's top right corner, above the lines, wide enough for its caption.
    btnChangeYourAddress->setGeometry(234, 0, 60, 20);

    // Comment and reference.
    lblComment =
        AddLabel(central, "lblComment", QStringLiteral("Comment:"), QRect(16, 119, 76, 18));
    editComment = AddEdit(central, "editComment", 35, QRect(94, 116, 242, 22));
    lblRe = AddLabel(central, "lblRe", QStringLiteral("RE:"), QRect(352, 119, 28, 18));
    editRe = AddEdit(central, "editRe", 25, QRect(382, 116, 268, 22));

    // Addressee.
    gbAddress = new QGroupBox(QStringLiteral("Addressed To"), central);
    gbAddress->setObjectName(QStringLiteral("gbAddress"));
    gbAddress->setGeometry(16, 148, 320, 172);
    // The memo is 265 wide and high enough for all four lines.
    memoAddress = AddMemo(gbAddress, "memoAddress", QRect(10, 22, 265, 68));
    lblCity = AddLabel(gbAddress, "lblCity", QStringLiteral("City"), QRect(10, 90, 144, 16));
    lblState = AddLabel(gbAddress, "lblState", QStringLiteral("State"), QRect(158, 90, 40, 16));
    lblZip = AddLabel(gbAddress, "lblZip", QStringLiteral("ZIP"), QRect(202, 90, 90, 16));
    editCity = AddEdit(gbAddress, "editCity", 35, QRect(10, 106, 144, 22));
    editState = AddEdit(gbAddress, "editState", 4, QRect(158, 106, 40, 22));
    editZip = AddEdit(gbAddress, "editZip", 0, QRect(202, 106, 90, 22));
    SetupZipEdit(editZip);
    tzmemoAddress = AddMemo(gbAddress, "tzmemoAddress", QRect(10, 22, 265, 68));
    tzeditCity = AddEdit(gbAddress, "tzeditCity", 35, QRect(10, 106, 144, 22));
    tzeditState = AddEdit(gbAddress, "tzeditState", 4, QRect(158, 106, 40, 22));
    tzeditZip = AddEdit(gbAddress, "tzeditZip", 0, QRect(202, 106, 90, 22));
    SetupZipEdit(tzeditZip);
    for (QWidget* w :
         std::initializer_list<QWidget*>{tzmemoAddress, tzeditCity, tzeditState, tzeditZip})
        w->hide();
    btnPaste = new QPushButton(QStringLiteral("P&aste"), gbAddress);
    btnPaste->setObjectName(QStringLiteral("btnPaste"));
    btnPaste->setGeometry(10, 138, 75, 25);
    btnClear = new QPushButton(QStringLiteral("&Clear"), gbAddress);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClear->setGeometry(95, 138, 75, 25);
    BuildTableMode();

    // Fees.
    gbFees = new QGroupBox(QStringLiteral("Fees"), central);
    gbFees->setObjectName(QStringLiteral("gbFees"));
    gbFees->setGeometry(352, 148, 298, 250);
    // Fee fields show a money text up to 99999.99 with its leading blanks.
    lblPostage = AddLabel(gbFees, "lblPostage", QStringLiteral("Postage"), QRect(30, 25, 166, 18));
    editPostage = AddEdit(gbFees, "editPostage", 0, QRect(198, 22, 92, 22));
    lblCertFee =
        AddLabel(gbFees, "lblCertFee", QStringLiteral("Certified Fee"), QRect(30, 53, 166, 18));
    editCertFee = AddEdit(gbFees, "editCertFee", 0, QRect(198, 50, 92, 22));
    lblReturn =
        AddLabel(gbFees, "lblReturn", QStringLiteral("Return Receipt"), QRect(30, 81, 166, 18));
    editReturn = AddEdit(gbFees, "editReturn", 0, QRect(198, 78, 92, 22));
    cbRestricted = new QCheckBox(gbFees);
    cbRestricted->setObjectName(QStringLiteral("cbRestricted"));
    cbRestricted->setGeometry(10, 109, 18, 18);
    lblRestricted = AddLabel(gbFees, "lblRestricted", QStringLiteral("Restricted Delivery Fee"),
                             QRect(30, 109, 166, 18));
    editRestricted = AddEdit(gbFees, "editRestricted", 0, QRect(198, 106, 92, 22));
    lblTotal = AddLabel(gbFees, "lblTotal", QStringLiteral("Total"), QRect(30, 143, 166, 18));
    editTotal = AddEdit(gbFees, "editTotal", 0, QRect(198, 140, 92, 22));
    editTotal->setReadOnly(true);
    editTotal->setFocusPolicy(Qt::ClickFocus);
    btnPrint = new QPushButton(QStringLiteral("&Print"), gbFees);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setGeometry(68, 180, 161, 56);
    QFont big = btnPrint->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    btnPrint->setFont(big);

    lblRestricted->setEnabled(false);
    editRestricted->setEnabled(false);

    // Tab order: addressee side first, then the fee group.
    QWidget* order[] = {
        editComment, editRe,       memoAddress,    editCity,    editState,
        editZip,     btnPaste,     btnClear,       editPostage, editCertFee,
        editReturn,  cbRestricted, editRestricted, btnPrint,    btnChangeYourAddress};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    // Handlers.
    connect(btnChangeYourAddress, &QPushButton::clicked, this, &TF_Main::YourNameAddress1Click);
    connect(btnPrint, &QPushButton::clicked, this, &TF_Main::btnPrintClick);
    connect(btnPaste, &QPushButton::clicked, this, &TF_Main::btnPasteClick);
    connect(btnClear, &QPushButton::clicked, this, &TF_Main::btnClearClick);
    connect(cbRestricted, &QCheckBox::clicked, this, &TF_Main::cbRestrictedClick);
    for (QLineEdit* e :
         {editRe, editComment, editCity, editState, editZip, editPostage, editCertFee,
          editRestricted, editReturn, tzeditCity, tzeditState, tzeditZip})
        connect(e, &QLineEdit::textChanged, this, &TF_Main::editPostageChange);
    connect(memoAddress, &QPlainTextEdit::textChanged, this, &TF_Main::memoAddressChange);
    // One application-wide filter sees the Escape key anywhere and the focus leaving each
    // field; a second filter on the fields would run every exit handler twice.
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
        else if (w != btnPrint)
            w->setFont(plain);
    }
    for (QLineEdit* e : {editPostage, editCertFee, editReturn, editRestricted, editTotal})
        e->setFont(bold);
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

    editPostage->setText(RecalcFees(g.Postage));
    editCertFee->setText(RecalcFees(g.CertFee));
    editReturn->setText(RecalcFees(g.Return));
    editPostageExit();

    (g.PrintBarCode ? PrintBarCodeMI : DontPrintBarCodeMI)->setChecked(true);

    // The log table's file is DataFolder() + "Reports/report3.dbf"; it is opened when used.
    QDir().mkpath(DataFolder() + QStringLiteral("Addresses"));
    QDir().mkpath(DataFolder() + QStringLiteral("Reports"));

    g.ConfirmNumbers = true;

    if (splash_ && splash_->Timer1->isActive()) {
        QEventLoop wait;
        connect(splash_->Timer1, &QTimer::timeout, &wait, &QEventLoop::quit);
        connect(splash_, &QObject::destroyed, &wait, &QEventLoop::quit);
        wait.exec();
    }
    editPostage->setFocus();
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
    if (g.Line1.isEmpty() && g.City.isEmpty() && g.State.isEmpty() && g.Zip.isEmpty()) {
        TF_YourAddress dialog(this);
        dialog.exec();
    }
    ShowSenderLabels();
    ShowMailerNumberAtStart();
    if (g.BarCodeApp) {
        if (AskWithButtons(QStringLiteral("Bar Code Printing Registration"), kRegistrationMessage,
                           {QStringLiteral("&Never Print again")}, this) == 1)
            g.BarCodeApp = false;
    }
    editPostage->setFocus();
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
    if (event->type() == QEvent::FocusOut && !returningFocus_) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            if (watched == editPostage)
                editPostageExit();
            else if (watched == editCertFee)
                editCertFeeExit();
            else if (watched == editReturn)
                editReturnExit();
            else if (watched == editRestricted)
                editRestrictedExit();
            else if (watched == cbRestricted)
                editPostageChange();
            else if (watched == memoAddress)
                memoAddressExit();
            else if (watched == tzmemoAddress)
                tzmemoAddressExit();
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
    imageCompany->setPixmap(logo);
    imageCompany->setGeometry(bounds);
}

void TF_Main::ShowSenderLabels() {
    const auto texts = SenderLabelTexts(Globals());
    QLabel* labels[] = {lblYourAddress1, lblYourAddress2, lblYourAddress3, lblYourAddress4,
                        lblYourAddress5};
    for (int i = 0; i < 5; ++i) labels[i]->setText(texts[static_cast<size_t>(i)]);
}

// --- Entry form -----------------------------------------------------------------------------

QList<QWidget*> TF_Main::MarkedControls() const {
    return {editPostage, editCertFee,   editRestricted, editReturn,  editTotal,
            editRe,      editComment,   memoAddress,    editCity,    editState,
            editZip,     tzmemoAddress, tzeditCity,     tzeditState, tzeditZip};
}

void TF_Main::SetMarked(const QColor& color, bool printEnabled) {
    for (QWidget* w : MarkedControls()) {
        QPalette p = w->palette();
        p.setColor(QPalette::Base, color);
        w->setPalette(p);
    }
    btnPrint->setEnabled(printEnabled);
}

void TF_Main::MarkPrinted() {
    SetMarked(PrintedColor(), false);
}

void TF_Main::MarkEdited() {
    SetMarked(Qt::white, true);
}

EntryFields TF_Main::FilledEntryFields() const {
    EntryFields f;
    const QLabel* sender[] = {lblYourAddress1, lblYourAddress2, lblYourAddress3, lblYourAddress4,
                              lblYourAddress5};
    for (size_t i = 0; i < 5; ++i) f.senderLabels[i] = sender[i]->text();
    // The address-table controls stand in for the free-entry ones while a table is open.
    const bool freeEntry = !memoAddress->isHidden();
    const QPlainTextEdit* memo = freeEntry ? memoAddress : tzmemoAddress;
    for (int i = 0; i < 4; ++i) f.addresseeLines[size_t(i)] = DisplayedLineAt(memo, i + 1);
    f.city = (freeEntry ? editCity : tzeditCity)->text();
    f.state = (freeEntry ? editState : tzeditState)->text();
    f.zipText = ZipEditText(freeEntry ? editZip : tzeditZip);
    f.re = editRe->text();
    f.comment = editComment->text();
    f.restricted = cbRestricted->isChecked();
    f.postage = editPostage->text();
    f.certFee = editCertFee->text();
    f.returnFee = editReturn->text();
    f.restrictedFee = editRestricted->text();
    f.total = editTotal->text();
    return f;
}

void TF_Main::SetPieceLog(PieceLog* log) {
    pieceLog_ = log;
}

QString TF_Main::RecalcFees(const QString& text) {
    const RecalcResult r = qm::RecalcFees(text, {editPostage->text(), editCertFee->text(),
                                                 editRestricted->text(), editReturn->text()});
    editTotal->setText(r.totalText);
    if (!r.refusal.isEmpty()) QMessageBox::warning(this, ApplicationTitle(), r.refusal);
    return r.fieldText;
}

void TF_Main::ExitField(QLineEdit* edit) {
    const RecalcResult r =
        qm::RecalcFees(edit->text(), {editPostage->text(), editCertFee->text(),
                                      editRestricted->text(), editReturn->text()});
    editTotal->setText(r.totalText);
    if (r.refusal.isEmpty()) {
        edit->setText(r.fieldText);
        return;
    }
    // The typed text stays for the user to correct; the total leaves it out meanwhile.
    QMessageBox::warning(this, ApplicationTitle(), r.refusal);
    ReturnFocus(edit);
}

void TF_Main::ReturnFocus(QWidget* field) {
    QTimer::singleShot(0, field, [this, field] {
        if (!field->isVisible() || !field->isEnabled()) return;
        returningFocus_ = true;
        field->setFocus(Qt::OtherFocusReason);
        returningFocus_ = false;
    });
}

QLineEdit* TF_Main::FeeEdit(FeeField field) const {
    switch (field) {
    case FeeField::Postage: return editPostage;
    case FeeField::CertFee: return editCertFee;
    case FeeField::Return: return editReturn;
    case FeeField::Restricted: return editRestricted;
    case FeeField::None: break;
    }
    return nullptr;
}

void TF_Main::FocusProblem(const PrintOutcome& o) {
    const bool table = InTableMode();
    switch (o.focus) {
    case PrintOutcome::Focus::None: return;
    case PrintOutcome::Focus::Zip: ReturnFocus(table ? tzeditZip : editZip); return;
    case PrintOutcome::Focus::Fee:
        if (QLineEdit* e = FeeEdit(o.focusFee)) ReturnFocus(e);
        return;
    case PrintOutcome::Focus::AddressLine: {
        QPlainTextEdit* memo = table ? tzmemoAddress : memoAddress;
        const QTextBlock block = memo->document()->findBlockByNumber(o.focusLine);
        if (block.isValid()) {
            QTextCursor c(block);
            c.setPosition(block.position() + std::min(o.focusColumn, block.length() - 1));
            memo->setTextCursor(c);
            memo->ensureCursorVisible();
        }
        ReturnFocus(memo);
        return;
    }
    }
}

bool TF_Main::HoldsUnprintedPiece() const {
    if (!btnPrint->isEnabled()) return false; // printed, and not changed since
    for (const QLineEdit* e : {editComment, editRe, editCity, editState})
        if (!e->text().trimmed().isEmpty()) return true;
    return !memoAddress->toPlainText().trimmed().isEmpty() ||
           !FormatZip(ZipEditText(editZip)).isEmpty();
}

void TF_Main::editPostageExit() {
    ExitField(editPostage);
}
void TF_Main::editCertFeeExit() {
    ExitField(editCertFee);
}
void TF_Main::editReturnExit() {
    ExitField(editReturn);
}
void TF_Main::editRestrictedExit() {
    ExitField(editRestricted);
}

void TF_Main::editPostageChange() {
    MarkEdited();
}

void TF_Main::memoAddressChange() {
    MarkEdited();
    if (inLineRule_) return;
    inLineRule_ = true;
    if (KeepFourLines(memoAddress)) QApplication::beep(); // a fifth line is refused
    inLineRule_ = false;
}

void TF_Main::memoAddressExit() {
    // Writing lines 1 to 4 back into their places counts as a change of each line.
    if (!memoAddress->document()->isEmpty()) memoAddressChange();
}

void TF_Main::cbRestrictedClick() {
    const bool on = cbRestricted->isChecked();
    lblRestricted->setEnabled(on);
    editRestricted->setEnabled(on);
    if (on)
        editRestricted->setText(Globals().Restricted);
    else
        editRestricted->clear();
    editRestrictedExit();
}

void TF_Main::btnClearClick() {
    // The memo is empty, city and state are empty, every ZIP place is blank.
    // Comment, reference and fees keep their texts.
    memoAddress->clear();
    editCity->clear();
    editState->clear();
    editZip->clear();
}

void TF_Main::SaveValues1Click() {
    GlobalVariables& g = Globals();
    g.Postage = editPostage->text().trimmed();
    g.CertFee = editCertFee->text().trimmed();
    g.Return = editReturn->text().trimmed();
    // A blank restricted field (restricted delivery off) keeps the stored default.
    const QString restricted = editRestricted->text().trimmed();
    if (!restricted.isEmpty()) g.Restricted = restricted;
}

// --- Menu commands of this window -----------------------------------------------------------

void TF_Main::MIExitClick() {
    close();
}

void TF_Main::YourNameAddress1Click() {
    TF_YourAddress dialog(this);
    if (dialog.exec() == QDialog::Accepted) ShowSenderLabels();
    gbYour->setFocus();
}

void TF_Main::PrintBarCodeMIClick() {
    PrintBarCodeMI->setChecked(true);
    Globals().PrintBarCode = true;
}

void TF_Main::DontPrintBarCodeMIClick() {
    DontPrintBarCodeMI->setChecked(true);
    GlobalVariables& g = Globals();
    g.PrintBarCode = false;
    g.Increment = true;
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
    RunLogReportCommand(this, CheckedLogOrder(MIByMailerNumber, MIByName, MIByDate, MIByZipCode),
                        ReportDestination::Printer, LogReport::FullDetail);
}
void TF_Main::miPrintShortClick() {
    RunLogReportCommand(this, CheckedLogOrder(MIByMailerNumber, MIByName, MIByDate, MIByZipCode),
                        ReportDestination::Printer, LogReport::ShortDetail);
}
void TF_Main::miPreviewFullClick() {
    RunLogReportCommand(this, CheckedLogOrder(MIByMailerNumber, MIByName, MIByDate, MIByZipCode),
                        ReportDestination::Preview, LogReport::FullDetail);
}
void TF_Main::miPreviewShortClick() {
    RunLogReportCommand(this, CheckedLogOrder(MIByMailerNumber, MIByName, MIByDate, MIByZipCode),
                        ReportDestination::Preview, LogReport::ShortDetail);
}
void TF_Main::ClearReport1Click() {
    RunClearLogCommand(this);
}
// A sort item only checks itself (its radio group unchecks the others); the next report uses it.
void TF_Main::MIByMailerNumberClick() {
    MIByMailerNumber->setChecked(true);
}
void TF_Main::MIByNameClick() {
    MIByName->setChecked(true);
}
void TF_Main::MIByDateClick() {
    MIByDate->setChecked(true);
}
void TF_Main::MIByZipCodeClick() {
    MIByZipCode->setChecked(true);
}
void TF_Main::miFirmMailingBookClick() {
    RunFirmMailingBookCommand(this);
}
void TF_Main::miExportLogClick() {
    RunExportLogCommand(this);
}
void TF_Main::btnPrintClick() {
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
