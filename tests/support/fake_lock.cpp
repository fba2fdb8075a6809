// The named lock: counted per name instead of a mutex, and made to fail on request.
#include "tests/support/fakes.h"
#include "winapi/error.h"
#include "winapi/named_lock.h"

namespace winapi {

NamedLock::NamedLock(std::u16string lockName) : name_(std::move(lockName)) {
    if (fake::failLocks)
        throw Error(5, "Failed to lock");
    handle_ = std::make_shared<int>(0);
    ++fake::locksHeld[name_];
}

NamedLock::~NamedLock() {
    --fake::locksHeld[name_];
}

} // namespace winapi
