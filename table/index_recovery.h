// The tag definitions of a table's production index when the index file
// cannot be read. The index file is their only full record; the table's field
// descriptors keep, as dBase does, which fields have a tag named after them
// on the field itself, and such tags are made again from those marks.
#pragma once

#include <string>
#include <vector>

#include "dbf_file.h"
#include "mdx_file.h"

namespace qm::table {

// "<table>.MDX" as it is spelt in the table's folder.
std::string ProductionIndexName(const TDbfFile& table);
bool IsProductionIndex(const std::string& mdxPath, const TDbfFile& table);

// The tags of the index file when it opens; else one ascending tag on each
// field the table marks as tagged; empty when there is neither.
std::vector<TTagSpec> RecoverTagSpecs(const std::string& mdxPath, const TDbfFile& table);

// Marks each field that has a plain tag of its own name (ascending, not
// unique, no condition) and clears the mark of the others.
void MarkTaggedFields(TDbfFile& table, const std::vector<TTagSpec>& tags);

} // namespace qm::table
