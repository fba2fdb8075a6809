// Kelvara's notification-area icon and its menu, with the desktop host playing the notification
// area (its "tray" directive) and the launcher run as in tests/windows/launcher_fixture.h. The
// commands are sent to the launcher's window as the menu sends them.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include "launcher/launcher_window_win32.h"
#include "launcher/tray_menu_win32.h"
#include "tests/windows/component_support.h"
#include "tests/windows/launcher_fixture.h"

namespace {

using Microsoft::WRL::ComPtr;
using test_support::HostDescription;
using test_support::HostNotification;
using test_support::Process;
using test_support::readDword;
using test_support::setDword;

HostDescription desktopWithTray(bool broadcast = false) {
    HostDescription d = test_support::smallDesktop();
    d.tray = true;
    d.broadcast = broadcast;
    return d;
}

// The picture of Kelvara.exe's icon resource 128 at the small icon size, as the notification
// area receives it: the test shows it there itself, under an id of its own, and takes it away.
std::string applicationIconImage(const test_support::DesktopHost& host,
                                 const std::wstring& program) {
    const HMODULE module = LoadLibraryExW(
        program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        nullptr, nullptr);
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window;
    icon.uID = 77;
    icon.uFlags = NIF_ICON;
    icon.hIcon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(128), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    std::string image;
    if (icon.hIcon != nullptr && Shell_NotifyIconW(NIM_ADD, &icon)) {
        image = host.report().notifications.back().image;
        Shell_NotifyIconW(NIM_DELETE, &icon);
    }
    DestroyIcon(icon.hIcon);
    DestroyWindow(window);
    FreeLibrary(module);
    return image;
}

class TrayTest : public test_support::LauncherTest {
  protected:
    // Starts Kelvara and waits for its icon; false when no icon came.
    bool startWithIcon(HostDescription description = desktopWithTray()) {
        startHost(std::move(description));
        useStandInHook();
        launcher = &startLauncher();
        return waitForRefreshes(1) && waitForIcon(0);
    }

    // Notifications the host's notification area received from the launcher's window.
    std::vector<HostNotification> notifications() const {
        std::vector<HostNotification> own;
        for (HostNotification& n : host->report().notifications)
            if (n.window == window())
                own.push_back(std::move(n));
        return own;
    }
    // Whether an add of the icon that worked came after `after` notifications of the launcher.
    bool waitForIcon(std::size_t after, DWORD timeoutMs = 10000) const {
        return test_support::pollUntil(
            [&] {
                const auto told = notifications();
                for (std::size_t i = after; i < told.size(); ++i)
                    if (told[i].verb == "add" && told[i].done)
                        return true;
                return false;
            },
            timeoutMs);
    }

    HWND window() const {
        for (HWND found = nullptr;
             (found = FindWindowExW(nullptr, found, launcher::launcherWindowClass, nullptr));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (launcher != nullptr && owner == launcher->id)
                return found;
        }
        return nullptr;
    }
    void send(UINT command) const { PostMessageW(window(), WM_COMMAND, command, 0); }

