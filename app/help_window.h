#pragma once
// The program's help window: Quill3.hlp, an HTML file beside the program, with Back and
// Contents buttons and a search field that finds as you type (Return finds the next hit, from
// the top again after the last). Escape closes it.
#include <QUrl>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace qm {

class TF_Help : public QWidget {
    Q_OBJECT
public:
    explicit TF_Help(QWidget* parent = nullptr);

    // Shows the contents page of the file; throws std::runtime_error when it cannot be read.
    void ShowContents(const QString& helpFile);
    // Selects the next place of `text` after the selection (or from the selection's start when
    // `again` is false), from the top again after the last; false when the text is nowhere.
    bool Find(const QString& text, bool again);

    QTextBrowser* browserHelp;
    QPushButton* btnBack;
    QPushButton* btnContents;
    QLineEdit* editSearch;

private:
    QUrl home_; // the contents page
};

} // namespace qm
