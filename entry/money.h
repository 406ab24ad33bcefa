#pragma once
// Money texts of the entry form: fees and totals with magnitude-dependent leading blanks,
// "." as the decimal point and at least two decimals.
#include <QString>

#include <optional>

namespace qm {

// A fee text as a number: blanks around it allowed, "." as the decimal point. Nothing when the
// text is not a finite number.
std::optional<double> ParseMoney(const QString& text);

// Leading blanks (10, 8, 6, 5, 3 or 1 by magnitude), the shortest text with up to 15
// significant digits, and ".00" or "0" so that at least two decimals show.
QString FormatMoney(double v);

// The value a fee text adds to the total: the fee when it parses and is greater than 0, else 0
// (the field then shows a blank).
double CountedFee(const QString& text);

// The four fee fields as they stand.
struct FeeTexts {
    QString postage;
    QString certFee;
    QString restricted;
    QString returnReceipt;
};

struct RecalcResult {
    QString fieldText; // the money text of the fee, or a single blank
    QString totalText; // the money text of the total, always shown
};

// Formats one fee text and recomputes the total over the fields as they stand (the caller's
// field still holding the typed text). The total counts each fee that parses and is greater
// than 0, exactly the fees the fields go on to show; a fee that is unusable, 0 or negative
// shows as a single blank and adds nothing.
RecalcResult RecalcFees(const QString& text, const FeeTexts& fields);

} // namespace qm
