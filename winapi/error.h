// The error family. Every failure inside Kelvara travels as one of these exceptions (or one of
// desktop_access/errors.h), each with a fixed English message. winapi::Error also carries the
// Windows error code and appends the system's own description of it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace winapi {

// The system's description of an error code, exactly as the system words it in the user's
// language (with its own line end), in UTF-8, or an empty string when it has none. Provided by
// the platform layer.
std::string systemMessage(std::uint32_t code);

// "Error <code as signed decimal>: <system description>", or "" when the system has no text.
std::string errorText(std::uint32_t code);

class Error : public std::runtime_error {
  public:
    // Message: context + " Winapi: " + errorText(code).
    Error(std::uint32_t code, const std::string& context);
    // Message exactly as given; the code is 0.
    explicit Error(const std::string& message);

    virtual std::uint32_t code() const noexcept { return code_; }

  private:
    std::uint32_t code_;
};

class RemoteAllocatorError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace winapi
