#include "entry/money.h"

#include <QLocale>

#include <cmath>

namespace qm {

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
    QString s = QString::number(v, 'g', 15);
    const qsizetype point = s.indexOf(u'.');
    if (point < 0)
        s += QLatin1String(".00");
    else if (s.size() - point - 1 == 1)
        s += u'0';
    return QString(blanks, u' ') + s;
}

double CountedFee(const QString& text) {
    const auto v = ParseMoney(text);
    return v && *v > 0 ? *v : 0.0;
}

RecalcResult RecalcFees(const QString& text, const FeeTexts& fields) {
    const double total = CountedFee(fields.postage) + CountedFee(fields.certFee) +
                         CountedFee(fields.restricted) + CountedFee(fields.returnReceipt);
    const auto value = ParseMoney(text);
    RecalcResult r;
    r.totalText = FormatMoney(total);
    r.fieldText = value && *value > 0 ? FormatMoney(*value) : QStringLiteral(" ");
    return r;
}

} // namespace qm
