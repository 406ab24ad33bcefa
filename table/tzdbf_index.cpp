// TTzDbf: index orders and the production index handled on open.
#include <algorithm>

#include "engine_util.h"
#include "index_recovery.h"
#include "table_check.h"
#include "tzdbf.h"

namespace qm::table {
namespace {

// IndexList holds two lines a tag: "NAME,D,U,expression" (D and U are T for a
// descending or unique tag) and the FOR condition.
std::vector<TTagSpec> ParseIndexList(const std::vector<std::string>& lines) {
    std::vector<TTagSpec> tags;
    for (size_t i = 0; i < lines.size(); i += 2) {
        const std::string& line = lines[i];
        const size_t comma = line.find(',');
        TTagSpec t;
        t.name = Trim(line.substr(0, comma));
        if (t.name.empty()) break;
        if (comma != std::string::npos) {
            t.descending = comma + 1 < line.size() && UpperChar(line[comma + 1]) == 'T';
            t.unique = comma + 3 < line.size() && UpperChar(line[comma + 3]) == 'T';
            if (comma + 5 <= line.size()) t.keyExpr = Trim(line.substr(comma + 5));
        }
        if (i + 1 < lines.size()) t.forExpr = Trim(lines[i + 1]);
        tags.push_back(std::move(t));
    }
    return tags;
}

std::vector<std::string> IndexListOf(const std::vector<TTagSpec>& tags) {
    std::vector<std::string> lines;
    for (const TTagSpec& t : tags) {
        lines.push_back(t.name + "," + (t.descending ? "T" : "F") + "," + (t.unique ? "T" : "F") +
                        "," + t.keyExpr);
        lines.push_back(t.forExpr);
    }
    return lines;
}

bool SameIndexList(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(Trim(a[i])) != UpperAscii(Trim(b[i]))) return false;
    return true;
}

std::string ReindexAdvice(const TDbfFile& table) {
    return "the table is shown in record order. Rebuild the index with \"qmtable reindex " +
           table.DisplayName() + "\" while no other copy has the table open.";
}

} // namespace

bool TTzDbf::MakeIndex(const std::vector<TTagSpec>& tags, const std::string& indexName) {
    return Guarded([&] {
        Area("MakeIndex").MakeIndex(tags, indexName);
        return true;
    });
}

void TTzDbf::SetIndexTo(const std::string& indexName) {
    Guarded([&] {
        Area("SetIndexTo");
        if (Editing()) state_ = TDataSetState::dsBrowse;
        area_.SetIndexTo(indexName);
        area_.FirstVisible();
    });
    Scrolled();
}

void TTzDbf::SetOrderTag(std::string_view tag) {
    Guarded([&] {
        Area("SetOrderTag");
        if (Editing()) state_ = TDataSetState::dsBrowse;
        if (!area_.Ordered())
            Fail(TErrorCode::IndexNotOpen,
                 "Index not open. (DBF=" + area_.File().DisplayName() + ") [SetOrderTag]");
        if (!area_.Order().SelectTag(tag))
            Fail(TErrorCode::InvalidParameter,
                 "No tag " + std::string(tag) + " in " + area_.Order().Path() + " [SetOrderTag]");
        area_.FirstVisible();
    });
    Scrolled();
}

bool TTzDbf::IndexOnOne(const std::string& keyExpression, const std::string& indexName) {
    if (!MakeIndex({{kSingleTagName, keyExpression, "", false, false}}, indexName)) return false;
    SetIndexTo(indexName);
    return area_.Ordered();
}

bool TTzDbf::Find(std::string_view text) {
    const bool found = Guarded([&] { return Area("Find").FindKey(text, false); });
    Scrolled();
    return found;
}

bool TTzDbf::FindExact(std::string_view text) {
    const bool found = Guarded([&] { return Area("FindExact").FindKey(text, true); });
    Scrolled();
    return found;
}

bool TTzDbf::RebuildProductionIndex(const std::string& file, const std::vector<TTagSpec>& tags) {
    bool canMake = true;
    if (OnBeforeMakeIndex) OnBeforeMakeIndex(file, canMake);
    if (!canMake) {
        area_.File().SetProductionIndexFlag(false);
        return false;
    }
    const std::string caption = "Indexing " + file + "...";
    const bool progress = showProgress_ && OnIndexProgress;
    if (progress) OnIndexProgress(caption, true);
    try {
        area_.MakeIndex(tags, file);
    } catch (...) {
        if (progress) OnIndexProgress(caption, false);
        throw;
    }
    if (progress) OnIndexProgress(caption, false);
    if (OnAfterMakeIndex) OnAfterMakeIndex(file);
    return true;
}

