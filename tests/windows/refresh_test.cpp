// Refresh and IconActivated of the component against the desktop host: where the icons go, what
// the store holds afterwards, and what happens without a desktop, without a store folder, and
// with two processes counting at once.
#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include <shlobj.h>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"
#include "tests/windows/component_support.h"
#include "tests/windows/test_support.h"
#include "winapi/named_lock.h"
#include "winapi/text_win32.h"

namespace {

using Microsoft::WRL::ComPtr;
using test_support::DesktopHost;
using test_support::expectedPositions;
using test_support::hostPositions;
using test_support::scatteredDesktop;
using test_support::storedUsage;
using test_support::waitForPositions;

class RefreshTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::registerComponent();
        test_support::removeSettings();
        test_support::removeStore(store);
    }

    // Distinct counts, so that ordering by usage differs from every other order.
    void writeCounts() {
        test_support::writeStore(store,
                                 {{L"Kilo.doc", 9}, {L"bravo", 4}, {L"Echo", 2}, {L"Mike", 1}});
    }
    void setMethods(ITessora* tessora, int sort, int arrange) {
        ASSERT_EQ(tessora->SetSortMethod(::SortMethod(sort)), S_OK);
        ASSERT_EQ(tessora->SetArrangeMethod(::ArrangeMethod(arrange)), S_OK);
    }
    // Refreshes, lets go of the object and makes a new one. The last reference waits for the
    // object's moving threads, so the icons then stand where the strategies say (worked out
    // first, from the desktop and the store as the refresh finds them), and no thread of this
    // refresh moves an icon afterwards.
    std::vector<POINT> refreshAndSettle(ComPtr<ITessora>& tessora, const DesktopHost& host,
                                        int sort, int arrange, bool locked = false) {
        const std::vector<POINT> expected = expectedPositions(sort, arrange, locked, store);
        EXPECT_EQ(tessora->Refresh(), S_OK);
        tessora.Reset();
        tessora = test_support::createTessora();
        EXPECT_EQ(hostPositions(host), expected);
        return expected;
    }
    // The store's places, as list-view positions by label (the box corner plus the host's offset).
    std::map<std::wstring, POINT> storedPositions(const DesktopHost& host) {
        std::map<std::wstring, POINT> positions;
        const auto stored = test_support::readStoreLocked(store);
        for (const test_support::ReportedIcon& icon : host.report().icons)
            for (const desktop_access::IconRecord& record : stored->icons)
                if (winapi::toWide(record.name) == icon.label)
                    positions[icon.label] = {record.left + icon.position.x - icon.box.left,
                                             record.top + icon.position.y - icon.box.top};
        return positions;
    }
    std::map<std::wstring, POINT> byLabel(const DesktopHost& host,
                                          const std::vector<POINT>& positions) {
        std::map<std::wstring, POINT> labelled;
        const test_support::HostReport report = host.report();
        for (std::size_t i = 0; i < report.icons.size(); ++i)
            labelled[report.icons[i].label] = positions.at(i);
        return labelled;
    }

    test_support::Apartment apartment;
    test_support::SavedKey settings;
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
};

TEST_F(RefreshTest, TheStoreIsKeptInTheLocalApplicationDataFolder) {
    wchar_t profile[MAX_PATH] = {};
    ASSERT_TRUE(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH));
    EXPECT_EQ(store, std::filesystem::path(profile) / L"AppData" / L"Local" / L"Kelvara.store");
    EXPECT_EQ(store.wstring().rfind(L"C:\\users\\", 0), 0u) << "inside the prefix";

    const DesktopHost host(scatteredDesktop());
    const ComPtr<ITessora> tessora = test_support::createTessora();
    ASSERT_EQ(tessora->Refresh(), S_OK);
    EXPECT_EQ(storedUsage(store).size(), 7u);
}

