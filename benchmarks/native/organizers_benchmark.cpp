// Sorting and placing generated desktops of 1,000, 10,000 and 100,000 icons. Each benchmark
// reports ns_per_icon, the time per icon of one run, so that growth can be read across sizes.
//
//   cmake --preset bench && cmake --build --preset bench
//   ./build/bench/benchmarks/native/organizers_benchmark
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "organizers/placement/auto_group.h"
#include "organizers/placement/edge_align.h"
#include "organizers/placement/group_relayout.h"
#include "organizers/sorting/age_sorter.h"
#include "organizers/sorting/name_sorter.h"
#include "organizers/sorting/usage_sorter.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/grid_builder.h"

namespace {

using desktop_access::DesktopProxy;
using desktop_access::IconRecord;
using namespace organizers::placement;
using namespace organizers::sorting;

constexpr std::int32_t cell = 80;

// Times the runs themselves (not the copying of their input between runs) and reports the time
// per icon of one run.
class PerIcon {
  public:
    explicit PerIcon(benchmark::State& state) : state(state) {}
    ~PerIcon() {
        const double runs =
            static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
        state.counters["ns_per_icon"] = nanoseconds / (runs * static_cast<double>(state.range(0)));
    }
    template <class Work> void run(Work&& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        nanoseconds +=
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                .count();
    }

  private:
    benchmark::State& state;
    double nanoseconds = 0;
};

std::u16string labelFor(std::mt19937& random, int number) {
    static const std::u16string words[] = {u"Report",        u"report", u"Photos", u"Zeta",
                                           u"\u00c9t\u00e9", u"Setup",  u"notes",  u"Game",
                                           u"Budget",        u"Invoice"};
    std::u16string name = words[random() % 10];
    name += u' ';
    for (char digit : std::to_string(number))
        name += static_cast<char16_t>(digit);
    return name;
}

// A desktop of count icons with distinct labels, usage counts and shell data (a quarter of the
// items outside the file system, one in twenty without find data).
struct Generated {
    explicit Generated(int count) {
        std::mt19937 random(static_cast<unsigned>(count));
        const std::uint64_t now = 133'500'000'000'000'000;
        fake::now = now;
        for (int i = 0; i < count; ++i) {
            IconRecord icon =
                fake::iconAt(labelFor(random, i), static_cast<std::int32_t>(random() % 1920),
                             static_cast<std::int32_t>(random() % 1040));
            icon.usage = random() % 50;
            desktop.fileSystem[icon.name] = random() % 4 != 0;
            if (random() % 20 == 0)
                desktop.creationTimes[icon.name] = std::nullopt;
            else
                desktop.creationTimes[icon.name] = now - random() % (5ULL * 365 * 864'000'000'000);
            icons.push_back(std::move(icon));
        }
        facts = fake::factsOf(desktop);
    }
    desktop_access::Desktop desktop;
    desktop_access::ShellFacts facts; // as a snapshot reads them
    std::vector<IconRecord> icons;
};

std::unique_ptr<Sorter> makeSorter(int kind, const desktop_access::ShellFacts& facts) {
    if (kind == 0)
        return std::make_unique<NameSorter>(facts);
    if (kind == 1)
        return std::make_unique<AgeSorter>(facts);
    return std::make_unique<UsageSorter>();
}

template <int Kind> void BM_Sort(benchmark::State& state) {
    Generated generated(static_cast<int>(state.range(0)));
    const auto sorter = makeSorter(Kind, generated.facts);
    PerIcon perIcon(state);
    for (auto _ : state) {
        state.PauseTiming();
        auto icons = generated.icons;
        state.ResumeTiming();
        perIcon.run([&] { sorter->sort(icons); });
        benchmark::DoNotOptimize(icons.data());
    }
}
BENCHMARK(BM_Sort<0>)->Name("NameSorter")->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_Sort<1>)->Name("AgeSorter")->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_Sort<2>)->Name("UsageSorter")->RangeMultiplier(10)->Range(1000, 100000);

