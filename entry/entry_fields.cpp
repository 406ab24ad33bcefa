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
    PrintRequest r; // every slot empty
    for (int i = 0; i < 5; ++i) r[size_t(i)] = f.senderLabels[size_t(i)];
    r[kSlotSenderZip] = g.Zip;

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
    for (int i = 0; i < 4; ++i) r[size_t(kSlotAddressee1 + i)] = lines[size_t(i)];
    r[10] = cityLine;
    r[kSlotAddresseeZip] = zip;

    r[kSlotReference] = f.re.left(25);
    r[kSlotComment] = f.comment;
    r[kSlotRestricted] = f.restricted ? QStringLiteral("Y") : QStringLiteral("N");
    if (g.PrintBarCode) {
        r[kSlotCustomerOrMailer] = WithoutHyphens(g.CustID);
        r[kSlotSerial] = g.SerialNum;
    } else {
        r[kSlotCustomerOrMailer] = g.MailerNum;
    }
    double sum = 0;
    r[kSlotPostage] = ShownFee(f.postage, sum);
    r[kSlotCertFee] = ShownFee(f.certFee, sum);
    r[kSlotReturnFee] = ShownFee(f.returnFee, sum);
    r[kSlotRestrictedFee] = ShownFee(f.restrictedFee, sum);
    const std::optional<double> shownTotal = ParseMoney(f.total);
    // The field's own text when it agrees with the fees, else the sum itself.
    r[kSlotTotal] =
        shownTotal && FormatMoney(*shownTotal) == FormatMoney(sum) ? f.total : FormatMoney(sum);
    r[kSlotLeftRight] = QString::number(g.LeftRight);
    r[kSlotTopBottom] = QString::number(g.TopBottom);
    r[kSlotPrintExtraLabel] = g.PrintExtraLabel;
    r[kSlotExtraLabel] = g.ExtraLabel;
    r[26] = QStringLiteral("-1");
    r[27] = QStringLiteral("-1");
    return r;
}

bool AddresseeEmpty(const EntryFields& f) {
    for (const QString& line : f.addresseeLines)
        if (!line.trimmed().isEmpty()) return false;
    return f.city.trimmed().isEmpty() && FormatZip(f.zipText).trimmed().isEmpty();
}

} // namespace qm
