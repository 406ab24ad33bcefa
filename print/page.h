#pragma once
// Page geometry and drawing primitives of a printed mailer page.
//
// Positions on the sheet are inches from the paper's left and top edges. A page
// turns them into device dots with the printer's resolution, its physical offset
// and the user's alignment (1/100 inch per unit). All drawing goes through a
// PageTarget: a QPrinter (CUPS printer or PDF file) or an in-memory image.

#include "print/drawn_symbol.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

class QPrinter;

namespace qm {

// A failure of the printer or of the page: shown by the standard error display.
class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where one printed document goes. Each mailer or label is a document of one page.
class PageTarget {
public:
    virtual ~PageTarget() = default;
    // Opens the document and returns the painter of its page; throws PrintError.
    virtual QPainter& BeginDoc() = 0;
    // Ends the document; the page goes to the printer (or the file, or the image).
    virtual void EndDoc() = 0;
    // Drops a document that an error interrupted; never throws.
    virtual void AbortDoc() noexcept = 0;
    // Dots per inch along x and y.
    virtual int ResolutionX() const = 0;
    virtual int ResolutionY() const = 0;
    // Dots from the paper's left and top edges to the first printable dot.
    virtual int PhysicalOffsetX() const = 0;
    virtual int PhysicalOffsetY() const = 0;
    // Between BeginRun and EndRun every document is a page of one document (a run of
    // labels into one PDF file or one print job). EndRun ends that document; it throws
    // PrintError when the document could not be finished.
    virtual void BeginRun() {}
    virtual void EndRun() {}
    // The title the next document (or run) carries in the print queue.
    virtual void SetDocumentTitle(const QString& title) { (void)title; }
    // True for a page rendered only so that its symbols can be read back: a text that lies
    // away from every symbol drawn so far is left out there, since nothing it draws can reach
    // a symbol's place.
    virtual bool SymbolsOnly() const { return false; }
};

// A run of pages on a target as one document; the destructor ends a run that was not
// ended, keeping the pages printed so far.
class PageRun {
public:
    explicit PageRun(PageTarget& target) : target_(target) { target_.BeginRun(); }
    ~PageRun() {
        if (open_) try {
                target_.EndRun();
            } catch (...) { // already unwinding from the error that ended the run
            }
    }
    PageRun(const PageRun&) = delete;
    PageRun& operator=(const PageRun&) = delete;
    void End() {
        open_ = false;
        target_.EndRun();
    }

private:
    PageTarget& target_;
    bool open_ = true;
};

// A page in memory: white, 8-bit grey, at the given resolution, representing the
// printable area of a US Letter sheet that begins offsetX/offsetY dots from the
// paper's edges. The last ended page stays readable through Image().
class ImagePageTarget : public PageTarget {
public:
    ImagePageTarget(int dpiX, int dpiY, int offsetX = 0, int offsetY = 0);
    QPainter& BeginDoc() override;
    void EndDoc() override;
    void AbortDoc() noexcept override;
    int ResolutionX() const override { return dpiX_; }
    int ResolutionY() const override { return dpiY_; }
    int PhysicalOffsetX() const override { return offsetX_; }
    int PhysicalOffsetY() const override { return offsetY_; }

    const QImage& Image() const { return image_; }
    int DocumentsEnded() const { return ended_; }
    // Renders only what can reach the symbols (see PageTarget::SymbolsOnly).
    void SetSymbolsOnly(bool on) { symbolsOnly_ = on; }
    bool SymbolsOnly() const override { return symbolsOnly_; }
    void SetDocumentTitle(const QString& title) override { titles_ << title; }
    // Every title given, in order.
    const QStringList& DocumentTitles() const { return titles_; }

private:
    QStringList titles_;
    int dpiX_, dpiY_, offsetX_, offsetY_;
    QImage image_;
    std::unique_ptr<QPainter> painter_;
    int ended_ = 0;
    bool symbolsOnly_ = false;
};

// The system printer or a PDF file, as chosen in the printer setup.
class PrinterPageTarget : public PageTarget {
public:
    explicit PrinterPageTarget(QPrinter& printer) : printer_(printer) {}
    ~PrinterPageTarget() override;
    QPainter& BeginDoc() override;
    void EndDoc() override;
    void AbortDoc() noexcept override;
    int ResolutionX() const override;
    int ResolutionY() const override;
    int PhysicalOffsetX() const override;
    int PhysicalOffsetY() const override;
    void BeginRun() override;
    void EndRun() override;
    void SetDocumentTitle(const QString& title) override;

private:
    QString Where() const;
    void EndPainter();

