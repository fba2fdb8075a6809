// Fuzz target of the icon store's reader: any bytes are read without a crash, a leak or
// undefined behaviour, and what the reader accepts, written back and read again, gives the same
// grid and the same records, in the same order, and the same bytes once more.
//
//   scripts/fuzz-store.sh [SECONDS]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/icon_store.h"

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

[[noreturn]] void mismatch(const char* what) {
    std::fprintf(stderr, "round trip mismatch: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const DesktopProxy read = desktop_access::decodeStore(bytes);

    const std::string written = desktop_access::encodeStore(read);
    const DesktopProxy again = desktop_access::decodeStore(written);
    if (!sameStore(read, again))
        mismatch("the records read back differ");
    if (desktop_access::encodeStore(again) != written)
        mismatch("the bytes written again differ");
    return 0;
}
