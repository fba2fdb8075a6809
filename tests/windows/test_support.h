// Small helpers shared by the Windows tests: paths next to the test program, starting other
// programs and waiting for them.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <windows.h>

#include "desktop_access/desktop_proxy.h"
#include "winapi/handle_win32.h"

namespace test_support {

// The folder of the running test program, with a trailing backslash. Every program of the
// build lands there.
std::wstring programFolder();

// A program of the build (Orvinta.exe unless named) loaded for its resources only.
class ProgramResources {
  public:
    explicit ProgramResources(const wchar_t* program = L"Orvinta.exe")
        : module(LoadLibraryExW((programFolder() + program).c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ProgramResources() {
        if (module)
            FreeLibrary(module);
    }
    ProgramResources(const ProgramResources&) = delete;
    ProgramResources& operator=(const ProgramResources&) = delete;

    // The resource's bytes (of any language unless one is given); empty when there is none.
    std::string resource(const wchar_t* type, WORD id, WORD language = 0) const {
        HRSRC found = language != 0 ? FindResourceExW(module, type, MAKEINTRESOURCEW(id), language)
                                    : FindResourceW(module, MAKEINTRESOURCEW(id), type);
        if (!found)
            return {};
        const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(data, SizeofResource(module, found));
    }

    const HMODULE module;
};

struct Process {
    winapi::SharedHandle handle;
    DWORD id = 0;
    DWORD threadId = 0; // the main thread
    // Waits for the process to end (at most timeoutMs) and returns its exit code, or
    // STILL_ACTIVE when it did not end in time.
    DWORD wait(DWORD timeoutMs = 30000) const;
};

// Starts a process as CreateProcessW does (an empty application: the command line's first word
// names it). Under Wine a new process whose address space cannot be laid out (the kernel has
// placed a mapping where the shared user data goes) dies during its start, and the start fails
// with ERROR_INTERNAL_ERROR, about once in a thousand starts on a busy machine; a start failing
// so is made again, three times in all. Throws std::runtime_error naming any other error.
Process createProcess(const std::wstring& application, const std::wstring& commandLine,
                      bool inheritHandles, DWORD flags, STARTUPINFOW& startup,
                      const std::wstring& folder = L"");

// Starts a program of the build folder with the given command-line arguments.
Process startProgram(const std::wstring& program, const std::wstring& arguments = L"");
// Starts the program at a full path.
Process startProgramAt(const std::wstring& path, const std::wstring& arguments = L"");

// A window's text and its class's name.
std::wstring windowText(HWND window);
std::wstring className(HWND window);

// A visible top-level window of the process (with the title, when one is given), or null.
HWND shownWindowOf(DWORD processId, const wchar_t* title = nullptr);

// Runs measure(dc) on the window's device context with the font selected into it.
template <typename Measure> auto inFontOf(HWND window, HFONT font, Measure measure) {
    const HDC dc = GetDC(window);
    const HGDIOBJ old = SelectObject(dc, font);
    const auto measured = measure(dc);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return measured;
}

// The icon store as a snapshot reads it, read under the store lock as the product reads it: a
// test never holds the file open while the product replaces it.
std::unique_ptr<desktop_access::DesktopProxy> readStoreLocked(const std::filesystem::path& path);

struct Ran {
    DWORD code = 0;
    std::string output; // standard output, as bytes
    std::string error;  // standard error, as bytes
};

// Runs KelvaraCmd.exe with the arguments, its output and error each into a pipe, and waits for
// it to end (a minute at most). The pipes are emptied while it runs and once more after it has
// ended; nothing waits for their other ends to close (a process it started could hold them).
Ran kelvaraCmd(const std::wstring& arguments);

// The message of the exception of type Error that work throws, or "(nothing thrown)".
template <typename Error> std::string messageOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const Error& error) {
        return error.what();
    }
    return "(nothing thrown)";
}

} // namespace test_support
