#include "print/symbol_check.h"

#include "print/postnet_reader.h"

#include <ZXing/ReadBarcode.h>

namespace qm {

namespace {

// What a reading shows the user: GS as a blank, other control characters as '?'.
QString Shown(const QString& text) {
    QString shown = text;
    for (QChar& c : shown)
        if (c == QChar(0x1d))
            c = QLatin1Char(' ');
        else if (c.unicode() < 0x20)
            c = QLatin1Char('?');
    return shown;
}

const ZXing::DecodeHints& Code128Hints() {
    // A rendered page is black on white: a fixed threshold, one line, no searching.
    static const ZXing::DecodeHints hints = ZXing::DecodeHints()
                                                .setFormats(ZXing::BarcodeFormat::Code128)
                                                .setTryHarder(false)
                                                .setTryRotate(false)
                                                .setTryDownscale(false)
                                                .setBinarizer(ZXing::Binarizer::FixedThreshold)
                                                .setMinLineCount(1)
                                                .setMaxNumberOfSymbols(1);
    return hints;
}

// One scan line of a 128-type symbol, read both ways (the symbol may be turned).
std::optional<QString> CheckGs1Line(const ZXing::ImageView& line, const QString& data) {
    ZXing::Result result = ZXing::ReadBarcode(line, Code128Hints());
    if (!result.isValid()) result = ZXing::ReadBarcode(line.rotated(180), Code128Hints());
    if (!result.isValid()) return QStringLiteral("could not be read back");
    const ZXing::ByteArray& bytes = result.bytes();
    const QString read =
        QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    // "]C1": Code 128 with FNC1 in the first place, the mark of GS1 element strings.
    if (result.symbologyIdentifier() != "]C1")
        return QStringLiteral("reads as a plain Code 128 symbol, not as GS1-128");
    if (read != data)
        return QStringLiteral("reads as \"%1\" instead of \"%2\"").arg(Shown(read), Shown(data));
    return std::nullopt;
}

std::optional<QString> CheckGs1(const QImage& page, const QRect& dots, const QString& data) {
    const ZXing::ImageView view(page.constBits(), page.width(), page.height(),
                                ZXing::ImageFormat::Lum, int(page.bytesPerLine()));
    for (int quarter = 1; quarter <= 3; ++quarter) {
        const int y = dots.top() + dots.height() * quarter / 4;
        if (auto failed = CheckGs1Line(view.cropped(dots.left(), y, dots.width(), 1), data))
            return failed;
    }
    return std::nullopt;
}

} // namespace

QString SymbolFailure::Message() const {
    QString name = symbol.name;
    if (!name.isEmpty()) name[0] = name[0].toUpper();
    return name + QLatin1Char(' ') + reason + QLatin1Char('.');
}

std::optional<QString> CheckSymbol(const QImage& source, const DrawnSymbol& symbol) {
    const QImage page = source.format() == QImage::Format_Grayscale8
                            ? source
                            : source.convertToFormat(QImage::Format_Grayscale8);
    if (symbol.dots.isEmpty() || !page.rect().contains(symbol.dots))
        return QStringLiteral("lies partly off the printable area of the page");
    switch (symbol.kind) {
    case SymbolKind::Gs1_128: return CheckGs1(page, symbol.dots, symbol.data);
    case SymbolKind::Postnet: {
        const PostnetReading reading = ReadPostnet(page, symbol.dots);
        if (!reading.ok) return QStringLiteral("could not be read back (%1)").arg(reading.problem);
        if (reading.digits != symbol.data)
            return QStringLiteral("reads as \"%1\" instead of \"%2\"")
                .arg(reading.digits, symbol.data);
        return std::nullopt;
    }
    }
    return QStringLiteral("is of a kind that cannot be checked");
}

std::optional<SymbolFailure> CheckSymbols(const QImage& source,
                                          const std::vector<DrawnSymbol>& symbols) {
    const QImage page = source.format() == QImage::Format_Grayscale8
                            ? source
                            : source.convertToFormat(QImage::Format_Grayscale8);
    for (const DrawnSymbol& symbol : symbols)
        if (std::optional<QString> reason = CheckSymbol(page, symbol))
            return SymbolFailure{symbol, *reason};
    return std::nullopt;
}

} // namespace qm
