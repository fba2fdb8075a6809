#include "winapi/thread_win32.h"

#include <memory>

#include "winapi/error.h"

namespace winapi {
namespace {

DWORD WINAPI runOwned(LPVOID parameter) {
    const std::unique_ptr<std::function<void()>> work(
        static_cast<std::function<void()>*>(parameter));
    try {
        (*work)();
    } catch (...) {
    }
    return 0;
}

} // namespace

SharedHandle startThread(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    SharedHandle thread = ownHandle(CreateThread(nullptr, 0, &runOwned, owned.get(), 0, nullptr));
    if (!thread)
        throw Error(GetLastError(), "Failed to start a thread");
    owned.release(); // the thread's now
    return thread;
}

bool callWithin(DWORD timeoutMs, std::function<void()> call) {
    return WaitForSingleObject(raw(startThread(std::move(call))), timeoutMs) == WAIT_OBJECT_0;
}

} // namespace winapi
