#include "entry/money.h"

#include <QLocale>

#include <charconv>
#include <cmath>

namespace qm {

namespace {

// The decimal text of v without an exponent: rounded to 15 significant digits, the
// most a double holds reliably (0.1 + 0.2 shows as 0.3), except that the integer
// digits of a value of 10^15 or more are all kept.
QString PlainDecimal(double v) {
    if (!std::isfinite(v)) return QString::number(v);
    double shown = v;
    char buf[400]; // DBL_MAX has 309 integer digits
    if (std::fabs(v) < 1e15) {
        const auto sci = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
        std::from_chars(buf, sci.ptr, shown);
    }
    // Fixed notation, the fewest digits that read back as `shown`.
    const auto fixed = std::to_chars(buf, buf + sizeof buf, shown, std::chars_format::fixed);
    return QString::fromLatin1(buf, fixed.ptr - buf);
}

// A fee whose money text does not fit the log cannot be recorded as it was entered.
bool FitsLog(double v) {
    return FormatMoney(v).size() <= kMoneyTextWidth;
}

// A number, but out of a double's range: too large (1e309, 400 nines) or too small (1e-400).
bool OutOfRange(const QString& text) {
    QByteArray t = text.trimmed().toLatin1();
    if (t.startsWith('+')) t.remove(0, 1);
    double v = 0;
    const auto r = std::from_chars(t.constData(), t.constData() + t.size(), v);
    return r.ec == std::errc::result_out_of_range && r.ptr == t.constData() + t.size();
}

// A number too large for a double at all, such as 1e309 or 400 nines.
bool BeyondDouble(const QString& text) {
    if (!OutOfRange(text)) return false;
    const QByteArray t = text.trimmed().toLatin1();
    // Out of range one way or the other; a negative exponent means too small, not too large.
    const qsizetype e = t.indexOf('e') >= 0 ? t.indexOf('e') : t.indexOf('E');
    return e < 0 || t.mid(e + 1).toInt() > 0;
}

} // namespace

std::optional<double> ParseMoney(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

QString FormatMoney(double v) {
    int blanks = 1;
    if (v < 10)
        blanks = 10;
    else if (v < 100)
        blanks = 8;
    else if (v < 1000)
        blanks = 6;
    else if (v < 10000)
        blanks = 5;
    else if (v < 100000)
        blanks = 3;
    if (v == 0) v = 0; // no "-0"
    QString s = PlainDecimal(v);
    if (std::isfinite(v)) {
        const qsizetype point = s.indexOf(u'.');
        if (point < 0)
            s += QLatin1String(".00");
        else if (s.size() - point - 1 == 1)
            s += u'0';
    }
    return QString(blanks, u' ') + s;
}

double CountedFee(const QString& text) {
    const auto v = ParseMoney(text);
    return v && *v > 0 && FitsLog(*v) ? *v : 0.0;
}

QString FeeTooLargeMessage(const QString& text) {
    return QStringLiteral("The amount \"%1\" is too large to be printed and logged: a fee or "
                          "the total can hold at most %2 characters, for example "
                          "99999999999.99 or 12.345.\n\nPlease correct the fee.")
        .arg(text.trimmed())
        .arg(kMoneyTextWidth);
}

QString NotMoneyMessage(const QString& text) {
    return QStringLiteral("The fee \"%1\" is not an amount of money. Type it in dollars and "
                          "cents, for example 2.40.")
        .arg(text.trimmed());
}

RecalcResult RecalcFees(const QString& text, const FeeTexts& fields) {
    double total = CountedFee(fields.postage) + CountedFee(fields.certFee) +
                   CountedFee(fields.restricted) + CountedFee(fields.returnReceipt);
    const auto value = ParseMoney(text);
    RecalcResult r;
    r.fieldText = QStringLiteral(" ");
    if (value && *value > 0) {
        if (!FitsLog(*value)) {
            r.refusal = FeeTooLargeMessage(text);
        } else if (!FitsLog(total)) {
            // This fee would take the total past what the receipt and the log hold; the
            // total counted it when its field still holds the typed text.
            const bool counted = text == fields.postage || text == fields.certFee ||
                                 text == fields.restricted || text == fields.returnReceipt;
            if (counted) total -= *value;
            r.refusal = FeeTooLargeMessage(text);
        } else {
            r.fieldText = FormatMoney(*value);
        }
    } else if (!value && BeyondDouble(text)) {
        r.refusal = FeeTooLargeMessage(text);
    } else if ((value && *value < 0) ||
               (!value && !text.trimmed().isEmpty() && !OutOfRange(text))) {
        r.refusal = NotMoneyMessage(text);
    }
    // A refused fee keeps the text the user typed, for the user to correct.
    if (!r.refusal.isEmpty()) r.fieldText = text;
    r.totalText = FormatMoney(total);
    return r;
}

} // namespace qm
