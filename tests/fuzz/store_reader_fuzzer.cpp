// Fuzz target of the icon store's reader: any bytes are read without a crash, a leak or
// undefined behaviour, and what the reader accepts, written back and read again, gives the same
// grid and the same records, in the same order, and the same bytes once more.
//
//   scripts/fuzz.sh [SECONDS [store]]
#include <cstdint>
#include <optional>
#include <string_view>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/icon_store.h"
#include "tests/fuzz/round_trip.h"

namespace {

using desktop_access::DesktopProxy;
using desktop_access::IconRecord;

bool sameRecord(const IconRecord& a, const IconRecord& b) {
    return a.name == b.name && a.left == b.left && a.top == b.top && a.width == b.width &&
           a.height == b.height && a.usage == b.usage;
}

bool sameStore(const DesktopProxy& a, const DesktopProxy& b) {
    if (a.grid() != b.grid() || a.icons.size() != b.icons.size())
        return false;
    for (std::size_t i = 0; i < a.icons.size(); ++i)
        if (!sameRecord(a.icons[i], b.icons[i]))
            return false;
    return true;
}

// The store always reads: what it cannot make out, it leaves out.
std::optional<DesktopProxy> decode(std::string_view bytes) {
    return desktop_access::decodeStore(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::checkRoundTrip(*decode(fuzz::bytesOf(data, size)), desktop_access::encodeStore, decode,
                         sameStore);
    return 0;
}
