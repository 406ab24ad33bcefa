#pragma once
// "Report Preview": one page at a time, drawn when it is shown, with zoom and page navigation.
// It opens at "Page Width", the zoom at which the page's width fills the window, and keeps to
// it as the window changes size until another zoom is chosen. With a print action, "Print..."
// prints the document (to a printer or a PDF file) from the preview.

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;

namespace qm {

class PagedDocument;

class TF_ReportPreview : public QDialog {
    Q_OBJECT
public:
    explicit TF_ReportPreview(PagedDocument& document, QWidget* parent = nullptr);

    int CurrentPage() const { return page_; } // 0-based
    int Zoom() const { return zoom_; }        // percent
    bool FitsWidth() const { return fitWidth_; }
    void ShowPage(int page);
    void SetZoom(int percent); // 0: page width

    // Shows "Print..." running `print`, which returns true when the document was printed or
    // saved.
    void SetPrintAction(std::function<bool()> print);
    // The document was printed or saved from this preview.
    bool Printed() const { return printed_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Redraw();
    void FitWidth();

    PagedDocument& document_;
    std::function<bool()> print_;
    bool printed_ = false;
    int page_ = 0;
    int zoom_ = 100;
    bool fitWidth_ = true;
    QScrollArea* scroll_;
    QLabel* pageImage_;
    QPushButton* btnFirst_;
    QPushButton* btnPrior_;
    QPushButton* btnNext_;
    QPushButton* btnLast_;
    QSpinBox* spinPage_;
    QLabel* lblPages_;
    QComboBox* cbZoom_;
    QPushButton* btnPrint_;
};

} // namespace qm
