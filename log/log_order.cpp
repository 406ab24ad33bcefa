#include "log/log_order.h"

#include "engine_date.h"

#include <algorithm>
#include <string>

namespace qm {

const LogOrderKey* LogOrderKeyOf(LogOrder order) {
    static const LogOrderKey keys[] = {
        {"mailernum", "mailernum"}, {"sentname0", "name"}, {"rdate", "rdate"}, {"zip", "zip"}};
    switch (order) {
    case LogOrder::MailerNumber: return &keys[0];
    case LogOrder::Name: return &keys[1];
    case LogOrder::Date: return &keys[2];
    case LogOrder::ZipCode: return &keys[3];
    case LogOrder::Record: break;
    }
    return nullptr;
}

namespace {

// A sort key that orders like the stored field: dates as YYYYMMDD (empty dates last), texts
// as they are.
std::string SortKey(const table::TFieldDef& def, const std::string& display) {
    if (def.type != 'D') return display;
    table::TDate d;
    if (table::IsBlankDateText(display) || !table::ParseEngineDate(display, d)) return "99999999";
    char stored[9] = {};
    table::StoreDate(d, stored);
    return std::string(stored, 8);
}

// The order of an index built on the field: the records as the table walks them in key order.
bool IndexOrder(table::TTzDbf& log, const LogOrderKey& key, std::vector<uint32_t>& records) {
    if (!log.IndexOnOne(key.field, key.tag)) return false;
    records.clear();
    for (log.First(); !log.Eof(); log.Next()) records.push_back(log.RecNo());
    return true;
}

// The same order made in memory, when the index cannot be built.
std::vector<uint32_t> SortedOrder(table::TTzDbf& log, const LogOrderKey& key, uint32_t count) {
    const int field = log.FieldIndex(key.field);
    std::vector<uint32_t> records;
    if (field < 0) return records;
    const table::TFieldDef& def = log.FieldDef(field);
    std::vector<std::pair<std::string, uint32_t>> keys;
    keys.reserve(count);
    std::vector<std::string> values;
    bool deleted = false;
    for (uint32_t n = 1; n <= count; ++n) {
        log.PeekRecord(n, values, deleted);
        keys.emplace_back(SortKey(def, values[size_t(field)]), n);
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    records.reserve(keys.size());
    for (const auto& k : keys) records.push_back(k.second);
    return records;
}

} // namespace

LogSequence ApplyLogOrder(table::TTzDbf& log, LogOrder order) {
    LogSequence seq;
    seq.count = log.RecCount();
    const LogOrderKey* key = LogOrderKeyOf(order);
    if (!key || seq.count == 0) return seq;
    if (!IndexOrder(log, *key, seq.records) || seq.records.size() != seq.count)
        seq.records = SortedOrder(log, *key, seq.count);
    return seq;
}

} // namespace qm
