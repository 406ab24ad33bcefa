#pragma once
// The PDF proof of a printed mailer: the same page drawn again into a PDF file.

#include "piece/print_request.h"

#include <QFont>
#include <QString>

namespace qm {

class PageTarget;

// Draws the mailer of `request` as PrintMailer drew it on `printed` (same resolution, same
// physical offsets, US Letter, vector text and one-bit symbol images) into the PDF file at
// `path`, creating its folders. The file is written beside its name under a new name of its
// own and renamed over it once complete: an older proof is replaced only by a whole one, and a
// link or a stranger's file at the name is replaced, never written through. Throws PrintError
// with the reason (not repeating the path).
void WriteMailerProof(const PrintRequest& request, bool barcodeMode, const QFont& fontSource,
                      const PageTarget& printed, const QString& path);

} // namespace qm