TEST_F(RefreshTest, EveryArrangeAndSortMethodPutsTheIconsWhereTheStrategiesSay) {
    const DesktopHost host(scatteredDesktop());
    writeCounts();
    ComPtr<ITessora> tessora = test_support::createTessora();
    std::set<std::vector<std::pair<LONG, LONG>>> layouts;
    for (int arrange = ArrangeAuto; arrange <= ArrangeBottom; ++arrange)
        for (int sort = SortIconName; sort <= SortAge; ++sort) {
            SCOPED_TRACE(testing::Message() << "arrange " << arrange << ", sort " << sort);
            setMethods(tessora.Get(), sort, arrange);
            const std::vector<POINT> expected = refreshAndSettle(tessora, host, sort, arrange);
            EXPECT_EQ(storedPositions(host), byLabel(host, expected))
                << "the store holds the new places";
            std::vector<std::pair<LONG, LONG>> layout;
            for (const POINT& point : expected)
                layout.emplace_back(point.x, point.y);
            layouts.insert(layout);
        }
    // The methods really differ here: four edges, each with the usage order apart from the
    // others; the automatic placement leaves the last layout as it is.
    EXPECT_GE(layouts.size(), 8u);
    EXPECT_EQ(storedUsage(store).at(L"Kilo.doc"), 9u) << "counts survive every rewrite";
}

TEST_F(RefreshTest, LockedTheAutomaticArrangementPutsAMovedIconBack) {
    const DesktopHost host(scatteredDesktop());
    ComPtr<ITessora> tessora = test_support::createTessora();
    refreshAndSettle(tessora, host, SortUsage, ArrangeAuto); // on a fresh store
    const std::vector<POINT> settled = refreshAndSettle(tessora, host, SortUsage, ArrangeAuto);

    ASSERT_EQ(tessora->ToggleLock(), S_OK);
    desktop_access::setIconPosition({&desktop_access::getDesktop(), 2}, 500, 700); // dragged
    EXPECT_EQ(refreshAndSettle(tessora, host, SortUsage, ArrangeAuto, true), settled);
}

TEST_F(RefreshTest, AMethodOutsideItsRangeFailsMovesNothingAndStillRewritesTheStore) {
    const test_support::HostDescription description = scatteredDesktop();
    const DesktopHost host(description);
    for (const auto& [sort, arrange] : {std::pair{7, 1}, {1, 5}, {-1, 0}}) {
        SCOPED_TRACE(testing::Message() << "sort " << sort << ", arrange " << arrange);
        writeCounts();
        ComPtr<ITessora> tessora = test_support::createTessora();
        setMethods(tessora.Get(), sort, arrange);
        EXPECT_EQ(tessora->Refresh(), E_FAIL);
        tessora.Reset(); // the last reference waits for any moving thread of the object
        const std::vector<POINT> positions = hostPositions(host);
        for (std::size_t i = 0; i < positions.size(); ++i)
            EXPECT_EQ(positions[i], (POINT{description.icons[i].x, description.icons[i].y}));
        // Rewritten: the live places (not the written ones), the counts carried over.
        EXPECT_EQ(storedPositions(host), byLabel(host, positions));
        EXPECT_EQ(storedUsage(store).at(L"Kilo.doc"), 9u);
        EXPECT_EQ(storedUsage(store).size(), 7u);
    }
}

TEST_F(RefreshTest, WithoutADesktopNothingIsDoneAndNoStoreWritten) {
    ASSERT_EQ(GetShellWindow(), nullptr) << "no shell window under the test prefix";
    const ComPtr<ITessora> tessora = test_support::createTessora();
    EXPECT_EQ(tessora->Refresh(), E_FAIL);
    EXPECT_EQ(tessora->IconActivated(0), E_FAIL);
    EXPECT_EQ(tessora->IconActivated(-1), E_FAIL);
    EXPECT_FALSE(std::filesystem::exists(store));

    // The next call looks for the desktop again.
    const DesktopHost host(scatteredDesktop());
    EXPECT_EQ(tessora->Refresh(), S_OK);
    EXPECT_TRUE(std::filesystem::exists(store));
}

// The local application data folder made unavailable for the objects created while this lives:
// the folder is set to a path below a file, which cannot be made.
class NoLocalApplicationData {
  public:
    NoLocalApplicationData() {
        const std::wstring unusable = L"C:\\windows\\win.ini\\Local";
        RegSetKeyValueW(HKEY_CURRENT_USER, userFolders, L"Local AppData", REG_EXPAND_SZ,
                        unusable.c_str(), DWORD((unusable.size() + 1) * sizeof(wchar_t)));
    }

