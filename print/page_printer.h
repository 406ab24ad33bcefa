#pragma once
// The pieces of a print run on a page target, with the base print font.
#include "piece/piece_printer.h"

#include <memory>

namespace qm {

class ImagePageTarget;
class PageTarget;

class PagePrinter : public PiecePrinter {
public:
    explicit PagePrinter(PageTarget& target);
    ~PagePrinter() override;
    QString PrintMailer(const PrintRequest& request, bool barcodeMode) override;
    // Renders the mailer into a page image at the target's resolution and physical
    // offsets, then reads its symbols back from the image. The image leaves out the texts
    // that lie away from every symbol (ImagePageTarget::SetSymbolsOnly).
    void VerifyMailer(const PrintRequest& request, bool barcodeMode) override;
    void WriteProof(const PrintRequest& request, bool barcodeMode, const QString& path) override;
    int PrePrintLabels(int count, const QString& custId, const QString& firstSerial, int leftRight,
                       int topBottom,
                       const std::function<void(const QString& serial)>& labelPrinted) override;

private:
    PageTarget& target_;
    // The page image of the last check, kept for the next piece of a run.
    std::unique_ptr<ImagePageTarget> proof_;
};

} // namespace qm
