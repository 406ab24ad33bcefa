#include "core/sender.h"

namespace qm {

std::array<QString, 5> SenderLabelTexts(const GlobalVariables& g) {
    const QString c = (g.City + u' ' + g.State + u' ' + g.Zip).trimmed();
    std::array<QString, 5> labels = {g.Line1, g.Line2, g.Line3, g.Line4, QString()};
    for (int i = 0; i < 4; ++i) {
        if (labels[i].trimmed().isEmpty()) {
            labels[i] = c;
            return labels;
        }
    }
    labels[4] = c;
    return labels;
}

} // namespace qm
