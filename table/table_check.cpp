#include "table_check.h"

#include <climits>
#include <cstdlib>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "dbf_file.h"
#include "engine_date.h"
#include "engine_error.h"
#include "engine_util.h"
#include "index_key.h"
#include "mdx_file.h"
#include "memo_file.h"

namespace qm::table {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// [+-] digits [. digits], at least one digit; F also takes an exponent.
bool ValidNumber(std::string_view s, bool exponent) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (exponent && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
        size_t e = 0;
        while (i < s.size() && IsDigit(s[i])) ++i, ++e;
        if (e == 0) return false;
    }
    return i == s.size();
}

std::string Hex(unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", c);
    return buf;
}

std::string Printable(const char* p, int width) {
    std::string out;
    for (int i = 0; i < width; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        out += (c >= 0x20 && c < 0x7F) ? std::string(1, char(c)) : "\\x" + Hex(c).substr(2);
    }
    return out;
}

} // namespace

bool ValidFieldBytes(char type, const char* bytes, int width) {
    const std::string_view s(bytes, size_t(std::max(width, 0)));
    const std::string_view t = TrimView(s);
    switch (type) {
    case 'N':
    case 'F':
        if (t.empty()) return true;
        if (s.find_first_not_of('*') == std::string_view::npos) return true; // overflow mark
        return ValidNumber(t, type == 'F');
    case 'D': {
        if (t.empty()) return true;
        if (width != 8) return false;
        for (char c : s)
            if (!IsDigit(c)) return false;
        const TDate d = LoadDate(bytes);
        return !d.Empty();
    }
    case 'L':
        return width >= 1 && std::string_view("TtFfYyNn? ").find(s[0]) != std::string_view::npos &&
               TrimView(s.substr(1)).empty();
    case 'M': // a block number; negative from some writers of the oldest layout
    {
        std::string_view digits = t;
        if (!digits.empty() && digits[0] == '-') digits.remove_prefix(1);
        if (t.empty()) return true;
        return !digits.empty() && std::all_of(digits.begin(), digits.end(), IsDigit);
    }
    default: return true;
    }
}

