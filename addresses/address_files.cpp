#include "addresses/address_files.h"

#include "addresses/name_address_text.h"
#include "addresses/set_aside_files.h"
#include "table/tzdbf.h"

#include "core/output_target.h"
#include "core/whole_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <stdexcept>

namespace qm::addresses {

namespace {

[[noreturn]] void FileFailure(const QString& file, const QString& reason) {
    throw std::runtime_error(QStringLiteral("%1: %2").arg(file, reason).toStdString());
}

} // namespace

QStringList MemoFilesOf(const QString& tableFile) {
    const QFileInfo info(tableFile);
    const QString base = info.dir().filePath(info.completeBaseName());
    return {base + QStringLiteral(".dbt"), base + QStringLiteral(".DBT")};
}

QByteArray ReadNameAddressFile(const QString& textFile) {
    QFile in(textFile);
    if (!in.open(QIODevice::ReadOnly)) FileFailure(textFile, in.errorString());
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) FileFailure(textFile, in.errorString());
    return bytes;
}

TImportReport ImportIntoTableFile(const QByteArray& text, const QString& tableFile,
                                  TImportInto into) {
    // A new or replacing table has the widths of the address format; an appended one its own,
    // read once it is open and checked.
    std::optional<TImportPlan> plan;
    if (into != TImportInto::Append) {
        plan = PlanImport(text);
        if (plan->records.empty()) return plan->report; // nothing to write: no table touched
    }
    // Overwrite keeps the old table aside until the new one is complete.
    std::optional<TSetAsideFiles> old;
    if (into == TImportInto::Overwrite) old.emplace(MemoFilesOf(tableFile) << tableFile);
    qm::table::TTzDbf table("TzDbfImport");
    std::vector<std::string> fields;
    if (into != TImportInto::Append)
        for (const QString& f : AddressTableFields()) fields.push_back(f.toStdString());
    table.SetDbfFields(fields);
    table.SetTableLanguage(qm::table::TTableLanguage::tlOem);
    table.SetDbfFileName(tableFile.toStdString());
    table.Open();
    const QString missing = MissingAddressField(table);
    if (!missing.isEmpty()) throw std::runtime_error(missing.toStdString());
    if (!plan) plan = PlanImport(text, AddressWidthsOf(table));
    AppendImportRecords(table, *plan);
    table.Close();
    if (old) old->Commit();
    return plan->report;
}

bool ExportTableFile(const QString& tableFile, const std::function<QString()>& chooseTextFile) {
    qm::table::TTzDbf table("TzDbfExport");
    table.SetCreateIfNotFound(false);
    table.SetTableLanguage(qm::table::TTableLanguage::tlOem);
    table.SetDbfFileName(tableFile.toStdString());
    table.Open();
    const QString missing = MissingAddressField(table);
    if (!missing.isEmpty()) throw std::runtime_error(missing.toStdString());
    const QString textFile = chooseTextFile();
    if (textFile.isEmpty()) return false;
    if (const QString refused = OutputTargetRefusal(textFile); !refused.isEmpty())
        throw std::runtime_error(refused.toStdString());
    const QByteArray bytes = ExportTable(table);
    table.Close();
    try {
        WriteWholeFile(textFile, bytes);
    } catch (const WholeFileError& e) {
        FileFailure(textFile, e.Reason());
    }
    return true;
}

} // namespace qm::addresses
