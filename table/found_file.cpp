#include "found_file.h"

#include <algorithm>
#include <cerrno>

namespace qm::table {

namespace {

uint32_t Le16(const uint8_t* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8;
}
uint32_t Le32(const uint8_t* b) {
    return Le16(b) | Le16(b + 2) << 16;
}
uint32_t Be16(const uint8_t* b) {
    return uint32_t(b[0]) << 8 | uint32_t(b[1]);
}
uint32_t Be32(const uint8_t* b) {
    return Be16(b) << 16 | Be16(b + 2);
}

// The checks every found file passes; fills `st`.
std::string FileFault(IFile& f, const TFoundFileRules& rules, TFileStat& st) {
    const int r = f.Stat(st);
    if (r == -ENOSYS) {
        // A file system that cannot tell (a test's): judged by its bytes only.
        const off_t size = f.Size();
        if (size < 0) return "cannot be read";
        st = TFileStat{};
        st.regular = true;
        st.links = 1;
        st.size = size;
        return {};
    }
    if (r < 0) return "cannot be read";
    if (!st.regular) return "is not a regular file";
    if (st.links != 1) return "has " + std::to_string(st.links) + " names";
    if (st.id.dev != rules.device) return "is on another device";
    if (std::find(rules.owners.begin(), rules.owners.end(), st.owner) == rules.owners.end())
        return "belongs to user " + std::to_string(st.owner);
    return {};
}

} // namespace

std::string TableCopyFault(IFile& f, const TFoundFileRules& rules) {
    TFileStat st;
    if (std::string fault = FileFault(f, rules, st); !fault.empty()) return fault;
    uint8_t h[32];
    if (st.size < 32 || ReadAll(f, h, sizeof h, 0) < 0) return "has no dBase header";
    uint64_t headerLength = 0, recordLength = 0, count = 0;
    switch (h[0]) {
    case 0x02:
        headerLength = 521;
        recordLength = Le16(h + 6);
        count = Le16(h + 1);
        break;
    case 0x03:
    case 0x04:
    case 0x83:
    case 0x8B:
    case 0x8C:
    case 0xF5:
        headerLength = Le16(h + 8);
        recordLength = Le16(h + 10);
        count = Le32(h + 4);
        break;
    default: return "has no dBase header";
    }
    // A pack writes the records it counts and the end-of-file byte.
    const uint64_t data = headerLength + count * recordLength;
    if (recordLength == 0 || headerLength < 32 || uint64_t(st.size) < data ||
        uint64_t(st.size) > data + 1)
        return "has " + std::to_string(st.size) + " bytes where its header gives " +
               std::to_string(count) + " records of " + std::to_string(recordLength);
    return {};
}

std::string MemoCopyFault(IFile& f, uint8_t kind, const TFoundFileRules& rules) {
    TFileStat st;
    if (std::string fault = FileFault(f, rules, st); !fault.empty()) return fault;
    uint8_t h[24];
    if (st.size < 24 || ReadAll(f, h, sizeof h, 0) < 0) return "has no memo header";
    uint64_t next = 0, blockSize = 0;
    if (kind == 0xF5) {
        next = Be32(h);
        blockSize = Be16(h + 6);
    } else {
        next = Le32(h);
        blockSize = kind == 0x83 ? 0 : Le16(h + 20);
    }
    if (blockSize == 0) blockSize = 512;
    // The copy ends within the block before its next free one, or (the oldest
    // layout's end mark) just past it.
    const uint64_t size = uint64_t(st.size);
    if (next == 0 || size <= (next - 1) * blockSize || size > (next + 1) * blockSize)
        return "has " + std::to_string(size) + " bytes where its memo header gives " +
               std::to_string(next) + " blocks of " + std::to_string(blockSize);
    return {};
}

bool StillNamed(IFile& f, const std::string& path) {
    TFileId open, named;
    const int r = f.Id(open);
    if (r == -ENOSYS) return true;
    return r == 0 && FileSystem().EntryId(path, named) == 0 && open == named;
}

} // namespace qm::table
