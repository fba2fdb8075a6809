// The system's text for error codes: what fake::systemMessages holds.
#include "tests/support/fakes.h"
#include "winapi/error.h"

namespace winapi {

std::string systemMessage(std::uint32_t code) {
    const auto found = fake::systemMessages.find(code);
    return found == fake::systemMessages.end() ? std::string() : found->second;
}

} // namespace winapi
