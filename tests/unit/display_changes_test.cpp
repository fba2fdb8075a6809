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
    for (const int icons : {15, 40, 120}) {
        const auto started = std::chrono::steady_clock::now();
        const fake::DisplayFigures figures = fake::runDisplaySequences(
            sequences ? std::atoi(sequences) : 6, 100, icons, 20261209u + icons, scratch.path);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("%s\n", fake::describe(figures, icons, seconds).c_str());
        EXPECT_EQ(figures.iconsOutside, 0) << icons << " icons";
        EXPECT_EQ(figures.pairsInOneCell, 0) << icons << " icons";
        EXPECT_EQ(figures.restored, figures.remembered) << icons << " icons";
        EXPECT_GT(figures.returns, 0);
        EXPECT_EQ(figures.countsChanged, 0);
    }
}

} // namespace
