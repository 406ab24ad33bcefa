#include "print/mailer_proof_pdf.h"

#include "print/mailer.h"
#include "print/page.h"

#include "core/whole_file.h"

#include <QBuffer>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include <memory>

namespace qm {

namespace {

// One PDF document on an open device, with the metrics of the target the mailer was printed
// on: its resolution, and its physical offsets as the page's margins, so the drawing lands
// where it landed on that printer's sheet.
class PdfCopyTarget : public PageTarget {
public:
    PdfCopyTarget(QIODevice& device, const PageTarget& like)
        : writer_(&device), resolutionX_(like.ResolutionX()), resolutionY_(like.ResolutionY()),
          offsetX_(like.PhysicalOffsetX()), offsetY_(like.PhysicalOffsetY()) {
        if (resolutionX_ <= 0 || resolutionY_ <= 0)
            throw PrintError("the printer reports no resolution");
        writer_.setCreator(QStringLiteral("Quillmark"));
        writer_.setResolution(resolutionX_);
        const double pointsX = 72.0 / resolutionX_, pointsY = 72.0 / resolutionY_;
        writer_.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                          QMarginsF(offsetX_ * pointsX, offsetY_ * pointsY,
                                                    offsetX_ * pointsX, offsetY_ * pointsY),
                                          QPageLayout::Point));
    }
    ~PdfCopyTarget() override { AbortDoc(); }

    QPainter& BeginDoc() override {
        if (painter_) throw PrintError("a document is already open");
        painter_ = std::make_unique<QPainter>();
        if (!painter_->begin(&writer_)) {
            painter_.reset();
            throw PrintError("the PDF could not be started");
        }
        PreparePrintPainter(*painter_);
        // A printer with dots taller than wide: the page's y dots are drawn to their height.
        if (resolutionY_ != resolutionX_)
            painter_->scale(1.0, double(resolutionX_) / double(resolutionY_));
        return *painter_;
    }
    void EndDoc() override {
        if (!painter_) throw PrintError("no document is open");
        const bool ok = painter_->end();
        painter_.reset();
        if (!ok) throw PrintError("the PDF could not be finished");
    }
    void AbortDoc() noexcept override {
        if (!painter_) return;
        painter_->end();
        painter_.reset();
    }
    int ResolutionX() const override { return resolutionX_; }
    int ResolutionY() const override { return resolutionY_; }
    int PhysicalOffsetX() const override { return offsetX_; }
    int PhysicalOffsetY() const override { return offsetY_; }
    void SetDocumentTitle(const QString& title) override { writer_.setTitle(title); }

private:
    QPdfWriter writer_;
    std::unique_ptr<QPainter> painter_;
    int resolutionX_, resolutionY_, offsetX_, offsetY_;
};

PrintError Failure(const QString& reason) {
    return PrintError(reason.toStdString());
}

} // namespace

void WriteMailerProof(const PrintRequest& request, bool barcodeMode, const QFont& fontSource,
                      const PageTarget& printed, const QString& path) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        PdfCopyTarget copy(buffer, printed);
        PrintMailer(request, barcodeMode, fontSource, copy);
    }
    try {
        CreateFolders(QFileInfo(path).absolutePath());
        WriteWholeFile(path, bytes);
    } catch (const WholeFileError& e) {
        throw Failure(e.Reason());
    } catch (const Error& e) {
        throw Failure(QString::fromUtf8(e.what()));
    }
}

} // namespace qm
