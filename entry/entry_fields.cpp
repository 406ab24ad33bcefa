#include "entry/entry_fields.h"

#include "core/form_text.h"
#include "core/format_zip.h"
#include "entry/money.h"
#include "numbers/mailer_numbers.h"

namespace qm {

namespace {

// The money text of a fee as the receipt shows it, with its value when it counts.
QString ShownFee(const QString& text, double& sum) {
    const double fee = CountedFee(text);
    if (fee == 0) return QStringLiteral(" ");
    sum += fee;
    return text;
}

} // namespace

PrintRequest BuildPrintRequest(const EntryFields& f, const GlobalVariables& g) {
    PrintRequest r;
    r.senderLines = f.senderLabels;
    r.senderZip = g.Zip;

    const QString zip = FormatZip(f.zipText);
    QString cityLine =
        TrimForm(f.city) + QLatin1Char(' ') + TrimForm(f.state) + QLatin1Char(' ') + zip;
    std::array<QString, 4> lines = f.addresseeLines;
    for (QString& line : lines) {
        if (TrimForm(line).isEmpty()) {
            line = cityLine;
            cityLine.clear();
            break;
        }
    }
    for (size_t i = 0; i < 4; ++i) r.addresseeLines[i] = lines[i];
    r.addresseeLines[4] = cityLine;
    r.addresseeZip = zip;

    r.reference = f.re.left(25);
    r.comment = f.comment;
    r.restricted = f.restricted;
    if (g.PrintBarCode) {
        r.customerId = WithoutHyphens(g.CustID);
        r.serial = g.SerialNum;
    } else {
        r.mailerNumber = g.MailerNum;
    }
    double sum = 0;
    r.postage = ShownFee(f.postage, sum);
    r.certFee = ShownFee(f.certFee, sum);
    r.returnFee = ShownFee(f.returnFee, sum);
    r.restrictedFee = ShownFee(f.restrictedFee, sum);
    const std::optional<double> shownTotal = ParseMoney(f.total);
    // The field's own text when it agrees with the fees, else the sum itself.
    r.total =
        shownTotal && FormatMoney(*shownTotal) == FormatMoney(sum) ? f.total : FormatMoney(sum);
    r.leftRight = g.LeftRight;
    r.topBottom = g.TopBottom;
    r.extraLabel = ExtraLabelOf(g.PrintExtraLabel, g.ExtraLabel);
    return r;
}

bool AddresseeEmpty(const EntryFields& f) {
    for (const QString& line : f.addresseeLines)
        if (!line.trimmed().isEmpty()) return false;
    return f.city.trimmed().isEmpty() && FormatZip(f.zipText).trimmed().isEmpty();
}

} // namespace qm