    Process* launcher = nullptr;
};

TEST_F(TrayTest, IconIsTheApplicationsAndGoesWithAQuitFromTheMenu) {
    ASSERT_TRUE(startWithIcon());
    const HostNotification added = notifications().front();
    EXPECT_EQ(added.verb, "add");
    EXPECT_EQ(added.tip, L"Kelvara");
    EXPECT_EQ(added.flags & (NIF_ICON | NIF_TIP | NIF_MESSAGE | NIF_GUID),
              UINT(NIF_ICON | NIF_TIP | NIF_MESSAGE | NIF_GUID));
    // One GUID in every version, so that Windows keeps the user's choice to show the icon.
    EXPECT_EQ(added.guid, "{6B1E0F52-3C9A-4D47-9E1B-5A7C2D8F4E31}");
    EXPECT_EQ(added.callbackMessage, launcher::trayMessage);
    EXPECT_EQ(added.image, applicationIconImage(*host, (folder / L"Kelvara.exe").wstring()))
        << "the application icon, resource 128";

    send(launcher::commandQuit);
    EXPECT_EQ(launcher->wait(), 0u) << "as a quit message with code 0";
    EXPECT_EQ(hookEvents(), (std::vector<std::string>{"install", "remove"}))
        << "the hook was removed, after the component was released";
    const HostNotification last = host->report().notifications.back();
    EXPECT_EQ(last.verb, "delete");
    EXPECT_TRUE(last.done);
    EXPECT_EQ(last.guid, added.guid);
    EXPECT_EQ(refreshes(), 1) << "quitting arranges nothing";
}

TEST_F(TrayTest, AskingTheWindowToCloseEndsKelvaraAsQuitDoes) {
    ASSERT_TRUE(startWithIcon());
    PostMessageW(window(), WM_CLOSE, 0, 0); // as "taskkill /im Kelvara.exe" asks
    EXPECT_EQ(launcher->wait(), 0u);
    EXPECT_EQ(hookEvents(), (std::vector<std::string>{"install", "remove"}));
    EXPECT_EQ(host->report().notifications.back().verb, "delete");
}

TEST_F(TrayTest, EachCommandStoresItsSettingAndArranges) {
    ASSERT_TRUE(startWithIcon());
    int arranged = refreshes();
    const auto expectArranged = [&](const char* what) {
        EXPECT_TRUE(waitForRefreshes(++arranged)) << what << " arranged the desktop";
    };
    for (std::int32_t sort = 0; sort < launcher::sortMethodCount; ++sort) {
        send(launcher::commandSortBase + UINT(sort));
        expectArranged("a sort method");
        EXPECT_EQ(readDword(L"Sort"), DWORD(sort));
    }
    for (std::int32_t arrange = launcher::arrangeMethodCount - 1; arrange >= 0; --arrange) {
        send(launcher::commandArrangeBase + UINT(arrange));
        expectArranged("an arrange method");
        EXPECT_EQ(readDword(L"Arrange"), DWORD(arrange));
    }
    for (std::int32_t monitors = launcher::monitorsCount - 1; monitors >= 0; --monitors) {
        send(launcher::commandMonitorsBase + UINT(monitors));
        expectArranged("a monitors setting");
        EXPECT_EQ(readDword(L"Monitors"), DWORD(monitors));
    }
    send(launcher::commandArrangeNow);
    expectArranged("Arrange now");

    // Locking changes the setting and moves nothing, here as everywhere else.
    for (const DWORD locked : {1u, 0u}) {
        send(launcher::commandLock);
        EXPECT_TRUE(test_support::pollUntil([&] { return readDword(L"Locked") == locked; }));
    }
    send(launcher::commandArrangeNow);
    expectArranged("Arrange now");

    // Along the left edge: the icons end where the component's own strategies put them, however
    // close behind the earlier arrangements it comes.
    const std::vector<POINT> left = test_support::expectedPositions(2, 1, false, store);
    ++arranged; // the snapshot of the line above
    send(launcher::commandArrangeBase + 1);
    expectArranged("the left edge");
    EXPECT_TRUE(test_support::waitForPositions(*host, left, 10000));
    EXPECT_EQ(quit(*launcher, 0), 0u);
    EXPECT_EQ(refreshes(), arranged) << "the lock commands arranged nothing";
}

TEST_F(TrayTest, DoubleClickArrangesAndRightClickOpensTheMenu) {
    ASSERT_TRUE(startWithIcon());
    host->clickTrayIcon(L"double");
    EXPECT_TRUE(waitForRefreshes(2)) << "a double-click runs the default item, Arrange now";

    host->clickTrayIcon(L"right");
    HWND menu = nullptr;
    const auto menuOfLauncher = [&] {
        for (menu = nullptr; (menu = FindWindowExW(nullptr, menu, L"#32768", nullptr));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(menu, &owner);
            if (owner == launcher->id && IsWindowVisible(menu))
                return true;
        }
        return false;
    };
    ASSERT_TRUE(test_support::pollUntil(menuOfLauncher)) << "the menu opened";
    PostMessageW(window(), WM_CANCELMODE, 0, 0); // as a click elsewhere closes it
    EXPECT_TRUE(test_support::pollUntil([&] { return !menuOfLauncher(); }));
    EXPECT_EQ(quit(*launcher, 0), 0u); // once it has ended, it has done all it was asked
    EXPECT_EQ(refreshes(), 2) << "opening and closing the menu arranges nothing";
}

TEST_F(TrayTest, FailedCallIsToldInABalloonInTheComponentsWords) {
    ASSERT_TRUE(startWithIcon());
    setDword(L"Sort", 7); // a script stored a method Kelvara does not know
    send(launcher::commandArrangeNow);
    HostNotification balloon;
    ASSERT_TRUE(test_support::pollUntil([&] {
        for (const HostNotification& n : notifications())
            if (n.verb == "modify" && (n.flags & NIF_INFO)) {
                balloon = n;
                return true;
            }
        return false;
    }));
    EXPECT_EQ(balloon.infoTitle, L"Kelvara");
    EXPECT_EQ(balloon.info, L"Kelvara could not arrange the desktop: The stored sort or arrange "
                            L"method is not one Kelvara knows (sort 7, arrange 0).");
    EXPECT_EQ(balloon.infoFlags, DWORD(NIIF_WARNING));

    send(launcher::commandSortBase + 0); // choosing a known method cures it
    EXPECT_TRUE(waitForRefreshes(3));
    EXPECT_EQ(readDword(L"Sort"), 0u);
    EXPECT_EQ(launcher->wait(0), DWORD(STILL_ACTIVE)) << "a failure ends nothing";
    const HWND own = window();
    EXPECT_EQ(quit(*launcher, 0), 0u); // once it has ended, it has told all it had to
    std::size_t balloons = 0;
    for (const HostNotification& n : host->report().notifications)
        balloons += n.window == own && (n.flags & NIF_INFO) != 0;
    EXPECT_EQ(balloons, 1u) << "a call that works says nothing";
}

// A shell that restarts has a notification area that knows no icons: Kelvara adds its icon
// again, whether or not the new shell announces itself.
TEST_F(TrayTest, IconComesBackAfterTheShellRestarts) {
    ASSERT_TRUE(startWithIcon());
    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "the new shell announces itself" : "the new shell says nothing");
        host->quit();
        startHost(desktopWithTray(announced));
        EXPECT_TRUE(waitForIcon(0)) << "the icon was added to the new notification area";
        const std::vector<HostNotification> told = notifications();
        ASSERT_FALSE(told.empty());
        EXPECT_EQ(told.front().verb, "add");
        EXPECT_EQ(told.front().tip, L"Kelvara");
    }
    ASSERT_TRUE(waitForRefreshes(1)) << "Kelvara arranged the new desktop once";
    const int arranged = refreshes();
    send(launcher::commandArrangeNow);
    EXPECT_TRUE(waitForRefreshes(arranged + 1)) << "the menu's commands reach the new desktop";
    EXPECT_EQ(quit(*launcher, 0), 0u);
}

