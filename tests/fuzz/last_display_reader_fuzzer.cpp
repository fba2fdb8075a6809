// Fuzz target of the reader of the display the last arrangement was made on (Kelvara.display),
// which runs inside the shell's process when the hook arranges: any bytes are read without a
// crash, a leak or undefined behaviour, and a display it accepts, written back and read again,
// is the same display, written once more as the same bytes.
//
//   scripts/fuzz.sh [SECONDS [display]]
#include <cstdint>

#include "desktop_access/last_display.h"
#include "tests/fuzz/round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto read = desktop_access::decodeLastDisplay(fuzz::bytesOf(data, size)))
        fuzz::checkRoundTrip(*read, desktop_access::encodeLastDisplay,
                             desktop_access::decodeLastDisplay);
    return 0;
}
