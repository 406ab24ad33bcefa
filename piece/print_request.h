#pragma once
// The print request: everything one mail piece puts on the mailer form and into the log.

#include <QString>

#include <array>

namespace qm {

// The extra label of the form: not printed, or carrying the sender's or the addressee's lines.
enum class ExtraLabel { None, Sender, Addressee };

// The extra label as the settings name it: printed only for "Yes", with the addressee's
// lines only for "Addressed To" (both compared exactly).
ExtraLabel ExtraLabelOf(const QString& printExtraLabel, const QString& extraLabel);

struct PrintRequest {
    std::array<QString, 5> senderLines;
    QString senderZip;
    // The four addressee lines and the city line; the city line moves up into the first
    // empty line, leaving the last one empty.
    std::array<QString, 5> addresseeLines;
    QString addresseeZip; // as printed: five digits, or nine with a hyphen
    QString reference;    // at most 25 characters
    QString comment;
    bool restricted = false; // restricted delivery
    // Barcode mode: the customer ID without hyphens and the serial; pre-numbered mode: the
    // mailer number as printed on the form.
    QString customerId;
    QString serial;
    QString mailerNumber;
    // The fees as the receipt shows them (a fee that does not count is a single blank) and
    // the total.
    QString postage, certFee, returnFee, restrictedFee;
    QString total;
    // The user's alignment in hundredths of an inch.
    int leftRight = 0;
    int topBottom = 0;
    ExtraLabel extraLabel = ExtraLabel::None;
};

} // namespace qm
