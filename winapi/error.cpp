#include "winapi/error.h"

namespace winapi {

std::string errorText(std::uint32_t code) {
    std::string text = systemMessage(code);
    if (text.empty())
        return {};
    // Codes are printed signed, so an HRESULT passed as a code reads as the negative number the
    // Windows documentation does not show but %d always did.
    return "Error " + std::to_string(static_cast<std::int32_t>(code)) + ": " + text;
}

Error::Error(std::uint32_t code, const std::string& context)
    : std::runtime_error(context + " Winapi: " + errorText(code)), code_(code) {}

Error::Error(const std::string& message) : std::runtime_error(message), code_(0) {}

} // namespace winapi
