#include "print/page_printer.h"

#include "print/mailer.h"
#include "print/mailer_proof_pdf.h"
#include "print/page.h"
#include "print/preprint.h"
#include "print/symbol_check.h"

namespace qm {

PagePrinter::PagePrinter(PageTarget& target) : target_(target) {}

PagePrinter::~PagePrinter() = default;

QString PagePrinter::PrintMailer(const PrintRequest& request, bool barcodeMode) {
    return qm::PrintMailer(request, barcodeMode, BasePrintFont(), target_);
}

void PagePrinter::VerifyMailer(const PrintRequest& request, bool barcodeMode) {
    const int dpiX = target_.ResolutionX(), dpiY = target_.ResolutionY();
    const int offsetX = target_.PhysicalOffsetX(), offsetY = target_.PhysicalOffsetY();
    if (!proof_ || proof_->ResolutionX() != dpiX || proof_->ResolutionY() != dpiY ||
        proof_->PhysicalOffsetX() != offsetX || proof_->PhysicalOffsetY() != offsetY) {
        proof_ = std::make_unique<ImagePageTarget>(dpiX, dpiY, offsetX, offsetY);
        proof_->SetSymbolsOnly(true);
    }
    std::vector<DrawnSymbol> symbols;
    qm::PrintMailer(request, barcodeMode, BasePrintFont(), *proof_, &symbols);
    if (const std::optional<SymbolFailure> failure = CheckSymbols(proof_->Image(), symbols))
        throw SymbolCheckError(failure->Message().toStdString());
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
