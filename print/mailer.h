#pragma once
// The mailer layout: one mail piece printed onto one pre-printed mailer form.

#include "core/form_text.h"
#include "print/print_request.h"

#include <QFont>
#include <QString>

namespace qm {

class PageTarget;

// Upper case for the letters a to z only; every other character stays.
QString UpperAscii(const QString& text);
// The first five characters of a ZIP text as five digits, or "00000" when they are
// not an integer.
QString FiveDigitZip(const QString& zipText);

// Prints one mailer as one document on the target. Returns the kind "T" barcode
// data string in barcode mode, slot 15 unchanged in pre-numbered mode. Errors of the
// printer or the page propagate; the open document is abandoned.
QString PrintMailer(const PrintRequest& request, bool barcodeMode, const QFont& fontSource,
                    PageTarget& target);

} // namespace qm
