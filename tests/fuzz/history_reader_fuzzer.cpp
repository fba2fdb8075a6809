// Fuzz target of the history's reader (Kelvara.history): any bytes are read without a crash, a
// leak or undefined behaviour, and a history it accepts, written back and read again, is the
// same history, written once more as the same bytes.
//
//   scripts/fuzz.sh [SECONDS [history]]
#include <cstdint>

#include "desktop_access/history.h"
#include "tests/fuzz/round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto read = desktop_access::decodeHistory(fuzz::bytesOf(data, size)))
        fuzz::checkRoundTrip(*read, desktop_access::encodeHistory, desktop_access::decodeHistory);
    return 0;
}
