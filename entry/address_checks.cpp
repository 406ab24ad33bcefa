#include "entry/address_checks.h"

#include "core/format_zip.h"
#include "entry/money.h"
#include "piece/print_request.h"

#include <QRegularExpression>
#include <QStringList>

namespace qm {

QString ZipAsTyped(const QString& zipText) {
    return FormatZip(zipText).trimmed();
}

ZipState CheckZip(const QString& zipText) {
    const QString zip = FormatZip(zipText);
    if (zip.trimmed().isEmpty()) return ZipState::Empty;
    static const QRegularExpression complete(QStringLiteral("^[0-9]{5}(-[0-9]{4})?$"));
    return complete.match(zip).hasMatch() ? ZipState::Complete : ZipState::Wrong;
}

QString WrongZipMessage(const QString& zipText) {
    return QStringLiteral("The ZIP code \"%1\" cannot be printed: a ZIP code has 5 digits, or 9 "
                          "digits with the ZIP+4 extension. Nothing was printed.")
        .arg(ZipAsTyped(zipText));
}

namespace {

// "its tracking barcodes will carry ... and its extra label no ZIP barcode"
QString NoZipConsequences(NoZipPrint print, bool plural) {
    const QString owner = plural ? QStringLiteral("their") : QStringLiteral("its");
    const QString label = plural ? QStringLiteral("extra labels") : QStringLiteral("extra label");
    QStringList parts;
    if (print.barcodeMode)
        parts << QStringLiteral("%1 tracking barcodes will carry the tracking number alone, "
                                "without a ZIP routing code")
                     .arg(owner);
    if (print.addresseeExtraLabel)
        parts << (parts.isEmpty() ? QStringLiteral("%1 %2 will carry no ZIP barcode")
                                  : QStringLiteral("%1 %2 no ZIP barcode"))
                     .arg(owner, label);
    return parts.join(QStringLiteral(", and "));
}

} // namespace

NoZipPrint NoZipPrintOf(const GlobalVariables& g) {
    return {g.PrintBarCode, ExtraLabelOf(g.PrintExtraLabel, g.ExtraLabel) == ExtraLabel::Addressee};
}

QString EmptyZipQuestion(NoZipPrint print) {
    const QString consequences = NoZipConsequences(print, false);
    QString text = QStringLiteral("The ZIP code is empty. The mailer will be printed without one");
    if (!consequences.isEmpty()) text += QStringLiteral(": ") + consequences;
    return text + QStringLiteral(". Print anyway?");
}

QString WithoutZipNote(int labels, NoZipPrint print) {
    QString text = labels == 1 ? QStringLiteral("1 label without a ZIP code")
                               : QStringLiteral("%1 labels without a ZIP code").arg(labels);
    const QString consequences = NoZipConsequences(print, labels != 1);
    if (consequences.isEmpty()) return text + QStringLiteral(" will be printed without one.");
    return text + QStringLiteral(": ") + consequences + u'.';
}

int LineLength(const QString& line) {
    qsizetype n = line.size();
    while (n > 0 && line.at(n - 1).isSpace()) --n;
    return int(n);
}

QString LongLineQuestion(int line, int length) {
    return QStringLiteral("Line %1 has %2 characters; the mailing log keeps %3. Print it "
                          "shortened to %3 on the form and in the log?")
        .arg(line)
        .arg(length)
        .arg(kLoggedLineLength);
}

QString ShortenedLine(const QString& line) {
    return line.left(kLoggedLineLength);
}

int FirstLongLine(const EntryFields& fields) {
    for (int i = 0; i < 4; ++i)
        if (LineLength(fields.addresseeLines[size_t(i)]) > kLoggedLineLength) return i;
    return -1;
}

FeeField RefusedFee(const EntryFields& f, QString& message) {
    const FeeTexts texts{f.postage, f.certFee, f.restrictedFee, f.returnFee};
    const std::pair<FeeField, const QString*> fields[] = {{FeeField::Postage, &f.postage},
                                                          {FeeField::CertFee, &f.certFee},
                                                          {FeeField::Return, &f.returnFee},
                                                          {FeeField::Restricted, &f.restrictedFee}};
    for (const auto& [field, text] : fields) {
        const RecalcResult r = RecalcFees(*text, texts);
        if (!r.refusal.isEmpty()) {
            message = r.refusal;
            return field;
        }
    }
    return FeeField::None;
}

} // namespace qm
