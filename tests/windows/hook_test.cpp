// The desktop hook in the shell's process: the desktop host plays the shell, the test installs
// the hook on its list view's thread, and the component does the work on the hook's own worker.
#include "vantle/hook_installer_win32.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/history.h"
#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"
#include "tests/windows/component_support.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "winapi/named_lock.h"

namespace {

namespace fs = std::filesystem;
using test_support::DesktopHost;
using test_support::HostDescription;

class HookTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::registerComponent();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kelvara");
        wchar_t local[MAX_PATH];
        SHGetSpecialFolderPathW(nullptr, local, CSIDL_LOCAL_APPDATA, TRUE);
        store = fs::path(local) / L"Kelvara.store";
        test_support::removeStore(store);
    }
    void TearDown() override {
        hook.reset();
        host.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kelvara");
    }

    void start(HostDescription description) {
        host = std::make_unique<DesktopHost>(std::move(description));
        hook.emplace(host->listView());
    }

    // A user's double-click on an item, as the list view receives it.
    void doubleClick(int index) const {
        const POINT at = host->report().icons.at(index).position;
        const LPARAM point = MAKELPARAM(at.x + 16, at.y + 16);
        const HWND list = host->listView();
        PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
        PostMessageW(list, WM_LBUTTONUP, 0, point);
        PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
        PostMessageW(list, WM_LBUTTONUP, 0, point);
    }

    // The stored usage count of a label; nothing when the store has no such record.
    std::optional<std::uint32_t> storedUsage(const std::u16string& label) const {
        const auto stored = test_support::readStoreLocked(store);
        for (const auto& record : stored->icons)
            if (record.name == label)
                return record.usage;
        return std::nullopt;
    }

    POINT positionOf(int index) const { return host->report().icons.at(index).position; }

    // How often each label has a place anywhere beside the store: the layouts, the last
    // display's kept places and the restore points.
    std::map<std::u16string, int> placedLabels() const {
        std::map<std::u16string, int> labels;
        const auto add = [&](const std::vector<desktop_access::Place>& places) {
            for (const desktop_access::Place& place : places)
                ++labels[place.label];
        };
        const winapi::NamedLock lock(winapi::storeLockName);
        if (const auto layouts = desktop_access::readLayouts(desktop_access::layoutsPathFor(store)))
            for (const auto& configuration : layouts->configurations())
                add(*layouts->find(configuration));
        if (const auto last =
                desktop_access::readLastDisplay(desktop_access::lastDisplayPathFor(store)))
            add(last->pending);
        if (const auto history = desktop_access::readHistory(desktop_access::historyPathFor(store)))
            for (const auto* points : {&history->undo, &history->redo})
                for (const auto& point : *points)
                    add(point.places);
        return labels;
    }

    fs::path store;
    std::unique_ptr<DesktopHost> host;
    std::optional<desktop_hook::HookInstaller> hook;
};

HostDescription threeIcons() {
    HostDescription d;
    d.workAreas = {{0, 0, 1920, 1040}};
    d.icons = {{L"Notes", 25, 8}, {L"Mail", 25, 87}, {L"Photos", 25, 166}};
    return d;
}

TEST_F(HookTest, DoubleClickCountsExactlyThatIcon) {
    start(threeIcons());
    doubleClick(1);
    ASSERT_TRUE(test_support::pollUntil([&] { return storedUsage(u"Mail") == 1u; }, 10000));
    EXPECT_EQ(storedUsage(u"Notes"), 0u);
    EXPECT_EQ(storedUsage(u"Photos"), 0u);
    doubleClick(1);
    doubleClick(2);
    ASSERT_TRUE(test_support::pollUntil([&] { return storedUsage(u"Photos") == 1u; }, 10000));
    EXPECT_EQ(storedUsage(u"Mail"), 2u);
    EXPECT_EQ(host->report().activated, (std::vector<int>{1, 1, 2}));
}

