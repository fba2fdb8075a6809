// Two arrangements close together, from every pair of the programs that arrange: the launcher
// (its first start, and "Arrange now" from its icon), the hook inside the shell (an icon opened),
// a script through automation and KelvaraCmd. The second starts a moment after the first one's
// icons have begun to glide, with the setting changed in between, so the two put the icons in
// different places: every icon must end where the later one put it, and the store must say so.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/windows/component_support.h"
#include "tests/windows/launcher_fixture.h"
#include "winapi/named_lock.h"
#include "winapi/text_win32.h"

namespace {

using test_support::Process;

enum class Trigger { launcher, hook, script, command };

const char* nameOf(Trigger trigger) {
    switch (trigger) {
    case Trigger::launcher:
        return "launcher";
    case Trigger::hook:
        return "hook";
    case Trigger::script:
        return "script";
    default:
        return "KelvaraCmd";
    }
}

// Five icons far from both edges the two arrangements use, so that each glide takes passes of
// halving steps instead of one jump.
test_support::HostDescription farDesktop() {
    test_support::HostDescription d;
    d.workAreas = {{0, 0, 1280, 984}};
    d.icons = {{L"Notes", 1150, 900},
               {L"Mail", 1000, 700},
               {L"Photos", 1200, 520},
               {L"Budget", 880, 860},
               {L"Trash", 1100, 300}};
    d.tray = true;
    return d;
}

class OverlapTest : public test_support::LauncherTest {
  protected:
    void SetUp() override {
        LauncherTest::SetUp();
        useRealHook();
        startHost(farDesktop());
    }
    void TearDown() override {
        for (const std::wstring& file : files)
            DeleteFileW(file.c_str());
        LauncherTest::TearDown();
    }

    // The icons back where the description put them, moved as by hand.
    void scatter() {
        const auto& icons = host->description().icons;
        std::vector<POINT> start;
        for (std::size_t i = 0; i < icons.size(); ++i) {
            host->moveByHand(int(i), icons[i].x, icons[i].y);
            start.push_back({icons[i].x, icons[i].y});
        }
        ASSERT_TRUE(test_support::waitForPositions(*host, start));
    }

    bool launcherRunning() const {
        return !launchers.empty() && launchers.back().wait(0) == STILL_ACTIVE;
    }
    // Icons the notification area took in so far. Once a launcher's icon is there, its first
    // arrangements have been made.
    int trayIconsAdded() const {
        int added = 0;
        for (const test_support::HostNotification& n : host->report().notifications)
            added += n.verb == "add" && n.done;
        return added;
    }
    bool waitForTrayIcon(int added) const {
        return test_support::pollUntil([&] { return trayIconsAdded() > added; }, 20000);
    }
    void ensureLauncher() {
        if (launcherRunning())
            return;
        const int added = trayIconsAdded();
        startLauncher();
        ASSERT_TRUE(waitForTrayIcon(added));
    }
    void endLauncher() {
        if (launcherRunning()) {
            ASSERT_EQ(quit(launchers.back(), 0), 0u);
        }
    }

    // A script that makes its object, says so with a file and calls Refresh through automation
    // as soon as the test sets an event (it waits for it through a program of its own: Wine's
    // script host can neither sleep nor read its input).
    struct Script {
        Process process;
        winapi::SharedHandle go;
    };
    Script prepareScript(int number) {
        const std::wstring base = L"overlap" + std::to_wstring(number);
        const std::wstring ready = test_support::programFolder() + base + L".ready";
        const std::wstring path = test_support::programFolder() + base + L".js";
        files.insert(files.end(), {ready, path});
        DeleteFileW(ready.c_str());
        Script script;
        script.go = winapi::ownHandle(
            CreateEventW(nullptr, TRUE, FALSE, (L"Local\\KelvaraTest." + base).c_str()));
        const std::string name(base.begin(), base.end()); // ASCII
        std::ofstream(std::filesystem::path(path), std::ios::binary)
            << "var tessora = new ActiveXObject(\"Tessora.Tessora\");\n"
               "var here = WScript.ScriptFullName.replace(/[^\\\\]*$/, \"\");\n"
               "new ActiveXObject(\"Scripting.FileSystemObject\").CreateTextFile(here + \""
            << name << ".ready\").Close();\n"
            << "new ActiveXObject(\"WScript.Shell\").Run(\"\\\"\" + here + "
               "\"event_waiter.exe\\\" KelvaraTest."
            << name << "\", 0, true);\n"
            << "try { tessora.Refresh(); WScript.Quit(0); }\n"
               "catch (e) { WScript.Echo(e.description); WScript.Quit(1); }\n";
        script.process = test_support::startProgramAt(L"C:\\windows\\system32\\cscript.exe",
                                                      L"//nologo \"" + path + L"\"");
        EXPECT_TRUE(test_support::pollUntil(
            [&] { return GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000))
            << "the script host started";
        return script;
    }

    // What each trigger leaves to wait for: a process to end with 0, or none.
    struct Fired {
        std::optional<Process> process;
    };
    Fired fire(Trigger trigger, std::optional<Script>& script, int opened) {
        Fired fired;
        switch (trigger) {
        case Trigger::launcher:
            if (launcherRunning())
                host->clickTrayIcon(L"double"); // "Arrange now"
            else
                startLauncher(); // a first start, which arranges twice in a row
            break;
        case Trigger::hook:
            host->activate(opened);
            break;
        case Trigger::script:
            SetEvent(winapi::raw(script->go));
            fired.process = script->process;
            break;
        case Trigger::command:
            fired.process = test_support::startProgram(L"KelvaraCmd.exe", L"refresh");
            break;
        }
        return fired;
    }

    // Snapshots the two triggers take: an opening is counted, then arranged; a launcher's first
    // start arranges twice, the second of which is the later arrangement when both are its.
    static int snapshotsOf(Trigger first, Trigger second) {
        const auto of = [](Trigger trigger) { return trigger == Trigger::hook ? 2 : 1; };
        if (first == Trigger::launcher)
            return 2 + (second == Trigger::launcher ? 0 : of(second));
        return of(first) + of(second);
    }

    // The store's places as list-view positions, by list-view index.
    std::vector<POINT> storedPositions() const {
        const test_support::HostReport report = host->report();
        const auto stored = test_support::readStoreLocked(store);
        std::vector<POINT> positions(report.icons.size(), POINT{-1, -1});
        for (std::size_t i = 0; i < report.icons.size(); ++i)
            for (const desktop_access::IconRecord& record : stored->icons)
                if (winapi::toWide(record.name) == report.icons[i].label) {
                    const auto& icon = report.icons[i];
                    positions[i] = {record.left + icon.position.x - icon.box.left,
                                    record.top + icon.position.y - icon.box.top};
                    break;
                }
        return positions;
    }

    // Whether every icon's box stands exactly on a cell of the stored grid.
    bool onCells(const std::vector<POINT>& positions) const {
        const test_support::HostReport report = host->report();
        const desktop_access::Grid grid = test_support::readStoreLocked(store)->grid();
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const auto& icon = report.icons[i];
            const LONG left = positions[i].x - (icon.position.x - icon.box.left);
            const LONG top = positions[i].y - (icon.position.y - icon.box.top);
            if (grid.cellWidth <= 0 || grid.cellHeight <= 0 ||
                (left - grid.originX) % grid.cellWidth != 0 ||
                (top - grid.originY) % grid.cellHeight != 0)
                return false;
        }
        return true;
    }

