#include "barcode/barcode_bmp.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "barcode/code128.h"
#include "barcode/postnet.h"

namespace qm {

namespace {

constexpr int kWhite = 0;
constexpr int kBlack = 1;
// Largest bitmap side we draw; a symbol beyond it is a setting error.
constexpr std::int64_t kMaxSide = 32767;

const QList<QRgb>& TwoColours() {
    static const QList<QRgb> table = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
    return table;
}

void CheckBitmapSize(std::int64_t width, std::int64_t height) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        throw BarcodeError("Barcode bitmap of " + std::to_string(width) + " x " +
                           std::to_string(height) + " pixels is out of range (1 to " +
                           std::to_string(kMaxSide) + " each)");
}

QImage NewBitmap(std::int64_t width, std::int64_t height, bool fillWhite = true) {
    CheckBitmapSize(width, height);
    QImage image(int(width), int(height), QImage::Format_Indexed8);
    if (image.isNull())
        throw BarcodeError("Barcode bitmap of " + std::to_string(width) + " x " +
                           std::to_string(height) + " pixels could not be created");
    image.setColorTable(TwoColours());
    if (fillWhite) image.fill(kWhite);
    const int dpm = qRound(TBarcodeBmp::kTextDpi / 0.0254);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    return image;
}

class ImageCanvas final : public BarCanvas {
public:
    explicit ImageCanvas(QImage& image)
        : bits_(image.bits()), stride_(image.bytesPerLine()), width_(image.width()),
          height_(image.height()) {}
    void FillBlack(int x, int y, int width, int height) override {
        const int x0 = std::max(x, 0);
        const int x1 = int(std::min<std::int64_t>(std::int64_t(x) + width, width_));
        const int y0 = std::max(y, 0);
        const int y1 = int(std::min<std::int64_t>(std::int64_t(y) + height, height_));
        if (x0 >= x1 || y0 >= y1) return;
        uchar* row = bits_ + std::ptrdiff_t(y0) * stride_ + x0;
        for (int r = y0; r < y1; ++r, row += stride_) std::memset(row, kBlack, size_t(x1 - x0));
    }
    // Copies row `from` onto the rows [to, end).
    void CopyRow(int from, int to, int end) {
        const uchar* src = bits_ + std::ptrdiff_t(from) * stride_;
        for (int r = std::max(to, 0); r < std::min(end, height_); ++r)
            std::memcpy(bits_ + std::ptrdiff_t(r) * stride_, src, size_t(width_));
    }

private:
    uchar* bits_;
    qsizetype stride_;
    int width_;
    int height_;
};

// Records the bars that cross a few sample rows, one byte a pixel. A symbol whose
// rows fall into a few bands of identical rows is drawn by sampling one row a band
// and copying it, instead of filling every bar on every row.
class RowSampleCanvas final : public BarCanvas {
public:
    RowSampleCanvas(int width, std::initializer_list<int> rows) : width_(width) {
        for (int row : rows) samples_.push_back({row, std::vector<uchar>(size_t(width), kWhite)});
    }
    void FillBlack(int x, int y, int width, int height) override {
        const int x0 = std::max(x, 0);
        const int x1 = int(std::min<std::int64_t>(std::int64_t(x) + width, width_));
        if (x0 >= x1) return;
        for (Sample& s : samples_)
            if (s.row >= y && std::int64_t(s.row) < std::int64_t(y) + height)
                std::memset(s.pixels.data() + x0, kBlack, size_t(x1 - x0));
    }
    const std::vector<uchar>& Row(size_t i) const { return samples_[i].pixels; }

private:
    struct Sample {
        int row;
        std::vector<uchar> pixels;
    };
    int width_;
    std::vector<Sample> samples_;
};

// Rows [first, end) of the unturned symbol, all equal to `pixels`.
struct Band {
    int first;
    int end;
    const std::vector<uchar>* pixels;
};

// Writes the bands into a new bitmap, unturned or turned by 180 degrees (each row
// reversed and the row order reversed). Every row is written, so no fill is needed.
QImage FromBands(int width, int height, const std::vector<Band>& bands, bool halfTurn) {
    QImage image = NewBitmap(width, height, false);
    for (const Band& band : bands) {
        const uchar* src = band.pixels->data();
        std::vector<uchar> reversed;
        if (halfTurn) {
            reversed.assign(band.pixels->rbegin(), band.pixels->rend());
            src = reversed.data();
        }
        for (int y = band.first; y < band.end; ++y)
            std::memcpy(image.scanLine(halfTurn ? height - 1 - y : y), src, size_t(width));
    }
    return image;
}

// Pixel (x, y) of the W x H source goes to the place the rotation gives it.
QImage Rotated(const QImage& src, TbcRotate rotate) {
    const int w = src.width();
    const int h = src.height();
    const bool quarter = rotate == bcRotate90 || rotate == bcRotate270;
    QImage dst = NewBitmap(quarter ? h : w, quarter ? w : h);
    for (int y = 0; y < h; ++y) {
        const uchar* in = src.constScanLine(y);
        switch (rotate) {
        case bcRotate90:
            for (int x = 0; x < w; ++x) dst.scanLine(x)[h - 1 - y] = in[x];
            break;
        case bcRotate180: {
            uchar* out = dst.scanLine(h - 1 - y);
            for (int x = 0; x < w; ++x) out[w - 1 - x] = in[x];
            break;
        }
        case bcRotate270:
            for (int x = 0; x < w; ++x) dst.scanLine(w - 1 - x)[y] = in[x];
            break;
        case bcNoRotate: std::memcpy(dst.scanLine(y), in, size_t(w)); break;
        }
    }
    return dst;
}

bool IsCode128Type(TBarCodeType type) {
    return type == bcCode128 || type == bcEAN128;
}

void CheckBuilt(int type) {
    if (!IsBarCodeTypeBuilt(type))
        throw BarcodeError(std::string("Barcode type ") + BarCodeTypeName(type) + " (" +
                           std::to_string(type) +
                           ") is not supported; only Code 128, EAN-128 and POSTNET can be drawn");
}

} // namespace

