// The desktop hook under load: many openings of random icons at random moments, changes of the
// work areas in between, another process holding the store lock now and then, another program
// holding the store file open now and then, and two threads keeping the processor busy. Every
// opening must be counted, and after every change the desktop must end where one arrangement after
// that change puts it.
//
// The test command runs a short form (40 openings, 5 changes). The full form (200 openings, 20
// changes) prints its figures:
//
//   KELVARA_HOOK_STRESS=full build/win64/wine-run build/win64/bin/windows_tests.exe
//       --gtest_filter='HookStress*'      (one command line)
//
// KELVARA_HOOK_STRESS_SEED repeats a run with the seed it printed.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/windows/component_support.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "vantle/hook_installer_win32.h"
#include "winapi/handle_win32.h"
#include "winapi/named_lock.h"

namespace {

using test_support::DesktopHost;
using test_support::HostDescription;

struct Plan {
    int openings;
    int changes;
};

Plan planFromEnvironment() {
    const char* form = std::getenv("KELVARA_HOOK_STRESS");
    return form != nullptr && std::string(form) == "full" ? Plan{200, 20} : Plan{40, 5};
}

std::uint32_t seedFromEnvironment() {
    if (const char* seed = std::getenv("KELVARA_HOOK_STRESS_SEED"))
        return static_cast<std::uint32_t>(std::strtoul(seed, nullptr, 10));
    return std::random_device{}();
}

// Threads that keep the processor busy while they live.
class Load {
  public:
    explicit Load(int threads) {
        for (int i = 0; i < threads; ++i)
            threads_.emplace_back([this] {
                volatile std::uint64_t spin = 0;
                while (!stop_)
                    spin = spin + 1;
            });
    }
    ~Load() {
        stop_ = true;
        for (std::thread& thread : threads_)
            thread.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

// Another holder of the store lock: at random moments, for up to a second at a time.
class LockHolder {
  public:
    explicit LockHolder(std::uint32_t seed)
        : thread_([this, seed] {
              std::mt19937 random(seed);
              while (!stop_) {
                  sleepUnlessStopped(std::uniform_int_distribution<int>(0, 2000)(random));
                  if (stop_)
                      break;
                  const winapi::NamedLock lock(winapi::storeLockName);
                  ++holds;
                  sleepUnlessStopped(std::uniform_int_distribution<int>(0, 1000)(random));
              }
          }) {}
    ~LockHolder() {
        stop_ = true;
        thread_.join();
    }
    std::atomic<int> holds{0};

  private:
    void sleepUnlessStopped(int milliseconds) {
        for (int slept = 0; slept < milliseconds && !stop_; slept += 10)
            Sleep(10);
    }
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Each puts the twelve icons somewhere else along the left edge (13, 7, 10, 9 and 8 rows, and
// a taskbar at the top), so no change can pass for arranged without an arrangement.
const std::vector<RECT> workAreaChoices = {{0, 0, 1920, 1040}, {0, 0, 1280, 600},
                                           {0, 0, 1600, 860},  {0, 0, 1024, 728},
                                           {0, 0, 2560, 700},  {0, 40, 1920, 1080}};

class HookStress : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::registerComponent();
        // By name along the left edge: where one arrangement puts the icons depends only on the
        // work areas, not on the counts that change all the time.
        test_support::setSetting(L"Sort", 0);
        test_support::setSetting(L"Arrange", 1);
        test_support::removeStore(store);
    }

    // Polls until the desktop stands where one arrangement of it now puts it.
    bool arranged(DWORD timeoutMs) {
        std::vector<POINT> expected;
        return test_support::pollUntil(
            [&] {
                expected = test_support::expectedPositions(0, 1, false, store);
                return test_support::hostPositions(*host) == expected;
            },
            timeoutMs);
    }

    test_support::Apartment apartment;
    test_support::SavedKey settings;
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
    std::unique_ptr<DesktopHost> host;
};

TEST_F(HookStress, EveryOpeningCountedAndEveryChangeArrangedUnderLoad) {
    const Plan plan = planFromEnvironment();
    const std::uint32_t seed = seedFromEnvironment();
    std::printf("hook stress: %d openings, %d changes of work area, seed %u\n", plan.openings,
                plan.changes, seed);
    std::mt19937 random(seed);

    HostDescription description;
    description.workAreas = {workAreaChoices[0]};
    description.icons = test_support::gridOfIcons(12, 6);
    host = std::make_unique<DesktopHost>(description);
    const std::uint32_t droppedBefore = desktop_hook::droppedEvents();
    const desktop_hook::HookInstaller hook(host->listView());

    // Where the changes fall among the openings. The last one comes after every opening has
    // been counted: only the change itself can get that one arranged.
    std::vector<bool> changeAfter(static_cast<std::size_t>(plan.openings), false);
    std::fill(changeAfter.begin(), changeAfter.begin() + plan.changes - 1, true);
    std::shuffle(changeAfter.begin(), changeAfter.end() - 1, random);
    changeAfter.back() = true;

    std::map<std::wstring, std::uint32_t> opened;
    for (const test_support::HostIcon& icon : description.icons)
        opened[icon.label] = 0;
    int changes = 0;
    int unarranged = 0;
    std::size_t areas = 0;
    const auto started = std::chrono::steady_clock::now();
    {
        const Load load(2);
        const LockHolder other(seed + 1);
        const test_support::FileHolder indexer(store, seed + 2);
        for (int opening = 0; opening < plan.openings; ++opening) {
            Sleep(std::uniform_int_distribution<DWORD>(0, 300)(random));
            const int index = std::uniform_int_distribution<int>(0, 11)(random);
            host->activate(index);
            ++opened[description.icons[static_cast<std::size_t>(index)].label];
            if (!changeAfter[static_cast<std::size_t>(opening)])
                continue;
            if (changes > 0 && !arranged(30000)) // the previous change, arranged by now
                ++unarranged;
            if (opening + 1 == plan.openings &&
                !test_support::pollUntil([&] { return test_support::storedUsage(store) == opened; },
                                         60000))
                ADD_FAILURE() << "the openings before the last change were not all counted";
            std::size_t next = areas;
            while (next == areas)
                next = std::uniform_int_distribution<std::size_t>(0, workAreaChoices.size() -
                                                                         1)(random);
            areas = next;
            host->setWorkAreas({workAreaChoices[areas]});
            ++changes;
        }
        if (!arranged(30000))
            ++unarranged;
        std::printf("hook stress: the store lock was held %d times by another process, the "
                    "store file %d times by another program\n",
                    other.holds.load(), indexer.holds.load());
    }
    const bool counted =
        test_support::pollUntil([&] { return test_support::storedUsage(store) == opened; }, 60000);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::uint32_t made = 0;
    for (const auto& [label, times] : opened)
        made += times;
    std::uint32_t stored = 0;
    for (const auto& [label, times] : test_support::storedUsage(store))
        stored += times;
    std::printf("hook stress: %u openings made, %u counted; %d changes, %d not arranged; "
                "%u events given up; %.1f s\n",
                made, stored, changes, unarranged, desktop_hook::droppedEvents() - droppedBefore,
                seconds);
    EXPECT_TRUE(counted) << "seed " << seed;
    EXPECT_EQ(unarranged, 0) << "seed " << seed;
    EXPECT_EQ(desktop_hook::droppedEvents(), droppedBefore) << "seed " << seed;
}

} // namespace