bool CheckIndexFile(const std::string& mdxPath, TDbfFile& table, uint32_t records, bool keys,
                    const std::function<void(const std::string&)>& add) {
    bool sound = true;
    auto fault = [&](const std::string& text) {
        sound = false;
        add("index " + FileNamePart(mdxPath) + ": " + text);
    };
    TMdxFile mdx;
    try {
        mdx.Open(mdxPath, true);
    } catch (const EZezudError& e) {
        fault(e.what());
        return false;
    }
    int err = 0;
    std::unique_ptr<IFile> file = FileSystem().Open(mdxPath, TOpenMode::ReadOnly, err);
    if (!file) {
        fault("cannot be opened");
        return false;
    }
    const off_t size = file->Size();
    // The records' keys, built once for every tag that binds to the table.
    std::vector<char> raw(size_t(table.RecordLength()));
    std::vector<bool> deleted;
    if (keys) {
        deleted.resize(size_t(records) + 1);
        for (uint32_t n = 1; n <= records; ++n) {
            table.ReadRecordAhead(n, raw.data());
            deleted[n] = raw[0] == '*';
        }
    }
    for (const TMdxTag& t : mdx.Tags()) {
        const std::string tag = "tag " + t.name + ": ";
        TKeyExpr expr;
        bool bound = keys;
        if (keys) {
            try {
                expr = BindKeyExpr(t.expression, table.Fields(), "");
                bound = expr.length == t.keyLength;
            } catch (const EZezudError&) {
                bound = false;
            }
            if (!bound) fault(tag + "key " + t.expression + " does not fit the table's fields");
        }
        std::vector<uint8_t> wanted;
        if (bound) {
            wanted.resize(size_t(records) * size_t(t.keyLength));
            for (uint32_t n = 1; n <= records; ++n) {
                table.ReadRecordAhead(n, raw.data());
                expr.Build(raw.data(), wanted.data() + size_t(n - 1) * size_t(t.keyLength));
            }
        }
        std::vector<uint32_t> seen(bound ? size_t(records) + 1 : 0, 0);
        std::unordered_set<uint32_t> visited;
        std::vector<uint8_t> previous;
        uint8_t root[4] = {};
        if (ReadAll(*file, root, 4, off_t(t.headerBlock) * kMdxBlockSize) < 0) {
            fault(tag + "header block " + std::to_string(t.headerBlock) + " cannot be read");
            continue;
        }
        size_t faults = 0;
        // Depth first, children in order: the leaves' items come in key order.
        std::vector<std::pair<uint32_t, int>> stack{{Get32(root), 0}};
        std::vector<uint8_t> page(kMdxPageSize);
        while (!stack.empty() && faults < 20) {
            const auto [block, depth] = stack.back();
            stack.pop_back();
            const std::string where = tag + "page " + std::to_string(block) + ": ";
            if (block < uint32_t(kMdxHeaderSize / kMdxBlockSize) ||
                off_t(block) * kMdxBlockSize + kMdxPageSize > size) {
                fault(where + "outside the file");
                ++faults;
                continue;
            }
            if (!visited.insert(block).second || depth > 32) {
                fault(where + "reached twice (the pages loop)");
                ++faults;
                continue;
            }
            if (ReadAll(*file, page.data(), page.size(), off_t(block) * kMdxBlockSize) < 0) {
                fault(where + "cannot be read");
                ++faults;
                continue;
            }
            const uint32_t count = Get32(page.data());
            if (count > uint32_t(t.maxKeys)) {
                fault(where + std::to_string(count) + " keys, at most " +
                      std::to_string(t.maxKeys) + " fit");
                ++faults;
                continue;
            }
            auto item = [&](uint32_t i) { return page.data() + 8 + size_t(i) * t.itemLength; };
            if (Get32(item(count)) != 0) { // an inner page: count + 1 children
                for (uint32_t i = count + 1; i-- > 0;) stack.push_back({Get32(item(i)), depth + 1});
                continue;
            }
            for (uint32_t i = 0; i < count; ++i) {
                const uint32_t rec = Get32(item(i));
                const uint8_t* key = item(i) + 4;
                if (!previous.empty()) {
                    const int c = CompareKeys(t.type, previous.data(), key, t.keyLength);
                    if (t.descending ? c < 0 : c > 0) {
                        fault(where + "key of record " + std::to_string(rec) + " out of order");
                        ++faults;
                    }
                }
                previous.assign(key, key + t.keyLength);
                if (rec < 1 || rec > records) {
                    fault(tag + "a key for record " + std::to_string(rec) + ", which the table (" +
                          std::to_string(records) + " records) does not hold");
                    ++faults;
                    continue;
                }
                if (!bound) continue;
                if (++seen[rec] == 2) {
                    fault(tag + "record " + std::to_string(rec) + " has more than one key");
                    ++faults;
                }
                if (std::memcmp(key, wanted.data() + size_t(rec - 1) * size_t(t.keyLength),
                                size_t(t.keyLength)) != 0) {
                    fault(tag + "the key of record " + std::to_string(rec) +
                          " does not match the record");
                    ++faults;
                }
            }
        }
        if (faults >= 20) {
            fault(tag + "more faults not listed");
            continue;
        }
        if (!bound) continue;
        for (uint32_t n = 1; n <= records && faults < 20; ++n) {
            if (seen[n] == 0 && !deleted[n]) {
                fault(tag + "record " + std::to_string(n) + " has no key");
                ++faults;
            }
        }
    }
    table.DropReadAhead();
    return sound;
}

