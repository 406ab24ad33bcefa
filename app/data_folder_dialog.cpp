#include "app/data_folder_dialog.h"

#include "app/data_folder_start.h"
#include "core/data_folder.h"
#include "core/data_folder_copy.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "widgets/dialog_parts.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

TF_DataFolder::TF_DataFolder(const QString& current, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("F_DataFolder"));
    setWindowTitle(QStringLiteral("Data Folder"));

    auto* intro = WrappedLabel(
        QStringLiteral("The settings, the mailing log and the address books are kept in:"), this);
    lblCurrent = BoldLabel(QDir::toNativeSeparators(current), this);
    lblCurrent->setObjectName(QStringLiteral("lblCurrent"));
    lblCurrent->setTextInteractionFlags(Qt::TextSelectableByMouse);

    editFolder = new QLineEdit(this);
    editFolder->setObjectName(QStringLiteral("editFolder"));
    editFolder->setMinimumWidth(360);
    auto* caption = new QLabel(QStringLiteral("&New data folder:"), this);
    caption->setBuddy(editFolder);
    btnBrowse = NamedButton(QStringLiteral("&Browse..."), "btnBrowse", this);
    auto* hint = WrappedLabel(
        QStringLiteral("Copies of Quillmark that use the same folder (for example a network "
                       "share) share the settings, the numbering, the mailing log and the "
                       "address books."),
        this);

    btnOK = NamedButton(QStringLiteral("OK"), "btnOK", this);
    btnOK->setDefault(true);
    btnCancel = NamedButton(QStringLiteral("Cancel"), "btnCancel", this);

    auto* row = new QGridLayout;
    row->addWidget(caption, 0, 0, 1, 2);
    row->addWidget(editFolder, 1, 0);
    row->addWidget(btnBrowse, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(lblCurrent);
    layout->addLayout(row);
    layout->addWidget(hint);
    layout->addLayout(ButtonRow({btnOK, btnCancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnBrowse, &QPushButton::clicked, this, &TF_DataFolder::btnBrowseClick);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TF_DataFolder::Folder() const {
    // As typed: a blank at either end is part of a folder's name.
    const QString typed = editFolder->text();
    return typed.trimmed().isEmpty() ? QString() : typed;
}

void TF_DataFolder::btnBrowseClick() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Data Folder"), Folder());
    if (!chosen.isEmpty()) editFolder->setText(QDir::toNativeSeparators(chosen));
}

namespace {

bool Ask(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, ApplicationTitle(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void Refuse(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, ApplicationTitle(), text);
}

} // namespace

void RunDataFolderCommand(QWidget* mainWindow) {
    const QString current = QDir::cleanPath(DataFolder());
    switch (CurrentDataFolderSource()) {
    case DataFolderSource::CommandLine:
        QMessageBox::information(
            mainWindow, ApplicationTitle(),
            QStringLiteral("This run uses the data folder %1, given with --folder.").arg(current));
        return;
    case DataFolderSource::BesideProgram:
        QMessageBox::information(
            mainWindow, ApplicationTitle(),
            QStringLiteral("The settings file quill4.ini beside the program keeps the data in "
                           "the program's folder %1.")
                .arg(current));
        return;
    case DataFolderSource::Chosen:
    case DataFolderSource::Default: break;
    }

    TF_DataFolder dialog(current, mainWindow);
    if (dialog.exec() != QDialog::Accepted || dialog.Folder().isEmpty()) return;
    const QString target = QDir::cleanPath(QDir(dialog.Folder()).absolutePath());
    if (target == current) return;
    const QFileInfo info(target);
    if (!info.isDir())
        return Refuse(mainWindow, QStringLiteral("The folder %1 does not exist.").arg(target));
    if (!info.isWritable())
        return Refuse(mainWindow, QStringLiteral("The folder %1 cannot be written.").arg(target));

    bool copy = false;
    if (IsEmptyFolder(target)) {
        const auto answer = QMessageBox::question(
            mainWindow, ApplicationTitle(),
            QStringLiteral("The folder %1 is empty. Copy the settings, the mailing log and the "
                           "address books from %2 there?")
                .arg(target, current),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel) return;
        copy = answer == QMessageBox::Yes;
    } else if (!QFileInfo(QDir(target).filePath(QStringLiteral("quill4.ini"))).isFile()) {
        if (!Ask(mainWindow, QStringLiteral("The folder %1 holds no Quillmark settings "
                                            "(quill4.ini). Use it as the data folder?")
                                 .arg(target)))
            return;
    }
    if (!Ask(mainWindow,
             QStringLiteral("Quillmark starts again to use the data folder %1. Restart now?")
                 .arg(target)))
        return;

    if (copy) {
        try {
            SaveSettings(Globals()); // the copy takes the settings as they are now
            const DataFolderCopyResult done = CopyDataFolder(current, target);
            QMessageBox::information(
                mainWindow, ApplicationTitle(),
                QStringLiteral("%1 files were copied to %2 and read back (%3 tables). The old "
                               "folder %4 is left as it was.")
                    .arg(done.files)
                    .arg(target)
                    .arg(done.tables)
                    .arg(current));
        } catch (const std::exception& e) {
            QMessageBox::critical(mainWindow, ApplicationTitle(),
                                  QStringLiteral("The data could not be copied to %1: %2\n\nThe "
                                                 "data folder stays %3.")
                                      .arg(target, QString::fromUtf8(e.what()), current));
            return;
        }
    }
    try {
        WriteChosenDataFolder(DataFolderConfigPath(), QFile::encodeName(target));
    } catch (const DataFolderConfigError& e) {
        QMessageBox::critical(mainWindow, ApplicationTitle(), QString::fromUtf8(e.what()));
        return;
    }
    RequestRestart(true);
    if (!mainWindow->close()) RequestRestart(false);
}

} // namespace qm