// A renamed icon keeps its count and its places: a plain rename, two icons swapping names (by
// way of a third, as the file system has it), a rename to a label another icon has (they share
// one count, the sum), and a rename the hook did not see (the icon starts as new).
TEST_F(HookTest, RenamedIconsKeepTheirCountsAndPlaces) {
    start(threeIcons()); // Notes, Mail, Photos
    for (int index : {1, 1, 2, 0})
        doubleClick(index);
    ASSERT_TRUE(test_support::pollUntil([&] { return storedUsage(u"Notes") == 1u; }, 10000));
    ASSERT_EQ(storedUsage(u"Mail"), 2u);
    ASSERT_EQ(storedUsage(u"Photos"), 1u);

    struct Step {
        std::vector<std::pair<int, std::wstring>> renames; // item, new label
        std::map<std::wstring, std::uint32_t> counts;      // the store afterwards
    };
    const Step steps[] = {
        {{{1, L"Letters"}}, {{L"Notes", 1}, {L"Letters", 2}, {L"Photos", 1}}},
        {{{1, L"Swap"}, {2, L"Letters"}, {1, L"Photos"}},
         {{L"Notes", 1}, {L"Photos", 2}, {L"Letters", 1}}},
        {{{0, L"Letters"}}, {{L"Letters", 2}, {L"Photos", 2}}},
    };
    for (const Step& step : steps) {
        for (const auto& [index, label] : step.renames)
            host->rename(index, label);
        EXPECT_TRUE(test_support::pollUntil(
            [&] { return test_support::storedUsage(store) == step.counts; }, 10000))
            << step.renames.front().second;
        const std::map<std::u16string, int> placed = placedLabels();
        for (const auto& [label, count] : placed)
            EXPECT_TRUE(step.counts.count(std::wstring(label.begin(), label.end())))
                << "a place under an old label";
        EXPECT_TRUE(placed.count(u"Photos")) << "the places follow the new labels";
    }

    hook.reset();
    host->rename(1, L"Unseen");
    hook.emplace(host->listView());
    doubleClick(0);
    EXPECT_TRUE(test_support::pollUntil([&] { return storedUsage(u"Letters") == 3u; }, 10000));
    EXPECT_EQ(storedUsage(u"Unseen"), 0u) << "a rename nobody saw starts the icon anew";
    EXPECT_EQ(storedUsage(u"Photos"), std::nullopt);
}

// No fault of the component reaches the shell: with a component that fails every call, a
// thousand events leave the host running and answering (the hook's worker tries each piece of
// work again and gives it up in the end).
TEST_F(HookTest, AComponentThatFailsEveryCallLeavesTheShellRunningAndAnswering) {
    const std::wstring standIn = test_support::programFolder() + L"stand-in\\Tessora.dll";
    struct Real {
        ~Real() { test_support::registerComponent(); }
    } real;
    RegSetValueW(HKEY_CLASSES_ROOT,
                 L"CLSID\\{110412F3-5894-4C12-9E7B-D688903AC288}\\InprocServer32", REG_SZ,
                 standIn.c_str(), 0);
    start(threeIcons());
    std::size_t activations = 0;
    int renames = 0;
    for (int event = 0; event < 1000; ++event) {
        if (event % 4 == 3) {
            host->setWorkAreas({{0, 0, 1920 - LONG(event % 8) * 10, 1040}});
        } else if (event % 50 == 1) {
            host->rename(0, ++renames % 2 ? L"Notes 2" : L"Notes");
        } else {
            host->activate(event % 3);
            ++activations;
        }
    }
    DWORD_PTR ignored = 0;
    EXPECT_NE(SendMessageTimeoutW(host->listView(), LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000,
                                  &ignored),
              0)
        << "the shell answers";
    EXPECT_EQ(host->report().activated.size(), activations);
    EXPECT_FALSE(fs::exists(store)) << "the stand-in did the work, not the component";
    EXPECT_EQ(host->quit(), 0u) << "the shell ran on to its end";
    hook.reset();
    host.reset();
}

