#include "app/file_choice.h"

#include <QDir>
#include <QFileDialog>

namespace qm {

namespace {

class DialogFileChoice : public FileChoice {
public:
    QString OpenFile(QWidget* parent, const QString& title, const QString& folder,
                     const QString& filter, const QString& defaultSuffix) override {
        // A name typed for a file that does not exist is accepted: the table is created.
        QFileDialog dialog(parent, title, folder, filter);
        dialog.setObjectName(QStringLiteral("OpenDialog1"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().constFirst();
    }
    QString SaveFile(QWidget* parent, const QString& title, const QString& folder,
                     const QString& proposed, const QString& filter) override {
        // The overwrite question of the import is the program's own.
        return QFileDialog::getSaveFileName(parent, title, QDir(folder).filePath(proposed), filter,
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    }
};

FileChoice* override_ = nullptr;

} // namespace

FileChoice& ActiveFileChoice() {
    static DialogFileChoice dialogs;
    return override_ ? *override_ : dialogs;
}

void SetFileChoiceOverride(FileChoice* choice) {
    override_ = choice;
}

} // namespace qm
