#include "log/money_check.h"

#include "log/report_document.h"

#include <string>

namespace qm {

QStringList UncountedMoney(table::TTzDbf& log, const std::vector<uint32_t>& records) {
    struct Money {
        const char* field;
        const char* name;
    };
    static const Money kMoney[] = {{"postage", "postage"},
                                   {"certified", "certified fee"},
                                   {"return", "return receipt fee"},
                                   {"restricted", "restricted delivery fee"},
                                   {"total", "total"}};
    std::vector<std::pair<int, const char*>> fields;
    for (const Money& m : kMoney)
        if (const int i = log.FieldIndex(m.field); i >= 0) fields.emplace_back(i, m.name);
    QStringList found;
    std::vector<std::string> values;
    bool deleted = false;
    for (const uint32_t n : records) {
        log.PeekRecord(n, values, deleted);
        for (const auto& [index, name] : fields) {
            const QString text = QString::fromStdString(values[size_t(index)]).trimmed();
            if (IsWrittenMoneyText(text)) continue;
            found << QStringLiteral("Record %1: %2 '%3' is not an amount; not counted")
                         .arg(n)
                         .arg(QString::fromLatin1(name), text);
        }
    }
    return found;
}

} // namespace qm
