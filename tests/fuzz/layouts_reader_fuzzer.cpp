// Fuzz target of the reader of the arrangements remembered per display (Kelvara.layouts): any
// bytes are read without a crash, a leak or undefined behaviour, and layouts it accepts, written
// back and read again, remember the same displays with the same places, written once more as
// the same bytes. Twice: first before any record's places are read (their lines are written as
// the file held them), then once every record has been read (the damaged ones forgotten, the
// others written from their places).
//
//   scripts/fuzz.sh [SECONDS [layouts]]
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "desktop_access/layouts.h"
#include "tests/fuzz/round_trip.h"

namespace {

using desktop_access::DisplayConfiguration;
using desktop_access::Layouts;
using desktop_access::Place;

// The displays remembered, most recent first, with their places: the ones whose places read.
// A record whose places are damaged does not count; reading them here forgets it.
std::vector<std::pair<DisplayConfiguration, std::vector<Place>>> sound(const Layouts& layouts) {
    std::vector<std::pair<DisplayConfiguration, std::vector<Place>>> remembered;
    for (const DisplayConfiguration& configuration : layouts.configurations())
        if (const std::vector<Place>* places = layouts.find(configuration))
            remembered.emplace_back(configuration, *places);
    return remembered;
}

bool sameSound(const Layouts& a, const Layouts& b) {
    return sound(a) == sound(b);
}

std::optional<Layouts> readWhole(std::string_view bytes) {
    std::optional<Layouts> layouts = desktop_access::decodeLayouts(bytes);
    if (layouts)
        sound(*layouts);
    return layouts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<Layouts> read = desktop_access::decodeLayouts(fuzz::bytesOf(data, size));
    if (!read)
        return 0;
    fuzz::checkRoundTrip(*read, desktop_access::encodeLayouts, desktop_access::decodeLayouts,
                         sameSound);
    fuzz::checkRoundTrip(*read, desktop_access::encodeLayouts, readWhole, sameSound);
    return 0;
}
