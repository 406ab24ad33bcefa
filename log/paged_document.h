#pragma once
// A document of pages drawn on demand, for the report preview, the printer and PDF files.

#include <QImage>
#include <QPageLayout>

class QPainter;

namespace qm {

class PagedDocument {
public:
    virtual ~PagedDocument() = default;
    virtual QPageLayout PageLayout() const = 0; // the paper, orientation, no margins
    virtual int PageCount() const = 0;
    // Draws page `page` (0-based) onto an active painter whose origin is the paper's corner.
    virtual void RenderPage(QPainter& painter, int page) = 0;
    // The page as an image at `dpi` dots per inch.
    QImage RenderPageImage(int page, double dpi);
};

} // namespace qm
