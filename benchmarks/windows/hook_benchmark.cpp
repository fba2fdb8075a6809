// The time the desktop hook adds to each message on the shell's window thread, under Wine: the
// desktop host sends itself a run of messages of two kinds, without the hook and with it, and the
// difference per message is printed. One kind the hook passes by (an item count asked: nearly
// every message the shell's thread handles), the other it looks into (an item's label set, which
// it reads and compares, to follow a rename). The fastest of several runs of each counts.
//
//   build/win64/wine-run build/win64/bin/hook_benchmark.exe
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include <windows.h>

#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "vantle/hook_installer_win32.h"

namespace {

constexpr int messages = 20000;
constexpr int runs = 5;

struct Times {
    double passedBy = 1e300; // microseconds per run of `messages`
    double lookedInto = 1e300;
};

Times fastest(const test_support::DesktopHost& host) {
    const std::wstring file = test_support::programFolder() + L"hook-benchmark.txt";
    Times best;
    for (int run = 0; run < runs; ++run) {
        if (!host.command(L"spin " + std::to_wstring(messages) + L" " + file)) {
            std::printf("the desktop host did not run the messages\n");
            std::exit(1);
        }
        double passedBy = 0, lookedInto = 0;
        std::ifstream(std::filesystem::path(file)) >> passedBy >> lookedInto;
        best.passedBy = std::min(best.passedBy, passedBy);
        best.lookedInto = std::min(best.lookedInto, lookedInto);
    }
    DeleteFileW(file.c_str());
    return best;
}

} // namespace

int main() {
    test_support::HostDescription description;
    description.icons = test_support::gridOfIcons(40, 10);
    description.workAreas = {{0, 0, 1920, 1040}};
    const test_support::DesktopHost host(description);
    const Times without = fastest(host);
    std::optional<desktop_hook::HookInstaller> hook;
    hook.emplace(host.listView());
    const Times with = fastest(host);
    hook.reset();
    const auto perMessage = [](double microseconds) { return microseconds * 1000 / messages; };
    std::printf("hook on the shell's thread, %d messages each, fastest of %d runs:\n", messages,
                runs);
    std::printf(
        "  passed by (item count):   %6.0f ns without, %6.0f ns with: %+.0f ns per message\n",
        perMessage(without.passedBy), perMessage(with.passedBy),
        perMessage(with.passedBy - without.passedBy));
    std::printf(
        "  looked into (label set):  %6.0f ns without, %6.0f ns with: %+.0f ns per message\n",
        perMessage(without.lookedInto), perMessage(with.lookedInto),
        perMessage(with.lookedInto - without.lookedInto));
    return 0;
}
