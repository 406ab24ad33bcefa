#include "print/page_printer.h"

#include "print/mailer.h"
#include "print/mailer_proof_pdf.h"
#include "print/page.h"
#include "print/preprint.h"

namespace qm {

QString PagePrinter::PrintMailer(const PrintRequest& request, bool barcodeMode) {
    return qm::PrintMailer(request, barcodeMode, BasePrintFont(), target_);
}

void PagePrinter::WriteProof(const PrintRequest& request, bool barcodeMode, const QString& path) {
    WriteMailerProof(request, barcodeMode, BasePrintFont(), target_, path);
}

int PagePrinter::PrePrintLabels(int count, const QString& custId, const QString& firstSerial,
                                int leftRight, int topBottom,
                                const std::function<void(const QString& serial)>& labelPrinted) {
    return PrePrintBarcodes(count, custId, firstSerial, leftRight, topBottom, BasePrintFont(),
                            target_, labelPrinted);
}

} // namespace qm
