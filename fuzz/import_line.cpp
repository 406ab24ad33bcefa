// Imports arbitrary bytes as a name-and-address text file into a new address
// table, then exports the table again. Every line is split by the import's
// parser; nothing may crash, hang or leak, and every rejection by the engine
// is a coded error.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

#include "addresses/name_address_text.h"
#include "fuzz_support.h"
#include "tzdbf.h"

using namespace qm;
using namespace qm::table;
using namespace qm::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The parser alone, on every line, as the import sees them.
    for (const QString& line :
         addresses::SplitTextFileLines(addresses::DecodeNameAddressText(bytes))) {
        const addresses::TImportFields f = addresses::ParseImportLine(line);
        const QStringList memo = addresses::ImportMemoLines(f);
        (void)addresses::FormatExportLine(memo, f[4], f[5], f[6]);
        (void)addresses::TrimValue(line);
    }

    const std::string folder = fuzz::ScratchFolder("import");
    fuzz::EmptyFolder(folder);
    std::vector<std::string> fields;
    for (const QString& f : addresses::AddressTableFields()) fields.push_back(f.toStdString());
    TTzDbf t;
    t.SetDbfFields(fields);
    t.SetExclusive(true);
    t.SetDbfFileName(folder + "import.dbf");
    try {
        t.Open();
        (void)addresses::ImportIntoTable(t, bytes);
        (void)addresses::ExportTable(t);
        t.Close();
    } catch (const EZezudError& e) {
        fuzz::CheckCoded(e);
    }
    return 0;
}
