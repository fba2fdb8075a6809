// Fuzz target of the reader of the journal of counts not saved yet (Kelvara.usage), which runs
// inside the shell's process when the hook counts an opening: any bytes are read without a
// crash, a leak or undefined behaviour, and increments it accepts, written back and read again,
// are the same, written once more as the same bytes. The identity is taken from the file's own
// "over" line, so that inputs reach the counts.
//
//   scripts/fuzz.sh [SECONDS [usage]]
#include <charconv>
#include <cstdint>
#include <string_view>

#include "desktop_access/unsaved_usage.h"
#include "tests/fuzz/round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesOf(data, size);
    std::uint64_t identity = 0;
    if (const std::size_t over = bytes.find("\nover "); over != std::string_view::npos)
        std::from_chars(bytes.data() + over + 6, bytes.data() + bytes.size(), identity);
    if (const auto read = desktop_access::decodeUsageJournal(bytes, identity))
        fuzz::checkRoundTrip(
            *read,
            [&](const desktop_access::UsageByLabel& increments) {
                return desktop_access::encodeUsageJournal(increments, identity);
            },
            [&](std::string_view written) {
                return desktop_access::decodeUsageJournal(written, identity);
            });
    return 0;
}
