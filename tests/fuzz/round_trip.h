// What every fuzz target of a file reader checks of what the reader accepted: written back and
// read again, it reads as the same value, and it is written once more as the same bytes. A
// failed check aborts, so that libFuzzer keeps the input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

namespace fuzz {

[[noreturn]] inline void mismatch(const char* what) {
    std::fprintf(stderr, "round trip mismatch: %s\n", what);
    std::abort();
}

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// decode gives something that tests false when the bytes do not read, and the value otherwise.
template <typename Value, typename Encode, typename Decode, typename Same = std::equal_to<>>
void checkRoundTrip(const Value& read, Encode&& encode, Decode&& decode, Same&& same = {}) {
    const std::string written = encode(read);
    const auto again = decode(std::string_view(written));
    if (!again)
        mismatch("what was written back does not read");
    // Written again before anything else touches it: a reader may keep parts as it found them.
    if (encode(*again) != written)
        mismatch("the bytes written again differ");
    if (!same(read, *again))
        mismatch("what was read back differs");
}

} // namespace fuzz
