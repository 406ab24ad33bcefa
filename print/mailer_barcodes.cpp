#include "print/mailer_barcodes.h"

#include "barcode/barcode_bmp.h"
#include "numbers/barcode_data.h"
#include "print/page.h"

#include <algorithm>

namespace qm {

namespace {

const QString kOcrFace = QStringLiteral("OCR A Extended");

// Draws the symbol's bitmap one pixel to one dot with its top-left corner at (x, y),
// and keeps later texts off it.
QRect DrawNatural(PrintPage& page, const TBarcodeBmp& symbol, double x, double y) {
    const QImage& bmp = symbol.Bitmap();
    const QRect place(page.InchToDotX(x), page.InchToDotY(y), bmp.width(), bmp.height());
    page.StretchBitmap(place.x(), place.y(), place.width(), place.height(), bmp);
    page.KeepClear(place);
    return place;
}

// What a scanner reads from a 128-type symbol of `text` (the component's filtered text):
// the leading FNC1 makes it GS1-128 and is not transmitted; a later one separates two
// elements and reads as GS.
QString Gs1Reading(const QString& text) {
    QString read = text.startsWith(QChar(kFnc1Char)) ? text.mid(1) : text;
    read.replace(QChar(kFnc1Char), QChar(0x1d));
    return read;
}

// Draws a symbol as DrawNatural does and notes it with what it must read as.
void DrawNoted(PrintPage& page, const TBarcodeBmp& symbol, double x, double y, SymbolKind kind,
               const QString& data, const QString& name) {
    page.NoteSymbol({kind, DrawNatural(page, symbol, x, y), data, name});
}

// A GS1-128 tracking symbol of the mailer, without readable text, whose modules are
// all the same whole number of dots wide and which is at most `maxWidth` dots wide.
void SetUpTrackingSymbol(TBarcodeBmp& symbol, const MailerSymbolSizes& s, const QString& data,
                         TbcRotate rotate = bcNoRotate) {
    symbol.BeginLoading();
    symbol.SetScale(1);
    symbol.SetHeight(s.codeHeight);
    symbol.SetInterpret(false);
    symbol.SetBarcodeType(bcEAN128);
    symbol.SetBarcodeText(MailerSymbolText(data));
    symbol.EndLoading();
    // At one pixel a module the bitmap's width is the module count, quiet zones included.
    // The full-size symbol is drawn once, already turned.
    const int scale = WholeDotModule(s.codeWidth, symbol.Bitmap().width());
    symbol.BeginLoading();
    symbol.SetScale(scale);
    symbol.SetRotate(rotate);
    symbol.EndLoading();
}

} // namespace

int WholeDotModule(int maxWidthDots, int modules) {
    if (modules <= 0) return 1;
    return std::max(1, maxWidthDots / modules);
}

MailerSymbolSizes SymbolSizesFor(int h, int v) {
    MailerSymbolSizes s{};
    s.codeHeight = RoundHalfEven(double(v) * 0.75);
    s.codeShortHeight = RoundHalfEven(double(v) * 0.4);
    s.codeWidth = RoundHalfEven(double(h) * 2.5);
    s.zipScale = RoundHalfEven(double(h) / 1000 * 23);
    s.zipHeight = RoundHalfEven(double(v) * 0.14);
    return s;
}

QString MailerSymbolText(const QString& data) {
    const QChar fnc1(kFnc1Char);
    if (!CarriesRoutingZip(data)) return fnc1 + data.mid(kBarcodeZipElementLength);
    return fnc1 + data.left(kBarcodeZipElementLength) + fnc1 + data.mid(kBarcodeZipElementLength);
}

void DrawMailerBarcodes(PrintPage& page, const QString& dataT, const QString& dataF) {
    const MailerSymbolSizes s =
        SymbolSizesFor(page.Metrics().resolutionX, page.Metrics().resolutionY);
    {
        TBarcodeBmp t;
        SetUpTrackingSymbol(t, s, dataT, bcRotate180);
        TBarcodeBmp f;
        SetUpTrackingSymbol(f, s, dataF);

        const auto gs1 = SymbolKind::Gs1_128;
        DrawNoted(page, t, 0.62, 4.1, gs1, Gs1Reading(t.BarcodeText()),
                  QStringLiteral("the tracking barcode with the addressee's ZIP code"));
        DrawNoted(page, f, 4.7, 5.0, gs1, Gs1Reading(f.BarcodeText()),
                  QStringLiteral("the tall barcode with the sender's ZIP code"));
        f.SetHeight(s.codeShortHeight);
        DrawNoted(page, f, 5.2, 0.8, gs1, Gs1Reading(f.BarcodeText()),
                  QStringLiteral("the short barcode with the sender's ZIP code"));
    }

    const QString ht = ReadableNumber(dataT);
    const QString hf = ReadableNumber(dataF);
    struct Row {
        const QString* text;
        bool ocr;
        int size;
        int angle;
        double x, y;
    };
    const Row rows[] = {
        {&ht, true, 11, 1800, 3.08, 4.02}, {&hf, true, 11, 1800, 7.2, 4.92},
        {&hf, true, 10, 1800, 7.6, 0.78},  {&ht, true, 10, 1800, 7.7, 0.45},
        {&ht, true, 10, 2700, 7.91, 3.8},  {&ht, true, 8, 2700, 8.1, 1.46},
        {&ht, false, 6, 1800, 1.47, 3.17},
    };
    for (const Row& row : rows) {
        page.SetFontSize(row.size);
        page.SetRotatedFont(row.angle, row.ocr ? kOcrFace : page.Metrics().baseFace);
        // The numbers are what a clerk types when a symbol will not scan: no later
        // text may cover a digit.
        page.KeepClear(page.TextOut(page.InchToDotX(row.x), page.InchToDotY(row.y), *row.text));
    }
}

void DrawZipBarcodes(PrintPage& page, const QString& senderZip, const QString& addresseeZip,
                     ExtraLabel extraLabel) {
    const MailerSymbolSizes s =
        SymbolSizesFor(page.Metrics().resolutionX, page.Metrics().resolutionY);
    TBarcodeBmp zip;
    zip.BeginLoading();
    zip.SetBarcodeType(bcPOSTNET);
    zip.SetInterpret(true);
    zip.SetHeight(s.zipHeight);
    zip.SetScale(s.zipScale);
    zip.SetRotate(bcRotate180);
    zip.EndLoading();

    // A symbol without digits is a blank bitmap: nothing to read back.
    const auto draw = [&](double x, double y, const QString& name) {
        if (zip.BarcodeText().isEmpty())
            DrawNatural(page, zip, x, y);
        else
            DrawNoted(page, zip, x, y, SymbolKind::Postnet, zip.BarcodeText(), name);
    };
    zip.SetBarcodeText(senderZip);
    draw(senderZip.size() <= 5 ? 5.3 : 4.5, 3.55, QStringLiteral("the sender's ZIP barcode"));

    if (extraLabel == ExtraLabel::Addressee) {
        zip.SetBarcodeText(addresseeZip);
        draw(zip.BarcodeText().size() <= 5 ? 1.08 : 0.15, 5.63,
             QStringLiteral("the addressee's ZIP barcode on the extra label"));
    }
}

} // namespace qm