void TTzDbf::OpenOrRecoverProductionIndex(const std::string& file) {
    TDbfFile& table = area_.File();
    std::string fault;
    try {
        TReportingOff quiet;
        area_.SetIndexTo(file);
        return;
    } catch (const EZezudError& e) {
        if (e.Error() == TErrorCode::SharingViolation) throw;
        // Missing or damaged: the records are intact and the table stays usable.
        fault = e.what();
    }
    const bool mayBuild = table.Exclusive() && !table.ReadOnly();
    const std::vector<TTagSpec> tags =
        mayBuild ? RecoverTagSpecs(file, table) : std::vector<TTagSpec>{};
    if (!tags.empty()) {
        area_.MakeIndex(tags, file);
        area_.SetIndexTo(file);
        ShowEngineMessage("The index " + file + " of " + table.DisplayName() +
                          " could not be read (" + fault + ") and has been rebuilt.");
        return;
    }
    ShowEngineMessage("The index " + file + " of " + table.DisplayName() + " cannot be read (" +
                      fault + "): " + ReindexAdvice(table));
}

void TTzDbf::OpenProductionIndex() {
    TDbfFile& table = area_.File();
    const std::string file = ResolveNameCase(WithExtension(table.Path(), "MDX"));
    if (indexList_.empty()) {
        // Only a table that says it has a production index opens one.
        if (table.ProductionIndexFlag() != 0) OpenOrRecoverProductionIndex(file);
        return;
    }
    table.SetProductionIndexFlag(true);
    const std::vector<TTagSpec> tags = ParseIndexList(indexList_);
    // An index another copy is using is opened, not rebuilt under it; a
    // semaphore file nobody uses is removed first.
    const bool inUse = TIndexSemaphore::InUse(table.Path());
    if (!inUse &&
        (createIndex_ == TCreateIndex::ciAlways || createIndex_ == TCreateIndex::ciVerifyHeader))
        FileSystem().Remove(TIndexSemaphore::PathFor(table.Path()));
    bool rebuild = false;
    switch (createIndex_) {
    case TCreateIndex::ciNever: break;
    case TCreateIndex::ciAlways: rebuild = !inUse; break;
    case TCreateIndex::ciNotFound:
        try {
            TReportingOff quiet;
            area_.SetIndexTo(file);
            return;
        } catch (const EZezudError& e) {
            const int code = CodeValue(e.Error());
            if (code != 2 && code != 222 && code != 223) throw;
            rebuild = true;
        }
        break;
    case TCreateIndex::ciVerifyHeader:
        if (inUse) break;
        try {
            TReportingOff quiet;
            TMdxFile existing;
            existing.Open(file, true);
            std::vector<TTagSpec> have;
            for (const TMdxTag& t : existing.Tags())
                have.push_back({t.name, t.expression, t.forExpr, t.descending, t.unique});
            rebuild = !SameIndexList(IndexListOf(have), IndexListOf(tags));
        } catch (const EZezudError&) {
            rebuild = true;
        }
        break;
    }
    if (rebuild && !RebuildProductionIndex(file, tags)) return;
    area_.SetIndexTo(file);
}

void TTzDbf::KeepProductionIndexFit() {
    TDbfFile& table = area_.File();
    const std::string file = area_.Order().Path();
    std::string fault;
    if (area_.Order().FitsTable(table, fault)) return;
    if (table.Exclusive() && !table.ReadOnly()) {
        const std::vector<TTagSpec> tags = area_.Order().TagSpecs();
        area_.CloseIndexes();
        area_.MakeIndex(tags, file);
        area_.SetIndexTo(file);
        ShowEngineMessage("The index " + file + " did not fit " + table.DisplayName() + " (" +
                          fault + ") and has been rebuilt.");
        return;
    }
    // Decided under the index lock: the index does not hold the records, and
    // stays marked so until it is rebuilt, whatever the record count does.
    area_.Order().MarkStale();
    area_.CloseIndexes();
    ShowEngineMessage("The index " + file + " does not fit " + table.DisplayName() + " (" + fault +
                      "): " + ReindexAdvice(table));
}

} // namespace qm::table
