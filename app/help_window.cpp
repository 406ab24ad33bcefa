#include "app/help_window.h"

#include "core/program_folder.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
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
    btnBack = new QPushButton(QStringLiteral("&Back"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnBack->setEnabled(false);
    btnContents = new QPushButton(QStringLiteral("&Contents"), this);
    btnContents->setObjectName(QStringLiteral("btnContents"));
    editSearch = new QLineEdit(this);
    editSearch->setObjectName(QStringLiteral("editSearch"));
    editSearch->setPlaceholderText(QStringLiteral("Search"));
    editSearch->setClearButtonEnabled(true);
    auto* label = new QLabel(QStringLiteral("&Find:"), this);
    label->setBuddy(editSearch);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(6, 6, 6, 0);
    bar->addWidget(btnBack);
    bar->addWidget(btnContents);
    bar->addSpacing(12);
    bar->addWidget(label);
    bar->addWidget(editSearch, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(browserHelp);

    connect(browserHelp, &QTextBrowser::backwardAvailable, btnBack, &QWidget::setEnabled);
    connect(btnBack, &QPushButton::clicked, browserHelp, &QTextBrowser::backward);
    connect(btnContents, &QPushButton::clicked, this, [this] {
        if (browserHelp->source() == home_)
            browserHelp->moveCursor(QTextCursor::Start); // already there: back to the top
        else
            browserHelp->setSource(home_);
    });
    connect(editSearch, &QLineEdit::textEdited, this,
            [this](const QString& text) { Find(text, false); });
    connect(editSearch, &QLineEdit::returnPressed, this,
            [this] { Find(editSearch->text(), true); });

    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setObjectName(QStringLiteral("shortcutClose"));
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void TF_Help::ShowContents(const QString& helpFile) {
    const QFileInfo info(helpFile);
    if (!info.isFile() || !info.isReadable())
        throw std::runtime_error(
            QStringLiteral("Cannot open the help file %1.").arg(helpFile).toStdString());
    home_ = QUrl::fromLocalFile(info.absoluteFilePath());
    browserHelp->setSource(home_, QTextDocument::HtmlResource);
}

bool TF_Help::Find(const QString& text, bool again) {
    QPalette palette = editSearch->palette();
    palette.setColor(QPalette::Base, QWidget::palette().color(QPalette::Base));
    if (text.isEmpty()) {
        editSearch->setPalette(palette);
        return false;
    }
    QTextDocument* doc = browserHelp->document();
    const QTextCursor current = browserHelp->textCursor();
    const int from = again ? current.selectionEnd() : current.selectionStart();
    QTextCursor hit = doc->find(text, from);
    if (hit.isNull()) hit = doc->find(text, 0); // from the top again
    if (hit.isNull()) {
        palette.setColor(QPalette::Base, QColor(255, 200, 200)); // nothing: a red field
        editSearch->setPalette(palette);
        return false;
    }
    editSearch->setPalette(palette);
    browserHelp->setTextCursor(hit);
    browserHelp->ensureCursorVisible();
    return true;
}

} // namespace qm
