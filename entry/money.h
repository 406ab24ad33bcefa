#pragma once
// Money texts of the entry form: fees and totals with magnitude-dependent leading blanks,
// "." as the decimal point and at least two decimals.
#include <QString>

#include <optional>

namespace qm {

// A fee text as a number: blanks around it allowed, "." as the decimal point. Nothing when the
// text is not a finite number.
std::optional<double> ParseMoney(const QString& text);

// Characters of a money text that the receipt and the log's fee and total fields hold.
inline constexpr qsizetype kMoneyTextWidth = 15;

// Leading blanks (10, 8, 6, 5, 3 or 1 by magnitude), the shortest plain decimal text with up
// to 15 significant digits (all integer digits from 10^15 on; never an exponent), and ".00" or
// "0" so that at least two decimals show.
QString FormatMoney(double v);

// The value a fee text adds to the total: the fee when it parses, is greater than 0 and its
// money text fits kMoneyTextWidth, else 0 (the field then shows a blank).
double CountedFee(const QString& text);

// The message that refuses a fee too large for its money text.
QString FeeTooLargeMessage(const QString& text);

// The message that refuses a fee text that is not an amount of money ("0.39f", "-2").
QString NotMoneyMessage(const QString& text);

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
    QString refusal;   // when the fee was refused: the message to show
};

// Formats one fee text and recomputes the total over the fields as they stand (the caller's
// field still holding the typed text). The total counts each fee that parses and is greater
// than 0, exactly the fees the fields go on to show; an empty or zero fee shows as a single
// blank and adds nothing. A fee that is not an amount of money (text that is
// not a number, or a negative number), whose money text would not fit kMoneyTextWidth, that
// would take the total past it, or that is too large for a number at all, is refused: the field
// keeps the typed text, the total leaves it out, and `refusal` says why.
RecalcResult RecalcFees(const QString& text, const FeeTexts& fields);

} // namespace qm
