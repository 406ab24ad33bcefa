#include "numbers/barcode_data.h"

#include <cstdint>
#include <stdexcept>

namespace qm {

namespace {

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

bool IsBarcodeInteger(const QString& text) {
    if (text.isEmpty()) return false;
    std::int64_t value = 0;
    for (QChar c : text) {
        if (!IsAsciiDigit(c)) return false;
        value = value * 10 + (c.unicode() - u'0');
        if (value > INT32_MAX) return false;
    }
    return true;
}

int Gs1CheckDigit(const QString& digits) {
    int odd = 0;
    int even = 0;
    int place = 1;
    for (qsizetype i = digits.size() - 1; i >= 0; --i, ++place) {
        const QChar c = digits[i];
        if (!IsAsciiDigit(c))
            throw std::invalid_argument(
                QStringLiteral("'%1' is not a valid integer value").arg(c).toStdString());
        (place % 2 == 1 ? odd : even) += c.unicode() - u'0';
    }
    const int sum = 3 * odd + even;
    return (10 - sum % 10) % 10;
}

QString BuildBarcodeData(const QString& custId, const QString& serial, const QString& zip,
                         const QString& flag) {
    QString id = IsBarcodeInteger(custId) ? custId : QStringLiteral("000000000");
    QString number = IsBarcodeInteger(serial) ? serial : QStringLiteral("0000000");
    const QString zipText = zip.isEmpty() ? QStringLiteral("00000") : zip;
    if (id.size() < 9) id = QString(9 - id.size(), u'0') + id;
    if (number.size() < 7) number = QString(7 - number.size(), u'0') + number;
    id.truncate(9);
    number.truncate(7);

    const QString prefix = flag == u"F" ? QStringLiteral("92909") : QStringLiteral("92147");
    const QString tracking = prefix + id + number;
    return QStringLiteral("420") + zipText.left(5) + tracking +
           QChar(u'0' + Gs1CheckDigit(tracking));
}

bool CarriesRoutingZip(const QString& data) {
    return data.size() > kBarcodeZipElementLength && data.mid(3, 5) != u"00000";
}

QString ReadableNumber(const QString& data) {
    static constexpr int kStarts[] = {8, 12, 16, 20, 24, 28};
    static constexpr int kLengths[] = {4, 4, 4, 4, 4, 2};
    QString grouped;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) grouped += u' ';
        grouped += data.mid(kStarts[i], kLengths[i]);
    }
    return grouped;
}

QString FiveDigitZip(const QString& zipText) {
    const QString first = zipText.left(5);
    if (!IsBarcodeInteger(first)) return QStringLiteral("00000");
    return QString::number(first.toInt()).rightJustified(5, QLatin1Char('0'));
}

QString MailerBarcodeData(const QString& custId, const QString& serial, const QString& zipText) {
    return BuildBarcodeData(custId, serial, FiveDigitZip(zipText), QStringLiteral("T"));
}

} // namespace qm
