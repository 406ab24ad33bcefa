#pragma once
// Pre-printing the barcodes and tracking numbers onto blank mailer forms.

#include <QFont>
#include <QString>

#include <functional>

namespace qm {

class PageTarget;

// Prints `count` labels as one document of one page per label, serials counting up
// from firstSerial with the ZIP "00000". Nothing happens for a count of 0 or less.
// labelPrinted runs with the serial of each label once its page is done. An error
// ends the run and propagates; the labels printed before it stay in the document.
// Returns the number of labels printed.
// The title of a pre-print run's print job: "Pre-printed labels 12 to 20".
QString PrePrintDocumentTitle(const QString& firstSerial, const QString& lastSerial);

int PrePrintBarcodes(int count, const QString& custId, const QString& firstSerial, int leftRight,
                     int topBottom, const QFont& fontSource, PageTarget& target,
                     const std::function<void(const QString& serial)>& labelPrinted = {});

} // namespace qm