TCheckReport CheckTable(const std::string& fileName) {
    TCheckReport report;
    auto add = [&](const std::string& text) {
        if (report.findings.size() < kMaxFindings) report.findings.push_back(text);
        ++report.total;
    };
    TDbfFile f;
    f.Open(AddDefaultExtension(fileName), false, true, false);
    f.SetReadAhead(false);
    TMemoFile memo;
    if (f.HasMemo()) {
        memo.Open(f.Path(), f.Version(), false, true);
        // The next free block in the header: new memos go there, so it must
        // lie at or past the end of what the file holds.
        const off_t memoSize = memo.FileSize();
        const std::string head = memo.HeaderBytes(4);
        const auto* b = reinterpret_cast<const uint8_t*>(head.data());
        const uint32_t next = memo.Kind() == 0xF5 ? (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 |
                                                     uint32_t(b[2]) << 8 | uint32_t(b[3]))
                                                  : Get32(b);
        if (memoSize >= 0 && (next == 0 || uint64_t(next) * memo.BlockSize() + memo.BlockSize() <=
                                               uint64_t(memoSize)))
            add("memo file: next free block " + std::to_string(next) +
                " in the header lies inside the " + std::to_string(memoSize) + " bytes it holds");
    }
    const uint8_t* h = f.Header();
    const bool v2 = f.Version() == 0x02;
    const uint32_t headerCount = v2 ? Get16(h + 1) : Get32(h + 4);
    const int hl = f.HeaderLength(), rl = f.RecordLength();

    int widths = 1;
    for (const TFieldDef& d : f.Fields()) widths += d.width;
    if (widths != rl)
        add("record length " + std::to_string(rl) + " in the header, the fields take " +
            std::to_string(widths));

    // Walk every whole record of the file: deletion flags first.
    std::vector<char> buf(static_cast<size_t>(rl), 0);
    IFileSystem& fs = FileSystem();
    int err = 0;
    auto raw = fs.Open(f.Path(), TOpenMode::ReadOnly, err);
    if (!raw) Fail(CodeFromErrno(err, TIoKind::Open), "Failure to open " + f.DisplayName());
    const off_t size = raw->Size();
    if (size < 0) Fail(CodeFromErrno(int(-size), TIoKind::Read), "File:  " + f.DisplayName());
    const uint64_t whole = size > hl ? uint64_t(size - hl) / uint64_t(rl) : 0;
    // Records: up to the end-of-file mark or the first byte no record starts with.
    uint64_t records = 0;
    for (uint64_t n = 1; n <= whole; ++n) {
        if (int r = ReadAll(*raw, buf.data(), buf.size(), off_t(hl + (n - 1) * uint64_t(rl)));
            r < 0)
            Fail(CodeFromErrno(-r, TIoKind::Read), "File:  " + f.DisplayName());
        const unsigned char flag = static_cast<unsigned char>(buf[0]);
        if (flag != ' ' && flag != '*') {
            if (n <= headerCount)
                add("record " + std::to_string(n) + ": deletion flag " + Hex(flag) +
                    " is neither blank nor \"*\"");
            break;
        }
        records = n;
        for (const TFieldDef& d : f.Fields()) {
            if (d.offset + d.width > rl) continue;
            if (!ValidFieldBytes(d.type, buf.data() + d.offset, d.width)) {
                add("record " + std::to_string(n) + ", field " + d.name + " (" + d.type + "): \"" +
                    Printable(buf.data() + d.offset, d.width) + "\" is not a valid value");
            } else if (d.type == 'M' && memo.IsOpen()) {
                const std::string text(buf.data() + d.offset, size_t(d.width));
                const long long block = std::strtoll(text.c_str(), nullptr, 10);
                // Writers of the oldest layout store some blocks negated; -1 is
                // no block in any layout.
                const bool badSign = block == -1 || (block < 0 && memo.Kind() != 0x83);
                const std::string fault = badSign
                                              ? "block " + std::to_string(block) + " is negative"
                                          : block < INT32_MIN + 1LL || block > INT32_MAX
                                              ? "block number out of range"
                                              : memo.CheckReference(int32_t(block));
                if (!fault.empty())
                    add("record " + std::to_string(n) + ", field " + d.name + ": memo " + fault);
            }
        }
    }

    if (uint64_t(headerCount) > whole)
        add("header count " + std::to_string(headerCount) + ", but the file holds " +
            std::to_string(whole) + " whole records");
    else if (records > headerCount)
        add("header count " + std::to_string(headerCount) + ", but " + std::to_string(records) +
            " records precede the end-of-file mark");
    // The production index, when the table says it has one.
    if (!v2 && f.ProductionIndexFlag() != 0) {
        const std::string index = ResolveNameCase(WithExtension(f.Path(), "MDX"));
        if (!fs.Exists(index))
            add("the production index " + index + " is missing");
        else
            CheckIndexFile(index, f, uint32_t(std::min<uint64_t>(records, f.RecordCount())), true,
                           add);
    }
    const uint64_t end = uint64_t(hl) + records * uint64_t(rl);
    if (end >= uint64_t(size)) {
        if (!v2) add("no end-of-file mark after record " + std::to_string(records));
    } else {
        unsigned char mark = 0;
        if (raw->ReadAt(&mark, 1, off_t(end)) != 1 || mark != 0x1A)
            add("byte " + Hex(mark) + " after record " + std::to_string(records) +
                " is not the end-of-file mark");
        else if (uint64_t(size) > end + 1) {
            // Other programs pad with end-of-file bytes: sound. Anything else
            // there may be lost records.
            const uint64_t extra = uint64_t(size) - end - 1;
            bool padding = true;
            std::vector<char> chunk(4096);
            for (uint64_t at = end + 1; padding && at < uint64_t(size); at += chunk.size()) {
                const size_t k = size_t(std::min<uint64_t>(chunk.size(), uint64_t(size) - at));
                if (ReadAll(*raw, chunk.data(), k, off_t(at)) < 0) padding = false;
                for (size_t i = 0; padding && i < k; ++i) padding = chunk[i] == 0x1A;
            }
            if (padding)
                report.notes.push_back(std::to_string(extra) +
                                       " end-of-file bytes (0x1A) of padding after the mark");
            else
                add(std::to_string(extra) +
                    " bytes after the end-of-file mark (padding or lost records)");
        }
    }
    return report;
}

} // namespace qm::table
