// The cost of a live desktop snapshot under Wine, against the floor the design allows: reading
// an icon takes three cross-process messages and four remote buffers, and nothing can make a
// snapshot cheaper than that many round trips and buffer pairs. Both are measured in the same
// run, against the same desktop host, and printed with their ratio and a breakdown of where the
// rest of the time goes.
//
//   build/win64/wine-run build/win64/bin/snapshot_benchmark.exe
#include <cstdio>
#include <functional>
#include <vector>

#include <windows.h>

#include <commctrl.h>

#include "benchmarks/windows/timing.h"
#include "desktop_access/desktop_proxy.h"
#include "desktop_access/desktop_win32.h"
#include "tests/support/live_snapshot.h"
#include "tests/windows/desktop_host.h"

namespace {

using benchmarks::fastestOf;

struct Best {
    double snapshot = 1e300, roundTrips = 1e300, bufferPairs = 1e300, copies = 1e300,
           checks = 1e300;
};

void measure(int icons, int runs) {
    test_support::HostDescription description;
    description.icons = test_support::gridOfIcons(icons, 10);
    description.workAreas = {{0, 0, 1920, 1040}};
    test_support::DesktopHost host(description);
    desktop_access::Desktop& desktop = desktop_access::getDesktop();
    const HWND listView = desktop.listView;
    const HANDLE process = winapi::raw(desktop.process);

    // Per snapshot: the count, three requests per icon, two for the work areas; four buffers per
    // icon and two for the work areas; two writes and three reads per icon, one write and two
    // reads for the work areas.
    const int messages = 3 * icons + 3;
    const int buffers = 4 * icons + 2;
    const int writes = 2 * icons + 1;
    const int reads = 3 * icons + 2;

    std::size_t seen = 0;
    auto snapshot = [&] {
        desktop_access::DesktopProxy proxy = test_support::liveSnapshot(desktop, L"");
        seen = proxy.icons.size();
    };
    snapshot(); // the host settles after its first paint
    if (seen != std::size_t(icons)) {
        std::printf("the snapshot held %zu icons, not %d\n", seen, icons);
        std::exit(1);
    }
    void* scratch = VirtualAllocEx(process, nullptr, 520, MEM_COMMIT, PAGE_READWRITE);
    Best best;
    for (int run = 0; run < runs; ++run) {
        fastestOf(best.snapshot, snapshot);
        fastestOf(best.roundTrips, [&] {
            for (int i = 0; i < messages; ++i)
                SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0);
        });
        fastestOf(best.bufferPairs, [&] {
            for (int i = 0; i < buffers; ++i) {
                void* remote =
                    VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
                VirtualFreeEx(process, remote, 0, MEM_RELEASE);
            }
        });
        fastestOf(best.copies, [&] {
            wchar_t data[260] = {};
            for (int i = 0; i < writes; ++i)
                WriteProcessMemory(process, scratch, data, sizeof(RECT), nullptr);
            for (int i = 0; i < reads; ++i)
                ReadProcessMemory(process, scratch, data, sizeof data, nullptr);
        });
        fastestOf(best.checks, [&] {
            DWORD owner = 0;
            for (int i = 0; i < messages; ++i)
                GetWindowThreadProcessId(listView, &owner);
        });
    }
    VirtualFreeEx(process, scratch, 0, MEM_RELEASE);

    const double floor = best.roundTrips + best.bufferPairs;
    std::printf("%6d icons: snapshot %7.1f ms | floor %7.1f ms = %d round trips %6.1f ms + %d "
                "buffer pairs %6.1f ms "
                "| ratio %.2f\n",
                icons, best.snapshot, floor, messages, best.roundTrips, buffers, best.bufferPairs,
                best.snapshot / floor);
    std::printf(
        "              beyond the floor: %d memory copies %.1f ms, %d desktop checks %.1f ms, "
        "the list view's own work and the rest %.1f ms\n",
        writes + reads, best.copies, messages, best.checks,
        best.snapshot - floor - best.copies - best.checks);
    std::printf("              per icon: snapshot %.0f us, floor %.0f us\n",
                1000 * best.snapshot / icons, 1000 * floor / icons);
}

} // namespace

int main() {
    std::printf("Live desktop snapshot against the desktop host (fastest of several runs)\n");
    measure(200, 9);
    measure(1000, 5);
    return 0;
}
