// Splits arbitrary text as an address pasted from the clipboard (the bytes
// read as UTF-8, and as UTF-16 as the clipboard hands text over). Nothing may
// crash, hang or leak; a split address holds at most four lines.
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "addresses/paste_address.h"

using namespace qm::addresses;

namespace {

void Split(const QString& text) {
    const auto a = SplitPastedAddress(text);
    if (!a) return;
    if (a->lines.size() > 4) std::abort();
    (void)PastedMemoText(a->lines);
    QString city, state, zip;
    SplitCityLine(a->city + QStringLiteral(", ") + a->state + QLatin1Char(' ') + a->zip, city,
                  state, zip);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Split(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    std::vector<char16_t> units(size / 2);
    if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
    Split(QString::fromUtf16(units.data(), qsizetype(units.size())));
    return 0;
}
