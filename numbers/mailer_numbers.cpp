#include "numbers/mailer_numbers.h"

#include "numbers/barcode_data.h"
#include "numbers/serial_number.h"

#include <algorithm>

namespace qm {

namespace {
const QString kZeroZip = QStringLiteral("00000");
const QString kKindT = QStringLiteral("T");

bool AllDigits(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}
} // namespace

MailerNumberParts SplitMailerNum(const QString& m) {
    switch (m.size()) {
    case 30: return {m.mid(13, 9), m.mid(22, 7)};
    case 22: return {m.mid(5, 9), m.mid(14, 7)};
    default: return {m.mid(2, 9), m.mid(11, 7)};
    }
}

QString TrackingDigits(const QString& m) {
    if (m.size() == 30) return m.mid(8);
    if (m.size() == 22) return m;
    const MailerNumberParts p = SplitMailerNum(m);
    return BuildBarcodeData(p.id, p.serial, kZeroZip, kKindT).mid(kBarcodeZipElementLength);
}

bool TrackingCheckDigitRight(const QString& tracking22) {
    if (tracking22.size() != 22 || !AllDigits(tracking22)) return false;
    return tracking22[21] == QChar(u'0' + Gs1CheckDigit(tracking22.left(21)));
}

QString MailerNumFromTracking(const QString& tracking22) {
    return QStringLiteral("420") + kZeroZip + tracking22;
}

namespace {

void StepNumber(GlobalVariables& g, bool forward) {
    if (g.PrintBarCode) {
        g.SerialNum = StepSerial(g.SerialNum, forward ? 1 : -1);
        return;
    }
    const MailerNumberParts p = SplitMailerNum(g.MailerNum);
    const int delta = (g.Increment == forward) ? 1 : -1;
    const QString t = StepSerial(p.serial, delta);
    if (g.MailerNum.size() == 22 || g.MailerNum.size() == 30) {
        // The prefix and ID stay as the mailers carry them; only serial and check digit move.
        const QString head = TrackingDigits(g.MailerNum).left(14);
        if (AllDigits(head)) {
            const QString digits = head + t;
            g.MailerNum = MailerNumFromTracking(digits + QChar(u'0' + Gs1CheckDigit(digits)));
            return;
        }
    }
    g.MailerNum = BuildBarcodeData(p.id, t, kZeroZip, kKindT);
}

} // namespace

void AdvanceNumber(GlobalVariables& g) {
    StepNumber(g, true);
}

void StepBackNumber(GlobalVariables& g) {
    StepNumber(g, false);
}

void SetBarcodeMode(GlobalVariables& g, bool barcodeMode) {
    g.PrintBarCode = barcodeMode;
    if (!barcodeMode) g.Increment = true;
}

QString WithoutHyphens(const QString& text) {
    QString s = text;
    s.remove(QLatin1Char('-'));
    return s;
}

bool CustomerIdUnset(const QString& custId) {
    for (QChar c : custId)
        if (c >= QLatin1Char('1') && c <= QLatin1Char('9')) return false;
    return true;
}

} // namespace qm