TEST_F(HookTest, NothingIsCountedOnceTheHookIsRemoved) {
    start(threeIcons());
    hook.reset();
    doubleClick(0);
    ASSERT_TRUE(test_support::pollUntil([&] { return host->report().activated.size() == 1; }, 5000))
        << "the double-click reached the list view";
    // Openings are counted in the order they come: once a later one is counted, an earlier one
    // the removed hook had noted would have been too.
    hook.emplace(host->listView());
    doubleClick(1);
    ASSERT_TRUE(test_support::pollUntil([&] { return storedUsage(u"Mail") == 1u; }, 10000));
    EXPECT_EQ(storedUsage(u"Notes"), 0u) << "the opening without a hook was not counted";
}

TEST_F(HookTest, WorkAreaChangeCarriesGroupsOverWithoutAnyoneCallingRefresh) {
    // The store says the desktop was 1920 x 1040 with one icon in the top-left and one in the
    // top-right corner (cells of 79 pixels: 24 columns, 13 rows).
    std::ofstream(store, std::ios::binary) << "24:13\n1920:1036\n79:79\n4:4\n"
                                              "Left\n4:4\n75:75\n0\n"
                                              "Right\n1821:4\n75:75\n0\n";
    HostDescription d;
    d.workAreas = {{0, 0, 1920, 1040}};
    d.icons = {{L"Left", 25, 8}, {L"Right", 1842, 8}};
    start(d);

    host->setWorkAreas({{0, 0, 1280, 984}}); // 16 columns, 12 rows
    // The top-right corner group goes to the new top-right corner: column 15.
    EXPECT_TRUE(test_support::pollUntil(
        [&] {
            return positionOf(1) == POINT{79 * 15 + 4 + 21, 8};
        },
        10000))
        << "at " << positionOf(1).x << ", " << positionOf(1).y;
    EXPECT_EQ(positionOf(0), (POINT{25, 8}));
    EXPECT_EQ(test_support::readStoreLocked(store)->areaWidth, 1280)
        << "the new area is the stored one now";
}

TEST_F(HookTest, ListViewResizedArrangesOnceItSettles) {
    HostDescription d = threeIcons();
    d.icons[2] = {L"Photos", 300, 311}; // off the grid
    start(d);
    host->resize({{1600, 1000}, {1700, 1000}}); // two changes at once: one arrangement
    EXPECT_TRUE(test_support::pollUntil([&] { return fs::exists(store); }, 10000));
    // Without a stored state the first arrangement leaves every icon where it is.
    const auto stored = test_support::readStoreLocked(store);
    ASSERT_EQ(stored->icons.size(), 3u);
    const test_support::ReportedIcon photos = host->report().icons.at(2);
    EXPECT_EQ(stored->icons[2].left, photos.box.left - (photos.position.x - 300));
    EXPECT_EQ(stored->icons[2].top, photos.box.top - (photos.position.y - 311));
    host->resize(1800, 1000); // now the stored area is the live one: the icon is snapped
    EXPECT_TRUE(test_support::pollUntil(
        [&] {
            return positionOf(2) == POINT{79 * 4 + 4 + 21, 79 * 4 + 4 + 4};
        },
        10000))
        << "at " << positionOf(2).x << ", " << positionOf(2).y;
    // The worker arranges one thing after another: an arrangement more for the first two
    // changes would have come before the one that snapped the icon.
    test_support::waitForGlides();
    EXPECT_EQ(host->report().snapshots, 2);
}

TEST_F(HookTest, ShellKeepsAnsweringWhileTheWorkerWaitsForTheStore) {
    start(threeIcons());
    auto lock =
        std::make_unique<winapi::NamedLock>(winapi::storeLockName); // another process's Refresh
    doubleClick(0);
    // The worker asks the opened icon's label, then waits for the lock.
    ASSERT_TRUE(test_support::pollUntil([&] { return host->report().textRequests > 0; }, 5000));
    DWORD_PTR count = 0;
    EXPECT_NE(SendMessageTimeoutW(host->listView(), LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000,
                                  &count),
              0)
        << "the shell's window thread is not blocked";
    EXPECT_EQ(count, 3u);
    EXPECT_FALSE(fs::exists(store));
    lock.reset();
    EXPECT_TRUE(test_support::pollUntil([&] { return storedUsage(u"Notes") == 1u; }, 10000));
}

} // namespace
