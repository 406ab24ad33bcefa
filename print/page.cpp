#include "print/page.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintEngine>
#include <QPrinter>
#include <QTransform>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>

namespace qm {

namespace {

const QString kOcrFontFile = QStringLiteral("/usr/share/fonts/truetype/ocr-a/OCRA.ttf");
const QString kOcrFaceName = QStringLiteral("OCR A Extended");
// Far beyond any page in dots: the clip region that stands for "everywhere".
constexpr int kFarDots = 1 << 24;
constexpr int kFaceNameMax = 31; // a logical-font record holds 31 characters and a zero

PageTarget* g_activeTarget = nullptr;

} // namespace

int32_t RoundHalfEven(double v) {
    // nearbyint follows the current rounding mode; make sure it is to-nearest-even.
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(mode);
    return int32_t(r);
}

int64_t AlignmentDots(int32_t alignment, int32_t resolution) {
    // One unit is 1/100 inch, rounded to the nearest dot (halves away from zero).
    const int64_t scaled = int64_t(alignment) * resolution;
    return scaled >= 0 ? (scaled + 50) / 100 : -((-scaled + 50) / 100);
}

int32_t InchToDot(double inch, double offsetInches, int32_t resolution, int32_t alignment) {
    const long double dots =
        (static_cast<long double>(inch) - static_cast<long double>(offsetInches)) *
        static_cast<long double>(resolution);
    const long double total =
        static_cast<long double>(AlignmentDots(alignment, resolution)) + std::trunc(dots);
    // An absurd alignment from the settings file lands far off the page, never wraps.
    constexpr long double lo = std::numeric_limits<int32_t>::min();
    constexpr long double hi = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(total, lo, hi));
}

// ---------------------------------------------------------------- image target

ImagePageTarget::ImagePageTarget(int dpiX, int dpiY, int offsetX, int offsetY)
    : dpiX_(dpiX), dpiY_(dpiY), offsetX_(offsetX), offsetY_(offsetY) {
    if (dpiX <= 0 || dpiY <= 0 || offsetX < 0 || offsetY < 0)
        throw PrintError("Image page: resolution must be positive and offsets not negative");
    // The printable area of a US Letter sheet with equal margins on opposite sides.
    const int width = int(std::lround(8.5 * dpiX)) - 2 * offsetX;
    const int height = 11 * dpiY - 2 * offsetY;
    if (width <= 0 || height <= 0) throw PrintError("Image page: offsets leave no printable area");
    image_ = QImage(width, height, QImage::Format_Grayscale8);
    image_.setDotsPerMeterX(int(std::lround(dpiX / 0.0254)));
    image_.setDotsPerMeterY(int(std::lround(dpiY / 0.0254)));
    image_.fill(Qt::white);
}

QPainter& ImagePageTarget::BeginDoc() {
    if (painter_) throw PrintError("Image page: a document is already open");
    image_.fill(Qt::white);
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&image_)) {
        painter_.reset();
        throw PrintError("Image page: cannot paint on the page image");
    }
    return *painter_;
}

void ImagePageTarget::EndDoc() {
    if (!painter_) throw PrintError("Image page: no document is open");
    painter_->end();
    painter_.reset();
    ++ended_;
}

void ImagePageTarget::AbortDoc() noexcept {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

// ---------------------------------------------------------------- printer target

PrinterPageTarget::~PrinterPageTarget() {
    if (inRun_ && painter_)
        painter_->end(); // keep the pages of an unfinished run
    else
        AbortDoc();
}

QString PrinterPageTarget::Where() const {
    return printer_.outputFileName().isEmpty() ? printer_.printerName() : printer_.outputFileName();
}

QPainter& PrinterPageTarget::BeginDoc() {
    if (pageOpen_) throw PrintError("A print document is already open");
    if (painter_) {
        // The next page of a run.
        if (!printer_.newPage())
            throw PrintError(
                QStringLiteral("Unable to start a new page on \"%1\".").arg(Where()).toStdString());
        pageOpen_ = true;
        return *painter_;
    }
    if (PrinterUnavailable(printer_))
        throw PrintError("There is no printer available. Install a printer, or choose "
                         "a printer or a PDF file in the Printer Setup.");
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&printer_)) {
        painter_.reset();
        throw PrintError(QStringLiteral("Unable to print on \"%1\".").arg(Where()).toStdString());
    }
    PreparePrintPainter(*painter_);
    pageOpen_ = true;
    return *painter_;
}

void PrinterPageTarget::EndPainter() {
    const bool ok = painter_->end();
    painter_.reset();
    if (!ok || printer_.printerState() == QPrinter::Error)
        throw PrintError(QStringLiteral("The document could not be printed on \"%1\".")
                             .arg(Where())
                             .toStdString());
}

void PrinterPageTarget::EndDoc() {
    if (!pageOpen_) throw PrintError("No print document is open");
    pageOpen_ = false;
    if (!inRun_) EndPainter();
}

void PrinterPageTarget::AbortDoc() noexcept {
    if (!painter_) return;
    if (inRun_) {
        // The pages before stay in the document; EndRun finishes it.
        pageOpen_ = false;
        return;
    }
    pageOpen_ = false;
    printer_.abort();
    painter_->end();
    painter_.reset();
}

