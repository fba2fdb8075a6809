// The error family. Every failure inside Kelvara travels as one of these exceptions, each with a
// fixed English message. winapi::Error also carries the Windows error code and appends the
// system's own description of it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace winapi {

// The system's description of an error code, exactly as the system words it (with its own line
// end), or an empty string when it has none. Provided by the platform layer.
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

namespace desktop_access {

class DesktopAccessError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class UninitializedDesktopError : public DesktopAccessError {
  public:
    using DesktopAccessError::DesktopAccessError;
};

// A file of what Kelvara remembers could not be replaced: it holds what it held before the
// write. What the call was to do was done (the desktop arranged, an opening counted); the counts
// are kept by the process and saved with the next write that succeeds.
class NotSavedError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
// The icon store, with the usage counts and the last arrangement.
class StoreWriteError : public NotSavedError {
  public:
    using NotSavedError::NotSavedError;
};
// The layouts file, with the arrangements remembered per display.
class LayoutsWriteError : public NotSavedError {
  public:
    using NotSavedError::NotSavedError;
};

} // namespace desktop_access