const char* BarCodeTypeName(int type) {
    static const char* const kNames[kBarCodeTypeCount] = {
        "Code 128",
        "Code 39",
        "Code 39 full ASCII",
        "UPC-A",
        "Interleaved 2 of 5",
        "Code 93",
        "EAN-13",
        "EAN-8",
        "EAN-128",
        "POSTNET",
        "UPC-E",
        "UPC/EAN 2-digit add-on",
        "UPC/EAN 5-digit add-on",
    };
    return type >= 0 && type < kBarCodeTypeCount ? kNames[type] : "unknown";
}

bool IsBarCodeTypeBuilt(int type) {
    return type == bcCode128 || type == bcEAN128 || type == bcPOSTNET;
}

QString FilterBarcodeText(TBarCodeType type, const QString& text) {
    auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    auto isCode39 = [&](char16_t c) {
        return isDigit(c) || (c >= u'A' && c <= u'Z') ||
               QStringView(u" -.$/+%*").contains(QChar(c));
    };
    qsizetype maxLength = -1;
    switch (type) {
    case bcUPCA: maxLength = 11; break;
    case bcEAN13: maxLength = 12; break;
    case bcEAN8: maxLength = 7; break;
    case bcPOSTNET: maxLength = 11; break;
    case bcUPCE: maxLength = 6; break;
    case bcUPC2ext: maxLength = 2; break;
    case bcUPC5ext: maxLength = 5; break;
    default: break;
    }
    QString kept;
    kept.reserve(text.size());
    for (QChar qc : text) {
        char16_t c = qc.unicode();
        if (c == 0) continue;
        bool keep = false;
        switch (type) {
        case bcCode128:
        case bcCode39Ext:
        case bcCode93: keep = c <= 128; break;
        case bcEAN128: keep = c <= 128 || c == kFnc1Char; break;
        case bcCode39:
            if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
            keep = isCode39(c);
            break;
        case bcEAN8:
        case bcUPC5ext: keep = true; break;
        default: keep = isDigit(c); break;
        }
        if (keep) kept += QChar(c);
    }
    if (maxLength >= 0) kept.truncate(maxLength);
    return kept;
}