// Each aligner sorting with each sorter, on a 1920 x 1080 desktop (most icons run past it).
template <class Aligner, int Kind> void BM_Align(benchmark::State& state) {
    Generated generated(static_cast<int>(state.range(0)));
    const auto sorter = makeSorter(Kind, generated.facts);
    DesktopProxy proxy;
    fake::setGrid(proxy, 24, 13, cell);
    PerIcon perIcon(state);
    for (auto _ : state) {
        state.PauseTiming();
        proxy.icons = generated.icons;
        state.ResumeTiming();
        perIcon.run([&] { Aligner().place(proxy, *sorter); });
        benchmark::DoNotOptimize(proxy.icons.data());
    }
}
#define KELVARA_ALIGN(Aligner)                                                                     \
    BENCHMARK(BM_Align<Aligner, 0>)                                                                \
        ->Name(#Aligner "/NameSorter")                                                             \
        ->RangeMultiplier(10)                                                                      \
        ->Range(1000, 100000);                                                                     \
    BENCHMARK(BM_Align<Aligner, 1>)                                                                \
        ->Name(#Aligner "/AgeSorter")                                                              \
        ->RangeMultiplier(10)                                                                      \
        ->Range(1000, 100000);                                                                     \
    BENCHMARK(BM_Align<Aligner, 2>)                                                                \
        ->Name(#Aligner "/UsageSorter")                                                            \
        ->RangeMultiplier(10)                                                                      \
        ->Range(1000, 100000)
KELVARA_ALIGN(LeftAlign);
KELVARA_ALIGN(RightAlign);
KELVARA_ALIGN(TopAlign);
KELVARA_ALIGN(BottomAlign);

// A grid of about cells cells in the proportions of a wide screen.
void wideGrid(DesktopProxy& proxy, int cells) {
    const int columns = std::max(1, static_cast<int>(std::sqrt(cells * 16.0 / 9.0)));
    const int rows = std::max(1, (cells + columns - 1) / columns);
    fake::setGrid(proxy, columns, rows, cell);
}

std::u16string numbered(int number) {
    const std::string text = "Icon " + std::to_string(number);
    return std::u16string(text.begin(), text.end());
}

void runSnap(benchmark::State& state, DesktopProxy& proxy) {
    const auto before = proxy.icons;
    PerIcon perIcon(state);
    for (auto _ : state) {
        state.PauseTiming();
        proxy.icons = before;
        state.ResumeTiming();
        perIcon.run([&] { snapToGrid(proxy); });
        benchmark::DoNotOptimize(proxy.icons.data());
    }
}

// Icons on a quarter of the cells, a few pixels off; about one in eight shares a cell and
// searches.
void BM_SnapSparse(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::mt19937 random(1);
    DesktopProxy proxy;
    wideGrid(proxy, 4 * count);
    for (int i = 0; i < count; ++i)
        proxy.icons.push_back(fake::iconInCell(numbered(i), proxy,
                                               static_cast<int>(random() % proxy.columns),
                                               static_cast<int>(random() % proxy.rows), 7, -3));
    runSnap(state, proxy);
}
BENCHMARK(BM_SnapSparse)->Name("AutoGroup/snap sparse")->RangeMultiplier(10)->Range(1000, 100000);

// More icons than cells: every cell is taken and the last tenth of the icons has nowhere to go.
void BM_SnapFull(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::mt19937 random(2);
    DesktopProxy proxy;
    wideGrid(proxy, count - count / 10);
    const int cells = proxy.columns * proxy.rows;
    for (int i = 0; i < count; ++i) {
        const int at = i < cells ? i : static_cast<int>(random() % cells);
        proxy.icons.push_back(
            fake::iconInCell(numbered(i), proxy, at % proxy.columns, at / proxy.columns, 5, 5));
    }
    runSnap(state, proxy);
}
BENCHMARK(BM_SnapFull)->Name("AutoGroup/snap full")->RangeMultiplier(10)->Range(1000, 100000);

// The search's worst case: the grid is full but for a corner, and a tenth of the icons search
// along lines that never pass through it, to the ends of the grid.
void BM_SnapNearlyFull(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::mt19937 random(3);
    DesktopProxy proxy;
    wideGrid(proxy, count);
    const int corner = std::max(2, proxy.rows / 4);
    int placed = 0;
    for (int row = 0; row < proxy.rows; ++row)
        for (int column = 0; column < proxy.columns; ++column)
            if (column < proxy.columns - corner || row < proxy.rows - corner)
                proxy.icons.push_back(fake::iconInCell(numbered(placed++), proxy, column, row));
    while (placed < count + count / 10) {
        const int column = static_cast<int>(random() % (proxy.columns - corner));
        const int row = static_cast<int>(random() % (proxy.rows - corner - 1));
        proxy.icons.push_back(fake::iconInCell(numbered(placed++), proxy, column, row, 9, 9));
    }
    runSnap(state, proxy);
}
BENCHMARK(BM_SnapNearlyFull)
    ->Name("AutoGroup/snap nearly full")
    ->RangeMultiplier(10)
    ->Range(1000, 100000);

// A stored desktop of blocks of icons (1 to 6 columns by 1 to 4 rows) on about half its cells,
// carried over to a grid of 80 % of the columns and 120 % of the rows.
void BM_Relayout(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::mt19937 random(4);
    DesktopProxy live;
    live.previous = std::make_shared<DesktopProxy>();
    DesktopProxy& stored = *live.previous;
    wideGrid(stored, 2 * count);
    std::vector<bool> used(static_cast<std::size_t>(stored.columns) * stored.rows);
    int placed = 0;
    while (placed < count) {
        const int left = static_cast<int>(random() % stored.columns);
        const int top = static_cast<int>(random() % stored.rows);
        const int right = std::min(stored.columns, left + 1 + static_cast<int>(random() % 6));
        const int bottom = std::min(stored.rows, top + 1 + static_cast<int>(random() % 4));
        for (int row = top; row < bottom && placed < count; ++row)
            for (int column = left; column < right && placed < count; ++column) {
                const auto slot = static_cast<std::size_t>(row) * stored.columns + column;
                if (used[slot])
                    continue;
                used[slot] = true;
                stored.icons.push_back(fake::iconInCell(numbered(placed), stored, column, row));
                live.icons.push_back(fake::iconAt(numbered(placed++), 0, 0));
            }
    }
    fake::setGrid(live, stored.columns * 4 / 5, stored.rows * 6 / 5, cell);
    PerIcon perIcon(state);
    for (auto _ : state) {
        perIcon.run([&] { relayoutGroups(live); }); // starts from the stored places every time
        benchmark::DoNotOptimize(live.icons.data());
    }
}
BENCHMARK(BM_Relayout)->Name("AutoGroup/relayout")->RangeMultiplier(10)->Range(1000, 100000);

} // namespace

BENCHMARK_MAIN();
