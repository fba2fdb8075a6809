#include "desktop_access/desktop_win32.h"

#include <thread>

#include <gtest/gtest.h>

#include "desktop_access/errors.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "winapi/error.h"

namespace {

using desktop_access::Desktop;
using test_support::DesktopHost;
using test_support::HostDescription;
using test_support::HostLayout;

HostDescription oneIcon(HostLayout layout = HostLayout::shell) {
    HostDescription description;
    description.layout = layout;
    description.icons = {{L"Notes.txt", 120, 80}};
    return description;
}

// Runs work on a thread of its own, in a multithreaded apartment when asked, and hands back the
// message of what it threw ("" when nothing).
std::string onOtherThread(bool multithreaded, const std::function<void()>& work) {
    std::string thrown;
    std::thread thread([&] {
        if (multithreaded)
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        try {
            work();
        } catch (const std::exception& error) {
            thrown = error.what();
        }
    });
    thread.join();
    return thrown;
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

TEST(Discovery, FindsTheListViewTwoLevelsBelowTheShellWindow) {
    DesktopHost host(oneIcon());
    const Desktop desktop = desktop_access::findDesktop();
    EXPECT_EQ(desktop.listView, host.listView());
    EXPECT_EQ(desktop.processId, host.processId());
    EXPECT_TRUE(desktop.process);
    EXPECT_TRUE(desktop.shellFolder);
    EXPECT_EQ(desktop_access::processHandle(desktop), desktop.process);
    EXPECT_EQ(desktop_access::desktopFolder(desktop).Get(), desktop.shellFolder.Get());
}

TEST(Discovery, DepthBudgetCountsTheLevelsSearched) {
    DesktopHost host(oneIcon());
    // The parent of the list view is searched one level down, with the budget less one.
    EXPECT_EQ(desktop_access::findWindowRecursive(host.shellWindow(), L"SysListView32", 3),
              host.listView());
    EXPECT_EQ(test_support::messageOf<winapi::Error>([&] {
                  desktop_access::findWindowRecursive(host.shellWindow(), L"SysListView32", 2);
              }),
              "Max recursion reached");
    // All windows below, not only the children: the view and the list view.
    EXPECT_EQ(desktop_access::childWindows(host.shellWindow()).size(), 2u);
    EXPECT_TRUE(desktop_access::childWindows(host.listView()).empty())
        << "a window without children is no failure";
}

TEST(Discovery, FindsTheViewMovedIntoAWorkerWindow) {
    DesktopHost host(oneIcon(HostLayout::workerw));
    EXPECT_EQ(desktop_access::findDesktop().listView, host.listView());
    // The search below the shell window alone finds nothing there.
    const std::string message = test_support::messageOf<winapi::Error>(
        [&] { desktop_access::findWindowRecursive(host.shellWindow(), L"SysListView32", 10); });
    EXPECT_TRUE(startsWith(message, "Failed to find the desktop window")) << message;
}

TEST(Discovery, WorkerWindowsAreNotSearchedWhenTheShellWindowHoldsTheView) {
    HostDescription description = oneIcon();
    description.decoy = true; // an empty list view in a WorkerW of the same thread
    DesktopHost host(description);
    EXPECT_EQ(desktop_access::findDesktop().listView, host.listView());
}

struct Tree {
    const char* name;
    HostLayout layout;
    int emptyWorkerChildren;
    int emptyTopLevelWorkers;
    bool strayList;
};

// The trees the shell builds: its view below the shell window beside an empty WorkerW child
// (Windows 11 24H2 on), or below a top-level WorkerW between empty ones (earlier systems); with
// more empty WorkerW windows on either side, and with a list view outside any view.
class DiscoveryTrees : public testing::TestWithParam<Tree> {};

TEST_P(DiscoveryTrees, FindTheListViewOfTheShellsView) {
    const Tree& tree = GetParam();
    HostDescription description = oneIcon(tree.layout);
    description.emptyWorkerChildren = tree.emptyWorkerChildren;
    description.emptyTopLevelWorkers = tree.emptyTopLevelWorkers;
    description.strayList = tree.strayList;
    DesktopHost host(description);
    Desktop desktop = desktop_access::findDesktop();
    EXPECT_EQ(desktop.listView, host.listView());
    EXPECT_EQ(desktop_access::iconCount(desktop), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Discovery, DiscoveryTrees,
    testing::Values(Tree{"Windows11_24H2", HostLayout::shell, 1, 0, false},
                    Tree{"Windows11_24H2_ExtraWorkers", HostLayout::shell, 2, 2, false},
                    Tree{"WorkerW", HostLayout::workerw, 0, 1, false},
                    Tree{"WorkerW_EmptyWorkerBelowTheShellWindow", HostLayout::workerw, 1, 1,
                         false},
                    Tree{"StrayListViewBelowTheShellWindow", HostLayout::shell, 0, 0, true},
                    Tree{"StrayListViewAndTheViewInAWorkerW", HostLayout::workerw, 1, 0, true}),
    [](const testing::TestParamInfo<Tree>& info) { return std::string(info.param.name); });

TEST(Discovery, NoShellWindow) {
    EXPECT_EQ(test_support::messageOf<desktop_access::DesktopAccessError>(
                  [] { desktop_access::findDesktop(); }),
              "Failed to find the shell window");
}

TEST(Discovery, NoListView) {
    DesktopHost host(oneIcon(HostLayout::noListView));
    const std::string message =
        test_support::messageOf<winapi::Error>([] { desktop_access::findDesktop(); });
    EXPECT_TRUE(startsWith(message, "Failed to find the desktop window Winapi: ")) << message;
}

TEST(Discovery, MultithreadedApartmentCannotHoldTheDesktop) {
    EXPECT_EQ(onOtherThread(true, [] { desktop_access::findDesktop(); }),
              "Failed to initialize COM");
}

TEST(Discovery, SecondGetDesktopDoesNoSearch) {
    DesktopHost host(oneIcon());
    Desktop& first = desktop_access::getDesktop();
    EXPECT_EQ(first.listView, host.listView());
    // A search on a thread of the multithreaded apartment would fail at once.
    Desktop* second = nullptr;
    EXPECT_EQ(onOtherThread(true, [&] { second = &desktop_access::getDesktop(); }), "");
    EXPECT_EQ(second, &first);
}

TEST(Discovery, RestartedShellGivesAFreshRecord) {
    auto host = std::make_unique<DesktopHost>(oneIcon());
    Desktop& old = desktop_access::getDesktop();
    const HWND oldListView = old.listView;
    ASSERT_EQ(host->quit(), 0u);
    host.reset();

    HostDescription next = oneIcon();
    next.icons.push_back({L"Second.txt", 300, 80});
    host = std::make_unique<DesktopHost>(next);
    // The old record is refused before anything is sent, and stays readable.
    EXPECT_EQ(test_support::messageOf<desktop_access::DesktopAccessError>(
                  [&] { desktop_access::iconCount(old); }),
              "The desktop list view is gone");
    EXPECT_EQ(old.listView, oldListView);

    Desktop& fresh = desktop_access::getDesktop();
    EXPECT_NE(&fresh, &old);
    EXPECT_EQ(fresh.listView, host->listView());
    EXPECT_EQ(fresh.processId, host->processId());
    EXPECT_EQ(desktop_access::iconCount(fresh), 2);
    EXPECT_EQ(&desktop_access::getDesktop(), &fresh);
}

} // namespace
