#include "mdx_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <numeric>

#include "engine_error.h"
#include "engine_util.h"
#include "index_key.h"

namespace qm::table {
namespace {

constexpr int kMaxDepth = 32;
constexpr uint32_t kBlocksPerPage = kMdxPageSize / kMdxBlockSize;

// Tag header page offsets.
constexpr int kThRoot = 0;
constexpr int kThFormat = 8;
constexpr int kThType = 9;
constexpr int kThKeyLength = 12;
constexpr int kThMaxKeys = 14;
constexpr int kThDateFlag = 16;
constexpr int kThItemLength = 18;
constexpr int kThUnique = 23;
constexpr int kThExpression = 24;
constexpr int kThHasFor = 245;
constexpr int kThFor = 762;
constexpr int kExpressionRoom = 221;

// The engine's stamp in the header's reserved bytes.
constexpr int kStampOffset = 48;
constexpr uint8_t kStampSignature[4] = {'Q', 'M', 'X', 'S'};
constexpr int kStampRecords = kStampOffset + 4;
constexpr int kStampState = kStampOffset + 8;
constexpr int kStampLength = 9;

uint8_t* EntryAt(std::vector<uint8_t>& h, int entry) {
    return h.data() + kMdxTagTableOffset + kMdxTagEntryLength * (entry - 1);
}

void PutDate(uint8_t* p, const TDate& d) {
    p[0] = uint8_t(d.year - 1900);
    p[1] = uint8_t(d.month);
    p[2] = uint8_t(d.day);
}

// Decoded page: keys and pointers (children of an inner page: one more than keys).
struct TNode {
    bool leaf = true;
    std::vector<std::vector<uint8_t>> keys;
    std::vector<uint32_t> refs;
};

// Big-endian load of up to 8 bytes (zeros after `len`): compares as the bytes do.
uint64_t PrefixWord(const uint8_t* p, size_t len) {
    uint64_t w = 0;
    for (size_t i = 0; i < 8; ++i) w = w << 8 | (i < len ? p[i] : 0);
    return w;
}

// A double as an unsigned number of the same order.
uint64_t OrderedBits(double d) {
    uint64_t b;
    std::memcpy(&b, &d, 8);
    return (b >> 63) ? ~b : b | (uint64_t(1) << 63);
}

// The order of the keys (count x keyLength bytes) for the tree: ascending, or
// descending, equal keys in their given order. Each key is sorted by the 16
// bytes after the prefix that all keys share (text keys) or by its value (date
// and numeric keys) held beside its number, so that comparing touches the
// keys themselves only when those are equal.
std::vector<uint32_t> SortedKeyOrder(char type, const std::vector<uint8_t>& keys, int keyLength,
                                     bool descending) {
    struct TSortItem {
        uint64_t hi, lo;
        uint32_t index;
    };
    const size_t kl = size_t(keyLength);
    const size_t n = kl == 0 ? 0 : keys.size() / kl;
    const uint8_t* base = keys.data();
    size_t shared = type == 'C' ? kl : 0;
    for (size_t k = 1; k < n && shared > 0; ++k) {
        size_t i = 0;
        while (i < shared && base[k * kl + i] == base[i]) ++i;
        shared = i;
    }
    std::vector<TSortItem> items(n);
    for (size_t k = 0; k < n; ++k) {
        const uint8_t* key = base + k * kl;
        if (type == 'C') {
            const size_t rest = kl - shared;
            items[k].hi = PrefixWord(key + shared, rest);
            items[k].lo = rest > 8 ? PrefixWord(key + shared + 8, rest - 8) : 0;
        } else {
            items[k].hi = OrderedBits(type == 'D' ? DecodeDateKey(key) : DecodeNumericKey(key));
            items[k].lo = 0;
        }
        if (descending) {
            items[k].hi = ~items[k].hi;
            items[k].lo = ~items[k].lo;
        }
        items[k].index = uint32_t(k);
    }
    const size_t tail = type == 'C' && kl - shared > 16 ? shared + 16 : kl;
    std::sort(items.begin(), items.end(), [&](const TSortItem& a, const TSortItem& b) {
        if (a.hi != b.hi) return a.hi < b.hi;
        if (a.lo != b.lo) return a.lo < b.lo;
        if (tail < kl) {
            const int c =
                std::memcmp(base + a.index * kl + tail, base + b.index * kl + tail, kl - tail);
            if (c != 0) return descending ? c > 0 : c < 0;
        }
        return a.index < b.index;
    });
    std::vector<uint32_t> order(n);
    for (size_t k = 0; k < n; ++k) order[k] = items[k].index;
    return order;
}

} // namespace

int TMdxFile::Cmp(const TMdxTag& t, const uint8_t* a, const uint8_t* b, int len) const {
    const int c = CompareKeys(t.type, a, b, len);
    return t.descending ? -c : c;
}

int TMdxFile::Compare(int tag, const uint8_t* a, const uint8_t* b) const {
    const TMdxTag& t = tags_.at(size_t(tag));
    return Cmp(t, a, b, t.keyLength);
}

void TMdxFile::ReadAt(void* buf, size_t len, off_t offset) {
    const int rc = ReadAll(*file_, buf, len, offset);
    if (rc == -ENODATA)
        Fail(TErrorCode::CorruptedIndex, "Corrupted index file: " + path_ + " [SeekAndRead]");
    if (rc < 0)
        Fail(CodeFromErrno(-rc, TIoKind::Read),
             "Error reading index file: " + path_ + " [SeekAndRead]");
}

void TMdxFile::WriteAt(const void* buf, size_t len, off_t offset) {
    const int rc = WriteAll(*file_, buf, len, offset);
    if (rc < 0)
        Fail(CodeFromErrno(-rc, TIoKind::Write),
             "Error writing index file: " + path_ + " [SeekAndWrite]");
}

void TMdxFile::Create(const std::string& path, const std::string& tableBaseName,
                      const TDate& today) {
    int err = 0;
    walk_.tag = -1;
    file_ = FileSystem().Open(path, TOpenMode::CreateTruncate, err);
    if (!file_) Fail(CodeFromErrno(err, TIoKind::Open), "Cannot create index file: " + path);
    path_ = path;
    readOnly_ = false;
    tags_.clear();
    std::fill(header_.begin(), header_.end(), 0);
    uint8_t* h = header_.data();
    h[0] = 2;
    PutDate(h + 1, today);
    std::memcpy(h + 4, tableBaseName.data(), std::min<size_t>(tableBaseName.size(), 16));
    Put16(h + 20, uint16_t(kBlocksPerPage));
    Put16(h + 22, uint16_t(kMdxPageSize));
    h[24] = 1;
    h[25] = uint8_t(kMdxTagEntryCount);
    h[26] = uint8_t(kMdxTagEntryLength);
    Put32(h + 32, kMdxHeaderSize / kMdxBlockSize);
    PutDate(h + 44, today);
    WriteHeader();
}

void TMdxFile::Open(const std::string& path, bool readOnly) {
    walk_.tag = -1;
    int err = 0;
    file_ = FileSystem().Open(path, readOnly ? TOpenMode::ReadOnly : TOpenMode::ReadWrite, err);
    if (!file_) Fail(CodeFromErrno(err, TIoKind::Open), "SetIndexTo(" + path + ")");
    path_ = path;
    readOnly_ = readOnly;
    try {
        Reload();
    } catch (...) {
        file_.reset();
        throw;
    }
}

void TMdxFile::Reload() {
    walk_.tag = -1;
    const off_t size = file_->Size();
    if (size >= 0 && size < kMdxHeaderSize)
        Fail(TErrorCode::CorruptedIndex, "Corrupted index file: " + path_ + " [SetIndexTo]");
    ReadAt(header_.data(), kMdxHeaderSize, 0);
    if (header_[0] != 2)
        Fail(TErrorCode::IndexVersionMismatch,
             "Index version mismatch: " + path_ + " [SetIndexTo]");
    ReadTags();
}

void TMdxFile::ReadTags() {
    const uint8_t* h = header_.data();
    const auto corrupt = [&](const std::string& what) {
        Fail(TErrorCode::CorruptedIndex,
             "Corrupted index file: " + path_ + " (" + what + ") [SetIndexTo]");
    };
    if (Get16(h + 20) != kBlocksPerPage || Get16(h + 22) != kMdxPageSize) corrupt("page size");
    const int inUse = h[28];
    if (inUse > kMdxMaxTags) corrupt("tag count");
    const off_t size = file_->Size();
    tags_.clear();
    for (int e = 1; e <= inUse; ++e) {
        const uint8_t* entry = EntryAt(header_, e);
        TMdxTag t;
        t.entry = e;
        t.headerBlock = Get32(entry);
        const char* name = reinterpret_cast<const char*>(entry + 4);
        t.name.assign(name, strnlen(name, 11));
        if (t.headerBlock < kMdxHeaderSize / kMdxBlockSize ||
            off_t(t.headerBlock) * kMdxBlockSize + kMdxPageSize > size)
            corrupt("tag " + t.name);
        uint8_t th[kMdxPageSize];
        ReadAt(th, sizeof th, off_t(t.headerBlock) * kMdxBlockSize);
        t.type = char(th[kThType]);
        t.keyLength = Get16(th + kThKeyLength);
        t.itemLength = Get16(th + kThItemLength);
        t.descending = (th[kThFormat] & 0x08) != 0;
        t.unique = th[kThUnique] != 0;
        const char* expr = reinterpret_cast<const char*>(th + kThExpression);
        t.expression.assign(expr, strnlen(expr, kExpressionRoom));
        if (th[kThHasFor]) {
            const char* f = reinterpret_cast<const char*>(th + kThFor);
            t.forExpr.assign(f, strnlen(f, kExpressionRoom));
        }
        if (t.keyLength < 1 || t.keyLength > kMaxKeyLength ||
            t.itemLength != KeyItemLength(t.keyLength) ||
            (t.type != 'C' && t.type != 'D' && t.type != 'N' && t.type != 'F') ||
            (t.type == 'D' && t.keyLength != kDateKeyLength) ||
            ((t.type == 'N' || t.type == 'F') && t.keyLength != kNumericKeyLength))
            corrupt("tag " + t.name);
        t.maxKeys = MaxKeysPerPage(t.keyLength);
        tags_.push_back(std::move(t));
    }
}

TIndexStamp TMdxFile::Stamp() const {
    TIndexStamp s;
    const uint8_t* h = header_.data();
    s.present = std::memcmp(h + kStampOffset, kStampSignature, 4) == 0;
    if (!s.present) return s;
    s.records = Get32(h + kStampRecords);
    s.stale = h[kStampState] != 0;
    return s;
}

void TMdxFile::WriteStamp(uint32_t records, bool stale) {
    uint8_t* h = header_.data();
    std::memcpy(h + kStampOffset, kStampSignature, 4);
    Put32(h + kStampRecords, records);
    h[kStampState] = stale ? 1 : 0;
    WriteAt(h + kStampOffset, kStampLength, kStampOffset);
}

void TMdxFile::WriteHeader() {
    WriteAt(header_.data(), kMdxHeaderSize, 0);
}

uint32_t TMdxFile::AllocateBlocks(uint32_t blocks) {
    const uint32_t first = Get32(header_.data() + 32);
    Put32(header_.data() + 32, first + blocks);
    return first;
}

uint32_t TMdxFile::AllocatePage() {
    // The count reaches the file before the page is used: a block is never handed out twice.
    const uint32_t block = AllocateBlocks(kBlocksPerPage);
    WriteAt(header_.data() + 32, 4, 32);
    return block;
}

void TMdxFile::WriteThreads() {
    // The name tree: entry 1 is the root, each later entry hangs below the
    // entry whose name it follows or precedes (names compared on 11 bytes).
    const int inUse = header_[28];
    for (int e = 1; e <= inUse; ++e) {
        uint8_t* p = EntryAt(header_, e);
        p[16] = p[17] = p[18] = 0;
    }
    for (int e = 2; e <= inUse; ++e) {
        const uint8_t* name = EntryAt(header_, e) + 4;
        int at = 1;
        for (;;) {
            uint8_t* node = EntryAt(header_, at);
            const bool left = std::memcmp(name, node + 4, 11) < 0;
            const int child = left ? node[16] : node[17];
            if (child == 0) {
                (left ? node[16] : node[17]) = uint8_t(e);
                EntryAt(header_, e)[18] = uint8_t(at);
                break;
            }
            at = child;
        }
    }
}

uint32_t BuildTagPages(const std::vector<const uint8_t*>& keys, const std::vector<uint32_t>& recNos,
                       int keyLength, uint32_t firstBlock, std::vector<uint8_t>& out) {
    const int itemLength = KeyItemLength(keyLength);
    const size_t maxKeys = size_t(MaxKeysPerPage(keyLength));
    uint32_t next = firstBlock;
    // Room for every page of the tree and the tag header page after it, at once.
    size_t total = 0;
    for (size_t pages = std::max<size_t>(1, (keys.size() + maxKeys - 1) / maxKeys);;
         pages = (pages + maxKeys) / (maxKeys + 1)) {
        total += pages;
        if (pages == 1) break;
    }
    out.reserve(out.size() + (total + 1) * kMdxPageSize);
    const auto newPage = [&]() -> uint8_t* {
        out.resize(out.size() + kMdxPageSize, 0);
        next += kBlocksPerPage;
        return out.data() + out.size() - kMdxPageSize;
    };
    // Leaves, full but the last; each level keeps (block, last key) of its pages.
    std::vector<std::pair<uint32_t, const uint8_t*>> level;
    const size_t n = keys.size();
    size_t i = 0;
    do {
        const uint32_t block = next;
        uint8_t* p = newPage();
        const size_t take = std::min(maxKeys, n - i);
        Put32(p, uint32_t(take));
        for (size_t k = 0; k < take; ++k, ++i) {
            uint8_t* item = p + 8 + k * size_t(itemLength);
            Put32(item, recNos[i]);
            std::memcpy(item + 4, keys[i], size_t(keyLength));
        }
        level.emplace_back(block, take ? keys[i - 1] : nullptr);
    } while (i < n);
    // Inner levels: up to maxKeys + 1 children a page, spread evenly so that
    // every page has at least two.
    while (level.size() > 1) {
        const size_t pages = (level.size() + maxKeys) / (maxKeys + 1);
        std::vector<std::pair<uint32_t, const uint8_t*>> upper;
        size_t c = 0;
        for (size_t pg = 0; pg < pages; ++pg) {
            const size_t take = (level.size() - c) / (pages - pg);
            const uint32_t block = next;
            uint8_t* p = newPage();
            Put32(p, uint32_t(take - 1));
            for (size_t k = 0; k < take; ++k) {
                uint8_t* item = p + 8 + k * size_t(itemLength);
                Put32(item, level[c + k].first);
                if (k + 1 < take) std::memcpy(item + 4, level[c + k].second, size_t(keyLength));
            }
            upper.emplace_back(block, level[c + take - 1].second);
            c += take;
        }
        level = std::move(upper);
    }
    return level[0].first;
}

void TMdxFile::AddTag(const TTagSpec& spec, char type, int keyLength,
                      const std::vector<uint8_t>& keys, const std::vector<uint32_t>& recNos) {
    const std::string ctx = " [AddIndexTag()]";
    walk_.tag = -1;
    if (int(tags_.size()) >= kMdxMaxTags)
        Fail(TErrorCode::CorruptedIndex, "Too many tags: " + path_ + ctx);
    if (keyLength < 1 || keyLength > kMaxKeyLength)
        Fail(TErrorCode::IncorrectKeyLength, "Incorrect key length: Must be 1 to 100." + ctx);
    TMdxTag t;
    t.entry = int(tags_.size()) + 1;
    t.name = spec.name.substr(0, 10);
    std::transform(t.name.begin(), t.name.end(), t.name.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    t.type = type;
    t.keyLength = keyLength;
    t.itemLength = KeyItemLength(keyLength);
    t.maxKeys = MaxKeysPerPage(keyLength);
    t.descending = spec.descending;
    t.unique = spec.unique;
    t.expression = spec.keyExpr;
    t.forExpr = spec.forExpr;

    // Key order; equal keys in record order.
    const size_t n = recNos.size();
    const std::vector<uint32_t> order = SortedKeyOrder(type, keys, keyLength, t.descending);
    const uint8_t* base = keys.data();
    const size_t kl = size_t(keyLength);
    std::vector<const uint8_t*> sortedKeys;
    std::vector<uint32_t> sortedRecs;
    sortedKeys.reserve(n);
    sortedRecs.reserve(n);
    for (uint32_t k : order) {
        const uint8_t* key = base + k * kl;
        if (t.unique && !sortedKeys.empty() && Cmp(t, sortedKeys.back(), key, keyLength) == 0)
            continue; // a unique tag keeps the first record of a key
        sortedKeys.push_back(key);
        sortedRecs.push_back(recNos[k]);
    }

    std::vector<uint8_t> pages;
    const uint32_t first = Get32(header_.data() + 32);
    const uint32_t root = BuildTagPages(sortedKeys, sortedRecs, keyLength, first, pages);
    // The tag header page follows the tree.
    t.headerBlock = first + uint32_t(pages.size() / kMdxBlockSize);
    pages.resize(pages.size() + kMdxPageSize, 0);
    uint8_t* th = pages.data() + pages.size() - kMdxPageSize;
    Put32(th + kThRoot, root);
    th[kThFormat] = uint8_t(0x10 | (t.descending ? 0x08 : 0) | (t.unique ? 0x40 : 0));
    th[kThType] = uint8_t(type);
    Put16(th + kThKeyLength, uint16_t(keyLength));
    Put16(th + kThMaxKeys, uint16_t(t.maxKeys));
    Put16(th + kThDateFlag, type == 'D' ? 1 : 0);
    Put16(th + kThItemLength, uint16_t(t.itemLength));
    th[kThUnique] = t.unique ? 1 : 0;
    std::memcpy(th + kThExpression, t.expression.data(),
                std::min<size_t>(t.expression.size(), kExpressionRoom - 1));
    if (!t.forExpr.empty()) {
        th[kThHasFor] = 1;
        std::memcpy(th + kThFor, t.forExpr.data(),
                    std::min<size_t>(t.forExpr.size(), kExpressionRoom - 1));
    }
    WriteAt(pages.data(), pages.size(), off_t(first) * kMdxBlockSize);
    AllocateBlocks(uint32_t(pages.size() / kMdxBlockSize));

    uint8_t* entry = EntryAt(header_, t.entry);
    std::memset(entry, 0, kMdxTagEntryLength);
    Put32(entry, t.headerBlock);
    std::memcpy(entry + 4, t.name.data(), t.name.size());
    entry[19] = 2;
    entry[20] = uint8_t(type);
    header_[28] = uint8_t(t.entry);
    WriteThreads();
    WriteHeader();
    tags_.push_back(std::move(t));
}

// ---- pages

uint32_t TMdxFile::RootBlock(const TMdxTag& t) {
    uint8_t b[4];
    ReadAt(b, 4, off_t(t.headerBlock) * kMdxBlockSize + kThRoot);
    return Get32(b);
}

void TMdxFile::SetRootBlock(const TMdxTag& t, uint32_t block) {
    uint8_t b[4];
    Put32(b, block);
    WriteAt(b, 4, off_t(t.headerBlock) * kMdxBlockSize + kThRoot);
}

std::shared_ptr<TMdxFile::TPage> TMdxFile::ReadPage(const TMdxTag& t, uint32_t block) {
    auto p = std::make_shared<TPage>();
    p->block = block;
    if (block < kMdxHeaderSize / kMdxBlockSize)
        Fail(TErrorCode::CorruptedIndex, "Corrupted index file: " + path_ + " (page " +
                                             std::to_string(block) + ") [SeekAndRead]");
    ReadAt(p->bytes, kMdxPageSize, off_t(block) * kMdxBlockSize);
    if (Get32(p->bytes) > uint32_t(t.maxKeys))
        Fail(TErrorCode::CorruptedIndex, "Corrupted index file: " + path_ + " (page " +
                                             std::to_string(block) + ") [SeekAndRead]");
    return p;
}

void TMdxFile::WritePage(const TPage& p) {
    WriteAt(p.bytes, kMdxPageSize, off_t(p.block) * kMdxBlockSize);
}

namespace {

int Count(const uint8_t* page) {
    return int(Get32(page));
}
const uint8_t* Item(const uint8_t* page, int itemLength, int i) {
    return page + 8 + size_t(i) * size_t(itemLength);
}
bool IsLeaf(const uint8_t* page, int itemLength) {
    return Get32(Item(page, itemLength, Count(page))) == 0;
}

TNode Decode(const uint8_t* page, int itemLength, int keyLength) {
    TNode n;
    const int count = Count(page);
    n.leaf = IsLeaf(page, itemLength);
    for (int i = 0; i < count; ++i) {
        const uint8_t* it = Item(page, itemLength, i);
        n.refs.push_back(Get32(it));
        n.keys.emplace_back(it + 4, it + 4 + keyLength);
    }
    if (!n.leaf) n.refs.push_back(Get32(Item(page, itemLength, count)));
    return n;
}

void Encode(const TNode& n, int itemLength, int keyLength, uint8_t* page) {
    std::memset(page, 0, kMdxPageSize);
    Put32(page, uint32_t(n.keys.size()));
    for (size_t i = 0; i < n.refs.size(); ++i) {
        uint8_t* it = page + 8 + i * size_t(itemLength);
        Put32(it, n.refs[i]);
        if (i < n.keys.size()) std::memcpy(it + 4, n.keys[i].data(), size_t(keyLength));
    }
}

} // namespace

TMdxFile::TPath TMdxFile::Descend(const TMdxTag& t, const uint8_t* key, int len, bool last) {
    TPath path;
    uint32_t block = RootBlock(t);
    for (;;) {
        if (int(path.size()) >= kMaxDepth)
            Fail(TErrorCode::CorruptedIndex,
                 "Corrupted index file: " + path_ + " (depth) [SeekAndRead]");
        auto page = ReadPage(t, block);
        const uint8_t* b = page->bytes;
        const int n = Count(b);
        const bool leaf = IsLeaf(b, t.itemLength);
        int idx = 0;
        if (last) {
            idx = leaf ? n - 1 : n;
        } else if (key) {
            while (idx < n && Cmp(t, Item(b, t.itemLength, idx) + 4, key, len) < 0) ++idx;
        }
        path.push_back({page, idx});
        if (leaf) return path;
        block = Get32(Item(b, t.itemLength, idx));
    }
}

void TMdxFile::DescendEdge(const TMdxTag& t, uint32_t block, bool last, TPath& path) {
    for (;;) {
        if (int(path.size()) >= kMaxDepth)
            Fail(TErrorCode::CorruptedIndex,
                 "Corrupted index file: " + path_ + " (depth) [SeekAndRead]");
        auto page = ReadPage(t, block);
        const int n = Count(page->bytes);
        const bool leaf = IsLeaf(page->bytes, t.itemLength);
        const int idx = !last ? 0 : leaf ? n - 1 : n;
        path.push_back({page, idx});
        if (leaf) return;
        block = Get32(Item(page->bytes, t.itemLength, idx));
    }
}

bool TMdxFile::Forward(const TMdxTag& t, TPath& path) {
    while (path.back().index >= Count(path.back().page->bytes)) {
        // Past the end of this leaf: up to the first ancestor with a next child.
        size_t up = path.size() - 1;
        for (;;) {
            if (up == 0) return false;
            --up;
            TLevel& lv = path[up];
            if (lv.index < Count(lv.page->bytes)) {
                ++lv.index;
                break;
            }
        }
        path.resize(up + 1);
        DescendEdge(t, Get32(Item(path.back().page->bytes, t.itemLength, path.back().index)), false,
                    path);
    }
    return true;
}

bool TMdxFile::Backward(const TMdxTag& t, TPath& path) {
    while (path.back().index < 0) {
        size_t up = path.size() - 1;
        for (;;) {
            if (up == 0) return false;
            --up;
            TLevel& lv = path[up];
            if (lv.index > 0) {
                --lv.index;
                break;
            }
        }
        path.resize(up + 1);
        DescendEdge(t, Get32(Item(path.back().page->bytes, t.itemLength, path.back().index)), true,
                    path);
    }
    return true;
}

bool TMdxFile::Advance(const TMdxTag& t, TPath& path) {
    ++path.back().index;
    return Forward(t, path);
}

bool TMdxFile::Retreat(const TMdxTag& t, TPath& path) {
    --path.back().index;
    return Backward(t, path);
}

void TMdxFile::ItemAt(const TMdxTag& t, const TPath& path, TMdxItem& out) const {
    const uint8_t* it = Item(path.back().page->bytes, t.itemLength, path.back().index);
    out.recNo = Get32(it);
    out.key.assign(it + 4, it + 4 + t.keyLength);
}

bool TMdxFile::LocateExact(const TMdxTag& t, const uint8_t* key, uint32_t recNo, TPath& path) {
    path = Descend(t, key, t.keyLength, false);
    while (Forward(t, path)) {
        const uint8_t* it = Item(path.back().page->bytes, t.itemLength, path.back().index);
        if (Cmp(t, it + 4, key, t.keyLength) != 0) return false;
        if (Get32(it) == recNo) return true;
        ++path.back().index;
    }
    return false;
}

void TMdxFile::Remember(int tag, const TPath& path) {
    walk_.tag = tag;
    walk_.index = path.back().index;
    std::memcpy(walk_.bytes, path.back().page->bytes, kMdxPageSize);
}

bool TMdxFile::StepInPage(int tag, const uint8_t* fromKey, uint32_t fromRec, bool forward,
                          TMdxItem& out) {
    if (walk_.tag != tag) return false;
    const TMdxTag& t = tags_[size_t(tag)];
    const uint8_t* b = walk_.bytes;
    const int n = Count(b);
    const int to = forward ? walk_.index + 1 : walk_.index - 1;
    if (walk_.index < 0 || walk_.index >= n || to < 0 || to >= n) return false;
    const uint8_t* it = Item(b, t.itemLength, walk_.index);
    if (Get32(it) != fromRec || Cmp(t, it + 4, fromKey, t.keyLength) != 0) return false;
    walk_.index = to;
    it = Item(b, t.itemLength, to);
    out.recNo = Get32(it);
    out.key.assign(it + 4, it + 4 + t.keyLength);
    return true;
}

bool TMdxFile::First(int tag, TMdxItem& out) {
    const TMdxTag& t = tags_.at(size_t(tag));
    TPath path = Descend(t, nullptr, 0, false);
    if (!Forward(t, path)) return false;
    ItemAt(t, path, out);
    Remember(tag, path);
    return true;
}

bool TMdxFile::Last(int tag, TMdxItem& out) {
    const TMdxTag& t = tags_.at(size_t(tag));
    TPath path = Descend(t, nullptr, 0, true);
    if (!Backward(t, path)) return false;
    ItemAt(t, path, out);
    Remember(tag, path);
    return true;
}

bool TMdxFile::Next(int tag, const uint8_t* fromKey, uint32_t fromRec, TMdxItem& out) {
    const TMdxTag& t = tags_.at(size_t(tag));
    TPath path;
    // When `from` is gone, LocateExact stops at the first greater key.
    if (LocateExact(t, fromKey, fromRec, path)) {
        if (!Advance(t, path)) return false;
    } else if (!Forward(t, path)) {
        return false;
    }
    ItemAt(t, path, out);
    Remember(tag, path);
    return true;
}

bool TMdxFile::Prior(int tag, const uint8_t* fromKey, uint32_t fromRec, TMdxItem& out) {
    const TMdxTag& t = tags_.at(size_t(tag));
    TPath path;
    if (!LocateExact(t, fromKey, fromRec, path)) path = Descend(t, fromKey, t.keyLength, false);
    if (!Retreat(t, path)) return false;
    ItemAt(t, path, out);
    Remember(tag, path);
    return true;
}

bool TMdxFile::Seek(int tag, const uint8_t* key, int len, TMdxItem& out) {
    const TMdxTag& t = tags_.at(size_t(tag));
    len = std::clamp(len, 0, t.keyLength);
    TPath path = Descend(t, key, len, false);
    if (!Forward(t, path)) return false;
    ItemAt(t, path, out);
    Remember(tag, path);
    return true;
}

int TMdxFile::Depth(int tag) {
    const TMdxTag& t = tags_.at(size_t(tag));
    return int(Descend(t, nullptr, 0, false).size());
}

void TMdxFile::InsertKey(int tag, const uint8_t* key, uint32_t recNo) {
    const TMdxTag& t = tags_.at(size_t(tag));
    walk_.tag = -1;
    // Another copy may have allocated blocks since: take the count afresh.
    ReadAt(header_.data() + 32, 4, 32);
    TPath path = Descend(t, key, t.keyLength, false);
    {
        // Within the leaf: after the equal keys of lower records.
        TLevel& leaf = path.back();
        const uint8_t* b = leaf.page->bytes;
        const int n = Count(b);
        int idx = leaf.index;
        while (idx < n) {
            const uint8_t* it = Item(b, t.itemLength, idx);
            const int c = Cmp(t, it + 4, key, t.keyLength);
            if (c > 0 || (c == 0 && Get32(it) > recNo)) break;
            if (c == 0 && t.unique) return; // a unique tag keeps the first record of a key
            ++idx;
        }
        leaf.index = idx;
    }
    std::vector<uint8_t> carryKey(key, key + t.keyLength);
    uint32_t carryRef = recNo;
    uint32_t newRight = 0; // set once a page has split
    for (int level = int(path.size()) - 1; level >= 0; --level) {
        TPage& page = *path[size_t(level)].page;
        const int idx = path[size_t(level)].index;
        TNode node = Decode(page.bytes, t.itemLength, t.keyLength);
        if (node.leaf) {
            node.keys.insert(node.keys.begin() + idx, carryKey);
            node.refs.insert(node.refs.begin() + idx, carryRef);
        } else {
            // The child at idx split into itself (keys up to carryKey) and newRight.
            node.keys.insert(node.keys.begin() + idx, carryKey);
            node.refs.insert(node.refs.begin() + idx + 1, newRight);
        }
        if (int(node.keys.size()) <= t.maxKeys) {
            Encode(node, t.itemLength, t.keyLength, page.bytes);
            WritePage(page);
            return;
        }
        TNode left, right;
        left.leaf = right.leaf = node.leaf;
        const size_t total = node.keys.size();
        if (node.leaf) {
            const size_t half = (total + 1) / 2;
            left.keys.assign(node.keys.begin(), node.keys.begin() + half);
            left.refs.assign(node.refs.begin(), node.refs.begin() + half);
            right.keys.assign(node.keys.begin() + half, node.keys.end());
            right.refs.assign(node.refs.begin() + half, node.refs.end());
            carryKey = left.keys.back();
        } else {
            const size_t m = total / 2;
            left.keys.assign(node.keys.begin(), node.keys.begin() + m);
            left.refs.assign(node.refs.begin(), node.refs.begin() + m + 1);
            right.keys.assign(node.keys.begin() + m + 1, node.keys.end());
            right.refs.assign(node.refs.begin() + m + 1, node.refs.end());
            carryKey = node.keys[m];
        }
        TPage rightPage;
        rightPage.block = AllocatePage();
        Encode(right, t.itemLength, t.keyLength, rightPage.bytes);
        WritePage(rightPage);
        Encode(left, t.itemLength, t.keyLength, page.bytes);
        WritePage(page);
        newRight = rightPage.block;
        carryRef = page.block;
    }
    // The root split: a new root above the two halves.
    TNode root;
    root.leaf = false;
    root.keys.push_back(carryKey);
    root.refs = {carryRef, newRight};
    TPage rootPage;
    rootPage.block = AllocatePage();
    Encode(root, t.itemLength, t.keyLength, rootPage.bytes);
    WritePage(rootPage);
    SetRootBlock(t, rootPage.block);
}

bool TMdxFile::RemoveKey(int tag, const uint8_t* key, uint32_t recNo) {
    const TMdxTag& t = tags_.at(size_t(tag));
    walk_.tag = -1;
    TPath path;
    if (!LocateExact(t, key, recNo, path)) return false;
    TPage& page = *path.back().page;
    TNode node = Decode(page.bytes, t.itemLength, t.keyLength);
    node.keys.erase(node.keys.begin() + path.back().index);
    node.refs.erase(node.refs.begin() + path.back().index);
    Encode(node, t.itemLength, t.keyLength, page.bytes);
    WritePage(page);
    return true;
}

} // namespace qm::table
