// Refresh and IconActivated of a large desktop through the component, as the launcher, the hook
// and scripts call them, for one or more builds of Tessora.dll side by side: each run registers
// every build in turn against the same desktop host and times, for each, a Refresh until it
// returns (the interface's own call), a Refresh until the icons have arrived (through
// automation, as scripts call it) and an IconActivated until it returns. It prints the minimum,
// median and maximum of each.
//
//   build/win64/wine-run build/win64/bin/component_benchmark.exe [ICONS [RUNS [DLL...]]]
//
// Without a DLL it measures the build's own Tessora.dll; give the path of another build's (as a
// Windows path) to compare the two in the same runs. Each timed call starts once the glide of the
// call before has ended (the object is let go, which waits for it, and made again).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include <wrl/client.h>

#include "benchmarks/windows/timing.h"
#include "tests/windows/component_support.h"
#include "tests/windows/desktop_host.h"

namespace {

using Microsoft::WRL::ComPtr;

struct Times {
    std::vector<double> refreshReturns, refreshArrives, activatedReturns;
};

HRESULT invokeRefresh(ITessora* tessora) {
    OLECHAR name[] = L"Refresh";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    if (FAILED(tessora->GetIDsOfNames(IID_NULL, names, 1, 0, &id)))
        return E_FAIL;
    DISPPARAMS none{};
    EXCEPINFO exception{};
    const HRESULT result =
        tessora->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &exception, nullptr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return result;
}

void check(HRESULT result, const char* what) {
    if (FAILED(result)) {
        std::printf("%s failed: 0x%08lx\n", what, static_cast<unsigned long>(result));
        std::exit(1);
    }
}

// One run of one build: every call from a settled desktop, the edge changed before each Refresh
// so that every icon moves.
void runOnce(const std::wstring& dll, Times& times, int& edge) {
    if (test_support::runCommand(L"regsvr32.exe /s \"" + dll + L"\"") != 0) {
        std::printf("regsvr32 could not register the component\n");
        std::exit(1);
    }
    ComPtr<ITessora> tessora = test_support::createTessora();
    check(tessora->SetSortMethod(SortIconName), "SetSortMethod");
    const auto nextEdge = [&] {
        edge = edge == ArrangeLeft ? ArrangeRight : ArrangeLeft;
        check(tessora->SetArrangeMethod(::ArrangeMethod(edge)), "SetArrangeMethod");
    };
    const auto settle = [&] {
        tessora.Reset(); // the last reference waits for the glides
        tessora = test_support::createTessora();
    };
    check(invokeRefresh(tessora.Get()), "a first Refresh");

    nextEdge();
    times.refreshReturns.push_back(
        benchmarks::millisecondsOf([&] { check(tessora->Refresh(), "Refresh"); }));
    settle();
    nextEdge();
    times.refreshArrives.push_back(
        benchmarks::millisecondsOf([&] { check(invokeRefresh(tessora.Get()), "Refresh"); }));
    settle();
    times.activatedReturns.push_back(
        benchmarks::millisecondsOf([&] { check(tessora->IconActivated(0), "IconActivated"); }));
    settle();
}

void print(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("    %-32s min %7.1f ms  median %7.1f ms  max %7.1f ms\n", what, times.front(),
                times[times.size() / 2], times.back());
}

} // namespace

int main(int argc, char** argv) {
    const int icons = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::vector<std::wstring> dlls;
    for (int i = 3; i < argc; ++i)
        dlls.emplace_back(argv[i], argv[i] + std::strlen(argv[i]));
    if (dlls.empty())
        dlls.push_back(test_support::componentPath());

    test_support::Apartment apartment;
    test_support::SavedKey settings;
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
    test_support::removeStore(store);
    test_support::HostDescription description;
    description.icons = test_support::gridOfIcons(icons, 10);
    description.workAreas = {{0, 0, 1920, 1040}};
    const test_support::DesktopHost host(description);

    std::vector<Times> times(dlls.size());
    int edge = ArrangeLeft;
    for (int run = 0; run < runs; ++run)
        for (std::size_t build = 0; build < dlls.size(); ++build)
            runOnce(dlls[build], times[build], edge);
    test_support::registerComponent(); // the build's own again

    std::printf("%d icons, %d runs of each build, in turn\n", icons, runs);
    for (std::size_t build = 0; build < dlls.size(); ++build) {
        std::printf("  %ls\n", dlls[build].c_str());
        print("Refresh, until it returns", times[build].refreshReturns);
        print("Refresh, until the icons arrived", times[build].refreshArrives);
        print("IconActivated, until it returns", times[build].activatedReturns);
    }
    return 0;
}