    QPrinter& printer_;
    std::unique_ptr<QPainter> painter_;
    bool inRun_ = false;
    bool pageOpen_ = false;
};

// Sets up a painter on a printer or a PDF device: images (the symbols) are kept lossless.
void PreparePrintPainter(QPainter& painter);

// The printer of this run of the program: US Letter, full resolution. The printer
// setup dialog changes it; the choice holds until the program ends.
QPrinter& CurrentPrinter();
// True when the printer has nowhere to print: no system printer, and Qt fell back to
// a PDF printer without a file.
bool PrinterUnavailable(const QPrinter& printer);

// Where the print commands send their documents: the current printer unless a
// replacement was installed (the tests install an image page). Not owned.
PageTarget& ActivePageTarget();
void SetActivePageTarget(PageTarget* target);

// The base print font: Arial, 8 points, regular, black.
QFont BasePrintFont();

// Makes the OCR-A face available as "OCR A Extended". Call once at start, after the
// application object exists. Returns false when the font file could not be loaded.
bool RegisterPrintFonts();

// The state of the page being printed.
struct PageMetrics {
    int32_t resolutionX = 0;
    int32_t resolutionY = 0;
    double offsetX = 0;    // inches
    double offsetY = 0;    // inches
    int32_t leftRight = 0; // the user's alignment in hundredths of an inch
    int32_t topBottom = 0;
    QString baseFace;
};

// The canvas font as the printing code sets it up: face, size in points, style and
// rotation in tenths of a degree counter-clockwise.
struct CanvasFont {
    QString face;
    int pointSize = 8;
    bool bold = false;
    int escapement = 0;
    QColor color = Qt::black;
    double scale = 1.0; // the size is narrowed by this factor to fit a block into its place
};

// One document of one page on a target. The destructor abandons a document that
// was not ended, so an error never leaves a document open.
class PrintPage {
public:
    explicit PrintPage(PageTarget& target); // BeginDoc
    ~PrintPage();
    PrintPage(const PrintPage&) = delete;
    PrintPage& operator=(const PrintPage&) = delete;

    void PreparePage(const QFont& source);
    void SetAlignment(int32_t leftRight, int32_t topBottom);

    int32_t InchToDotX(double x) const;
    int32_t InchToDotY(double y) const;

    void SetFontSize(int points);
    // Shrinks the font by a factor (1: the size as set); SetFontSize does not change it.
    void SetFontScale(double scale);
    void SetFontBold(bool bold);
    void SetRotatedFont(int angle, const QString& face);
    void RestoreBaseFont();

    // Font height in dots: -(points x vertical resolution / 72), halves away from 0.
    int32_t FontHeight() const;
    const CanvasFont& Font() const { return font_; }
    // The face actually used, cut to 31 characters as a logical-font record holds it.
    QFont QtFont() const;

    // Text with its reference point at the top-left corner of its unrotated cell; the
    // cell is turned with the font and filled white first. Returns the cell in dots.
    // The parts of the cell that lie in a kept-clear rectangle are not drawn at all.
    QRect TextOut(int32_t x, int32_t y, const QString& text);
    // Width of a text in dots with the current font, along its own direction.
    int32_t TextWidth(const QString& text);

    // Marks a rectangle of dots (a symbol, a tracking number) that no later text may
    // cover: a long line is cut where it would reach it.
    void KeepClear(const QRect& dots);

    // Notes a machine-readable symbol drawn on the page with what it must read as.
    void NoteSymbol(DrawnSymbol symbol) { symbols_.push_back(std::move(symbol)); }
    // The symbols noted so far, in drawing order.
    const std::vector<DrawnSymbol>& Symbols() const { return symbols_; }

    // Draws the whole bitmap into the rectangle (x, y, width, height), no smoothing.
    void StretchBitmap(int32_t x, int32_t y, int32_t width, int32_t height, const QImage& bitmap);

    void EndDoc();

    const PageMetrics& Metrics() const { return metrics_; }
    QPainter& Painter() { return painter_; }

private:
    PageTarget& target_;
    QPainter& painter_;
    bool open_ = true;
    PageMetrics metrics_;
    CanvasFont font_;
    std::optional<CanvasFont> saved_;
    QRegion keptClear_;
    std::vector<DrawnSymbol> symbols_;

    // Width in dots of a text in the painter's font; `scaleX` is the horizontal factor
    // that brings a fixed-pitch face to its form pitch (1 for every other face).
    int32_t Advance(const QString& text, double& scaleX) const;
};

// Characters of the OCR-A face advance this fraction of the font size.
inline constexpr double kOcrPitchEm = 0.6;
// The pitch in em a face is drawn at, or 0 when the face keeps its own advances.
double FixedPitchEm(const QString& face);

// R(v): v rounded to the nearest integer, halves to the even neighbour.
int32_t RoundHalfEven(double v);

// Dots of an alignment of `alignment` hundredths of an inch: three per unit at 300 dpi,
// six at 600, twelve at 1200; other resolutions round to the nearest dot.
int64_t AlignmentDots(int32_t alignment, int32_t resolution);

// Inches to dots as the page does it: AlignmentDots + trunc((inch - offset) x res),
// computed in extended precision, limited to the 32-bit range.
int32_t InchToDot(double inch, double offsetInches, int32_t resolution, int32_t alignment);

} // namespace qm
