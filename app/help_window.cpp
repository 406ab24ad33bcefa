#include "app/help_window.h"

#include "core/program_folder.h"

#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <stdexcept>

namespace qm {

TF_Help::TF_Help(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("F_Help"));
    setWindowTitle(ApplicationTitle() + QStringLiteral(" Help"));
    resize(640, 560);
    browserHelp = new QTextBrowser(this);
    browserHelp->setObjectName(QStringLiteral("browserHelp"));
    browserHelp->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browserHelp);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setObjectName(QStringLiteral("shortcutClose"));
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void TF_Help::ShowContents(const QString& helpFile) {
    const QFileInfo info(helpFile);
    if (!info.isFile() || !info.isReadable())
        throw std::runtime_error(
            QStringLiteral("Cannot open the help file %1.").arg(helpFile).toStdString());
    browserHelp->setSource(QUrl::fromLocalFile(info.absoluteFilePath()),
                           QTextDocument::HtmlResource);
}

} // namespace qm
