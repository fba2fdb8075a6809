#include "tests/windows/launcher_fixture.h"

#include <fstream>

#include <shlobj.h>

#include "tests/windows/component_support.h"

namespace test_support {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t nvidiaKey[] =
    L"Directory\\Background\\shellex\\ContextMenuHandlers\\NvCplDesktopContext";

} // namespace

HostDescription smallDesktop() {
    HostDescription d;
    d.workAreas = {{0, 0, 1920, 1040}};
    d.icons = {{L"Notes", 400, 300}, {L"Mail", 900, 600}, {L"Photos", 120, 700}};
    return d;
}

void setDword(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, settingsPath, name, REG_DWORD, &value, sizeof value);
}

std::optional<DWORD> readDword(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, settingsPath, name, RRF_RT_ANY, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void LauncherTest::SetUp() {
    registerComponent();
    RegDeleteTreeW(HKEY_CURRENT_USER, settingsPath);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, nvidiaKey);
    setDword(L"Started", 1); // not a first start unless a test says so
    wchar_t local[MAX_PATH];
    SHGetSpecialFolderPathW(nullptr, local, CSIDL_LOCAL_APPDATA, TRUE);
    store = fs::path(local) / L"Kelvara.store";
    test_support::removeStore(store);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = fs::path(temp) / (L"kelvara-launcher-" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    copyFromBuild(L"Kelvara.exe");
}

void LauncherTest::TearDown() {
    for (Process& launcher : launchers)
        if (launcher.wait(0) == STILL_ACTIVE) {
            TerminateProcess(winapi::raw(launcher.handle), 99);
            launcher.wait();
        }
    host.reset();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    RegDeleteTreeW(HKEY_CURRENT_USER, settingsPath);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, nvidiaKey);
    registerComponent();
}

void LauncherTest::copyFromBuild(const std::wstring& relative) {
    const fs::path from = fs::path(programFolder()) / relative;
    fs::copy_file(from, folder / from.filename(), fs::copy_options::overwrite_existing);
}

Process& LauncherTest::startLauncher() {
    launchers.push_back(startProgramAt((folder / L"Kelvara.exe").wstring()));
    return launchers.back();
}

void LauncherTest::startHost(HostDescription description) {
    host = std::make_unique<DesktopHost>(std::move(description));
}

std::vector<std::string> LauncherTest::logOf(const wchar_t* name) const {
    std::vector<std::string> lines;
    std::ifstream in(folder / name);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> LauncherTest::hookEvents() const {
    std::vector<std::string> events;
    for (const std::string& line : logOf(L"vantle.log"))
        events.push_back(line.substr(0, line.find(' ')));
    return events;
}

bool LauncherTest::waitForRefreshes(int count, DWORD timeoutMs) const {
    return pollUntil([&] { return refreshes() >= count; }, timeoutMs);
}

DWORD LauncherTest::quit(const Process& launcher, WPARAM code) {
    pollUntil([&] { return PostThreadMessageW(launcher.threadId, WM_QUIT, code, 0) != FALSE; },
              10000);
    return launcher.wait();
}

} // namespace test_support
