#pragma once
// Options, Data Folder...: shows where the settings, the mailing log and the address books
// are kept and takes another folder (a network share that several workstations use).
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

class TF_DataFolder : public QDialog {
    Q_OBJECT
public:
    explicit TF_DataFolder(const QString& current, QWidget* parent = nullptr);

    // The folder typed or browsed to, as typed.
    QString Folder() const;

    QLabel* lblCurrent;
    QLineEdit* editFolder;
    QPushButton* btnBrowse;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    void btnBrowseClick();
};

// The menu command: the dialog, the checks, the copy into an empty folder and the restart.
// mainWindow is closed for the restart.
void RunDataFolderCommand(QWidget* mainWindow);

} // namespace qm
