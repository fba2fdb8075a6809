// The fixture of the launcher's tests: Kelvara.exe run as the user runs it, a copy in a folder of
// its own beside either the real hook library or a stand-in that records what the launcher did
// with it (tests/fixtures/stand_in_vantle.cpp), and maybe a stand-in welcome program that records
// that it ran. Each test starts with the component registered, no settings but "Started" (so the
// start is not a first start) and no icon store; launchers still running at the end are stopped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"

namespace test_support {

// Three icons on a 1920 x 1040 work area.
HostDescription smallDesktop();

// Values of HKEY_CURRENT_USER\Software\Kelvara.
void setDword(const wchar_t* name, DWORD value);
std::optional<DWORD> readDword(const wchar_t* name);

class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void copyFromBuild(const std::wstring& relative);
    void useStandInHook() { copyFromBuild(L"stand-in\\vantle.dll"); }
    void useRealHook() { copyFromBuild(L"vantle.dll"); }
    void useStandInWelcome() { copyFromBuild(L"stand-in\\Orvinta.exe"); }

    Process& startLauncher();
    void startHost(HostDescription description = smallDesktop());

    // Lines a stand-in wrote next to the launcher.
    std::vector<std::string> logOf(const wchar_t* name) const;
    // "install", "remove" or "refuse" for each line of the stand-in hook's log.
    std::vector<std::string> hookEvents() const;

    // Desktop snapshots the host has seen taken: one per Refresh.
    int refreshes() const { return host->report().snapshots; }
    bool waitForRefreshes(int count, DWORD timeoutMs = 20000) const;

    // Posts WM_QUIT with the code to the launcher's thread (once it has a message queue) and
    // returns its exit code.
    DWORD quit(const Process& launcher, WPARAM code);

    std::filesystem::path folder;
    std::filesystem::path store;
    std::unique_ptr<DesktopHost> host;
    std::list<Process> launchers; // a list: references to earlier launchers stay valid
};

} // namespace test_support
