#include "piece/print_request.h"

namespace qm {

ExtraLabel ExtraLabelOf(const QString& printExtraLabel, const QString& extraLabel) {
    if (printExtraLabel != QLatin1String("Yes")) return ExtraLabel::None;
    return extraLabel == QLatin1String("Addressed To") ? ExtraLabel::Addressee : ExtraLabel::Sender;
}

} // namespace qm
