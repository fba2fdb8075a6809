// Fuzz target of an exported layout's reader (an import): any bytes are read without a crash, a
// leak or undefined behaviour; a layout it accepts, written back and read again, is the same
// layout, written once more as the same bytes; and what it refuses, it says why of, as
// "line N: why".
//
//   scripts/fuzz.sh [SECONDS [export]]
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "desktop_access/named_layouts.h"
#include "tests/fuzz/round_trip.h"

namespace {

using desktop_access::NamedLayout;

std::optional<NamedLayout> decode(std::string_view bytes) {
    auto read = desktop_access::decodeExportedLayout(bytes);
    if (NamedLayout* layout = std::get_if<NamedLayout>(&read))
        return std::move(*layout);
    return std::nullopt;
}

// "line N: why", N counted from 1 and why not empty.
bool saysWhere(std::string_view why) {
    if (!why.starts_with("line ") || why.size() < 6 || why[5] == '0')
        return false;
    why.remove_prefix(5);
    while (!why.empty() && std::isdigit(static_cast<unsigned char>(why.front())))
        why.remove_prefix(1);
    return why.size() > 2 && why.starts_with(": ");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto read = desktop_access::decodeExportedLayout(fuzz::bytesOf(data, size));
    if (const std::string* why = std::get_if<std::string>(&read)) {
        if (!saysWhere(*why))
            fuzz::mismatch("a refusal that does not say \"line N: why\"");
    } else {
        fuzz::checkRoundTrip(std::get<NamedLayout>(read), desktop_access::encodeExportedLayout,
                             decode);
    }
    return 0;
}
