#include "cmdline/end_kelvara_win32.h"

#include "component/configuration_win32.h"

namespace cmdline {

namespace {

bool starting() {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, component::singleInstanceMutex);
    if (mutex == nullptr)
        return false;
    CloseHandle(mutex);
    return true;
}

} // namespace

Ending endKelvara(DWORD patienceMs) {
    const DWORD start = GetTickCount();
    Ending ending = Ending::notRunning;
    for (;;) {
        const HWND window = FindWindowW(component::launcherWindowClass, nullptr);
        // A Kelvara that has not made its window yet (it does after its first arrangement) is
        // waited for; one that has ended has let go of its mutex.
        if (window == nullptr && !starting())
            return ending;
        const DWORD spent = GetTickCount() - start;
        if (spent >= patienceMs)
            return Ending::stillRunning;
        ending = Ending::ended;
        if (window == nullptr) {
            Sleep(50);
            continue;
        }
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (process == nullptr) {
            Sleep(50); // going already: looked for again shortly
            continue;
        }
        WaitForSingleObject(process, patienceMs - spent);
        CloseHandle(process);
    }
}

} // namespace cmdline
