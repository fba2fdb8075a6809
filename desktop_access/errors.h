// The desktop access layer's part of the error family (winapi/error.h): the desktop cannot be
// reached or read, and a file of what Kelvara remembers could not be saved.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace desktop_access {

class DesktopAccessError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class UninitializedDesktopError : public DesktopAccessError {
  public:
    using DesktopAccessError::DesktopAccessError;
};

// A file of what Kelvara remembers exists but could not be read, while another program held it
// past the wait: nothing that would have replaced it was saved.
class FileReadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file of what Kelvara remembers could not be replaced: it holds what it held before the
// write. What the call was to do was done (the desktop arranged, an opening counted); the counts
// are kept by the process and saved with the next write that succeeds. The system's error code
// says why (0 when none is known): the disk full, the folder not writable, the file held.
class NotSavedError : public std::runtime_error {
  public:
    explicit NotSavedError(const std::string& what, std::uint32_t systemError = 0)
        : std::runtime_error(what), systemError_(systemError) {}
    std::uint32_t systemError() const { return systemError_; }

  private:
    std::uint32_t systemError_;
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
// The history of arrangements, or the named layouts.
class HistoryWriteError : public NotSavedError {
  public:
    using NotSavedError::NotSavedError;
};

} // namespace desktop_access