TBarcodeBmp::TBarcodeBmp(QObject* owner) : QObject(owner), font_(QStringLiteral("Courier New")) {
    Render();
}

TBarcodeBmp::~TBarcodeBmp() = default;

namespace {

// Sets a property, renders, and puts the old value back when rendering fails.
template <class Owner, class T>
void SetAndRender(Owner& owner, T& field, T value, void (Owner::*render)()) {
    T old = std::move(field);
    field = std::move(value);
    try {
        (owner.*render)();
    } catch (...) {
        field = std::move(old);
        throw;
    }
}

} // namespace

void TBarcodeBmp::SetHeight(int height) {
    if (height < 1)
        throw BarcodeError("Barcode height must be at least 1 pixel, not " +
                           std::to_string(height));
    SetAndRender(*this, height_, height, &TBarcodeBmp::Render);
}

void TBarcodeBmp::SetBarcodeText(const QString& text) {
    SetAndRender(*this, text_, FilterBarcodeText(type_, text), &TBarcodeBmp::Render);
}

void TBarcodeBmp::SetBarcodeType(TBarCodeType type) {
    CheckBuilt(type);
    const TBarCodeType oldType = type_;
    QString oldText = text_;
    type_ = type;
    text_ = FilterBarcodeText(type, text_);
    try {
        Render();
    } catch (...) {
        type_ = oldType;
        text_ = std::move(oldText);
        throw;
    }
}

void TBarcodeBmp::SetBarcodeTypeValue(int type) {
    CheckBuilt(type);
    SetBarcodeType(static_cast<TBarCodeType>(type));
}

void TBarcodeBmp::SetFont(const QFont& font) {
    SetAndRender(*this, font_, font, &TBarcodeBmp::Render);
}

void TBarcodeBmp::SetFont(const QFont* font) {
    if (font != nullptr) SetFont(*font);
}

void TBarcodeBmp::SetScale(int scale) {
    if (scale < 1)
        throw BarcodeError("Barcode scale must be at least 1 pixel per module, not " +
                           std::to_string(scale));
    SetAndRender(*this, scale_, scale, &TBarcodeBmp::Render);
}

void TBarcodeBmp::SetInterpret(bool interpret) {
    SetAndRender(*this, interpret_, interpret, &TBarcodeBmp::Render);
}

void TBarcodeBmp::SetRotate(TbcRotate rotate) {
    if (rotate < bcNoRotate || rotate > bcRotate270)
        throw BarcodeError("Barcode rotation " + std::to_string(int(rotate)) +
                           " is out of range (0 to 3)");
    SetAndRender(*this, rotate_, rotate, &TBarcodeBmp::Render);
}

void TBarcodeBmp::SetRotateValue(int rotate) {
    SetRotate(static_cast<TbcRotate>(rotate));
}

void TBarcodeBmp::BeginLoading() {
    loading_ = true;
}

void TBarcodeBmp::EndLoading() {
    loading_ = false;
    Render();
}

