#include "core/settings_check.h"

#include <QDir>

#include <algorithm>

namespace qm {
namespace {

bool Digits(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

SettingFault Fault(const QString& key, const QString& value, const QString& what,
                   const QString& correction) {
    return {key,
            QStringLiteral("quill4.ini (%1): %2=%3 is not %4.\n\nNothing is printed until %5.")
                .arg(QDir::toNativeSeparators(SettingsFilePath()), key, value, what, correction)};
}

const QString kInDialog = QStringLiteral("it is corrected in the Mailer Number dialog");

// A number key whose stored text LoadSettings could not read.
std::optional<SettingFault> Unread(const GlobalVariables& g, const QString& key,
                                   const QString& what, const QString& correction) {
    const auto found = g.UnreadValues.find(key);
    if (found == g.UnreadValues.end()) return std::nullopt;
    return Fault(key, found.value(), what, correction);
}

} // namespace

bool IsStoredCustomerId(const QString& text) {
    const QString digits = QString(text).remove(u'-');
    return text.isEmpty() || (digits.size() == 9 && Digits(digits));
}

bool IsStoredSerial(const QString& text) {
    return !text.isEmpty() && text.size() <= 7 && Digits(text);
}

bool IsStoredMailerNum(const QString& text) {
    const qsizetype n = text.size();
    return (n == 20 || n == 22 || n == 30) && Digits(text);
}

std::optional<SettingFault> NumberSettingFault(const GlobalVariables& g, bool barcodeNumbers) {
    if (barcodeNumbers) {
        if (!IsStoredCustomerId(g.CustID))
            return Fault(QStringLiteral("CustID"), g.CustID,
                         QStringLiteral("a nine-digit customer ID"), kInDialog);
        if (!IsStoredSerial(g.SerialNum))
            return Fault(QStringLiteral("SerialNum"), g.SerialNum,
                         QStringLiteral("a serial number of one to seven digits"), kInDialog);
        return std::nullopt;
    }
    if (!IsStoredMailerNum(g.MailerNum))
        return Fault(QStringLiteral("MailerNum"), g.MailerNum,
                     QStringLiteral("a mailer number of 20, 22 or 30 digits"), kInDialog);
    return Unread(g, QStringLiteral("Increment"),
                  QStringLiteral("a number (1 counts the mailers up, 0 down)"), kInDialog);
}

std::optional<SettingFault> PrintSettingFault(const GlobalVariables& g) {
    if (!g.SettingsFileFault.isEmpty())
        return SettingFault{QStringLiteral("quill4.ini"), g.SettingsFileFault};
    if (auto f = Unread(g, QStringLiteral("PrintBarCode"),
                        QStringLiteral("a number (1 prints the barcode, 0 uses pre-numbered "
                                       "mailers)"),
                        QStringLiteral("the numbering is chosen under Options, BarCode's")))
        return f;
    const QString alignment = QStringLiteral("a whole number of hundredths of an inch");
    const QString where =
        QStringLiteral("it is set again under Options, Print Options, Printer Alignment");
    if (auto f = Unread(g, QStringLiteral("LeftRight"), alignment, where)) return f;
    return Unread(g, QStringLiteral("TopBottom"), alignment, where);
}

} // namespace qm
