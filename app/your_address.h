#pragma once
// The sender dialog "Your Name and Address".
#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qm {

struct GlobalVariables;

class TF_YourAddress : public QDialog {
    Q_OBJECT
public:
    explicit TF_YourAddress(QWidget* parent = nullptr);

    QGroupBox* gbEnter;
    QPlainTextEdit* memoYourAddress;
    QLineEdit* editYourCity;
    QLineEdit* editYourState;
    QLineEdit* editYourZip;
    QPushButton* btnOK;
    QPushButton* btnCancel;

public slots:
    void btnOKClick();
    void btnCancelClick();
    void memoYourAddressChange();
    void memoYourAddressExit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    // Names the characters that the settings file's code page cannot hold.
    void WarnOfCharactersAnsiCannotHold(const GlobalVariables& g);
    bool inLineRule_ = false;
};

} // namespace qm
