#pragma once
// Barcode decoding and PDF rasterising with the system's tools, as test oracles.
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace qm::test {

// Every symbol zbarimg finds in the image, one text each (GS as "\x1d").
inline QStringList DecodeSymbols(const QImage& image) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("symbols.png"));
    if (!image.save(file)) return {QStringLiteral("<cannot save image>")};
    QProcess zbar;
    zbar.start(QStringLiteral(QM_ZBARIMG),
               {QStringLiteral("--nodbus"), QStringLiteral("--raw"), QStringLiteral("-q"), file});
    zbar.waitForFinished(60000);
    const QString out = QString::fromLatin1(zbar.readAllStandardOutput());
    QStringList symbols = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    symbols.sort();
    return symbols;
}

// The 22-digit tracking numbers of kind "T" that zbarimg reads on a page (the data after the
// GS of each GS1-128 symbol, or the whole symbol when it carries no ZIP routing code).
inline QStringList TrackingNumbersOn(const QImage& page) {
    QStringList found;
    for (const QString& symbol : DecodeSymbols(page)) {
        const int gs = int(symbol.indexOf(QChar(0x1d)));
        const QString tracking = gs >= 0 ? symbol.mid(gs + 1) : symbol;
        if (tracking.startsWith(QLatin1String("92147"))) found << tracking;
    }
    return found;
}

// Every symbol zbarimg finds in the image files, read by one zbarimg run, sorted.
inline QStringList DecodeFiles(const QStringList& files) {
    QProcess zbar;
    zbar.start(
        QStringLiteral(QM_ZBARIMG),
        QStringList{QStringLiteral("--nodbus"), QStringLiteral("--raw"), QStringLiteral("-q")} +
            files);
    zbar.waitForFinished(120000);
    QStringList symbols = QString::fromLatin1(zbar.readAllStandardOutput())
                              .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    symbols.sort();
    return symbols;
}

// Rasterises page `page` (counting from 1) of a PDF at `dpi` with pdftoppm; a null image
// when the PDF has no such page.
inline QImage RasterisePdfPage(const QString& pdf, int dpi, int page) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QProcess p;
    p.start(QStringLiteral(QM_PDFTOPPM),
            {QStringLiteral("-q"), QStringLiteral("-r"), QString::number(dpi),
             QStringLiteral("-png"), QStringLiteral("-f"), QString::number(page),
             QStringLiteral("-l"), QString::number(page), pdf, prefix});
    p.waitForFinished(120000);
    QDir d(dir.path());
    const QStringList pngs = d.entryList({QStringLiteral("page*.png")});
    if (pngs.isEmpty()) return {};
    QImageReader::setAllocationLimit(0);
    return QImage(d.filePath(pngs.first())).convertToFormat(QImage::Format_Grayscale8);
}

// Rasterises the first page of a PDF at `dpi` with pdftoppm.
inline QImage RasterisePdf(const QString& pdf, int dpi) {
    return RasterisePdfPage(pdf, dpi, 1);
}

} // namespace qm::test
