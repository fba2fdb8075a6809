#include "tests/windows/test_support.h"

#include "desktop_access/icon_store.h"

#include <stdexcept>
#include <vector>

#include "tests/windows/utf8_win32.h"
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

Process createProcess(const std::wstring& application, const std::wstring& commandLine,
                      bool inheritHandles, DWORD flags, STARTUPINFOW& startup,
                      const std::wstring& folder) {
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::wstring line = commandLine;
        PROCESS_INFORMATION info{};
        if (CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(),
                           nullptr, nullptr, inheritHandles, flags, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
            CloseHandle(info.hThread);
            return {winapi::ownHandle(info.hProcess), info.dwProcessId, info.dwThreadId};
        }
        error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR)
            break;
    }
    throw std::runtime_error("cannot start (error " + std::to_string(error) +
                             "): " + toUtf8(commandLine));
}

Process startProgramAt(const std::wstring& path, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return createProcess(path, commandLine, false, 0, startup);
}

std::wstring windowText(HWND window) {
    std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

HWND shownWindowOf(DWORD processId, const wchar_t* title) {
    struct Search {
        DWORD processId;
        const wchar_t* title;
        HWND found = nullptr;
    } search{processId, title};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == search.processId && IsWindowVisible(window) &&
                (search.title == nullptr || windowText(window) == search.title))
                search.found = window;
            return search.found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::unique_ptr<desktop_access::DesktopProxy> readStoreLocked(const std::filesystem::path& path) {
    const winapi::NamedLock lock(winapi::storeLockName);
    return std::make_unique<desktop_access::DesktopProxy>(desktop_access::readStore(path));
}

namespace {

// Moves what a pipe holds now into text, without waiting for more.
void drain(HANDLE pipe, std::string& text) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::string piece(available, '\0');
        DWORD read = 0;
        if (!ReadFile(pipe, piece.data(), available, &read, nullptr) || read == 0)
            return;
        text.append(piece, 0, read);
    }
}

} // namespace

Ran kelvaraCmd(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE outputRead = nullptr, outputWrite = nullptr, errorRead = nullptr, errorWrite = nullptr;
    if (!CreatePipe(&outputRead, &outputWrite, &inheritable, 0) ||
        !CreatePipe(&errorRead, &errorWrite, &inheritable, 0))
        throw std::runtime_error("cannot make the pipes for KelvaraCmd");
    const winapi::SharedHandle owned[] = {
        winapi::ownHandle(outputRead), winapi::ownHandle(outputWrite), winapi::ownHandle(errorRead),
        winapi::ownHandle(errorWrite)};
    SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errorRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outputWrite;
    startup.hStdError = errorWrite;
    const std::wstring program = test_support::programFolder() + L"KelvaraCmd.exe";
    const Process started = createProcess(program, L"\"" + program + L"\" " + arguments, true,
                                          CREATE_NO_WINDOW, startup);
    const HANDLE process = winapi::raw(started.handle);

    Ran ran;
    const DWORD start = GetTickCount();
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(process, 10) == WAIT_OBJECT_0;
        drain(outputRead, ran.output);
        drain(errorRead, ran.error);
        if (!ended && GetTickCount() - start > 60000) {
            TerminateProcess(process, 1);
            throw std::runtime_error("KelvaraCmd did not end in time");
        }
    }
    GetExitCodeProcess(process, &ran.code);
    return ran;
}

} // namespace test_support
