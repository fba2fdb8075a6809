// The clock and threads of the seam, on Windows.
#include "desktop_access/desktop_seam.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <windows.h>

#include "desktop_access/desktop_win32.h"
#include "winapi/error.h"
#include "winapi/thread_win32.h"

namespace desktop_access {
namespace {

// How many detached threads of this process are still running. Nothing waits for one on its
// own; a component about to go away waits for them all, so that a client ending right after a
// Refresh does not end its icons' animation halfway.
struct RunningThreads {
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

RunningThreads& runningThreads() {
    static RunningThreads* const threads = new RunningThreads; // outlives every thread
    return *threads;
}

void threadEnded() {
    RunningThreads& threads = runningThreads();
    const std::lock_guard lock(threads.mutex);
    --threads.count;
    threads.ended.notify_all();
}

} // namespace

std::uint64_t currentFileTime() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME fileTime{};
    SystemTimeToFileTime(&now, &fileTime);
    return (std::uint64_t{fileTime.dwHighDateTime} << 32) | fileTime.dwLowDateTime;
}

void startDetachedThread(std::function<void()> work) {
    RunningThreads& threads = runningThreads();
    {
        const std::lock_guard lock(threads.mutex);
        ++threads.count;
    }
    try {
        // The handle is let go at once: nothing waits for this thread in particular.
        winapi::startThread([work = std::move(work)] {
            try {
                work();
            } catch (...) {
            }
            threadEnded();
        });
    } catch (...) {
        threadEnded();
        throw;
    }
}

bool waitForDetachedThreads(std::uint32_t timeoutMs) {
    RunningThreads& threads = runningThreads();
    std::unique_lock lock(threads.mutex);
    return threads.ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return threads.count == 0; });
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace desktop_access
