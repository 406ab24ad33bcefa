#include "core/mailer_proof.h"

#include "core/data_folder.h"

namespace qm {

QString MailerProofFolder() {
    return DataFolder() + QStringLiteral("Reports/Mailers/");
}

QString MailerProofPath(const QString& trackingNumber, const QDate& printed) {
    QString name;
    for (const QChar c : trackingNumber)
        if (c.unicode() < 128 && c.isLetterOrNumber()) name += c;
    return MailerProofFolder() + printed.toString(QStringLiteral("yyyy/MM/")) + name +
           QStringLiteral(".pdf");
}

} // namespace qm
