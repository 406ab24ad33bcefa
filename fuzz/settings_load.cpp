// Reads arbitrary bytes as the settings file quill4.ini, then uses what it
// read the way a print does (fees, the serial number, the alignment) and saves
// the settings back and reads them again. Nothing may crash, hang or leak.
#include <QString>

#include <cstdint>
#include <string>

#include "core/ini_profile.h"
#include "core/integer.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "entry/money.h"
#include "fuzz_support.h"
#include "numbers/serial_number.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = fuzz::ScratchFolder("settings");
    static const bool once = [&] {
        SetProgramFolderOverride(QString::fromStdString(folder));
        return true;
    }();
    (void)once;
    fuzz::EmptyFolder(folder);
    fuzz::WriteFile(folder + "quill4.ini", data, size);

    GlobalVariables g;
    LoadSettings(g, [](GlobalVariables& v) { v.Company = QStringLiteral("Larkfield"); });
    for (const QString* fee : {&g.Postage, &g.CertFee, &g.Return, &g.Restricted}) {
        (void)CountedFee(*fee);
        if (const auto v = ParseMoney(*fee)) (void)FormatMoney(*v);
    }
    try {
        (void)StepSerial(g.SerialNum, 1);
        (void)StepSerial(g.SerialNum, -1);
    } catch (const ConversionError&) {
    }
    (void)TryStrToInt(g.CustID);
    (void)ParseProfileInteger(g.MailerNum);

    try {
        SaveSettings(g);
        GlobalVariables again;
        LoadSettings(again);
    } catch (const SettingsWriteError&) {
    }
    return 0;
}