void PrinterPageTarget::SetDocumentTitle(const QString& title) {
    // The spooler shows it as the job's title.
    printer_.setDocName(title);
}

void PrinterPageTarget::BeginRun() {
    if (inRun_ || painter_) throw PrintError("A print document is already open");
    inRun_ = true;
}

void PrinterPageTarget::EndRun() {
    inRun_ = false;
    pageOpen_ = false;
    if (painter_) EndPainter();
}

int PrinterPageTarget::ResolutionX() const {
    return printer_.logicalDpiX();
}
int PrinterPageTarget::ResolutionY() const {
    return printer_.logicalDpiY();
}

int PrinterPageTarget::PhysicalOffsetX() const {
    return int(printer_.pageRect(QPrinter::DevicePixel).left() -
               printer_.paperRect(QPrinter::DevicePixel).left());
}

int PrinterPageTarget::PhysicalOffsetY() const {
    return int(printer_.pageRect(QPrinter::DevicePixel).top() -
               printer_.paperRect(QPrinter::DevicePixel).top());
}

void PreparePrintPainter(QPainter& painter) {
    // Barcodes must not be JPEG-compressed in a PDF.
    painter.setRenderHint(QPainter::LosslessImageRendering, true);
}

QPrinter& CurrentPrinter() {
    // Lives until the process ends: the printer setup's choice holds for the whole run.
    static QPrinter* printer = [] {
        auto* p = new QPrinter(QPrinter::HighResolution);
        p->setPageSize(QPageSize(QPageSize::Letter));
        p->setPageOrientation(QPageLayout::Portrait);
        return p;
    }();
    return *printer;
}

bool PrinterUnavailable(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat) return printer.outputFileName().isEmpty();
    return !printer.isValid() || printer.printerName().isEmpty();
}

PageTarget& ActivePageTarget() {
    if (g_activeTarget) return *g_activeTarget;
    static PrinterPageTarget* printerTarget = new PrinterPageTarget(CurrentPrinter());
    return *printerTarget;
}

void SetActivePageTarget(PageTarget* target) {
    g_activeTarget = target;
}

QFont BasePrintFont() {
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(8);
    f.setBold(false);
    return f;
}

bool RegisterPrintFonts() {
    static int id = -1;
    if (id < 0) id = QFontDatabase::addApplicationFont(kOcrFontFile);
    if (id < 0) return false;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    QFont::insertSubstitution(kOcrFaceName,
                              families.isEmpty() ? QStringLiteral("OCRA") : families.first());
    return true;
}

// ---------------------------------------------------------------- page

PrintPage::PrintPage(PageTarget& target) : target_(target), painter_(target.BeginDoc()) {}

PrintPage::~PrintPage() {
    if (open_) target_.AbortDoc();
}

