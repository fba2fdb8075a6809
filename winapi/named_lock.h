// A named mutex of the logon session, held for the lifetime of the object. The icon store is
// guarded by one of these so that snapshots in different processes never overlap.
#pragma once

#include <memory>
#include <string>

namespace winapi {

class NamedLock {
  public:
    // Creates or opens the mutex "Local\" + name and waits for it without a time limit. A mutex
    // whose previous holder ended without releasing it counts as acquired. Throws winapi::Error
    // "Failed to create lock" or "Failed to lock".
    explicit NamedLock(std::u16string lockName);
    // Releases the mutex, then lets go of the handle.
    ~NamedLock();

    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    const std::u16string& name() const { return name_; }
    // Whether the lock holds a mutex (always, once constructed).
    bool held() const { return handle_ != nullptr; }

  private:
    std::u16string name_;
    std::shared_ptr<void> handle_;
};

// The lock of the icon store.
inline constexpr char16_t storeLockName[] = u"789E547B-3FD8-4069-8D5A-40A3F621AC26";

} // namespace winapi
