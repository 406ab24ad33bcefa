#pragma once
// All lasting settings of the program, held in memory for the whole run and shared by every
// window. LoadSettings reads quill4.ini once at start, SaveSettings writes it once at exit.
#include <QMap>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

namespace qm {

class SettingsLock;

struct GlobalVariables {
    // [Type]
    QString Company; // brand: "Larkfield" or "Osterby"
    // [YourAddress]
    QString Line1, Line2, Line3, Line4, City, State, Zip;
    // [Values]
    QString Postage = QStringLiteral("0.39");
    QString CertFee = QStringLiteral("2.40");
    QString Return = QStringLiteral("1.85");
    QString Restricted = QStringLiteral("3.50");
    bool PrintBarCode = true; // true: barcode mode; false: pre-numbered mailers
    QString CustID = QStringLiteral("000000000");
    QString SerialNum = QStringLiteral("0000000");
    bool Increment = true;
    QString MailerNum = QStringLiteral("71000000000000000000");
    // [Printing]
    QString PrintExtraLabel = QStringLiteral("Yes");     // "Yes" or "No"
    QString ExtraLabel = QStringLiteral("Addressed To"); // or "Your Name and Address"
    bool VerifyBarcodes = true; // decode the rendered symbols before a mailer is printed
    bool KeepPdfCopy = true;    // write a PDF proof of each printed mailer
    // [Print Align], hundredths of an inch
    int LeftRight = 0;
    int TopBottom = 0;
    // [Type]
    bool BarCodeApp = true; // show the registration reminder at start
    // [System Path] Default: folder of address tables and text files
    QString SystemPathDefault;

    // Not saved: show the Mailer Number dialog before the next printed piece.
    bool ConfirmNumbers = true;
    // Not saved: SerialNum and MailerNum as this copy last read or wrote them in the
    // settings file. A stored number that differs was moved by another copy.
    QString SeenSerialNum = SerialNum;
    QString SeenMailerNum = MailerNum;
    // Not saved: the number keys whose stored text is no number (PrintBarCode, Increment,
    // LeftRight, TopBottom), by key, with that text. Such a key keeps its default in memory but
    // stops every print (core/settings_check.h), and stays in the file as stored, until the
    // user sets it: whatever sets it removes it here.
    QMap<QString, QString> UnreadValues;
    // Not saved: why quill4.ini could not be read (a link or anything but a plain file in its
    // place, no permission), or empty. Every key then has its default, so nothing may print.
    QString SettingsFileFault;
};

// The one set of settings of this run.
GlobalVariables& Globals();

// The settings file, DataFolder() + "quill4.ini".
QString SettingsFilePath();

// A settings file that cannot be written; what() is "Unable to write to <path>".
class SettingsWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads every key into g. chooseBrand runs right after Company has been read, when it is
// empty, before any other key is read; it may set g.Company.
void LoadSettings(GlobalVariables& g,
                  const std::function<void(GlobalVariables&)>& chooseBrand = {});
// Writes every key from g, in order, under the numbering lock. A SerialNum or MailerNum
// that another copy stored since this copy last saw it is kept: a number never goes back.
// Throws SettingsWriteError (also when the lock cannot be had); the file is then unchanged.
void SaveSettings(const GlobalVariables& g);

// One change of the mailer numbers, atomic across running copies: the constructor takes
// the numbering lock and adopts a SerialNum or MailerNum that another copy stored since
// this copy last read or wrote it; Save writes the numbering keys (CustID, SerialNum,
// Increment, MailerNum) and nothing else; the destructor releases the lock.
class NumberTransaction {
public:
    // Throws SettingsLockError.
    explicit NumberTransaction(GlobalVariables& g);
    ~NumberTransaction();
    NumberTransaction(const NumberTransaction&) = delete;
    NumberTransaction& operator=(const NumberTransaction&) = delete;
    // Throws SettingsWriteError; the file is then unchanged.
    void Save();

private:
    GlobalVariables& g_;
    std::unique_ptr<SettingsLock> lock_;
};

} // namespace qm