  private:
    static constexpr wchar_t userFolders[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    static constexpr wchar_t folders[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const test_support::SavedKey savedUserFolder{HKEY_CURRENT_USER, userFolders, L"Local AppData"};
    const test_support::SavedKey savedFolder{HKEY_CURRENT_USER, folders, L"Local AppData"};
};

TEST_F(RefreshTest, WithoutAStoreFolderTheDesktopIsArrangedWithoutAStore) {
    const DesktopHost host(scatteredDesktop());
    writeCounts();
    const std::string before = test_support::fileBytes(store);
    ComPtr<ITessora> tessora;
    {
        const NoLocalApplicationData unavailable;
        wchar_t folder[MAX_PATH] = {};
        ASSERT_FALSE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, TRUE));
        tessora = test_support::createTessora(); // the store's path is fixed now
    }
    ASSERT_EQ(tessora->SetSortMethod(SortUsage), S_OK);
    ASSERT_EQ(tessora->SetArrangeMethod(ArrangeLeft), S_OK);
    // Every count is 0 without a store, which orders differently from the stored counts.
    const std::vector<POINT> expected = expectedPositions(SortUsage, ArrangeLeft, false, {});
    ASSERT_NE(expected, expectedPositions(SortUsage, ArrangeLeft, false, store));
    ASSERT_EQ(tessora->Refresh(), S_OK);
    EXPECT_EQ(tessora->IconActivated(5), S_OK);
    tessora.Reset();
    EXPECT_EQ(hostPositions(host), expected);
    EXPECT_EQ(test_support::fileBytes(store), before) << "the store was neither read nor written";
}

TEST_F(RefreshTest, IconActivatedRaisesExactlyThatIconsCountAndRefreshes) {
    const DesktopHost host(scatteredDesktop());
    writeCounts();
    const ComPtr<ITessora> tessora = test_support::createTessora();
    setMethods(tessora.Get(), SortIconName, ArrangeRight);
    std::map<std::wstring, std::uint32_t> counts = storedUsage(store);
    for (const auto& icon : scatteredDesktop().icons)
        counts.try_emplace(icon.label, 0);

    const std::vector<POINT> expected = expectedPositions(SortIconName, ArrangeRight, false, store);
    EXPECT_EQ(tessora->IconActivated(4), S_OK);
    ++counts[L"bravo"];
    EXPECT_EQ(storedUsage(store), counts);
    EXPECT_TRUE(waitForPositions(host, expected)) << "and refreshed";
    EXPECT_EQ(tessora->IconActivated(1), S_OK);
    EXPECT_EQ(tessora->IconActivated(1), S_OK);
    counts[L"alpha.txt"] += 2;
    EXPECT_EQ(storedUsage(store), counts);

    // Outside the desktop nothing is counted; the store is rewritten all the same.
    for (const int outside : {-1, 7, 1000}) {
        test_support::writeStore(store, {{L"Mike", 1}});
        EXPECT_EQ(tessora->IconActivated(outside), S_OK) << outside;
        const auto stored = storedUsage(store);
        EXPECT_EQ(stored.size(), 7u);
        EXPECT_EQ(stored.at(L"Mike"), 1u);
        EXPECT_EQ(stored.at(L"Echo"), 0u);
    }

    // The count is raised before the refresh, which then fails on a bad method.
    ASSERT_EQ(tessora->SetArrangeMethod(::ArrangeMethod(9)), S_OK);
    EXPECT_EQ(tessora->IconActivated(2), E_FAIL);
    EXPECT_EQ(storedUsage(store).at(L"Mike"), 2u);
}

TEST_F(RefreshTest, SortedByUsageAnActivatedIconMovesAhead) {
    const DesktopHost host(scatteredDesktop());
    ComPtr<ITessora> tessora = test_support::createTessora();
    setMethods(tessora.Get(), SortUsage, ArrangeTop);
    const auto topLeft = [](const std::vector<POINT>& points) {
        return std::min_element(points.begin(), points.end(),
                                [](const POINT& a, const POINT& b) {
                                    return std::pair(a.y, a.x) < std::pair(b.y, b.x);
                                }) -
               points.begin();
    };
    // No counts yet: some icon leads; another one is opened once.
    const std::ptrdiff_t leader = topLeft(refreshAndSettle(tessora, host, SortUsage, ArrangeTop));
    const int activated = leader == 6 ? 5 : 6;

    EXPECT_EQ(tessora->IconActivated(activated), S_OK);
    tessora.Reset(); // the icons have arrived once the last reference is gone
    EXPECT_EQ(hostPositions(host), expectedPositions(SortUsage, ArrangeTop, false, store));
    EXPECT_EQ(topLeft(hostPositions(host)), activated) << "the only icon opened comes first";
}

