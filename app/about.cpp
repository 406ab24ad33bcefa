#include "app/about.h"

#include "app/pictures.h"
#include "core/companion_files.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "widgets/dialog_parts.h"
#include "widgets/font_scale.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

namespace qm {

BrandContact MakerContact() {
    return {QStringLiteral("4410 Harrow Mill Road"), QStringLiteral("Bellmont, OH 43999"),
            QStringLiteral("https://www.larkfield-forms.example"),
            QStringLiteral("support@larkfield-forms.example"),
            QStringLiteral("Copyright \u00A9 2026 Larkfield Forms")};
}

BrandContact PartnerContact() {
    return {QStringLiteral("17 Quay Street, Suite 200"), QStringLiteral("Port Alden, ME 04999"),
            QStringLiteral("https://www.osterby-office.example"), MakerContact().eMail,
            QStringLiteral("Copyright \u00A9 2026 Osterby Office Supply")};
}

QString VersionLine(const QString& fileVersion) {
    if (fileVersion.isEmpty()) return QStringLiteral("Version 3.0");
    return QStringLiteral("Version ") + fileVersion.split(u'.').mid(0, 3).join(u'.');
}

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QColor& color, bool bold, int pixelSize,
                  bool underline, int top) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignCenter);
    QFont f = l->font();
    f.setBold(bold);
    f.setUnderline(underline);
    if (pixelSize > 0) f.setPixelSize(pixelSize);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, color);
    l->setPalette(p);
    l->setGeometry(4, top, 274, pixelSize > 0 ? pixelSize + 6 : 18);
    return l;
}

} // namespace

TF_About::TF_About(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("F_About"));
    setWindowTitle(ApplicationTitle());
    setFixedSize(308, 302);

    panelMain = new QFrame(this);
    panelMain->setObjectName(QStringLiteral("panelMain"));
    panelMain->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panelMain->setLineWidth(2);
    panelMain->setGeometry(9, 8, 290, 250);

    Image1 = new QLabel(panelMain);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(6, 10, 80, 41);
    Image1->setPixmap(ProductLogo(QSize(80, 41)));

    imageCompany = new QLabel(panelMain);
    imageCompany->setObjectName(QStringLiteral("imageCompany"));
    imageCompany->setGeometry(88, 10, 197, 41);
    imageCompany->setAlignment(Qt::AlignCenter);
    imageCompany->setScaledContents(true);
    imageCompany->setPixmap(CompanyPicture(QSize(197, 41)));

    panelInfo = new QFrame(panelMain);
    panelInfo->setObjectName(QStringLiteral("panelInfo"));
    panelInfo->setGeometry(4, 62, 282, 182);

    const BrandContact maker = MakerContact();
    const QColor navy(0, 0, 128), blue(0, 0, 255), red(255, 0, 0);
    labelStreet = MakeLabel(panelInfo, "labelStreet", navy, true, 16, false, 4);
    labelCity = MakeLabel(panelInfo, "labelCity", navy, true, 16, false, 26);
    labelWebSite = MakeLabel(panelInfo, "labelWebSite", blue, false, 0, true, 56);
    labelEMail = MakeLabel(panelInfo, "labelEMail", blue, false, 0, true, 76);
    labelVersion = MakeLabel(panelInfo, "labelVersion", red, true, 0, false, 104);
    labelCopyright = MakeLabel(panelInfo, "labelCopyright", red, true, 0, false, 126);
    // Design-time texts: the maker's.
    labelStreet->setText(maker.street);
    labelCity->setText(maker.city);
    labelWebSite->setText(maker.webSite);
    labelEMail->setText(maker.eMail);
    labelVersion->setText(QStringLiteral("Version 4.0"));
    labelCopyright->setText(maker.copyright);
    for (QLabel* link : {labelWebSite, labelEMail}) {
        link->setAttribute(Qt::WA_Hover);
        link->installEventFilter(this);
    }

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(116, 266, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);
    Timer1->setSingleShot(true);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TF_About::Timer1Timer);

    // The design fits the reference font; a larger font grows the window and its contents.
    scale_ = FontScale(font());
    ScaleChildGeometry(this, scale_);
    setFixedSize(Scaled(308, scale_), Scaled(302, scale_));
}

void TF_About::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TF_About::FormShow() {
    if (IsSplash == 1) {
        setFixedSize(width(), Scaled(80, scale_));
        panelMain->resize(panelMain->width(), Scaled(62, scale_));
        btnOK->hide();
        Timer1->start();
    } else {
        ShowBrand();
#ifdef QM_FILE_VERSION
        labelVersion->setText(VersionLine(QStringLiteral(QM_FILE_VERSION)));
#else
        labelVersion->setText(VersionLine(QString()));
#endif
    }
    CentreOnScreen(this);
}

void TF_About::ShowBrand() {
    const QString brand = Globals().Company;
    if (brand == QLatin1String("Larkfield")) {
        const BrandContact c = MakerContact();
        labelStreet->setText(c.street);
        labelCity->setText(c.city);
        labelWebSite->setText(c.webSite);
        labelEMail->setText(c.eMail);
        labelCopyright->setText(c.copyright);
    } else if (brand == QLatin1String("Osterby")) {
        const BrandContact c = PartnerContact();
        labelStreet->setText(c.street);
        labelCity->setText(c.city);
        labelWebSite->setText(c.webSite);
        labelEMail->setText(c.eMail);
        labelCopyright->setText(c.copyright);
        QPixmap logo;
        if (logo.load(CompanionFile(QStringLiteral("Scr_logo.bmp")))) {
            imageCompany->setPixmap(logo);
            const int grow = Scaled(56, scale_);
            setFixedSize(width(), height() + grow);
            imageCompany->resize(imageCompany->width(), imageCompany->height() + grow);
            panelMain->resize(panelMain->width(), panelMain->height() + grow);
            panelInfo->move(panelInfo->x(), panelInfo->y() + grow);
            btnOK->move(btnOK->x(), btnOK->y() + grow);
        }
    }
}

void TF_About::Timer1Timer() {
    Timer1->stop();
}

void TF_About::labelWebSiteClick() {
    QDesktopServices::openUrl(QUrl::fromUserInput(labelWebSite->text()));
}

void TF_About::labelEMailClick() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + labelEMail->text() +
                                   QStringLiteral("?Subject=") + ApplicationTitle()));
}

void TF_About::reject() {
    if (IsSplash != 1) QDialog::reject();
}

bool TF_About::eventFilter(QObject* watched, QEvent* event) {
    if (IsSplash == 1 || (watched != labelWebSite && watched != labelEMail))
        return QDialog::eventFilter(watched, event);
    auto* label = static_cast<QLabel*>(watched);
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::HoverMove: label->setCursor(Qt::PointingHandCursor); break;
    case QEvent::Leave: label->unsetCursor(); break;
    case QEvent::MouseButtonRelease:
        if (watched == labelWebSite)
            labelWebSiteClick();
        else
            labelEMailClick();
        return true;
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qm
