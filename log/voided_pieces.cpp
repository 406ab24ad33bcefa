#include "log/voided_pieces.h"

#include <string>
#include <vector>

namespace qm {

QString VoidedLeftOutText(int count) {
    return count == 1 ? QStringLiteral("1 voided piece left out")
                      : QStringLiteral("%1 voided pieces left out").arg(count);
}

LogSequence WithoutVoided(table::TTzDbf& log, const LogSequence& sequence, int& voided) {
    LogSequence live;
    voided = 0;
    std::vector<std::string> values;
    bool deleted = false;
    for (uint32_t i = 0; i < sequence.count; ++i) {
        const uint32_t n = sequence.At(i);
        log.PeekRecord(n, values, deleted);
        if (deleted) {
            ++voided;
            continue;
        }
        live.records.push_back(n);
    }
    live.count = uint32_t(live.records.size());
    return live;
}

} // namespace qm
