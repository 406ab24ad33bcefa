#pragma once
// The About box, which also serves as the start-up splash (IsSplash = 1: pictures only, at
// least three seconds).
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace qm {

// Contact block of one brand.
struct BrandContact {
    QString street;
    QString city;
    QString webSite;
    QString eMail;
    QString copyright;
};
BrandContact MakerContact();
BrandContact PartnerContact();

// "Version " and the first three parts of the program's file version, "Version 3.0" without one.
QString VersionLine(const QString& fileVersion);

class TF_About : public QDialog {
    Q_OBJECT
public:
    explicit TF_About(QWidget* parent = nullptr);

    int IsSplash = 0; // set by the creator before the window is shown

    QFrame* panelMain;
    QLabel* Image1;
    QLabel* imageCompany;
    QFrame* panelInfo;
    QLabel* labelStreet;
    QLabel* labelCity;
    QLabel* labelWebSite;
    QLabel* labelEMail;
    QLabel* labelVersion;
    QLabel* labelCopyright;
    QPushButton* btnOK;
    QTimer* Timer1;

public slots:
    void Timer1Timer();
    void labelWebSiteClick();
    void labelEMailClick();
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void ShowBrand();
    // How much the pixel design grew for the window's font.
    double scale_ = 1.0;
};

} // namespace qm
