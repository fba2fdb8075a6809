// The memory and time that reading an icon store costs, for stores of minimal records (the most
// records a byte can carry: an empty label and single digits) and of ordinary ones, at the given
// sizes. Prints the store's size, the records read, the time, and the peak of the resident set
// while reading, above what the process held before, as a multiple of the file's size.
//
//   cmake --preset bench && cmake --build --preset bench
//   ./build/bench/benchmarks/native/store_read_benchmark [MiB ...]      (default: 1 16 60)
//
// Linux only: the peak is the kernel's high-water mark (VmHWM), reset before each read.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/icon_store.h"

namespace {

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Writes records until the file holds at least the given number of bytes, a piece at a time so
// that making the file costs no memory worth counting.
void writeStore(const std::filesystem::path& path, std::uintmax_t bytes, bool minimal) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "12:8\n1920:1036\n154:128\n4:4\n";
    std::uintmax_t written = 28;
    std::string chunk;
    for (unsigned n = 0; written < bytes; ++n) {
        chunk.clear();
        if (minimal)
            chunk = "\n0:0\n0:0\n0\n";
        else
            chunk = "Quarterly report " + std::to_string(n) + ".docx\n" +
                    std::to_string(4 + 79 * (n % 24)) + ":" + std::to_string(4 + 79 * (n % 13)) +
                    "\n75:75\n" + std::to_string(n % 97) + "\n";
        out << chunk;
        written += chunk.size();
    }
}

void measure(const std::filesystem::path& path, double mebibytes, bool minimal) {
    writeStore(path, static_cast<std::uintmax_t>(mebibytes * 1024 * 1024), minimal);
    const double fileMiB = static_cast<double>(std::filesystem::file_size(path)) / (1024 * 1024);
    resetPeak();
    const long before = statusKiB("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    std::size_t records = 0;
    {
        const desktop_access::DesktopProxy proxy = desktop_access::readStore(path);
        records = proxy.icons.size();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peakMiB = static_cast<double>(statusKiB("VmHWM") - before) / 1024;
    std::printf("%-8s %8.1f MiB  %9zu records  %7.2f s  peak +%7.1f MiB  (%.1f x the file)\n",
                minimal ? "minimal" : "ordinary", fileMiB, records, seconds, peakMiB,
                peakMiB / fileMiB);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<double> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::strtod(argv[i], nullptr));
    if (sizes.empty())
        sizes = {1, 16, 60};
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "kelvara-store-read-benchmark.store";
    for (const double size : sizes)
        for (const bool minimal : {true, false})
            measure(path, size, minimal);
    std::filesystem::remove(path);
    return 0;
}
