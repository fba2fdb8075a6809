// A desktop's weeks in minutes: Kelvara runs on the desktop host while random events come, as a
// user's desktop gets them: displays shown and list-view sizes changed, icons opened, moved by
// hand, added, deleted and renamed, KelvaraCmd and a script arranging from other processes,
// the lock turned on and off, another program holding the store file open now and then, and the
// shell restarting. After each event has settled the desktop has no icon off the screens and no
// two in one cell, every opening is counted exactly once (the soak keeps its own count, which
// follows the renames), and no event was given up. The memory (private bytes) and handles of
// the host, Kelvara.exe and a long-lived script client (tests/fixtures/script_client.cpp) are
// sampled all along.
//
// The test command runs it for 60 s. scripts/soak.sh MINUTES runs it longer, prints its figures
// and, from 5 minutes on, also holds each process's growth after the warm-up (the first fifth)
// to at most 1 MiB and 0 handles. KELVARA_SOAK_SEED repeats a run with the seed it printed;
// KELVARA_SOAK_ONLY=N makes every event of kind N (0 to 11, in the order of the switch below),
// to find which one a figure comes from.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>

#include "desktop_access/grid.h"
#include "desktop_access/icon_record.h"
#include "desktop_access/last_display.h"
#include "desktop_access/unsaved_usage.h"
#include "tests/windows/component_support.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "vantle/hook_installer_win32.h"
#include "winapi/handle_win32.h"
#include "winapi/named_lock.h"

namespace {

using test_support::DesktopHost;
using test_support::HostDescription;

double minutesFromEnvironment() {
    const char* minutes = std::getenv("KELVARA_SOAK_MINUTES");
    return minutes != nullptr ? std::strtod(minutes, nullptr) : 1.0;
}

std::uint32_t seedFromEnvironment() {
    if (const char* seed = std::getenv("KELVARA_SOAK_SEED"))
        return static_cast<std::uint32_t>(std::strtoul(seed, nullptr, 10));
    return std::random_device{}();
}

struct Display {
    LONG width;
    LONG height;
    std::vector<desktop_access::Rect> areas;
};
const std::vector<Display> displays = {
    {1920, 1080, {{0, 0, 1920, 1040}}},
    {1280, 1024, {{0, 0, 1280, 984}}},
    {1600, 900, {{0, 40, 1600, 900}}},
    {2560, 1080, {{0, 0, 1280, 1040}, {1280, 0, 2560, 1080}}},
};

// How many handles a process has open. Windows says it directly; Wine does not (it reports
// none), but lists every handle of the system.
DWORD handleCount(HANDLE process) {
    DWORD handles = 0;
    if (GetProcessHandleCount(process, &handles) && handles != 0)
        return handles;
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    struct Entry {
        ULONG processId;
        BYTE type;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    std::vector<char> buffer(4 << 20);
    ULONG length = 0;
    constexpr ULONG systemHandleInformation = 16;
    if (query == nullptr || query(systemHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &length) != 0)
        return 0;
    ULONG entries = 0;
    std::memcpy(&entries, buffer.data(), sizeof entries);
    const DWORD id = GetProcessId(process);
    const auto* entry = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    for (ULONG i = 0; i < entries; ++i)
        handles += entry[i].processId == id ? 1 : 0;
    return handles;
}

// One process's private bytes (its commit charge, where the system does not tell them apart)
// and handles, sampled.
struct Usage {
    std::vector<std::pair<std::size_t, DWORD>> samples;
    void sample(HANDLE process) {
        PROCESS_MEMORY_COUNTERS_EX memory{};
        if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                 sizeof memory))
            samples.emplace_back(memory.PrivateUsage != 0 ? memory.PrivateUsage
                                                          : memory.PagefileUsage,
                                 handleCount(process));
    }
    // Growth from the first sample after the warm-up to the least of the last fifth (what a
    // process keeps, not what it holds at one busy moment).
    std::pair<long long, long> growth() const {
        if (samples.size() < 5)
            return {0, 0};
        const auto first = samples[samples.size() / 5];
        auto least = samples.back();
        for (std::size_t i = samples.size() * 4 / 5; i < samples.size(); ++i)
            least = {std::min(least.first, samples[i].first),
                     std::min(least.second, samples[i].second)};
        return {static_cast<long long>(least.first) - static_cast<long long>(first.first),
                static_cast<long>(least.second) - static_cast<long>(first.second)};
    }
};

class SoakTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetEvent(winapi::raw(clientStop));
        test_support::registerComponent();
        test_support::removeSettings();
        test_support::setSetting(L"Started", 1); // no welcome dialog
        test_support::removeStore(store);
    }
    void TearDown() override {
        SetEvent(winapi::raw(clientStop));
        if (client.handle)
            client.wait(10000);
        test_support::runCommand(L"KelvaraCmd.exe quit");
    }

    HostDescription describe(const Display& display,
                             const std::vector<test_support::HostIcon>& icons) {
        HostDescription description;
        description.width = display.width;
        description.height = display.height;
        for (const desktop_access::Rect& area : display.areas)
            description.workAreas.push_back({area.left, area.top, area.right, area.bottom});
        description.icons = icons;
        return description;
    }

    // The counts of the icons on the desktop as Kelvara holds them: the store's, and those kept
    // beside it (while another program held it, or for a label that has just left).
    std::map<std::wstring, std::uint32_t> counted() const {
        std::map<std::wstring, std::uint32_t> counts;
        for (const test_support::ReportedIcon& icon : host->report().icons)
            counts[icon.label] = 0;
        const winapi::NamedLock lock(winapi::storeLockName);
        for (const auto& [label, stored] : test_support::storedUsage(store))
            if (counts.count(label))
                counts[label] = stored;
        for (const auto& [label, kept] : desktop_access::unsavedUsage(store))
            if (const auto found = counts.find(std::wstring(label.begin(), label.end()));
                found != counts.end())
                found->second += kept;
        return counts;
    }

    // A free cell's list-view position on the display, or nothing when the one picked is taken.
    std::optional<POINT> freeCell(std::mt19937& random) const {
        const desktop_access::Grid grid = desktop_access::Grid::measure(display().areas, 75, 75);
        const desktop_access::Cell cell{
            std::uniform_int_distribution<int>(0, grid.columns - 1)(random),
            std::uniform_int_distribution<int>(0, grid.rows - 1)(random)};
        const desktop_access::Point corner = grid.cellCorner(cell);
        if (!grid.isUsable(cell, display().areas))
            return std::nullopt;
        for (const test_support::ReportedIcon& icon : host->report().icons) {
            desktop_access::IconRecord record;
            record.left = icon.box.left;
            record.top = icon.box.top;
            if (desktop_access::cellOf(record, grid) == cell)
                return std::nullopt;
        }
        return POINT{corner.x + 21, corner.y + 4};
    }

    const Display& display() const { return displays[shown]; }

    test_support::SavedKey settings;
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
    const winapi::SharedHandle clientStop =
        winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.clientStop"));
    std::unique_ptr<DesktopHost> host;
    test_support::Process launcher;
    test_support::Process client;
    std::size_t shown = 0;
};

