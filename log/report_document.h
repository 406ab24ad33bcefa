#pragma once
// A report laid out page by page on demand: page n is drawn from the entries it holds, so the
// first page of a long log appears without the rest being laid out. Only the last page reads
// every entry (for the count and sums at the end).

#include "log/paged_document.h"
#include "log/report_layout.h"

#include <QMap>
#include <QString>

#include <optional>

class QPainter;

namespace qm {

// The rows a report lists, in report order, with their values by lower-case field name.
class ReportSource {
public:
    virtual ~ReportSource() = default;
    virtual int RowCount() const = 0;
    virtual QString Value(int row, const QString& field) = 0;
};

class ReportDocument : public PagedDocument {
public:
    // `params` fill the headers' {Name} places. The layout and source must outlive the document.
    ReportDocument(const ReportLayout& layout, ReportSource& source,
                   QMap<QString, QString> params = {});

    const ReportLayout& Layout() const { return layout_; }
    QPageLayout PageLayout() const override; // Letter, the layout's orientation, no margins
    int PageCount() const override;          // known from the number of rows, without reading them
    int RowsPerPage() const { return rowsPerPage_; }

    void RenderPage(QPainter& painter, int page) override;

    // How many pages were drawn so far (every call counts), for tests of the lazy layout.
    int PagesRendered() const { return rendered_; }

private:
    QString CellText(const ReportColumn& column, int row);
    QString TotalText(const ReportTotal& total, int first, int end);
    QString Header(const QString& text) const;

    const ReportLayout& layout_;
    ReportSource& source_;
    QMap<QString, QString> params_;
    double pageW_ = 8.5, pageH_ = 11; // inches
    double lh_ = 0;                   // line height, inches
    double bodyTop_ = 0, bodyBottom_ = 0, band_ = 0;
    double footerH_ = 0;
    int rowsPerPage_ = 1;
    int rendered_ = 0;
    std::optional<QStringList> footerTexts_; // computed once, at the last page
};

// Money texts summed in cents; a blank or unreadable text counts nothing. An
// absurd stored amount counts as the largest a total shows, and sums stop there.
inline constexpr long long kMaxCents = 99999999999999999LL;
long long MoneyCents(const QString& text);
long long AddCents(long long total, long long cents);
QString CentsText(long long cents);
// A money text as the program writes it, spaces aside: blank, or digits, a point and two
// digits ("1.35"). Anything else was put there by another program.
bool IsWrittenMoneyText(const QString& text);
// What a total counts of a money text: MoneyCents of a written money text, else nothing.
long long CountedCents(const QString& text);

} // namespace qm
