#include "print/mailer.h"

#include "numbers/barcode_data.h"
#include "print/mailer_barcodes.h"
#include "print/page.h"

#include <QStringList>

#include <algorithm>

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

// Office printers lose what lies in the sheet's outer quarter inch.
constexpr double kInkMargin = 0.25;

// Narrows the font until the widest text fits `room` dots (the size as set when it fits).
void FitFont(PrintPage& page, const QStringList& texts, int32_t room) {
    page.SetFontScale(1.0);
    const auto widest = [&] {
        int32_t w = 0;
        for (const QString& t : texts) w = std::max(w, page.TextWidth(t));
        return w;
    };
    int32_t w = widest();
    if (w <= room || room <= 0) return;
    double scale = double(room) / double(w);
    for (;;) {
        page.SetFontScale(scale);
        if (widest() <= room || scale < 0.1) return;
        scale *= 0.97;
    }
}

// Lines drawn turned by 180 degrees at x run toward the left edge; the block's font is
// narrowed when its widest line would reach into the margin.
void FitTowardLeftEdge(PrintPage& page, double x, const QStringList& texts) {
    FitFont(page, texts, page.InchToDotX(x) - page.InchToDotX(kInkMargin));
}

using Block = std::array<QString, 5>;

QStringList BlockTexts(const Block& lines, bool upper) {
    QStringList texts;
    for (const QString& s : lines) texts << (upper ? UpperLetters(s) : s);
    return texts;
}

// Five lines of a block, one below the other.
void Lines(PrintPage& page, const Block& lines, double x, const double (&ys)[5], bool upper) {
    const QStringList texts = BlockTexts(lines, upper);
    FitTowardLeftEdge(page, x, texts);
    for (int i = 0; i < 5; ++i) Text(page, x, ys[i], texts[i]);
    page.SetFontScale(1.0);
}

} // namespace

QString UpperLetters(const QString& text) {
    QString s = text;
    for (QChar& c : s) {
        if (!c.isLower()) continue;
        // One character for one, in the letter's own script (the micro sign stays).
        const QChar upper = c.toUpper();
        if (upper != c && upper.script() == c.script()) c = upper;
    }
    return s;
}

QString MailerDocumentTitle(const QString& dataT) {
    return QStringLiteral("Certified Mail ") +
           (dataT.size() > kBarcodeZipElementLength ? ReadableNumber(dataT) : dataT);
}

QString PrintMailer(const PrintRequest& r, bool barcodeMode, const QFont& fontSource,
                    PageTarget& target, std::vector<DrawnSymbol>* drawn) {
    QString dataT, dataF;
    if (barcodeMode) {
        dataT = MailerBarcodeData(r.customerId, r.serial, r.addresseeZip);
        const QString zipF = FiveDigitZip(r.senderZip);
        dataF = BuildBarcodeData(r.customerId, r.serial, zipF, QStringLiteral("F"));
    } else {
        dataT = r.mailerNumber;
    }
    target.SetDocumentTitle(MailerDocumentTitle(dataT));
    PrintPage page(target);
    page.SetAlignment(r.leftRight, r.topBottom);
    page.PreparePage(fontSource);
    if (barcodeMode) DrawMailerBarcodes(page, dataT, dataF);
    DrawZipBarcodes(page, r.senderZip, r.addresseeZip, r.extraLabel);

    const QString re = QStringLiteral("RE: ") + r.reference;

    // The texts come after the barcodes: their white cells win where they overlap.
    SelectFont(page, FormFont::F1);
    Lines(page, r.senderLines, 7.5, {4.65, 4.5, 4.35, 4.2, 4.05}, true);
    Lines(page, r.senderLines, 7.55, {3.0, 2.85, 2.7, 2.55, 2.4}, true);
    Lines(page, r.addresseeLines, 7.1, {6.7, 6.55, 6.4, 6.25, 6.1}, true);
    Lines(page, r.addresseeLines, 7.55, {2.0, 1.85, 1.7, 1.55, 1.4}, true);
    if (r.extraLabel != ExtraLabel::None) {
        const Block& label =
            r.extraLabel == ExtraLabel::Addressee ? r.addresseeLines : r.senderLines;
        Lines(page, label, 2.8, {6.6, 6.45, 6.3, 6.15, 6.0}, true);
    }
    Text(page, 7.5, 3.95, re);

    SelectFont(page, FormFont::F2);
    const double xs[5] = {4.3, 4.15, 4.0, 3.85, 3.7};
    // Turned by 270 degrees the lines run from y 3.8 toward the bottom edge.
    const QStringList vertical = BlockTexts(r.senderLines, true);
    FitFont(page, vertical, page.InchToDotY(11.0 - kInkMargin) - page.InchToDotY(3.8));
    for (int i = 0; i < 5; ++i) Text(page, xs[i], 3.8, vertical[i]);
    page.SetFontScale(1.0);
    Text(page, 8.21, 3.8, re);
    Text(page, 8.06, 3.8, r.comment);

    SelectFont(page, FormFont::F3);
    const QStringList receiptTop = {r.senderLines[0], re, r.comment};
    FitTowardLeftEdge(page, 1.45, receiptTop);
    Text(page, 1.45, 2.88, receiptTop[0]);
    Text(page, 1.45, 2.78, receiptTop[1]);
    Text(page, 1.45, 2.68, receiptTop[2]);
    page.SetFontScale(1.0);
    Lines(page, r.addresseeLines, 1.45, {2.13, 2.03, 1.93, 1.83, 1.73}, false);
    const double feeYs[4] = {1.43, 1.33, 1.23, 1.13};
    const QString* fees[4] = {&r.postage, &r.certFee, &r.returnFee, &r.restrictedFee};
    for (int i = 0; i < 4; ++i) TextEndingAt(page, 0.3, feeYs[i], TrimForm(*fees[i]));
    const char* captions[4] = {"Postage", "Certified Fee", "Return Receipt", "Restricted"};
    for (int i = 0; i < 4; ++i) Text(page, 1.45, feeYs[i], QString::fromLatin1(captions[i]));

    SelectFont(page, FormFont::F4);
    // A face wider than the form's own would carry the longest caption into the margin.
    const auto caption = [&](double x, double y, const QString& text) {
        FitTowardLeftEdge(page, x, {text});
        Text(page, x, y, text);
        page.SetFontScale(1.0);
    };
    caption(1.3, 3.3, QStringLiteral("RECEIPT"));
    caption(1.4, 3.02, QStringLiteral("FROM:"));
    caption(1.4, 2.28, QStringLiteral("SEND TO:"));
    caption(1.4, 1.58, QStringLiteral("FEES:"));
    caption(1.4, 0.98, QStringLiteral("TOTAL"));
    caption(1.4, 0.78, QStringLiteral("POSTMARK OR DATE"));
    TextEndingAt(page, 0.3, 0.98, QStringLiteral("$ ") + TrimForm(r.total));

    page.RestoreBaseFont();
    page.EndDoc();
    if (drawn) *drawn = page.Symbols();
    return dataT;
}

} // namespace qm
