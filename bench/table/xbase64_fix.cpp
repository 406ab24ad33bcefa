// Debian 12's Xbase64 reads 32-bit header values into a 64-bit long and leaves
// its upper half uninitialised (the record count comes out as garbage and every
// append fails with a seek error). These definitions replace the library's for
// the benchmark: the same little-endian 32-bit reads, properly extended.
#include <cstdint>
#include <cstring>

#include <xbase64/xbase64.h>

xbLong xbXBase::GetLong(const char* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

xbULong xbXBase::GetULong(const char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
