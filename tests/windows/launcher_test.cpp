// The launcher, run as the user runs it (tests/windows/launcher_fixture.h): one instance, the
// compatibility check, the start-up attempts, the first start and the welcome program, the end
// by a quit message, and following a restarted shell.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include "tests/windows/component_support.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/launcher_fixture.h"
#include "tests/windows/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::DesktopHost;
using test_support::HostDescription;
using test_support::LauncherTest;
using test_support::Process;
using test_support::readDword;
using test_support::setDword;
using test_support::smallDesktop;

constexpr wchar_t nvidiaKey[] =
    L"Directory\\Background\\shellex\\ContextMenuHandlers\\NvCplDesktopContext";
constexpr wchar_t boxCaption[] = L"Kelvara compatibility issue";

bool nvidiaKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, nvidiaKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void registerNvidiaHandler(const wchar_t* defaultValue) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, nvidiaKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    if (defaultValue != nullptr)
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(defaultValue),
                       DWORD((wcslen(defaultValue) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

BOOL CALLBACK keepLongestStatic(HWND child, LPARAM data) {
    const std::wstring text = test_support::windowText(child);
    auto& longest = *reinterpret_cast<std::wstring*>(data);
    if (_wcsicmp(test_support::className(child).c_str(), L"Static") == 0 &&
        text.size() > longest.size())
        longest = text;
    return TRUE;
}

// The longest text of a static control below the window: a message box's message.
std::wstring messageOf(HWND box) {
    std::wstring longest;
    EnumChildWindows(box, &keepLongestStatic, reinterpret_cast<LPARAM>(&longest));
    return longest;
}

ULONGLONG runTimeMs(const Process& process) {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(winapi::raw(process.handle), &created, &ended, &kernel, &user);
    auto count = [](FILETIME t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (count(ended) - count(created)) / 10000;
}

TEST_F(LauncherTest, SecondStartEndsAtOnceWithOne) {
    startHost();
    useStandInHook();
    Process& first = startLauncher();
    ASSERT_TRUE(waitForRefreshes(1));
    // A copy that went on past the single-instance check would stop at the compatibility
    // question, which nobody answers: ending at all, it ended at the check.
    registerNvidiaHandler(L"{3D1975AF-48C6-4F8E-A182-BE0E08FA86A9}");
    Process& second = startLauncher();
    EXPECT_EQ(second.wait(), 1u);
    EXPECT_EQ(hookEvents(), (std::vector<std::string>{"install"}))
        << "the second copy touched nothing";
    EXPECT_EQ(quit(first, 0), 0u);
}

TEST_F(LauncherTest, QuitMessageEndsItWithItsCodeAfterUnhooking) {
    startHost();
    useStandInHook();
    Process& launcher = startLauncher();
    ASSERT_TRUE(waitForRefreshes(1));
    EXPECT_EQ(quit(launcher, 42), 42u);
    EXPECT_EQ(hookEvents(), (std::vector<std::string>{"install", "remove"}));
    EXPECT_EQ(refreshes(), 1) << "a start that is not the first arranges once";
    EXPECT_TRUE(fs::exists(store));
}

TEST_F(LauncherTest, FirstStartShowsWelcomeOnceAndArrangesTwice) {
    startHost();
    useStandInHook();
    useStandInWelcome();
    RegDeleteTreeW(HKEY_CURRENT_USER, test_support::settingsPath);

    Process& first = startLauncher();
    ASSERT_TRUE(test_support::pollUntil([&] { return !logOf(L"orvinta.log").empty(); }, 20000));
    EXPECT_EQ(logOf(L"orvinta.log"), (std::vector<std::string>{"ran arguments=0 started=1"}))
        << "\"Started\" is stored before the welcome program starts, which gets no arguments";
    EXPECT_TRUE(waitForRefreshes(2));
    EXPECT_EQ(quit(first, 0), 0u);
    EXPECT_EQ(refreshes(), 2);
    EXPECT_EQ(readDword(L"Started"), 1u);

    Process& next = startLauncher();
    ASSERT_TRUE(waitForRefreshes(3));
    EXPECT_EQ(quit(next, 0), 0u);
    EXPECT_EQ(refreshes(), 3) << "the next start is not a first start";
    EXPECT_EQ(logOf(L"orvinta.log").size(), 1u);

    setDword(L"Started", 0); // a stored 0 counts as a first start and becomes 1
    Process& again = startLauncher();
    ASSERT_TRUE(test_support::pollUntil([&] { return logOf(L"orvinta.log").size() == 2; }, 20000));
    EXPECT_TRUE(waitForRefreshes(5));
    EXPECT_EQ(quit(again, 0), 0u);
    EXPECT_EQ(readDword(L"Started"), 1u);
    EXPECT_EQ(logOf(L"orvinta.log").size(), 2u) << "only the two first starts showed it";
}

TEST_F(LauncherTest, MissingWelcomeProgramDoesNotDisturbTheStart) {
    startHost();
    useStandInHook();
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   test_support::settingsPath); // first start, and no Orvinta.exe beside it
    Process& launcher = startLauncher();
    ASSERT_TRUE(waitForRefreshes(2));
    EXPECT_EQ(quit(launcher, 0), 0u);
    EXPECT_EQ(readDword(L"Started"), 1u);
}

TEST_F(LauncherTest, ClearsTheShellsOwnArrangementStyles) {
    constexpr DWORD cleared = LVS_EX_SNAPTOGRID | LVS_EX_JUSTIFYCOLUMNS |
                              0x01000000 /* auto-autoarrange */ |
                              0x10000000 /* auto-size columns */;
    constexpr DWORD kept = LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP;
    HostDescription d = smallDesktop();
    d.listStyle = LVS_AUTOARRANGE;
    d.listExStyle = cleared | kept;
    startHost(d);
    useStandInHook();
    const DWORD exBefore =
        DWORD(SendMessageW(host->listView(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    ASSERT_TRUE(GetWindowLongW(host->listView(), GWL_STYLE) & LVS_AUTOARRANGE);
    ASSERT_EQ(exBefore & (cleared | kept), cleared | kept)
        << "the host's list view holds every style at first";

    Process& launcher = startLauncher();
    ASSERT_TRUE(waitForRefreshes(1));
    EXPECT_FALSE(GetWindowLongW(host->listView(), GWL_STYLE) & LVS_AUTOARRANGE);
    const DWORD exAfter = DWORD(SendMessageW(host->listView(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(exAfter & cleared, 0u);
    EXPECT_EQ(exAfter & kept, kept) << "other styles stay";
    EXPECT_EQ(quit(launcher, 0), 0u);
}

TEST_F(LauncherTest, OnWindowsFiveOnlyTheOlderStylesAreCleared) {
    // Wine reports the version a program asks for from its per-program settings.
    constexpr wchar_t versionKey[] = L"Software\\Wine\\AppDefaults\\Kelvara.exe";
    RegSetKeyValueW(HKEY_CURRENT_USER, versionKey, L"Version", REG_SZ, L"winxp", sizeof L"winxp");
    constexpr DWORD newer = LVS_EX_JUSTIFYCOLUMNS | 0x01000000 | 0x10000000;
    HostDescription d = smallDesktop();
    d.listStyle = LVS_AUTOARRANGE;
    d.listExStyle = LVS_EX_SNAPTOGRID | newer;
    startHost(d);
    useStandInHook();
    Process& launcher = startLauncher();
    const bool arranged = waitForRefreshes(1);
    RegDeleteTreeW(HKEY_CURRENT_USER, versionKey);
    ASSERT_TRUE(arranged);
    EXPECT_FALSE(GetWindowLongW(host->listView(), GWL_STYLE) & LVS_AUTOARRANGE);
    const DWORD exAfter = DWORD(SendMessageW(host->listView(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(exAfter & LVS_EX_SNAPTOGRID, 0u);
    EXPECT_EQ(exAfter & newer, newer);
    EXPECT_EQ(quit(launcher, 0), 0u);
}

TEST_F(LauncherTest, NoShellWindowMeansFiveAttemptsASecondApart) {
    useStandInHook();
    Process& launcher = startLauncher();
    EXPECT_EQ(launcher.wait(30000), 1u);
    // One second before the attempts, then five attempts each followed by a second's pause.
    EXPECT_GE(runTimeMs(launcher), 5900u);
    EXPECT_TRUE(hookEvents().empty()) << "without a desktop no hook is installed";
}

TEST_F(LauncherTest, UnregisteredComponentMeansFiveAttemptsEachWithItsOwnHook) {
    startHost();
    useStandInHook();
    ASSERT_EQ(
        test_support::runCommand(L"regsvr32.exe /u /s \"" + test_support::componentPath() + L"\""),
        0u);
    Process& launcher = startLauncher();
    EXPECT_EQ(launcher.wait(30000), 1u);
    const std::vector<std::string> expected{"install", "remove",  "install", "remove",  "install",
                                            "remove",  "install", "remove",  "install", "remove"};
    EXPECT_EQ(hookEvents(), expected);
    const std::vector<std::string> lines = logOf(L"vantle.log");
    for (std::size_t i = 2; i < lines.size(); i += 2) {
        const unsigned long previous = std::stoul(lines[i - 2].substr(8));
        const unsigned long current = std::stoul(lines[i].substr(8));
        EXPECT_GE(current - previous, 950u)
            << "attempt " << i / 2 + 1 << " follows a one-second pause";
    }
}

TEST_F(LauncherTest, HookThatCannotBeInstalledIsRetried) {
    startHost();
    useStandInHook();
    std::ofstream(folder / L"vantle.fail") << "refuse";
    Process& launcher = startLauncher();
    EXPECT_EQ(launcher.wait(30000), 1u);
    EXPECT_EQ(hookEvents(), std::vector<std::string>(5, "refuse"));
    EXPECT_EQ(refreshes(), 0);
}

TEST_F(LauncherTest, AShellThatDoesNotAnswerFailsEachAttemptWithoutWaitingForIt) {
    startHost();
    useStandInHook();
    host->freeze(60000);
    Process& launcher = startLauncher();
    EXPECT_EQ(launcher.wait(40000), 1u) << "five attempts";
    EXPECT_TRUE(host->stillFrozen()) << "none of them waited for the shell to answer";
    EXPECT_TRUE(hookEvents().empty()) << "each attempt ended before the hook";
    ASSERT_TRUE(host->thaw());
    EXPECT_EQ(refreshes(), 0);
}

TEST_F(LauncherTest, FailingRefreshEndsInOrderWithoutRetrying) {
    startHost();
    useStandInHook();
    setDword(L"Sort", 7); // outside its enumeration: every Refresh fails
    Process& launcher = startLauncher();
    EXPECT_EQ(launcher.wait(30000), 1u);
    EXPECT_EQ(hookEvents(), (std::vector<std::string>{"install", "remove"}));
    EXPECT_EQ(refreshes(), 1);
}

TEST_F(LauncherTest, AStoreHeldOpenAtTheStartDoesNotEndIt) {
    // An indexer holds the store through Kelvara's first arrangement: the desktop is arranged,
    // only the file cannot be replaced. Kelvara goes on, and a later write saves the store.
    HostDescription withTray = smallDesktop();
    withTray.tray = true;
    startHost(withTray);
    useStandInHook();
    test_support::writeStore(store, {{L"Notes", 5}});
    const winapi::SharedHandle held =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.fileHeld"));
    const winapi::SharedHandle go =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.fileGo"));
    ResetEvent(winapi::raw(held));
    ResetEvent(winapi::raw(go));
    const Process holder =
        test_support::startProgram(L"file_holder.exe", L"\"" + store.wstring() + L"\" r");
    ASSERT_EQ(WaitForSingleObject(winapi::raw(held), 20000), WAIT_OBJECT_0);
    const std::string before = test_support::fileBytes(store);
    Process& launcher = startLauncher();
    // Its icon comes once the start's Refresh has returned and Kelvara went on.
    ASSERT_TRUE(test_support::pollUntil(
        [&] {
            const auto told = host->report().notifications;
            return std::any_of(told.begin(), told.end(),
                               [](const auto& n) { return n.verb == "add" && n.done; });
        },
        20000));
    EXPECT_EQ(launcher.wait(0), STILL_ACTIVE) << "Kelvara still runs";
    EXPECT_EQ(test_support::fileBytes(store), before) << "the store held open stayed whole";
    SetEvent(winapi::raw(go));
    EXPECT_EQ(holder.wait(), 0u);
    EXPECT_EQ(quit(launcher, 0), 0u);
    EXPECT_EQ(test_support::storedUsage(store).at(L"Notes"), 5u) << "no count was lost";
}

// The shell restarts while Kelvara runs: the hook went with the old shell's process. Kelvara
// finds the new desktop, hooks it and arranges it, whether or not the new shell announces itself.
TEST_F(LauncherTest, FollowsTheShellWhenItRestarts) {
    test_support::Apartment apartment;
    setDword(L"Sort", 0); // by name along the left edge: easy to foresee
    setDword(L"Arrange", 1);
    startHost();
    useRealHook();
    Process& launcher = startLauncher();
    ASSERT_TRUE(waitForRefreshes(1));
    // The start's arrangement ends before the shell does (a shell that ends under the start's
    // Refresh fails it, and a failing Refresh ends the launcher).
    const std::vector<POINT> arranged = test_support::expectedPositions(0, 1, false, store);
    ASSERT_TRUE(test_support::waitForPositions(*host, arranged, 10000))
        << "Kelvara " << (launcher.wait(0) == STILL_ACTIVE ? "runs" : "has ended") << "; at "
        << testing::PrintToString(test_support::hostPositions(*host)) << ", not "
        << testing::PrintToString(arranged);

    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "the new shell announces itself" : "the new shell says nothing");
        host->quit();
        HostDescription again = smallDesktop();
        again.broadcast = announced;
        for (test_support::HostIcon& icon : again.icons)
            icon.x += 300; // off the left edge, where the arrangement is to put them
        startHost(again);
        const std::vector<POINT> expected = test_support::expectedPositions(0, 1, false, store);
        EXPECT_TRUE(test_support::waitForPositions(*host, expected, 10000))
            << "the new desktop was arranged";

        const std::uint32_t mail = test_support::storedUsage(store)[L"Mail"];
        host->activate(1);
        EXPECT_TRUE(test_support::pollUntil(
            [&] { return test_support::storedUsage(store)[L"Mail"] == mail + 1; }, 10000))
            << "an opening on the new desktop was counted";
    }
    EXPECT_EQ(quit(launcher, 0), 0u);
}

class CompatibilityTest : public LauncherTest {
  protected:
    // Waits for the launcher's message box, shown only once its WM_INITDIALOG has laid it out
    // (until then it holds every button of its template, the unused ones too).
    HWND messageBox(const Process& launcher) {
        HWND box = nullptr;
        test_support::pollUntil(
            [&] {
                box = test_support::shownWindowOf(launcher.id, boxCaption);
                return box != nullptr && IsWindowVisible(box);
            },
            20000);
        return box;
    }
    void answer(HWND box, int button) {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     LPARAM(GetDlgItem(box, button)));
    }
};

TEST_F(CompatibilityTest, NoEndsTheLauncherWithoutStartingAnything) {
    registerNvidiaHandler(L"{3D1975AF-48C6-4F8E-A182-BE0E08FA86A9}");
    startHost();
    useStandInHook();
    Process& launcher = startLauncher();
    const HWND box = messageBox(launcher);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageOf(box), L"We have detected that you have the NVIDIA Control Panel context "
                              L"menu enabled. For some of our users, "
                              L"the context menu item has created problems when running "
                              L"Kelvara.\n\n Would you like to disable the "
                              L"context menu item now so Kelvara can safely run?");
    EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
    EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    answer(box, IDNO);
    EXPECT_EQ(launcher.wait(), 1u);
    EXPECT_TRUE(nvidiaKeyExists());
    EXPECT_TRUE(hookEvents().empty());
    EXPECT_EQ(refreshes(), 0);
}

TEST_F(CompatibilityTest, YesRemovesTheHandlerAndTheStartGoesOn) {
    registerNvidiaHandler(L"{3D1975AF-48C6-4F8E-A182-BE0E08FA86A9}");
    startHost();
    useStandInHook();
    Process& launcher = startLauncher();
    const HWND box = messageBox(launcher);
    ASSERT_NE(box, nullptr);
    answer(box, IDYES);
    ASSERT_TRUE(waitForRefreshes(1));
    EXPECT_FALSE(nvidiaKeyExists()) << "the removal command ran";
    EXPECT_EQ(quit(launcher, 0), 0u);
}

TEST_F(CompatibilityTest, KeyWithoutAValueAsksNothing) {
    registerNvidiaHandler(nullptr);
    startHost();
    useStandInHook();
    Process& launcher = startLauncher();
    ASSERT_TRUE(waitForRefreshes(1));
    EXPECT_EQ(test_support::shownWindowOf(launcher.id, boxCaption), nullptr);
    EXPECT_EQ(quit(launcher, 0), 0u);
    EXPECT_TRUE(nvidiaKeyExists()) << "nothing was removed";
}

} // namespace
