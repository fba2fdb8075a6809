// The automatic arrangement under display changes (tests/support/display_sweep.h): after every
// change no icon stands where no screen shows it, no two share a cell while usable cells are
// free, every return to a display seen before brings back every icon it remembers exactly, and
// the usage counts do not change. A short form of the sweep; the whole sweep (100 sequences of
// 100 changes at each size) is benchmarks/native/display_sweep, which the test command runs too.
#include "tests/support/display_sweep.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"

namespace {

TEST(DisplayChangesTest, SweepKeepsIconsOnScreenApartAndBringsBackWhatEachDisplayShowed) {
    const test_support::ScratchFolder scratch("displays");
    const char* sequences = std::getenv("KELVARA_DISPLAY_SEQUENCES");
    // The monitors setting, the icons and the sequences (a short form; the whole sweep runs
    // benchmarks/native/display_sweep).
    struct Row {
        std::int32_t monitors;
        int icons;
        int sequences;
    };
    for (const Row& row : {Row{0, 15, 3}, Row{0, 40, 3}, Row{0, 120, 2}, Row{1, 40, 1},
                           Row{2, 40, 1}, Row{2, 120, 1}}) {
        const auto [monitors, icons, count] = row;
        const auto started = std::chrono::steady_clock::now();
        const fake::DisplayFigures figures =
            fake::runDisplaySequences(sequences ? std::atoi(sequences) : count, 100, icons,
                                      20261209u + icons, scratch.path, monitors);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("%s\n", fake::describe(figures, icons, seconds, monitors).c_str());
        SCOPED_TRACE(testing::Message() << "monitors " << monitors << ", " << icons << " icons");
        EXPECT_EQ(figures.iconsOutside, 0);
        EXPECT_EQ(figures.pairsInOneCell, 0);
        EXPECT_EQ(figures.restored, figures.remembered);
        EXPECT_GT(figures.returns, 0);
        EXPECT_EQ(figures.countsChanged, 0);
        EXPECT_EQ(figures.offTheirMonitor, 0);
        EXPECT_GT(figures.shortLived, 0);
        EXPECT_EQ(figures.shortLivedRemembered, 0);
    }
}

} // namespace