void TBarcodeBmp::Render() {
    if (loading_) return;

    const bool hasText = !text_.isEmpty();
    Code128Sequence seq;
    QByteArray bytes;
    std::int64_t modules = 20;
    if (hasText) {
        bytes = text_.toLatin1(); // the filter leaves codes up to 128 and the FNC1 marker 202
        if (IsCode128Type(type_)) {
            seq = EncodeCode128(std::string_view(bytes.constData(), size_t(bytes.size())),
                                type_ == bcEAN128);
            modules = Code128SymbolModules(seq) + 20;
        } else if (type_ == bcPOSTNET) {
            modules = PostnetSymbolUnits(int(bytes.size())) + 20;
        } else {
            CheckBuilt(type_);
        }
    }
    const int reserve = interpret_ ? 5 * scale_ : 0;
    const bool readableText = interpret_ && hasText && IsCode128Type(type_);
    if (hasText && !readableText && (rotate_ == bcNoRotate || rotate_ == bcRotate180)) {
        // Bars only: POSTNET rows are full bars above H div 2 and all bars below;
        // Code 128 rows are all bars down to the text reserve, white below it.
        const std::int64_t width = modules * scale_;
        CheckBitmapSize(width, height_);
        const int left = 10 * scale_;
        std::vector<Band> bands;
        if (type_ == bcPOSTNET) {
            const int halfTop = height_ / 2;
            RowSampleCanvas canvas(int(width), {0, halfTop});
            DrawPostnet(canvas, left, 0, std::string_view(bytes.constData(), size_t(bytes.size())),
                        scale_, height_);
            bands = {{0, halfTop, &canvas.Row(0)}, {halfTop, height_, &canvas.Row(1)}};
            bitmap_ = FromBands(int(width), height_, bands, rotate_ == bcRotate180);
        } else {
            const int barHeight = std::clamp(height_ - reserve, 0, height_);
            RowSampleCanvas canvas(int(width), {0, -1});
            DrawCode128(canvas, left, 0, seq, scale_, 1);
            bands = {{0, barHeight, &canvas.Row(0)}, {barHeight, height_, &canvas.Row(1)}};
            bitmap_ = FromBands(int(width), height_, bands, rotate_ == bcRotate180);
        }
        return;
    }

    QImage image = NewBitmap(modules * scale_, height_);
    if (hasText) {
        ImageCanvas canvas(image);
        const int left = 10 * scale_;
        if (type_ == bcPOSTNET) {
            DrawPostnet(canvas, left, 0, std::string_view(bytes.constData(), size_t(bytes.size())),
                        scale_, height_);
        } else {
            // Code 128 bars run over the full bar height: draw one row, copy it down.
            const int barHeight = height_ - reserve;
            if (barHeight > 0) {
                DrawCode128(canvas, left, 0, seq, scale_, 1);
                canvas.CopyRow(0, 1, barHeight);
            }
        }
    }

    if (readableText) {
        font_.setPointSize(8 * scale_);
        QString shown = text_;
        shown.remove(QChar(kFnc1Char));
        // Draw on a grey image without smoothing, then keep it two-coloured: the
        // text cell is white, the glyphs black.
        QImage grey(image.size(), QImage::Format_Grayscale8);
        grey.setDotsPerMeterX(image.dotsPerMeterX());
        grey.setDotsPerMeterY(image.dotsPerMeterY());
        grey.fill(255);
        QFont font = font_;
        font.setStyleStrategy(QFont::NoAntialias);
        const QFontMetrics metrics(font, &grey);
        const int textWidth = metrics.horizontalAdvance(shown);
        const int textHeight = metrics.height();
        const QRect cell(image.width() / 2 - textWidth / 2, height_ - textHeight, textWidth,
                         textHeight);
        {
            QPainter painter(&grey);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(cell.left(), cell.top() + metrics.ascent(), shown);
        }
        const QRect clipped = cell.intersected(image.rect());
        for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
            const uchar* in = grey.constScanLine(y);
            uchar* out = image.scanLine(y);
            for (int x = clipped.left(); x <= clipped.right(); ++x)
                out[x] = in[x] < 128 ? kBlack : kWhite;
        }
    }

    if (rotate_ != bcNoRotate) image = Rotated(image, rotate_);
    bitmap_ = std::move(image);
}

} // namespace qm
