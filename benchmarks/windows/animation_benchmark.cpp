// What checking the places and repainting add to an animation under Wine. An arrangement of more
// than five icons moves them in two passes (a jump, then the exact places), with a repaint after
// each and one read-back request per icon at the end; the animation is timed whole and by part,
// and a request with its bound against one without.
//
//   build/win64/wine-run build/win64/bin/animation_benchmark.exe
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <windows.h>

#include <commctrl.h>

#include "benchmarks/windows/timing.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/icon_moving.h"
#include "tests/windows/desktop_host.h"

namespace {

using benchmarks::fastestOf;

struct Best {
    double animation = 1e300, positions = 1e300, repaints = 1e300, readBack = 1e300,
           bounded = 1e300, unbounded = 1e300;
};

void measure(int icons, int runs) {
    test_support::HostDescription description;
    description.icons = test_support::gridOfIcons(icons, 10);
    test_support::DesktopHost host(description);
    desktop_access::Desktop& desktop = desktop_access::getDesktop();

    // Each run moves every icon 500 pixels to the right, or back.
    auto movesTo = [&](int shift) {
        std::vector<desktop_access::IconMove> moves;
        for (int i = 0; i < icons; ++i) {
            const auto& icon = description.icons[std::size_t(i)];
            moves.push_back({{&desktop, i}, icon.x + 500 - shift, icon.y, icon.x + shift, icon.y});
        }
        return moves;
    };
    Best best;
    for (int run = 0; run < runs; ++run) {
        const int shift = run % 2 == 0 ? 500 : 0;
        std::uint32_t notTaken = 0;
        fastestOf(best.animation, [&] { notTaken = desktop_access::runAnimation(movesTo(shift)); });
        if (notTaken != 0) {
            std::printf("%u icons did not take their places\n", notTaken);
            std::exit(1);
        }
        fastestOf(best.positions, [&] {
            for (int pass = 0; pass < 2; ++pass)
                for (const auto& move : movesTo(shift))
                    desktop_access::setIconPosition(move.icon, move.targetX, move.targetY);
        });
        fastestOf(best.repaints, [&] {
            desktop_access::repaintIcons(desktop);
            desktop_access::repaintIcons(desktop);
        });
        fastestOf(best.readBack, [&] {
            for (int i = 0; i < icons; ++i)
                desktop_access::iconPosition({&desktop, i});
        });
        fastestOf(best.bounded, [&] {
            for (int i = 0; i < icons; ++i)
                desktop_access::sendToShell(desktop.listView, LVM_GETITEMCOUNT, 0, 0);
        });
        fastestOf(best.unbounded, [&] {
            for (int i = 0; i < icons; ++i)
                SendMessageW(desktop.listView, LVM_GETITEMCOUNT, 0, 0);
        });
    }
    const double pauses = desktop_access::animationPauseMs;
    std::printf("%5d icons: animation %7.1f ms = one pause %.0f ms + positions %7.1f ms + 2 "
                "repaints %5.1f ms + read-back %6.1f ms + the rest %5.1f ms\n",
                icons, best.animation, pauses, best.positions, best.repaints, best.readBack,
                best.animation - pauses - best.positions - best.repaints - best.readBack);
    std::printf("             read-back %.0f us per icon (%.0f %% of the animation), a repaint "
                "%.1f ms; a round trip %.0f us bounded, %.0f us unbounded\n",
                1000 * best.readBack / icons, 100 * best.readBack / best.animation,
                best.repaints / 2, 1000 * best.bounded / icons, 1000 * best.unbounded / icons);
}

} // namespace

int main() {
    std::printf("Animation of every icon against the desktop host (fastest of several runs)\n");
    measure(50, 15);
    measure(200, 9);
    measure(1000, 7);
    return 0;
}