// The description the last failing call left as the thread's error information.
std::wstring lastErrorDescription() {
    ComPtr<IErrorInfo> info;
    BSTR description = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || FAILED(info->GetDescription(&description)))
        return {};
    std::wstring text(description, SysStringLen(description));
    SysFreeString(description);
    return text;
}

TEST_F(RefreshTest, AShellThatDoesNotAnswerFailsTheRefreshInTimeAndLeavesTheStoreAsItWas) {
    DesktopHost host(scatteredDesktop());
    writeCounts();
    ComPtr<ITessora> tessora = test_support::createTessora();
    setMethods(tessora.Get(), SortIconName, ArrangeLeft);
    const std::vector<POINT> before = hostPositions(host);
    const std::string stored = test_support::fileBytes(store);

    host.freeze(60000);
    EXPECT_EQ(tessora->Refresh(), E_FAIL);
    EXPECT_TRUE(host.stillFrozen()) << "the call did not wait for the shell to answer";
    EXPECT_EQ(lastErrorDescription(), L"The desktop does not answer");
    EXPECT_EQ(test_support::fileBytes(store), stored) << "no snapshot, no store";

    ASSERT_TRUE(host.thaw());
    EXPECT_EQ(hostPositions(host), before);
    refreshAndSettle(tessora, host, SortIconName, ArrangeLeft); // the next one works
}

// On a shell that paints only when asked: however many passes a glide takes, every pass is
// painted before the next one moves an icon again, and the last paint follows the last move.
TEST_F(RefreshTest, EachPassOfTheAnimationRepaintsTheListView) {
    test_support::HostDescription description = scatteredDesktop();
    description.deferPaint = true;
    DesktopHost host(description);
    ComPtr<ITessora> tessora = test_support::createTessora();
    for (const int arrange : {ArrangeLeft, ArrangeBottom}) {
        setMethods(tessora.Get(), SortIconName, arrange);
        refreshAndSettle(tessora, host, SortIconName, arrange);
    }
    const std::vector<int> log = host.report().drawLog;
    EXPECT_GT(std::count(log.begin(), log.end(), -1), 0) << "the glides painted";
    EXPECT_TRUE(test_support::everyPassRepainted(log)) << ::testing::PrintToString(log);
}

// Positions a desktop managed by another program answers and ignores, or takes and undoes.
class NotTakenTest : public RefreshTest {
  protected:
    static test_support::HostDescription managedDesktop() {
        test_support::HostDescription description = scatteredDesktop();
        description.refused = {1, 3}; // alpha.txt and Trash stay where they are
        description.reverted = {2};   // Mike is put back once, and then takes its place
        return description;
    }
    // Refresh through automation, as scripts call it: the result and the exception's fields.
    struct Invoked {
        HRESULT result = E_UNEXPECTED;
        SCODE scode = 0;
        std::wstring source;
        std::wstring description;
    };
    static Invoked invokeRefresh(ITessora* tessora) {
        Invoked invoked;
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(L"Refresh");
        if (FAILED(tessora->GetIDsOfNames(IID_NULL, &name, 1, 0, &id)))
            return invoked;
        DISPPARAMS none{};
        EXCEPINFO exception{};
        invoked.result =
            tessora->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &exception, nullptr);
        invoked.scode = exception.scode;
        for (auto [text, field] : {std::pair{exception.bstrSource, &invoked.source},
                                   {exception.bstrDescription, &invoked.description}}) {
            if (text != nullptr)
                field->assign(text, SysStringLen(text));
            SysFreeString(text);
        }
        return invoked;
    }
};

