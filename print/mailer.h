#pragma once
// The mailer layout: one mail piece printed onto one pre-printed mailer form.

#include "core/form_text.h"
#include "numbers/barcode_data.h" // FiveDigitZip
#include "piece/print_request.h"
#include "print/drawn_symbol.h"

#include <QFont>
#include <QString>

#include <vector>

namespace qm {

class PageTarget;

// Every lower-case letter in upper case, one character for one ("José Muñoz" gives
// "JOSÉ MUÑOZ"); a letter whose capital belongs to another script stays.
QString UpperLetters(const QString& text);

// The title of a mailer's print job: "Certified Mail " and the grouped tracking number.
QString MailerDocumentTitle(const QString& dataT);

// Prints one mailer as one document on the target. Returns the kind "T" barcode
// data string in barcode mode, the request's mailer number in pre-numbered mode. Errors of the
// printer or the page propagate; the open document is abandoned. `drawn`, when given,
// receives the machine-readable symbols of the page with what each must read as.
QString PrintMailer(const PrintRequest& request, bool barcodeMode, const QFont& fontSource,
                    PageTarget& target, std::vector<DrawnSymbol>* drawn = nullptr);

} // namespace qm