    void trial(Trigger first, Trigger second, DWORD delayMs, int number) {
        if (first == Trigger::launcher) {
            endLauncher();
            RegDeleteKeyValueW(HKEY_CURRENT_USER, test_support::settingsPath, L"Started");
        } else {
            ensureLauncher(); // the hook, and the icon "Arrange now" is chosen from
        }
        test_support::waitForGlides();
        // A launcher's first start arranges twice in a row by the same settings: automatically,
        // the first time keeping an icon off another's cell, the second snapping every icon.
        const bool bothLauncher = first == Trigger::launcher && second == Trigger::launcher;
        const DWORD later = bothLauncher ? ArrangeAuto : ArrangeTop;
        test_support::setDword(L"Arrange", bothLauncher ? ArrangeAuto : ArrangeLeft);
        test_support::setDword(L"Sort", SortIconName);
        scatter();
        if (bothLauncher) {
            const test_support::HostIcon& other = host->description().icons[3];
            host->moveByHand(4, other.x + 8, other.y + 6);
            ASSERT_TRUE(test_support::pollUntil(
                [&] { return host->report().icons[4].position.x == other.x + 8; }));
        }
        std::optional<Script> scripts[2];
        if (first == Trigger::script)
            scripts[0] = prepareScript(2 * number);
        if (second == Trigger::script)
            scripts[1] = prepareScript(2 * number + 1);

        const test_support::HostReport before = host->report();
        const int trayBefore = trayIconsAdded();
        const bool launcherStarts = first == Trigger::launcher;
        const Fired one = fire(first, scripts[0], 0);
        ASSERT_TRUE(test_support::pollUntil(
            [&] { return host->report().positionSets > before.positionSets; }, 20000))
            << "the first arrangement's icons glide";
        test_support::setDword(L"Arrange", later);
        Sleep(delayMs);
        // A launcher that has just started makes the later arrangement itself, its second one.
        const Fired two = bothLauncher ? Fired{} : fire(second, scripts[1], 1);

        for (const Fired* fired : {&one, &two}) {
            if (fired->process) {
                EXPECT_EQ(fired->process->wait(), 0u);
            }
        }
        const int snapshots = snapshotsOf(first, second);
        ASSERT_TRUE(test_support::pollUntil(
            [&] { return host->report().snapshots >= before.snapshots + snapshots; }, 20000))
            << "both arrangements ran: " << host->report().snapshots - before.snapshots
            << " snapshots of " << snapshots;
        if (launcherStarts) {
            ASSERT_TRUE(waitForTrayIcon(trayBefore));
        }
        test_support::waitForGlides();

        // An arrangement made now would move nothing: an edge arrangement does not depend on where
        // the icons stand, and the automatic one leaves icons on cells of their own as they are.
        const std::vector<POINT> expected =
            test_support::expectedPositions(SortIconName, std::int32_t(later), false, store);
        const std::vector<POINT> shown = test_support::hostPositions(*host);
        EXPECT_EQ(shown, expected) << "every icon where the later arrangement put it";
        EXPECT_EQ(storedPositions(), shown) << "and the store says so";
        EXPECT_TRUE(onCells(shown)) << "on the grid";
    }

    std::vector<std::wstring> files;
};

TEST_F(OverlapTest, TheLaterOfTwoArrangementsFromAnyTwoProgramsIsWhatStays) {
    test_support::SavedKey settings;
    const Trigger all[] = {Trigger::launcher, Trigger::hook, Trigger::script, Trigger::command};
    int number = 0;
    for (const Trigger first : all)
        for (const Trigger second : all) {
            // From 0 to 300 ms after the first glide began, spread over the pairs.
            const DWORD delayMs = DWORD(number * 97 % 301);
            SCOPED_TRACE(testing::Message() << nameOf(first) << " then " << nameOf(second) << ", "
                                            << delayMs << " ms apart");
            trial(first, second, delayMs, number++);
            if (HasFatalFailure())
                return;
        }
}

} // namespace
