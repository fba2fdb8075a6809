#include "winapi/named_lock.h"

#include "winapi/error.h"
#include "winapi/handle_win32.h"
#include "winapi/text_win32.h"

namespace winapi {

NamedLock::NamedLock(std::u16string lockName) : name_(std::move(lockName)) {
    const std::wstring objectName = L"Local\\" + toWide(name_);
    handle_ = ownHandle(CreateMutexW(nullptr, FALSE, objectName.c_str()));
    if (!handle_)
        throw Error(GetLastError(), "Failed to create lock");
    const DWORD result = WaitForSingleObject(raw(handle_), INFINITE);
    // WAIT_ABANDONED still hands us ownership. The store is replaced atomically, so the file is
    // whole even when its last writer died, and a lock that could never be taken again would
    // stop every later Refresh for good.
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED)
        throw Error(GetLastError(), "Failed to lock");
}

NamedLock::~NamedLock() {
    if (handle_)
        ReleaseMutex(raw(handle_));
}

} // namespace winapi
