#pragma once
// A print request of one mail piece, as the entry form fills it.
#include "piece/print_request.h"

namespace qm::test {

inline PrintRequest SamplePrintRequest() {
    PrintRequest r;
    r.senderLines = {QStringLiteral("Acme Widgets"), QStringLiteral("100 Oak Road"),
                     QStringLiteral("Centerville OH 45459"), QString(), QString()};
    r.senderZip = QStringLiteral("45459");
    r.addresseeLines = {QStringLiteral("John Smith"), QStringLiteral("12 Main St"),
                        QStringLiteral("Springfield IL 62701"), QString(), QString()};
    r.addresseeZip = QStringLiteral("62701");
    r.reference = QStringLiteral("Invoice 77");
    r.comment = QStringLiteral("Second notice");
    r.restricted = false;
    r.customerId = QStringLiteral("123456789");
    r.serial = QStringLiteral("0000001");
    r.postage = QStringLiteral("          0.39");
    r.certFee = QStringLiteral("          2.40");
    r.returnFee = QStringLiteral("          1.85");
    r.restrictedFee = QStringLiteral(" ");
    r.total = QStringLiteral("          4.64");
    r.leftRight = 0;
    r.topBottom = 0;
    r.extraLabel = ExtraLabel::Addressee;
    return r;
}

} // namespace qm::test
