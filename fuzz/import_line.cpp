// Imports arbitrary bytes as a name-and-address text file into a new address
// table, then exports the table again. Every line is split by the import's
// parser; nothing may crash, hang or leak, every rejection by the engine is a
// coded error, and the report agrees with the lines and the table: each
// non-blank line is imported or refused (by a number within the file, with a
// reason), the table holds one record for each imported line, and its export
// imports again without a refusal.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
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
    const QStringList lines =
        addresses::SplitTextFileLines(addresses::DecodeNameAddressText(bytes));
    int nonBlank = 0;
    for (const QString& line : lines) {
        if (!addresses::TrimValue(line).isEmpty()) ++nonBlank;
        const addresses::TParsedLine parsed = addresses::ParseImportLine(line);
        if (!parsed.refusal.isEmpty()) {
            for (const QString& f : parsed.fields)
                if (!f.isEmpty()) std::abort(); // a refused line has no fields
            continue;
        }
        const addresses::TImportFields& f = parsed.fields;
        const QStringList memo = addresses::ImportMemoLines(f);
        (void)addresses::FormatExportLine(memo, f[4], f[5], f[6]);
    }

    // The plan: every line that is not blank is imported or refused, once, in order.
    const addresses::TImportPlan plan = addresses::PlanImport(bytes);
    const addresses::TImportReport& report = plan.report;
    if (report.imported != int(plan.records.size()) ||
        report.imported + int(report.refused.size()) != nonBlank)
        std::abort();
    int previous = 0;
    for (const addresses::TRefusedLine& r : report.refused) {
        if (r.line <= previous || r.line > lines.size() || r.reason.isEmpty()) std::abort();
        previous = r.line;
    }
    (void)addresses::ImportMessage(report);

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
        const addresses::TImportReport stored = addresses::ImportIntoTable(t, bytes);
        if (!(stored == report) || t.RecCount() != uint32_t(report.imported)) std::abort();
        // What the import stored exports into lines the import takes again, every one.
        const addresses::TImportReport again =
            addresses::PlanImport(addresses::ExportTable(t)).report;
        if (again.imported != report.imported || !again.refused.empty()) std::abort();
        t.Close();
    } catch (const EZezudError& e) {
        fuzz::CheckCoded(e);
    }
    return 0;
}
