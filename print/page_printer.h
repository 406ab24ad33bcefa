#pragma once
// The pieces of a print run on a page target, with the base print font.
#include "piece/piece_printer.h"

namespace qm {

class PageTarget;

class PagePrinter : public PiecePrinter {
public:
    explicit PagePrinter(PageTarget& target) : target_(target) {}
    QString PrintMailer(const PrintRequest& request, bool barcodeMode) override;
    void WriteProof(const PrintRequest& request, bool barcodeMode, const QString& path) override;
    int PrePrintLabels(int count, const QString& custId, const QString& firstSerial, int leftRight,
                       int topBottom,
                       const std::function<void(const QString& serial)>& labelPrinted) override;

private:
    PageTarget& target_;
};

} // namespace qm
