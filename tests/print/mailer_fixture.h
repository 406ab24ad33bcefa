#pragma once
// A print request of one mail piece, as the entry form fills it.
#include "print/print_request.h"

namespace qm::test {

inline PrintRequest SamplePrintRequest() {
    PrintRequest r;
    r[0] = QStringLiteral("Acme Widgets");
    r[1] = QStringLiteral("100 Oak Road");
    r[2] = QStringLiteral("Centerville OH 45459");
    r[5] = QStringLiteral("45459");
    r[6] = QStringLiteral("John Smith");
    r[7] = QStringLiteral("12 Main St");
    r[8] = QStringLiteral("Springfield IL 62701");
    r[11] = QStringLiteral("62701");
    r[12] = QStringLiteral("Invoice 77");
    r[13] = QStringLiteral("Second notice");
    r[14] = QStringLiteral("N");
    r[15] = QStringLiteral("123456789");
    r[16] = QStringLiteral("0000001");
    r[17] = QStringLiteral("          0.39");
    r[18] = QStringLiteral("          2.40");
    r[19] = QStringLiteral("          1.85");
    r[20] = QStringLiteral(" ");
    r[21] = QStringLiteral("          4.64");
    r[22] = QStringLiteral("0");
    r[23] = QStringLiteral("0");
    r[24] = QStringLiteral("Yes");
    r[25] = QStringLiteral("Addressed To");
    r[26] = QStringLiteral("-1");
    r[27] = QStringLiteral("-1");
    return r;
}

} // namespace qm::test