TEST_F(NotTakenTest, ThroughAutomationTheRefreshFailsAndSaysHowManyIcons) {
    const DesktopHost host(managedDesktop());
    const ComPtr<ITessora> tessora = test_support::createTessora();
    setMethods(tessora.Get(), SortIconName, ArrangeLeft);
    std::vector<POINT> expected = expectedPositions(SortIconName, ArrangeLeft, false, store);
    for (const int refused : {1, 3})
        expected[refused] = {scatteredDesktop().icons[refused].x,
                             scatteredDesktop().icons[refused].y};

    const Invoked invoked = invokeRefresh(tessora.Get());
    EXPECT_EQ(invoked.result, DISP_E_EXCEPTION);
    EXPECT_EQ(invoked.scode, E_FAIL);
    EXPECT_EQ(invoked.description, L"2 icons did not take their places");
    EXPECT_EQ(invoked.source, L"Tessora.Tessora");
    EXPECT_EQ(hostPositions(host), expected) << "Mike was set once more and took its place";

    // Through the interface itself Refresh returns before the icons arrive, and says nothing.
    EXPECT_EQ(tessora->Refresh(), S_OK);
}

TEST_F(NotTakenTest, AnAnimationThatTheShellStopsAnsweringCountsAllItsIcons) {
    DesktopHost host(scatteredDesktop());
    const ComPtr<ITessora> tessora = test_support::createTessora();
    setMethods(tessora.Get(), SortIconName, ArrangeLeft);
    host.freeze(60000, LVM_SETITEMPOSITION); // the first move of the animation
    const Invoked invoked = invokeRefresh(tessora.Get());
    EXPECT_TRUE(host.stillFrozen()) << "the call did not wait for the shell to answer";
    EXPECT_EQ(invoked.result, DISP_E_EXCEPTION);
    EXPECT_EQ(invoked.description, L"7 icons did not take their places");
    ASSERT_TRUE(host.thaw());
}

TEST_F(NotTakenTest, IconsStillOnTheirWayWhenTheWaitEndsFailTheCall) {
    DesktopHost host(scatteredDesktop());
    ComPtr<ITessora> tessora = test_support::createTessora();
    setMethods(tessora.Get(), SortIconName, ArrangeLeft);
    const std::vector<POINT> expected = expectedPositions(SortIconName, ArrangeLeft, false, store);
    // Every move answered within its bound, and more of them than the glide makes: however long
    // the save took, the icons are still on their way when the wait for them ends.
    host.freeze(4000, LVM_SETITEMPOSITION, 100);
    const Invoked invoked = invokeRefresh(tessora.Get());
    EXPECT_EQ(invoked.result, DISP_E_EXCEPTION);
    EXPECT_EQ(invoked.description,
              L"The icons are still on their way: the desktop answers too slowly");
    ASSERT_TRUE(host.thaw());
    tessora.Reset();
    test_support::waitForGlides();
    EXPECT_EQ(hostPositions(host), expected) << "they got there in the end";
}

TEST_F(RefreshTest, TwoProcessesCountingAtOnceLoseNoCount) {
    constexpr int perProcess = 200;
    test_support::HostDescription description = scatteredDesktop();
    description.icons.resize(3); // fewer requests per call, the same contention
    const DesktopHost host(description);
    const ComPtr<ITessora> tessora = test_support::createTessora();
    setMethods(tessora.Get(), SortIconName, ArrangeLeft); // an order the counts do not change
    ASSERT_EQ(tessora->Refresh(), S_OK);

    const test_support::Process other = test_support::startActivator(perProcess);
    int failed = 0;
    for (int k = 0; k < perProcess; ++k)
        failed += FAILED(tessora->IconActivated(k % 2));
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(other.wait(120000), 0u) << "every call of the other process succeeded";

    const auto counts = storedUsage(store);
    EXPECT_EQ(counts.at(L"Zulu.txt"), std::uint32_t(perProcess));
    EXPECT_EQ(counts.at(L"alpha.txt"), std::uint32_t(perProcess));
    EXPECT_EQ(counts.at(L"Mike"), 0u);
    // Both processes arranged under the store lock: the files beside the store are whole and
    // know this display alone (the layouts only once it has held for 5 s).
    const winapi::NamedLock lock(winapi::storeLockName);
    EXPECT_TRUE(desktop_access::readLastDisplay(desktop_access::lastDisplayPathFor(store)));
    if (std::filesystem::exists(desktop_access::layoutsPathFor(store))) {
        const auto layouts = desktop_access::readLayouts(desktop_access::layoutsPathFor(store));
        ASSERT_TRUE(layouts);
        EXPECT_EQ(layouts->configurations().size(), 1u);
    }
}

} // namespace
