#include "core/settings.h"

#include "core/data_folder.h"
#include "core/ini_profile.h"
#include "core/settings_lock.h"

#include <memory>

namespace qm {

GlobalVariables& Globals() {
    static GlobalVariables g;
    return g;
}

QString SettingsFilePath() {
    return DataFolder() + QStringLiteral("quill4.ini");
}

void LoadSettings(GlobalVariables& g, const std::function<void(GlobalVariables&)>& chooseBrand) {
    IniProfile ini;
    g.SettingsFileFault.clear();
    try {
        ini = IniProfile::Load(SettingsFilePath());
    } catch (const IniError& e) {
        // Every key takes its default, which must not print: a serial of 0000000 would hand
        // out numbers a second time.
        g.SettingsFileFault =
            QString::fromUtf8(e.what()) +
            QStringLiteral("\n\nNothing is printed until Quillmark is started again with a "
                           "settings file it can read.");
    }
    const GlobalVariables d;
    g.UnreadValues.clear();
    // A number key whose text is no number is noted instead of read as its default.
    const auto readInteger = [&](const char* section, const char* key, int def) {
        const std::optional<QString> text =
            ini.Value(QString::fromLatin1(section), QString::fromLatin1(key));
        if (!text) return def;
        if (const std::optional<int> value = ParseProfileInteger(*text)) return *value;
        g.UnreadValues.insert(QString::fromLatin1(key), *text);
        return def;
    };
    g.Company = ini.ReadString("Type", "Company", d.Company);
    if (g.Company.isEmpty() && chooseBrand) chooseBrand(g);
    g.Line1 = ini.ReadString("YourAddress", "Line1", d.Line1);
    g.Line2 = ini.ReadString("YourAddress", "Line2", d.Line2);
    g.Line3 = ini.ReadString("YourAddress", "Line3", d.Line3);
    g.Line4 = ini.ReadString("YourAddress", "Line4", d.Line4);
    g.City = ini.ReadString("YourAddress", "City", d.City);
    g.State = ini.ReadString("YourAddress", "State", d.State);
    g.Zip = ini.ReadString("YourAddress", "Zip", d.Zip);
    g.Postage = ini.ReadString("Values", "Postage", d.Postage);
    g.CertFee = ini.ReadString("Values", "CertFee", d.CertFee);
    g.Return = ini.ReadString("Values", "Return", d.Return);
    g.Restricted = ini.ReadString("Values", "Restricted", d.Restricted);
    g.PrintBarCode = readInteger("Values", "PrintBarCode", d.PrintBarCode) != 0;
    g.CustID = ini.ReadString("Values", "CustID", d.CustID);
    g.SerialNum = ini.ReadString("Values", "SerialNum", d.SerialNum);
    g.Increment = readInteger("Values", "Increment", d.Increment) != 0;
    g.MailerNum = ini.ReadString("Values", "MailerNum", d.MailerNum);
    g.SeenSerialNum = g.SerialNum;
    g.SeenMailerNum = g.MailerNum;
    g.PrintExtraLabel = ini.ReadString("Printing", "PrintExtraLabel", d.PrintExtraLabel);
    g.ExtraLabel = ini.ReadString("Printing", "ExtraLabel", d.ExtraLabel);
    g.VerifyBarcodes = ini.ReadBool("Printing", "VerifyBarcodes", d.VerifyBarcodes);
    g.KeepPdfCopy = ini.ReadBool("Printing", "KeepPdfCopy", d.KeepPdfCopy);
    g.LeftRight = readInteger("Print Align", "LeftRight", d.LeftRight);
    g.TopBottom = readInteger("Print Align", "TopBottom", d.TopBottom);
    g.BarCodeApp = ini.ReadBool("Type", "BarCodeApp", d.BarCodeApp);
    g.SystemPathDefault =
        ini.ReadString("System Path", "Default", DataFolder() + QStringLiteral("Addresses"));
}

namespace {

IniProfile LoadForWriting(const QString& path) {
    try {
        return IniProfile::Load(path);
    } catch (const IniError& e) {
        // Writing over a file we cannot read would lose its other lines.
        throw SettingsWriteError(QStringLiteral("Unable to write to %1: %2")
                                     .arg(path, QString::fromUtf8(e.what()))
                                     .toStdString());
    }
}

void SaveProfile(const IniProfile& ini, const QString& path) {
    try {
        ini.Save(path);
    } catch (const IniError& e) {
        throw SettingsWriteError(e.what());
    }
}

// The numbers as stored, or the given ones when the key is missing.
QString StoredValue(const IniProfile& ini, const char* key, const QString& ours) {
    return ini.Value(QStringLiteral("Values"), QString::fromLatin1(key)).value_or(ours);
}

// A number key whose stored text could not be read stays as stored until the user sets it.
bool KeptAsStored(const GlobalVariables& g, const char* key) {
    return g.UnreadValues.contains(QString::fromLatin1(key));
}

void WriteNumberKeys(IniProfile& ini, const GlobalVariables& g) {
    ini.WriteString("Values", "CustID", g.CustID);
    ini.WriteString("Values", "SerialNum", g.SerialNum);
    if (!KeptAsStored(g, "Increment")) ini.WriteBool("Values", "Increment", g.Increment);
    ini.WriteString("Values", "MailerNum", g.MailerNum);
}

} // namespace

NumberTransaction::NumberTransaction(GlobalVariables& g)
    : g_(g), lock_(std::make_unique<SettingsLock>(SettingsFilePath())) {
    IniProfile ini;
    try {
        ini = IniProfile::Load(SettingsFilePath());
    } catch (const IniError& e) {
        // An unreadable file holds no newer number: nothing may print on the old ones.
        if (g_.SettingsFileFault.isEmpty()) g_.SettingsFileFault = QString::fromUtf8(e.what());
        return;
    }
    const QString serial = StoredValue(ini, "SerialNum", g_.SeenSerialNum);
    const QString mailer = StoredValue(ini, "MailerNum", g_.SeenMailerNum);
    if (serial != g_.SeenSerialNum) g_.SerialNum = serial;
    if (mailer != g_.SeenMailerNum) g_.MailerNum = mailer;
    g_.SeenSerialNum = serial;
    g_.SeenMailerNum = mailer;
}

NumberTransaction::~NumberTransaction() = default;

void NumberTransaction::Save() {
    const QString path = SettingsFilePath();
    IniProfile ini = LoadForWriting(path);
    WriteNumberKeys(ini, g_);
    SaveProfile(ini, path);
    g_.SeenSerialNum = g_.SerialNum;
    g_.SeenMailerNum = g_.MailerNum;
}

void SaveSettings(const GlobalVariables& settings) {
    const QString path = SettingsFilePath();
    std::unique_ptr<SettingsLock> lock;
    try {
        lock = std::make_unique<SettingsLock>(path);
    } catch (const SettingsLockError& e) {
        throw SettingsWriteError(e.what());
    }
    IniProfile ini = LoadForWriting(path);
    GlobalVariables g = settings;
    // Another copy moved a number since this copy saw it: the stored one is newer.
    const QString serial = StoredValue(ini, "SerialNum", g.SeenSerialNum);
    const QString mailer = StoredValue(ini, "MailerNum", g.SeenMailerNum);
    if (serial != g.SeenSerialNum) g.SerialNum = serial;
    if (mailer != g.SeenMailerNum) g.MailerNum = mailer;
    ini.WriteString("Type", "Company", g.Company);
    ini.WriteString("YourAddress", "Line1", g.Line1);
    ini.WriteString("YourAddress", "Line2", g.Line2);
    ini.WriteString("YourAddress", "Line3", g.Line3);
    ini.WriteString("YourAddress", "Line4", g.Line4);
    ini.WriteString("YourAddress", "City", g.City);
    ini.WriteString("YourAddress", "State", g.State);
    ini.WriteString("YourAddress", "Zip", g.Zip);
    ini.WriteString("Values", "Postage", g.Postage);
    ini.WriteString("Values", "CertFee", g.CertFee);
    ini.WriteString("Values", "Return", g.Return);
    ini.WriteString("Values", "Restricted", g.Restricted);
    if (!KeptAsStored(g, "PrintBarCode")) ini.WriteBool("Values", "PrintBarCode", g.PrintBarCode);
    ini.WriteString("Values", "CustID", g.CustID);
    ini.WriteString("Values", "SerialNum", g.SerialNum);
    if (!KeptAsStored(g, "Increment")) ini.WriteBool("Values", "Increment", g.Increment);
    ini.WriteString("Values", "MailerNum", g.MailerNum);
    ini.WriteString("Printing", "PrintExtraLabel", g.PrintExtraLabel);
    ini.WriteString("Printing", "ExtraLabel", g.ExtraLabel);
    ini.WriteBool("Printing", "VerifyBarcodes", g.VerifyBarcodes);
    ini.WriteBool("Printing", "KeepPdfCopy", g.KeepPdfCopy);
    if (!KeptAsStored(g, "LeftRight")) ini.WriteInteger("Print Align", "LeftRight", g.LeftRight);
    if (!KeptAsStored(g, "TopBottom")) ini.WriteInteger("Print Align", "TopBottom", g.TopBottom);
    ini.WriteBool("type", "BarCodeApp", g.BarCodeApp);
    ini.WriteString("System Path", "default", g.SystemPathDefault);
    SaveProfile(ini, path);
}

} // namespace qm
