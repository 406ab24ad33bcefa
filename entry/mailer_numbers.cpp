#include "entry/mailer_numbers.h"

#include "print/barcode_data.h"
#include "print/page.h"
#include "print/preprint.h"

namespace qm {

namespace {
const QString kZeroZip = QStringLiteral("00000");
const QString kKindT = QStringLiteral("T");
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
