#pragma once
// The program's help window: Quill3.hlp, an HTML file beside the program. Escape closes it.
#include <QWidget>

class QTextBrowser;

namespace qm {

class TF_Help : public QWidget {
    Q_OBJECT
public:
    explicit TF_Help(QWidget* parent = nullptr);

    // Shows the contents page of the file; throws std::runtime_error when it cannot be read.
    void ShowContents(const QString& helpFile);

    QTextBrowser* browserHelp;
};

} // namespace qm
