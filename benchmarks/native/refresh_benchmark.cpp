// One Refresh of a desktop of 1,000 icons in the automatic arrangement (the snapshot, the store
// read and written, the placing): without a layouts file (each Refresh then writes a new one),
// with one that remembers this display alone, and with one that remembers 16 displays of 1,000
// icons each, this one among them. In the last two nothing changed since the last arrangement,
// so the layouts file is read but not written. The files live in memory where the system allows
// (/dev/shm), so the figures are those of the work, not of the disk.
//
//   cmake --preset bench && cmake --build --preset bench
//   ./build/bench/benchmarks/native/refresh_benchmark
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "component/arrangement.h"
#include "desktop_access/desktop_proxy.h"
#include "desktop_access/layouts.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/live_snapshot.h"

namespace {

namespace fs = std::filesystem;

constexpr int iconCount = 1000;

fs::path folder() {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path path = base / "kelvara-refresh-benchmark";
    fs::create_directories(path);
    return path;
}

std::u16string label(int number) {
    const std::string text = "Document " + std::to_string(number) + ".txt";
    return std::u16string(text.begin(), text.end());
}

// 1,000 icons on a desktop of 4 monitors, each on its own cell: an arrangement moves none.
desktop_access::Desktop desktopOfIcons() {
    desktop_access::Desktop desktop;
    desktop.areas = {
        {0, 0, 1920, 1040}, {1920, 0, 3840, 1040}, {3840, 0, 5760, 1040}, {5760, 0, 7680, 1040}};
    for (int i = 0; i < iconCount; ++i)
        desktop.addIcon(label(i), 4 + 79 * (i / 13), 4 + 79 * (i % 13));
    return desktop;
}

void arrange(const fs::path& store, desktop_access::Desktop& desktop) {
    component::arrange(store, desktop, component::SortUsage, component::ArrangeAuto,
                       [] { return false; });
}

// 15 other displays, each with its own places for the same 1,000 icons, then this one.
void rememberSixteenDisplays(const fs::path& store, desktop_access::Desktop& desktop) {
    desktop_access::Layouts layouts;
    for (int display = 0; display < 15; ++display) {
        std::vector<desktop_access::Place> places;
        for (int i = 0; i < iconCount; ++i)
            places.push_back({label(i), 4 + 79 * (i % 40), 4 + 79 * ((i + display) / 40)});
        layouts.remember(
            desktop_access::configurationOf({{0, 0, 1280 + 64 * display, 1024}}, 79, 79), places);
    }
    desktop_access::writeLayouts(desktop_access::layoutsPathFor(store), layouts);
    arrange(store, desktop); // this display becomes the most recent of the sixteen
}

void withoutLayouts(benchmark::State& state) {
    const fs::path store = folder() / "without.store";
    const fs::path layouts = desktop_access::layoutsPathFor(store);
    desktop_access::Desktop desktop = desktopOfIcons();
    arrange(store, desktop);
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(layouts);
        state.ResumeTiming();
        arrange(store, desktop);
    }
    state.counters["layouts_bytes"] = 0;
}

// The file remembers this display alone: the least any steady Refresh reads.
void withOneDisplay(benchmark::State& state) {
    const fs::path store = folder() / "one.store";
    fs::remove(desktop_access::layoutsPathFor(store));
    desktop_access::Desktop desktop = desktopOfIcons();
    arrange(store, desktop);
    for (auto _ : state)
        arrange(store, desktop);
    state.counters["layouts_bytes"] = double(fs::file_size(desktop_access::layoutsPathFor(store)));
}

void withSixteenDisplays(benchmark::State& state) {
    const fs::path store = folder() / "with.store";
    desktop_access::Desktop desktop = desktopOfIcons();
    rememberSixteenDisplays(store, desktop);
    for (auto _ : state)
        arrange(store, desktop);
    state.counters["layouts_bytes"] = double(fs::file_size(desktop_access::layoutsPathFor(store)));
    state.counters["displays"] =
        double(desktop_access::readLayouts(desktop_access::layoutsPathFor(store))
                   ->configurations()
                   .size());
}

// What the sixteen displays add to a steady Refresh, alone: the file read, and this display's
// places compared with what it remembers.
void layoutsWorkAlone(benchmark::State& state) {
    const fs::path store = folder() / "with.store";
    desktop_access::Desktop desktop = desktopOfIcons();
    rememberSixteenDisplays(store, desktop);
    const desktop_access::DesktopProxy live = test_support::liveSnapshot(desktop, fs::path());
    std::vector<desktop_access::Place> places;
    for (const desktop_access::IconRecord& icon : live.icons)
        places.push_back({icon.name, icon.left, icon.top});
    const desktop_access::DisplayConfiguration display = live.configuration();
    for (auto _ : state) {
        auto layouts = desktop_access::readLayouts(desktop_access::layoutsPathFor(store));
        benchmark::DoNotOptimize(layouts->remember(display, places));
    }
}

BENCHMARK(layoutsWorkAlone)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(withoutLayouts)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(withOneDisplay)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(withSixteenDisplays)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
