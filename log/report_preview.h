#pragma once
// "Report Preview": one page at a time, drawn when it is shown, with zoom and page navigation.

#include <QDialog>

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
    void ShowPage(int page);
    void SetZoom(int percent);

private:
    void Redraw();

    PagedDocument& document_;
    int page_ = 0;
    int zoom_ = 100;
    QScrollArea* scroll_;
    QLabel* pageImage_;
    QPushButton* btnFirst_;
    QPushButton* btnPrior_;
    QPushButton* btnNext_;
    QPushButton* btnLast_;
    QSpinBox* spinPage_;
    QLabel* lblPages_;
    QComboBox* cbZoom_;
};

} // namespace qm
