#pragma once
// Where the PDF proof of a printed mailer is kept: one file per piece under the data folder,
// filed by the month it was printed in.
#include <QDate>
#include <QString>

namespace qm {

// DataFolder() + "Reports/Mailers/YYYY/MM/<number>.pdf", the number without its blanks (only
// its letters and digits are kept, so no text can reach outside the folder).
QString MailerProofPath(const QString& trackingNumber, const QDate& printed);

// DataFolder() + "Reports/Mailers/".
QString MailerProofFolder();

} // namespace qm
