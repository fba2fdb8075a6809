// The whole display-change sweep (tests/support/display_sweep.h): 100 random sequences of 100
// display changes each, at 15, 40 and 120 icons in groups, under each monitors setting. It prints
// its figures and ends with exit code 1 when an icon stood off every screen, two shared a cell
// while usable cells were free, an icon ended off the monitor the setting names while that had
// room, a display remembered did not bring back every icon it held, a display shown under 5 s
// was remembered, or a count changed.
//
//   build/bench/benchmarks/native/display_sweep [SEQUENCES]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tests/support/display_sweep.h"

int main(int argc, char** argv) {
    const int sequences = argc > 1 ? std::atoi(argv[1]) : 100;
    // Every arrangement writes the store and the layouts file: in memory when the system has a
    // folder there, so the sweep measures the arrangement rather than the disk.
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    const std::filesystem::path folder = base / "kelvara-display-sweep";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    bool sound = true;
    for (const std::int32_t monitors : {0, 1, 2})
        for (const int icons : {15, 40, 120}) {
            const auto started = std::chrono::steady_clock::now();
            const fake::DisplayFigures figures = fake::runDisplaySequences(
                sequences, 100, icons, 20261209u + icons, folder, monitors);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            std::printf("%s\n", fake::describe(figures, icons, seconds, monitors).c_str());
            sound = sound && figures.iconsOutside == 0 && figures.pairsInOneCell == 0 &&
                    figures.restored == figures.remembered && figures.countsChanged == 0 &&
                    figures.returns > 0 && figures.offTheirMonitor == 0 &&
                    figures.shortLivedRemembered == 0;
        }
    std::filesystem::remove_all(folder);
    std::printf("display sweep: %s\n", sound ? "sound" : "FAULTS");
    return sound ? 0 : 1;
}
