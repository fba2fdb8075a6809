#include "tests/windows/test_support.h"

#include "desktop_access/icon_store.h"

#include <stdexcept>
#include <vector>

#include "winapi/module_win32.h"
#include "winapi/named_lock.h"

namespace test_support {

std::wstring programFolder() {
    const std::wstring path = winapi::moduleFileName(nullptr);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

DWORD Process::wait(DWORD timeoutMs) const {
    if (WaitForSingleObject(winapi::raw(handle), timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(winapi::raw(handle), &code);
    return code;
}

Process startProgram(const std::wstring& program, const std::wstring& arguments) {
    return startProgramAt(programFolder() + program, arguments);
}

Process startProgramAt(const std::wstring& path, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        throw std::runtime_error("cannot start a test program");
    CloseHandle(info.hThread);
    return {winapi::ownHandle(info.hProcess), info.dwProcessId, info.dwThreadId};
}

std::unique_ptr<desktop_access::DesktopProxy> readStoreLocked(const std::filesystem::path& path) {
    const winapi::NamedLock lock(winapi::storeLockName);
    return std::make_unique<desktop_access::DesktopProxy>(desktop_access::readStore(path));
}

} // namespace test_support
