#pragma once
// The orders of the log reports and the sequence of records they give.

#include "tzdbf.h"

#include <cstdint>
#include <vector>

namespace qm {

enum class LogOrder { Record, MailerNumber, Name, Date, ZipCode };

// The field and tag name of an order; nullptr for the record order.
struct LogOrderKey {
    const char* field;
    const char* tag;
};
const LogOrderKey* LogOrderKeyOf(LogOrder order);

// Record numbers in report order. An empty `records` with `count` n is the record order 1..n.
struct LogSequence {
    uint32_t count = 0;
    std::vector<uint32_t> records;
    uint32_t At(uint32_t i) const { return records.empty() ? i + 1 : records[i]; }
};

// The records of the open log in `order`: the record order as printed, or the order of an
// index file built on the order's field in the log's folder (IndexOnOne, named by the tag):
// texts by their bytes, dates by day. Should the index not be built, the same order is made
// in memory.
LogSequence ApplyLogOrder(table::TTzDbf& log, LogOrder order);

} // namespace qm