// Undo, redo, the layouts, a restore point and showing the icons from the menu; "Save current
// layout..." asks the name in its dialog.
TEST_F(TrayTest, UndoRedoLayoutsAndShowingTheIconsFromTheMenu) {
    ASSERT_TRUE(startWithIcon());
    test_support::waitForGlides();
    const std::vector<POINT> started = test_support::hostPositions(*host);
    const std::vector<POINT> left =
        test_support::expectedPositions(SortUsage, ArrangeLeft, false, store);
    ASSERT_NE(left, started);
    const auto expectShown = [&](UINT command, const std::vector<POINT>& positions) {
        send(command);
        EXPECT_TRUE(test_support::waitForPositions(*host, positions, 10000))
            << "command " << command;
        test_support::waitForGlides();
    };
    expectShown(launcher::commandArrangeBase + ArrangeLeft, left);
    expectShown(launcher::commandUndo, started);
    expectShown(launcher::commandRedo, left);

    send(launcher::commandSaveLayout);
    HWND dialog = nullptr;
    ASSERT_TRUE(test_support::pollUntil([&] {
        // Shown only once its WM_INITDIALOG has filled it in.
        dialog = FindWindowW(L"#32770", L"Save current layout");
        return dialog != nullptr && IsWindowVisible(dialog);
    }));
    wchar_t proposed[80] = {};
    GetDlgItemTextW(dialog, 1001, proposed, 80);
    EXPECT_STREQ(proposed, L"Layout 1");
    SetDlgItemTextW(dialog, 1001, L"Evening & night");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    test_support::Apartment apartment;
    ComPtr<ITessora2> tessora;
    ASSERT_EQ(test_support::createTessora().As(&tessora), S_OK);
    EXPECT_TRUE(test_support::pollUntil([&] {
        BSTR names = nullptr;
        const bool saved = SUCCEEDED(tessora->get_Layouts(&names)) && names != nullptr &&
                           std::wstring(names) == L"Evening & night\n";
        SysFreeString(names);
        return saved;
    }));

    expectShown(launcher::commandUndo, started);
    expectShown(launcher::commandLayoutBase, left);
    expectShown(launcher::commandRestorePointBase + 1, started); // the desktop before the layout
    for (const bool shown : {false, true}) {
        send(launcher::commandShowIcons);
        EXPECT_TRUE(test_support::pollUntil(
            [&] { return (IsWindowVisible(host->listView()) != FALSE) == shown; }));
    }
    EXPECT_EQ(quit(*launcher, 0), 0u);
}

