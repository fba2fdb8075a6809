// The glide turn of the seam, on Windows: a mutex of the logon session that the thread of the
// running glide holds, and an event that asks that glide to finish at once. Every process of
// the session that arranges the desktop (the launcher, the hook inside the shell, scripts, the
// command line) takes its turn through the same two objects.
#include "desktop_access/desktop_seam.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <windows.h>

#include "desktop_access/desktop_win32.h"
#include "desktop_access/errors.h"
#include "winapi/error.h"
#include "winapi/handle_win32.h"
#include "winapi/thread_win32.h"

namespace desktop_access {
namespace {

// A glide asked to finish sets each of its icons once more, repaints and reads every icon back,
// each request within answerTimeoutMs; a shell that stops answering ends it at its first request
// that times out. Past this, a glide is not going to end, and the arrangement waiting for it
// fails rather than read icons that may still move.
constexpr DWORD turnWaitMs = 30000;
constexpr char turnNotFree[] = "The icons of another arrangement are still moving";

winapi::SharedHandle turnMutex() {
    winapi::SharedHandle turn = winapi::ownHandle(CreateMutexW(nullptr, FALSE, glideTurnName));
    if (!turn)
        throw winapi::Error(GetLastError(), "Failed to create lock");
    return turn;
}

winapi::SharedHandle hurryEvent() {
    return winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, glideHurryName));
}

// A mutex whose holder ended without releasing it (a client that ended mid-glide) is ours all
// the same: the icons it moved stand wherever it left them, which a snapshot reads as they are.
bool take(const winapi::SharedHandle& turn) {
    const DWORD waited = WaitForSingleObject(winapi::raw(turn), turnWaitMs);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

// How many glides of this process are still running, for waitForGlides.
struct RunningGlides {
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

RunningGlides& runningGlides() {
    static RunningGlides* const glides = new RunningGlides; // outlives every glide's thread
    return *glides;
}

void glideBegins() {
    RunningGlides& glides = runningGlides();
    const std::lock_guard lock(glides.mutex);
    ++glides.count;
}

void glideEnded() {
    RunningGlides& glides = runningGlides();
    const std::lock_guard lock(glides.mutex);
    --glides.count;
    glides.ended.notify_all();
}

} // namespace

void awaitGlides() {
    const winapi::SharedHandle turn = turnMutex();
    const winapi::SharedHandle hurry = hurryEvent();
    if (hurry)
        SetEvent(winapi::raw(hurry));
    const bool taken = take(turn);
    // Only one snapshot at a time waits here (each holds the store lock), so the request is
    // withdrawn before any later glide begins.
    if (hurry)
        ResetEvent(winapi::raw(hurry));
    if (!taken)
        throw DesktopAccessError(turnNotFree);
    ReleaseMutex(winapi::raw(turn));
}

void startGlide(std::function<void()> work) {
    struct Start {
        winapi::SharedHandle decided =
            winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::atomic<bool> taken{false};
    };
    const auto start = std::make_shared<Start>();
    if (!start->decided)
        throw winapi::Error(GetLastError(), "Failed to start a thread");
    const winapi::SharedHandle turn = turnMutex();
    glideBegins();
    try {
        // The handle is let go at once: nothing waits for this thread in particular.
        winapi::startThread([start, turn, work = std::move(work)] {
            const bool taken = take(turn);
            start->taken = taken;
            SetEvent(winapi::raw(start->decided));
            if (taken) {
                try {
                    work();
                } catch (...) {
                }
                ReleaseMutex(winapi::raw(turn));
            }
            glideEnded();
        });
    } catch (...) {
        glideEnded();
        throw;
    }
    WaitForSingleObject(winapi::raw(start->decided), INFINITE);
    if (!start->taken)
        throw DesktopAccessError(turnNotFree);
}

bool glidePause(std::uint32_t milliseconds) {
    const winapi::SharedHandle hurry = hurryEvent();
    if (!hurry) {
        Sleep(milliseconds);
        return false;
    }
    return WaitForSingleObject(winapi::raw(hurry), milliseconds) == WAIT_OBJECT_0;
}

bool waitForGlides(std::uint32_t timeoutMs) {
    RunningGlides& glides = runningGlides();
    std::unique_lock lock(glides.mutex);
    return glides.ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return glides.count == 0; });
}

} // namespace desktop_access
