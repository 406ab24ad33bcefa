#include "log/ui/report_preview.h"

#include "log/paged_document.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

QPushButton* ToolButton(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TF_ReportPreview::TF_ReportPreview(PagedDocument& document, QWidget* parent)
    : QDialog(parent), document_(document) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("Report Preview"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    btnFirst_ = ToolButton(QStringLiteral("&First"), "btnFirst", this);
    btnPrior_ = ToolButton(QStringLiteral("&Previous"), "btnPrior", this);
    btnNext_ = ToolButton(QStringLiteral("&Next"), "btnNext", this);
    btnLast_ = ToolButton(QStringLiteral("&Last"), "btnLast", this);
    spinPage_ = new QSpinBox(this);
    spinPage_->setObjectName(QStringLiteral("spinPage"));
    spinPage_->setRange(1, document_.PageCount());
    lblPages_ = new QLabel(QStringLiteral("of %1").arg(document_.PageCount()), this);
    cbZoom_ = new QComboBox(this);
    cbZoom_->setObjectName(QStringLiteral("cbZoom"));
    cbZoom_->addItem(QStringLiteral("Page Width"), 0);
    for (int z : {50, 75, 100, 125, 150, 200, 300})
        cbZoom_->addItem(QStringLiteral("%1%").arg(z), z);
    btnPrint_ = ToolButton(QStringLiteral("P&rint..."), "btnPrint", this);
    btnPrint_->hide();
    auto* btnClose = ToolButton(QStringLiteral("&Close"), "btnClose", this);

    auto* bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{btnFirst_, btnPrior_, spinPage_, lblPages_,
                                                      btnNext_, btnLast_})
        bar->addWidget(w);
    bar->addSpacing(16);
    bar->addWidget(new QLabel(QStringLiteral("Zoom:"), this));
    bar->addWidget(cbZoom_);
    bar->addStretch();
    bar->addWidget(btnPrint_);
    bar->addWidget(btnClose);

    pageImage_ = new QLabel(this);
    pageImage_->setObjectName(QStringLiteral("pageImage"));
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(pageImage_);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(scroll_, 1);

    connect(btnFirst_, &QPushButton::clicked, this, [this] { ShowPage(0); });
    connect(btnPrior_, &QPushButton::clicked, this, [this] { ShowPage(page_ - 1); });
    connect(btnNext_, &QPushButton::clicked, this, [this] { ShowPage(page_ + 1); });
    connect(btnLast_, &QPushButton::clicked, this, [this] { ShowPage(document_.PageCount() - 1); });
    connect(spinPage_, &QSpinBox::valueChanged, this, [this](int v) { ShowPage(v - 1); });
    connect(cbZoom_, &QComboBox::currentIndexChanged, this,
            [this](int i) { SetZoom(cbZoom_->itemData(i).toInt()); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnPrint_, &QPushButton::clicked, this, [this] {
        if (print_ && print_()) printed_ = true;
    });

    cbZoom_->setCurrentIndex(cbZoom_->findData(0));
    resize(1000, 800);
    FitWidth();
    Redraw();
}

void TF_ReportPreview::SetPrintAction(std::function<bool()> print) {
    print_ = std::move(print);
    btnPrint_->setVisible(bool(print_));
}

void TF_ReportPreview::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (fitWidth_ && isVisible()) FitWidth();
}

void TF_ReportPreview::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (fitWidth_) FitWidth();
}

void TF_ReportPreview::FitWidth() {
    // The width the page may take: the scroll area less its frame and a vertical scroll bar
    // (a long page has one); before the first layout, the window less its margins.
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    const int frame = 2 * scroll_->frameWidth();
    int room = isVisible() ? scroll_->width() : width() - 2 * 12;
    room -= frame + bar + 2;
    const double pageWidth = document_.PageLayout().fullRect(QPageLayout::Inch).width() * 96.0;
    const int percent = std::clamp(int(std::floor(room * 100.0 / pageWidth)), 10, 400);
    if (percent == zoom_ && !pageImage_->pixmap().isNull()) return;
    zoom_ = percent;
    if (!pageImage_->pixmap().isNull()) Redraw();
}

void TF_ReportPreview::ShowPage(int page) {
    page = std::clamp(page, 0, document_.PageCount() - 1);
    if (page == page_ && !pageImage_->pixmap().isNull()) return;
    page_ = page;
    Redraw();
}

void TF_ReportPreview::SetZoom(int percent) {
    if (percent < 0) return;
    if (percent == 0) {
        fitWidth_ = true;
        if (cbZoom_->currentIndex() != 0) cbZoom_->setCurrentIndex(0);
        FitWidth();
        return;
    }
    fitWidth_ = false;
    if (percent == zoom_) return;
    zoom_ = percent;
    const int i = cbZoom_->findData(percent);
    if (i >= 0 && i != cbZoom_->currentIndex()) cbZoom_->setCurrentIndex(i);
    Redraw();
}

void TF_ReportPreview::Redraw() {
    // 100 % shows the page at its real size on a 96-dpi screen.
    const double dpi = 96.0 * zoom_ / 100.0 * devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(document_.RenderPageImage(page_, dpi));
    pixmap.setDevicePixelRatio(devicePixelRatioF());
    pageImage_->setPixmap(pixmap);
    pageImage_->resize(pixmap.deviceIndependentSize().toSize());
    const QSignalBlocker block(spinPage_);
    spinPage_->setValue(page_ + 1);
    const int last = document_.PageCount() - 1;
    btnFirst_->setEnabled(page_ > 0);
    btnPrior_->setEnabled(page_ > 0);
    btnNext_->setEnabled(page_ < last);
    btnLast_->setEnabled(page_ < last);
}

} // namespace qm
