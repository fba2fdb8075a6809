// Fuzz target of the named layouts' reader (Kelvara.named): any bytes are read without a crash,
// a leak or undefined behaviour, and layouts it accepts, written back and read again, are the
// same layouts in the same order, written once more as the same bytes.
//
//   scripts/fuzz.sh [SECONDS [named]]
#include <cstdint>

#include "desktop_access/named_layouts.h"
#include "tests/fuzz/round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto read = desktop_access::decodeNamedLayouts(fuzz::bytesOf(data, size)))
        fuzz::checkRoundTrip(*read, desktop_access::encodeNamedLayouts,
                             desktop_access::decodeNamedLayouts);
    return 0;
}
