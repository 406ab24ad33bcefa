#include "index_recovery.h"

#include "engine_error.h"
#include "engine_util.h"

namespace qm::table {

std::string ProductionIndexName(const TDbfFile& table) {
    return ResolveNameCase(WithExtension(table.Path(), "MDX"));
}

bool IsProductionIndex(const std::string& mdxPath, const TDbfFile& table) {
    return FullPath(mdxPath) == FullPath(ProductionIndexName(table));
}

std::vector<TTagSpec> RecoverTagSpecs(const std::string& mdxPath, const TDbfFile& table) {
    std::vector<TTagSpec> tags;
    try {
        TReportingOff quiet;
        TMdxFile mdx;
        mdx.Open(mdxPath, true);
        for (const TMdxTag& t : mdx.Tags())
            tags.push_back({t.name, t.expression, t.forExpr, t.descending, t.unique});
        if (!tags.empty()) return tags;
    } catch (const EZezudError&) {
        // Missing or damaged: the table's marks are what is left.
    }
    for (const TFieldDef& f : table.Fields())
        if (f.tagged) tags.push_back({f.name, f.name, "", false, false});
    return tags;
}

void MarkTaggedFields(TDbfFile& table, const std::vector<TTagSpec>& tags) {
    std::vector<bool> tagged;
    for (const TFieldDef& f : table.Fields()) {
        bool own = false;
        for (const TTagSpec& t : tags)
            own = own ||
                  (UpperAscii(Trim(t.name)) == f.name && UpperAscii(Trim(t.keyExpr)) == f.name &&
                   Trim(t.forExpr).empty() && !t.descending && !t.unique);
        tagged.push_back(own);
    }
    table.SetTaggedFields(tagged);
}

} // namespace qm::table