// The store's folder made one Kelvara may not write to, for as long as the object lives. Under
// Wine, which runs as root here, the Unix folder is made immutable (chattr), which root cannot
// write past either; `made` is false where that cannot be done.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
        made = set(true);
    }
    // Even where making it read-only seemed to fail, the change may yet come: it is undone.
    ~ReadOnlyFolder() {
        if (changed_) {
            EXPECT_TRUE(set(false)) << "the folder is writable again";
        }
        for (const std::filesystem::path& probe : strays_)
            DeleteFileW(probe.c_str());
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool set(bool readOnly) {
        using UnixName = char*(CDECL*)(LPCWSTR);
        const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
        char* name = unixName != nullptr ? unixName(folder_.c_str()) : nullptr;
        if (name == nullptr)
            return false;
        const std::string unix = name;
        HeapFree(GetProcessHeap(), 0, name);
        std::wstring command = std::wstring(L"chattr ") + (readOnly ? L"+i \"" : L"-i \"") +
                               std::wstring(unix.begin(), unix.end()) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(L"Z:\\usr\\bin\\chattr", command.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &started))
            return false;
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        changed_ = true;
        // Wine gives a Unix program no handle that waits for its end: the folder tells.
        return test_support::pollUntil([&] { return writable() != readOnly; }, 10000);
    }
    // Whether a new file can be made there. Each probe is a file of its own: a probe that the
    // change caught between its making and its deletion stays, and an existing file can be
    // written in a folder that takes no new one.
    bool writable() const {
        const std::filesystem::path probe =
            folder_ / (L"Kelvara.probe" + std::to_wstring(probes_++));
        const HANDLE file =
            CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        if (DeleteFileW(probe.c_str()))
            return true;
        strays_.push_back(probe); // deleted once the folder is writable again
        return false;
    }

    bool made = false;

  private:
    std::filesystem::path folder_;
    bool changed_ = false;
    mutable int probes_ = 0;
    mutable std::vector<std::filesystem::path> strays_;
};

// Saves that fail, in the launcher and in another process, are told once; a save that works
// brings back what was kept, and the next failure is told again.
TEST_F(TrayTest, ASaveThatFailsIsToldOnceUntilASaveWorks) {
    ASSERT_TRUE(startWithIcon());
    test_support::waitForGlides();
    test_support::Apartment apartment;
    const ComPtr<ITessora> tessora = test_support::createTessora(); // another program's
    const HWND own = window();
    const auto balloons = [&] {
        std::vector<std::wstring> told;
        for (const HostNotification& n : host->report().notifications)
            if (n.window == own && (n.flags & NIF_INFO))
                told.push_back(n.info);
        return told;
    };
    {
        const ReadOnlyFolder readOnly(store.parent_path());
        if (!readOnly.made)
            GTEST_SKIP() << "the store's folder cannot be made read-only on this machine";
        EXPECT_EQ(tessora->IconActivated(0), E_FAIL) << "counted, but not saved";
        ASSERT_TRUE(test_support::pollUntil([&] { return !balloons().empty(); }));
        for (int arranged = refreshes(), i = 0; i < 3; ++i) {
            send(launcher::commandArrangeNow);
            EXPECT_TRUE(waitForRefreshes(++arranged));
        }
    }
    EXPECT_EQ(tessora->Refresh(), S_OK);
    EXPECT_EQ(test_support::storedUsage(store)[L"Notes"], 1u) << "kept until a save worked";
    {
        const ReadOnlyFolder readOnly(store.parent_path());
        ASSERT_TRUE(readOnly.made);
        const int arranged = refreshes();
        send(launcher::commandArrangeNow);
        EXPECT_TRUE(waitForRefreshes(arranged + 1));
        EXPECT_EQ(quit(*launcher, 0), 0u); // once it has ended, it has told all it had to
    }
    const std::vector<std::wstring> told = balloons();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].rfind(L"Kelvara cannot save what it remembers: Access denied", 0), 0u)
        << told[0];
    EXPECT_EQ(told[1].rfind(L"Kelvara could not arrange the desktop: Kelvara could not save", 0),
              0u)
        << told[1];
}

} // namespace
