#include "log/report_preview.h"

#include "log/paged_document.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

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
    for (int z : {50, 75, 100, 125, 150, 200, 300})
        cbZoom_->addItem(QStringLiteral("%1%").arg(z), z);
    auto* btnClose = ToolButton(QStringLiteral("&Close"), "btnClose", this);

    auto* bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{btnFirst_, btnPrior_, spinPage_, lblPages_,
                                                      btnNext_, btnLast_})
        bar->addWidget(w);
    bar->addSpacing(16);
    bar->addWidget(new QLabel(QStringLiteral("Zoom:"), this));
    bar->addWidget(cbZoom_);
    bar->addStretch();
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

    cbZoom_->setCurrentIndex(cbZoom_->findData(100));
    resize(1000, 800);
    Redraw();
}

void TF_ReportPreview::ShowPage(int page) {
    page = std::clamp(page, 0, document_.PageCount() - 1);
    if (page == page_ && !pageImage_->pixmap().isNull()) return;
    page_ = page;
    Redraw();
}

void TF_ReportPreview::SetZoom(int percent) {
    if (percent == zoom_ || percent <= 0) return;
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