void PrintPage::PreparePage(const QFont& source) {
    metrics_.resolutionX = target_.ResolutionX();
    metrics_.resolutionY = target_.ResolutionY();
    if (metrics_.resolutionX <= 0 || metrics_.resolutionY <= 0)
        throw PrintError("The printer reports no resolution");
    metrics_.offsetX = double(target_.PhysicalOffsetX()) / metrics_.resolutionX;
    metrics_.offsetY = double(target_.PhysicalOffsetY()) / metrics_.resolutionY;
    font_ = CanvasFont{};
    font_.face = source.family();
    font_.pointSize = source.pointSize() > 0 ? source.pointSize() : 8;
    font_.bold = source.bold();
    font_.escapement = 0;
    font_.color = Qt::black;
    metrics_.baseFace = font_.face;
    saved_ = font_;
    painter_.setBackgroundMode(Qt::OpaqueMode);
    painter_.setBackground(Qt::white);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

void PrintPage::SetAlignment(int32_t leftRight, int32_t topBottom) {
    metrics_.leftRight = leftRight;
    metrics_.topBottom = topBottom;
}

int32_t PrintPage::InchToDotX(double x) const {
    return InchToDot(x, metrics_.offsetX, metrics_.resolutionX, metrics_.leftRight);
}

int32_t PrintPage::InchToDotY(double y) const {
    return InchToDot(y, metrics_.offsetY, metrics_.resolutionY, metrics_.topBottom);
}

void PrintPage::SetFontSize(int points) {
    font_.pointSize = points;
}
void PrintPage::SetFontScale(double scale) {
    font_.scale = scale;
}
void PrintPage::SetFontBold(bool bold) {
    font_.bold = bold;
}

void PrintPage::SetRotatedFont(int angle, const QString& face) {
    font_.face = face.left(kFaceNameMax);
    font_.escapement = angle;
}

void PrintPage::RestoreBaseFont() {
    if (saved_) font_ = *saved_;
}

int32_t PrintPage::FontHeight() const {
    return -int32_t(
        std::lround(double(font_.pointSize) * font_.scale * metrics_.resolutionY / 72.0));
}

QFont PrintPage::QtFont() const {
    QFont f(font_.face);
    // The height is the character height without internal leading: Qt's pixel size.
    f.setPixelSize(std::max(1, -FontHeight()));
    f.setWeight(font_.bold ? QFont::Bold : QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    f.setKerning(false);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

double FixedPitchEm(const QString& face) {
    // The form was laid out for an OCR-A face of 0.6 em per character; the installed
    // face is wider, so its characters are narrowed to that pitch.
    return face.compare(kOcrFaceName, Qt::CaseInsensitive) == 0 ? kOcrPitchEm : 0.0;
}

int32_t PrintPage::Advance(const QString& text, double& scaleX) const {
    scaleX = 1.0;
    const double pitch = FixedPitchEm(font_.face);
    if (pitch <= 0 || text.isEmpty()) return painter_.fontMetrics().horizontalAdvance(text);
    const double natural = QFontMetricsF(painter_.font()).horizontalAdvance(text);
    const double wanted = pitch * -FontHeight() * double(text.size());
    if (natural > 0) scaleX = wanted / natural;
    return int32_t(std::lround(wanted));
}

QRect PrintPage::TextOut(int32_t x, int32_t y, const QString& text) {
    painter_.setFont(QtFont());
    const QFontMetrics fm = painter_.fontMetrics();
    double sx = 1.0;
    const int w = Advance(text, sx);
    const int h = fm.ascent() + fm.descent();
    // The escapement counts counter-clockwise; Qt turns clockwise on a y-down page. The cell
    // is in the page's dots, whatever transform the target gave its painter.
    QTransform place;
    place.translate(x, y);
    place.rotate(-font_.escapement / 10.0);
    const QRect cell = place.mapRect(QRect(0, 0, w, h));
    if (target_.SymbolsOnly()) {
        // A text away from every symbol cannot reach one: its anti-aliased fringe stays
        // within a few dots of its cell, far inside this margin. A text near a symbol is
        // drawn, so the check sees a text that covers a symbol.
        const int margin = std::max(metrics_.resolutionX, metrics_.resolutionY) / 10;
        const QRect reach = cell.adjusted(-margin, -margin, margin, margin);
        if (std::none_of(symbols_.begin(), symbols_.end(),
                         [&](const DrawnSymbol& s) { return s.dots.intersects(reach); }))
            return cell;
    }
    painter_.save();
    if (!keptClear_.isEmpty()) {
        // Nothing drawn later may cover a symbol or a tracking number.
        const QRegion everywhere(QRect(-kFarDots, -kFarDots, 2 * kFarDots, 2 * kFarDots));
        painter_.setClipRegion(everywhere.subtracted(keptClear_));
    }
    painter_.setTransform(place, true);
    painter_.fillRect(QRect(0, 0, w, h), Qt::white);
    painter_.scale(sx, 1.0);
    painter_.setPen(font_.color);
    painter_.drawText(QPointF(0, fm.ascent()), text);
    painter_.restore();
    return cell;
}

int32_t PrintPage::TextWidth(const QString& text) {
    painter_.setFont(QtFont());
    double sx = 1.0;
    return Advance(text, sx);
}

void PrintPage::KeepClear(const QRect& dots) {
    keptClear_ += dots;
}

void PrintPage::StretchBitmap(int32_t x, int32_t y, int32_t width, int32_t height,
                              const QImage& bitmap) {
    if (bitmap.isNull() || width <= 0 || height <= 0) return;
    painter_.save();
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect target(x, y, width, height);
    const QList<QRgb> colours = bitmap.colorTable();
    // On an image page the raster engine copies the bitmap as it is.
    const bool raster =
        painter_.paintEngine() && painter_.paintEngine()->type() == QPaintEngine::Raster;
    if (raster) {
        painter_.drawImage(target, bitmap);
    } else if (bitmap.format() == QImage::Format_Indexed8 && colours.size() == 2) {
        // A two-colour bitmap goes to the device at one bit per pixel, black at index 0
        // and white at 1: exact, and a PDF keeps it as a 1-bit grey image, a
        // twenty-fourth of the room of RGB.
        const bool dark[2] = {qGray(colours[0]) < 128, qGray(colours[1]) < 128};
        QImage mono(bitmap.size(), QImage::Format_Mono);
        mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        mono.fill(1);
        const int w = bitmap.width();
        const qsizetype monoBytes = mono.bytesPerLine();
        for (int row = 0, h = bitmap.height(); row < h; ++row) {
            const uchar* in = bitmap.constScanLine(row);
            uchar* out = mono.scanLine(row);
            // A symbol is bands of equal rows: a row like the one above is copied.
            if (row > 0 && std::memcmp(in, bitmap.constScanLine(row - 1), size_t(w)) == 0) {
                std::memcpy(out, mono.constScanLine(row - 1), size_t(monoBytes));
                continue;
            }
            for (int col = 0; col < w; ++col)
                if (dark[in[col] & 1]) out[col >> 3] &= uchar(~(0x80u >> (col & 7)));
        }
        painter_.drawImage(target, mono);
    } else {
        painter_.drawImage(target, bitmap);
    }
    painter_.restore();
}

void PrintPage::EndDoc() {
    open_ = false;
    target_.EndDoc();
}

} // namespace qm
