#include "codepage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qm::table {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// UTF-8 decoding through glibc's converter, which refuses overlong forms, surrogates and
// code points past U+10FFFF. One converter a thread: a descriptor is not shared.
class Utf8Decoder {
public:
    Utf8Decoder() : cd_(iconv_open("UTF-32LE", "UTF-8")) {}
    ~Utf8Decoder() {
        if (cd_ != kNoConverter) iconv_close(cd_);
    }
    Utf8Decoder(const Utf8Decoder&) = delete;
    Utf8Decoder& operator=(const Utf8Decoder&) = delete;

    // Decodes one character at p (n bytes left); returns its length, and U+FFFD with
    // length 1 for a byte that begins no valid character (truncated sequences included).
    size_t Next(const unsigned char* p, size_t n, char32_t& c) {
        c = 0xFFFD;
        if (cd_ == kNoConverter) return 1;
        char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(p));
        size_t inLeft = std::min<size_t>(n, 4);
        char out[4];
        char* op = out;
        size_t outLeft = sizeof out;
        // Stops after one character (the output is full) or before a malformed sequence.
        iconv(cd_, &in, &inLeft, &op, &outLeft);
        const size_t used = static_cast<size_t>(in - reinterpret_cast<const char*>(p));
        if (outLeft == 0 && used > 0) {
            uint32_t v;
            std::memcpy(&v, out, 4);
            c = v;
            return used;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return 1;
    }

private:
    static inline const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
    iconv_t cd_;
};

struct CodePage {
    std::array<std::string, 256> toUtf8;
    std::vector<int16_t> fromUnicode; // code point < 0x10000 -> byte, -1 none

    explicit CodePage(const char* name) : fromUnicode(0x10000, -1) {
        iconv_t cd = iconv_open("UTF-32LE", name);
        for (int b = 0; b < 256; ++b) {
            char32_t cp = static_cast<char32_t>(b); // undefined bytes keep their own code
            if (cd != reinterpret_cast<iconv_t>(-1)) {
                char in = static_cast<char>(b);
                char outBuf[8];
                char* ip = &in;
                char* op = outBuf;
                size_t il = 1, ol = sizeof outBuf;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && ol == 4) {
                    uint32_t v;
                    std::memcpy(&v, outBuf, 4);
                    cp = v;
                }
            }
            AppendUtf8(toUtf8[b], cp);
            if (cp < 0x10000 && fromUnicode[cp] < 0) fromUnicode[cp] = static_cast<int16_t>(b);
        }
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
        // ASCII is ASCII, whatever the table says about control codes.
        for (int b = 0; b < 0x80; ++b) {
            toUtf8[b].assign(1, static_cast<char>(b));
            fromUnicode[b] = static_cast<int16_t>(b);
        }
    }
};

const CodePage& Page(TTableLanguage lang) {
    static const CodePage oem("IBM437");
    static const CodePage ansi("WINDOWS-1252");
    return lang == TTableLanguage::tlOem ? oem : ansi;
}

} // namespace

void DecodeText(TTableLanguage lang, const char* p, size_t n, std::string& out) {
    const CodePage* page = nullptr;
    size_t i = 0;
    while (i < n) {
        size_t run = i;
        for (uint64_t w; run + 8 <= n; run += 8) {
            std::memcpy(&w, p + run, 8);
            if (w & 0x8080808080808080u) break;
        }
        while (run < n && static_cast<unsigned char>(p[run]) < 0x80) ++run;
        out.append(p + i, run - i); // ASCII runs in one piece
        i = run;
        if (i < n) {
            if (!page) page = &Page(lang);
            out += page->toUtf8[static_cast<unsigned char>(p[i])];
            ++i;
        }
    }
}

namespace {

// The stored byte of the character at p[i] (n bytes in all); advances i past it.
inline char EncodeNext(TTableLanguage lang, const CodePage*& page, const unsigned char* p, size_t n,
                       size_t& i) {
    if (p[i] < 0x80) return static_cast<char>(p[i++]);
    thread_local Utf8Decoder utf8;
    char32_t c;
    i += utf8.Next(p + i, n - i, c);
    if (!page) page = &Page(lang);
    int16_t b = c < 0x10000 ? page->fromUnicode[c] : -1;
    return b >= 0 ? static_cast<char>(b) : '?';
}

} // namespace

void EncodeText(TTableLanguage lang, std::string_view utf8, char* dst, size_t width) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    size_t i = 0, w = 0;
    const CodePage* page = nullptr;
    while (w < width && i < utf8.size()) dst[w++] = EncodeNext(lang, page, p, utf8.size(), i);
    if (w < width) std::memset(dst + w, ' ', width - w);
}

std::string EncodeString(TTableLanguage lang, std::string_view utf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    const CodePage* page = nullptr;
    while (i < utf8.size()) out.push_back(EncodeNext(lang, page, p, utf8.size(), i));
    return out;
}

size_t Utf8Length(std::string_view utf8) {
    size_t count = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

std::string_view Utf8Prefix(std::string_view utf8, size_t chars) {
    size_t i = 0, count = 0;
    while (i < utf8.size()) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
            if (count == chars) break;
            ++count;
        }
        ++i;
    }
    return utf8.substr(0, i);
}

} // namespace qm::table