TEST_F(SoakTest, EveryEventSettlesWithIconsOnScreenApartAndEveryOpeningCountedOnce) {
    const double minutes = minutesFromEnvironment();
    const std::uint32_t seed = seedFromEnvironment();
    std::printf("soak: %.1f minutes, seed %u\n", minutes, seed);
    std::mt19937 random(seed);
    const auto pick = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(random);
    };

    // Taller than the smallest display: icons are off it until Kelvara has arranged for it.
    std::vector<test_support::HostIcon> icons = test_support::gridOfIcons(24, 12);
    host = std::make_unique<DesktopHost>(describe(display(), icons));
    launcher = test_support::startProgram(L"Kelvara.exe");
    ASSERT_TRUE(test_support::pollUntil([&] { return host->report().snapshots > 0; }, 30000));
    client = test_support::startProgram(L"script_client.exe");
    const std::uint32_t droppedBefore = desktop_hook::droppedEvents();

    std::map<std::wstring, std::uint32_t> opened;
    for (const test_support::HostIcon& icon : icons)
        opened[icon.label] = 0;
    std::map<std::string, int> events;
    int unsettled = 0, miscounted = 0, added = 0;
    std::string last;
    bool newDisplay = false;
    Usage hostUsage, kelvaraUsage, clientUsage;
    winapi::SharedHandle hostProcess;
    const auto sampleAll = [&] {
        if (!hostProcess)
            hostProcess = winapi::ownHandle(
                OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, host->processId()));
        hostUsage.sample(winapi::raw(hostProcess));
        kelvaraUsage.sample(winapi::raw(launcher.handle));
        clientUsage.sample(winapi::raw(client.handle));
    };
    const auto labels = [&] {
        std::vector<std::wstring> now;
        for (const test_support::ReportedIcon& icon : host->report().icons)
            now.push_back(icon.label);
        return now;
    };

    const test_support::FileHolder indexer(store, seed + 1);
    const auto started = std::chrono::steady_clock::now();
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() <
           minutes * 60) {
        const std::vector<std::wstring> present = labels();
        const int count = static_cast<int>(present.size());
        const int index = pick(0, count - 1);
        int kind = pick(0, 11);
        if (const char* only = std::getenv("KELVARA_SOAK_ONLY"))
            kind = std::atoi(only);
        static const char* const kinds[] = {"display",      "list-view size", "opening",
                                            "opening",      "hand move",      "icon added",
                                            "icon deleted", "rename",         "KelvaraCmd",
                                            "script",       "lock",           "shell restart"};
        last = kinds[kind];
        switch (kind) {
        case 0:
            shown = (shown + static_cast<std::size_t>(pick(1, 3))) % displays.size();
            host->showDisplay(display().width, display().height, describe(display(), {}).workAreas);
            ++events["display"];
            break;
        case 1:
            host->resize(display().width - pick(0, 1) * 80, display().height);
            ++events["list-view size"];
            break;
        case 2:
        case 3:
            host->activate(index);
            ++opened[present[static_cast<std::size_t>(index)]];
            ++events["opening"];
            break;
        case 4:
            if (const std::optional<POINT> at = freeCell(random)) {
                host->moveByHand(index, at->x, at->y);
                ++events["hand move"];
            }
            break;
        case 5:
            if (const std::optional<POINT> at = freeCell(random); at && count < 32) {
                const std::wstring label = L"Added " + std::to_wstring(++added);
                host->insert(at->x, at->y, label);
                opened[label] = 0;
                ++events["icon added"];
            }
            break;
        case 6:
            if (count > 8) {
                host->remove(index);
                opened.erase(present[static_cast<std::size_t>(index)]);
                ++events["icon deleted"];
            }
            break;
        case 7: {
            const std::wstring label = L"Renamed " + std::to_wstring(++added);
            host->rename(index, label);
            const auto was = opened.find(present[static_cast<std::size_t>(index)]);
            opened[label] = was->second;
            opened.erase(was);
            ++events["rename"];
            break;
        }
        case 8: {
            const wchar_t* commands[] = {L"refresh",    L"sort name",    L"sort usage",
                                         L"sort age",   L"arrange auto", L"arrange left",
                                         L"arrange top"};
            test_support::runCommand(std::wstring(L"KelvaraCmd.exe ") + commands[pick(0, 6)]);
            ++events["KelvaraCmd"];
            break;
        }
        case 9:
            test_support::runCommand(L"cscript.exe //nologo \"" + test_support::programFolder() +
                                     L"arrange.js\"");
            ++events["script"];
            break;
        case 10:
            test_support::runCommand(pick(0, 1) ? L"KelvaraCmd.exe lock on"
                                                : L"KelvaraCmd.exe lock off");
            ++events["lock"];
            break;
        case 11: {
            if (pick(0, 3) != 0 && !std::getenv("KELVARA_SOAK_ONLY"))
                break;
            std::vector<test_support::HostIcon> now;
            for (const test_support::ReportedIcon& icon : host->report().icons)
                now.push_back({icon.label, icon.position.x, icon.position.y});
            host->quit();
            hostProcess.reset();
            host = std::make_unique<DesktopHost>(describe(display(), now));
            hostUsage.samples.clear(); // another process
            // Kelvara has hooked the new shell once it arranges it.
            if (!test_support::pollUntil([&] { return host->report().snapshots > 0; }, 30000))
                ++unsettled;
            ++events["shell restart"];
            break;
        }
        }
        // Settled: a new display has been arranged for, no glide runs, every icon is on a screen
        // and in a cell of its own, and every opening is counted.
        const auto arrangedFor = desktop_access::configurationOf(display().areas, 79, 79);
        const bool settled = test_support::pollUntil(
            [&] {
                if (newDisplay) {
                    const winapi::NamedLock lock(winapi::storeLockName);
                    const auto last =
                        desktop_access::readLastDisplay(desktop_access::lastDisplayPathFor(store));
                    if (!last || last->configuration != arrangedFor)
                        return false;
                }
                test_support::waitForGlides();
                const test_support::ScreenCounts screen =
                    test_support::screenCounts(*host, display().areas);
                return screen.outside == 0 && screen.doubled == 0;
            },
            30000);
        unsettled += settled ? 0 : 1;
        newDisplay = false;
        if (!test_support::pollUntil([&] { return counted() == opened; }, 30000)) {
            ++miscounted;
            std::string difference;
            const std::map<std::wstring, std::uint32_t> now = counted();
            for (const auto& [label, times] : opened)
                if (!now.count(label) || now.at(label) != times)
                    difference += " " + std::string(label.begin(), label.end()) + " " +
                                  std::to_string(times) + "/" +
                                  (now.count(label) ? std::to_string(now.at(label)) : "none");
            for (const auto& [label, times] : now)
                if (!opened.count(label))
                    difference += " unexpected " + std::string(label.begin(), label.end());
            ADD_FAILURE() << "after a " << last << ", opened/counted:" << difference;
        }
        EXPECT_TRUE(settled) << "seed " << seed << ", after " << events.size() << " kinds";
        sampleAll();
    }

    int total = 0;
    for (const auto& [kind, times] : events) {
        std::printf("soak: %s %d\n", kind.c_str(), times);
        total += times;
    }
    const std::uint32_t dropped = desktop_hook::droppedEvents() - droppedBefore;
    std::printf("soak: %d events, %d not settled, %d with openings miscounted, %u given up; "
                "store held by another program %d times\n",
                total, unsettled, miscounted, dropped, indexer.holds.load());
    const std::pair<const char*, const Usage*> processes[] = {{"desktop host", &hostUsage},
                                                              {"Kelvara.exe", &kelvaraUsage},
                                                              {"script client", &clientUsage}};
    for (const auto& [name, usage] : processes) {
        const auto [bytes, handles] = usage->growth();
        std::printf("soak: %s: %zu samples, private bytes %zu -> %zu (growth %lld), handles %lu "
                    "-> %lu (growth %ld)\n",
                    name, usage->samples.size(),
                    usage->samples.empty() ? 0 : usage->samples.front().first,
                    usage->samples.empty() ? 0 : usage->samples.back().first, bytes,
                    usage->samples.empty() ? 0ul : usage->samples.front().second,
                    usage->samples.empty() ? 0ul : usage->samples.back().second, handles);
        if (minutes >= 5) {
            EXPECT_LE(bytes, 1 << 20) << name;
            EXPECT_LE(handles, 0) << name;
        }
    }
    const bool clientRan = client.wait(0) == STILL_ACTIVE;
    std::printf("soak: the script client %s (%lu)\n", clientRan ? "ran throughout" : "ended early",
                client.wait(0));
    EXPECT_TRUE(clientRan);
    EXPECT_EQ(unsettled, 0) << "seed " << seed;
    EXPECT_EQ(miscounted, 0) << "seed " << seed;
    EXPECT_EQ(dropped, 0u) << "seed " << seed;
}

} // namespace
