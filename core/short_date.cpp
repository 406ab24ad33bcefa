#include "core/short_date.h"

#include <QLocale>
#include <QRegularExpression>

namespace qm {

QString ShortDateFormatFor(const QString& localeName) {
    static const QRegularExpression withCountry(QStringLiteral("^([a-z]{2,3}_[A-Z]{2})([.@].*)?$"));
    const QRegularExpressionMatch m = withCountry.match(localeName);
    if (m.hasMatch()) {
        const QLocale locale(m.captured(1));
        if (locale.language() != QLocale::C && locale.territory() != QLocale::AnyTerritory)
            return locale.dateFormat(QLocale::ShortFormat);
    }
    return QStringLiteral("MM/dd/yyyy");
}

QString ShortDateFormat() {
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty()) return ShortDateFormatFor(value);
    }
    return ShortDateFormatFor(QString());
}

QString ShortDateText(const QDate& date) {
    return date.toString(ShortDateFormat());
}

} // namespace qm
