// Shared by the fuzz targets: a scratch folder of this process, files written
// from the input, small dBase tables built byte by byte, and the rule that
// every rejection by the engine is a coded error.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "table/engine_date.h"
#include "table/engine_error.h"
#include "table/table_check.h"

namespace qm::fuzz {

// A folder of this process in shared memory, removed at exit: "/dev/shm/qm_fuzz_NAME_PID/".
inline std::string ScratchFolder(const char* name) {
    static std::string folder;
    if (folder.empty()) {
        folder = "/dev/shm/qm_fuzz_" + std::string(name) + "_" + std::to_string(getpid()) + "/";
        std::filesystem::remove_all(folder);
        if (mkdir(folder.c_str(), 0700) != 0) std::abort();
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        });
    }
    return folder;
}

inline void WriteFile(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
    WriteFile(path, bytes.data(), bytes.size());
}

// Every file of the folder goes, so that each input starts from the same state.
inline void EmptyFolder(const std::string& folder) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove_all(e.path(), ec);
}

// A rejection must carry a code the engine knows and the context it failed in.
inline void CheckCoded(const qm::table::EZezudError& e) {
    if (e.Code() <= 0 ||
        std::strcmp(qm::table::ErrorDescription(e.Code()), "Undefined error") == 0 ||
        e.Context().empty()) {
        std::fprintf(stderr, "uncoded rejection: %s\n", e.what());
        std::abort();
    }
}

// The engine as the targets drive it: errors as exceptions, no message output, a fixed date.
inline void QuietEngine() {
    qm::table::SetErrorMode(qm::table::TErrorMode::Exception);
    qm::table::SetMessageHook([](const std::string&) {});
    qm::table::SetDateClock([] { return qm::table::TDate{2008, 3, 5}; });
}

// The consistency check on whatever the input left behind: it may only reject with a code.
inline void CheckTableCoded(const std::string& path) {
    try {
        (void)qm::table::CheckTable(path);
    } catch (const qm::table::EZezudError& e) {
        CheckCoded(e);
    }
}

struct TField {
    const char* name;
    char type;
    int width;
    int decimals;
};

// The bytes of a dBase table: header, field descriptors, records (each with its
// deletion flag, exactly the record length), end mark.
inline std::string DbfBytes(uint8_t version, const std::vector<TField>& fields,
                            const std::vector<std::string>& records, uint8_t productionFlag = 0) {
    int recordLength = 1;
    for (const TField& f : fields) recordLength += f.width;
    const int headerLength = 32 + 32 * int(fields.size()) + 1;
    std::string b(size_t(headerLength), '\0');
    b[0] = char(version);
    b[1] = char(108);
    b[2] = 3;
    b[3] = 5;
    const uint32_t count = uint32_t(records.size());
    for (int i = 0; i < 4; ++i) b[size_t(4 + i)] = char(count >> (8 * i));
    b[8] = char(headerLength & 0xff);
    b[9] = char(headerLength >> 8);
    b[10] = char(recordLength & 0xff);
    b[11] = char(recordLength >> 8);
    b[28] = char(productionFlag);
    for (size_t i = 0; i < fields.size(); ++i) {
        char* d = b.data() + 32 + 32 * i;
        std::memcpy(d, fields[i].name, std::strlen(fields[i].name));
        d[11] = fields[i].type;
        d[16] = char(fields[i].width);
        d[17] = char(fields[i].decimals);
    }
    b[size_t(headerLength - 1)] = 0x0D;
    for (const std::string& r : records) {
        if (int(r.size()) != recordLength) std::abort();
        b += r;
    }
    b += '\x1A';
    return b;
}

// One field's stored text: left-aligned (right-aligned for numbers) in its width.
inline std::string Cell(std::string_view text, int width, bool right = false) {
    std::string s(text.substr(0, size_t(width)));
    const std::string pad(size_t(width) - s.size(), ' ');
    return right ? pad + s : s + pad;
}

} // namespace qm::fuzz
