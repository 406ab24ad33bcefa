#include "print/mailer.h"

#include "print/barcode_data.h"
#include "print/mailer_barcodes.h"
#include "print/page.h"

namespace qm {

namespace {

const QString kOcrFace = QStringLiteral("OCR A Extended");

// Fonts of the form.
enum class FormFont { F1, F2, F3, F4 };

void SelectFont(PrintPage& page, FormFont font) {
    switch (font) {
    case FormFont::F1:
        page.SetFontSize(10);
        page.SetRotatedFont(1800, kOcrFace);
        break;
    case FormFont::F2:
        page.SetFontSize(10);
        page.SetRotatedFont(2700, kOcrFace);
        break;
    case FormFont::F3:
        page.RestoreBaseFont();
        page.SetFontSize(6);
        page.SetRotatedFont(1800, page.Metrics().baseFace);
        break;
    case FormFont::F4:
        page.RestoreBaseFont();
        page.SetFontBold(true);
        page.SetFontSize(8);
        page.SetRotatedFont(1800, page.Metrics().baseFace);
        break;
    }
}

void Text(PrintPage& page, double x, double y, const QString& text) {
    page.TextOut(page.InchToDotX(x), page.InchToDotY(y), text);
}

// Turned by 180 degrees, a text drawn at x = end + width ends at `end`.
void TextEndingAt(PrintPage& page, double endX, double y, const QString& text) {
    const int32_t w = page.TextWidth(text);
    page.TextOut(w + page.InchToDotX(endX), page.InchToDotY(y), text);
}

// Five lines of the request, one below the other (y steps) or side by side (x steps).
void Lines(PrintPage& page, const PrintRequest& r, int first, double x, const double (&ys)[5],
           bool upper) {
    for (int i = 0; i < 5; ++i) {
        const QString& s = r[size_t(first + i)];
        Text(page, x, ys[i], upper ? UpperAscii(s) : s);
    }
}

} // namespace

QString UpperAscii(const QString& text) {
    QString s = text;
    for (QChar& c : s)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 'a' + 'A');
    return s;
}

QString FiveDigitZip(const QString& zipText) {
    const QString first = zipText.left(5);
    if (!IsBarcodeInteger(first)) return QStringLiteral("00000");
    return QString::number(first.toInt()).rightJustified(5, QLatin1Char('0'));
}

QString PrintMailer(const PrintRequest& r, bool barcodeMode, const QFont& fontSource,
                    PageTarget& target) {
    PrintPage page(target);
    page.SetAlignment(r[kSlotLeftRight], r[kSlotTopBottom]);
    page.PreparePage(fontSource);

    QString dataT;
    if (barcodeMode) {
        const QString zipT = FiveDigitZip(r[kSlotAddresseeZip]);
        dataT =
            BuildBarcodeData(r[kSlotCustomerOrMailer], r[kSlotSerial], zipT, QStringLiteral("T"));
        const QString zipF = FiveDigitZip(r[kSlotSenderZip]);
        const QString dataF =
            BuildBarcodeData(r[kSlotCustomerOrMailer], r[kSlotSerial], zipF, QStringLiteral("F"));
        DrawMailerBarcodes(page, dataT, dataF);
    } else {
        dataT = r[kSlotCustomerOrMailer];
    }
    DrawZipBarcodes(page, r[kSlotSenderZip], r[kSlotAddresseeZip], r[kSlotPrintExtraLabel],
                    r[kSlotExtraLabel]);

    const QString re = QStringLiteral("RE: ") + r[kSlotReference];

    // The texts come after the barcodes: their white cells win where they overlap.
    SelectFont(page, FormFont::F1);
    Lines(page, r, kSlotSender1, 7.5, {4.65, 4.5, 4.35, 4.2, 4.05}, true);
    Lines(page, r, kSlotSender1, 7.55, {3.0, 2.85, 2.7, 2.55, 2.4}, true);
    Lines(page, r, kSlotAddressee1, 7.1, {6.7, 6.55, 6.4, 6.25, 6.1}, true);
    Lines(page, r, kSlotAddressee1, 7.55, {2.0, 1.85, 1.7, 1.55, 1.4}, true);
    if (r[kSlotPrintExtraLabel] == QLatin1String("Yes")) {
        const int first =
            r[kSlotExtraLabel] == QLatin1String("Addressed To") ? kSlotAddressee1 : kSlotSender1;
        Lines(page, r, first, 2.8, {6.6, 6.45, 6.3, 6.15, 6.0}, true);
    }
    Text(page, 7.5, 3.95, re);

    SelectFont(page, FormFont::F2);
    const double xs[5] = {4.3, 4.15, 4.0, 3.85, 3.7};
    for (int i = 0; i < 5; ++i) Text(page, xs[i], 3.8, UpperAscii(r[size_t(kSlotSender1 + i)]));
    Text(page, 8.21, 3.8, re);
    Text(page, 8.06, 3.8, r[kSlotComment]);

    SelectFont(page, FormFont::F3);
    Text(page, 1.45, 2.88, r[kSlotSender1]);
    Text(page, 1.45, 2.78, re);
    Text(page, 1.45, 2.68, r[kSlotComment]);
    Lines(page, r, kSlotAddressee1, 1.45, {2.13, 2.03, 1.93, 1.83, 1.73}, false);
    const double feeYs[4] = {1.43, 1.33, 1.23, 1.13};
    for (int i = 0; i < 4; ++i)
        TextEndingAt(page, 0.3, feeYs[i], TrimForm(r[size_t(kSlotPostage + i)]));
    const char* captions[4] = {"Postage", "Certified Fee", "Return Receipt", "Restricted"};
    for (int i = 0; i < 4; ++i) Text(page, 1.45, feeYs[i], QString::fromLatin1(captions[i]));

    SelectFont(page, FormFont::F4);
    Text(page, 1.3, 3.3, QStringLiteral("RECEIPT"));
    Text(page, 1.4, 3.02, QStringLiteral("FROM:"));
    Text(page, 1.4, 2.28, QStringLiteral("SEND TO:"));
    Text(page, 1.4, 1.58, QStringLiteral("FEES:"));
    Text(page, 1.4, 0.98, QStringLiteral("TOTAL"));
    Text(page, 1.4, 0.78, QStringLiteral("POSTMARK OR DATE"));
    TextEndingAt(page, 0.3, 0.98, QStringLiteral("$ ") + TrimForm(r[kSlotTotal]));

    page.RestoreBaseFont();
    page.EndDoc();
    return dataT;
}

} // namespace qm
