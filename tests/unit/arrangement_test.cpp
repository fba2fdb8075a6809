#include "component/arrangement.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <typeinfo>

#include <gtest/gtest.h>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/errors.h"
#include "desktop_access/history.h"
#include "desktop_access/icon_moving.h"
#include "desktop_access/icon_store.h"
#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"
#include "desktop_access/store_session.h"
#include "desktop_access/unsaved_usage.h"
#include "organizers/placement/auto_group.h"
#include "organizers/placement/edge_align.h"
#include "organizers/sorting/age_sorter.h"
#include "organizers/sorting/name_sorter.h"
#include "organizers/sorting/usage_sorter.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/scratch_folder.h"
#include "winapi/error.h"

namespace desktop_access {
void PrintTo(const Point& point, std::ostream* out) {
    *out << "(" << point.x << ", " << point.y << ")";
}
} // namespace desktop_access

namespace {

using desktop_access::Desktop;
using desktop_access::DesktopProxy;
namespace placement = organizers::placement;
namespace sorting = organizers::sorting;

class ArrangementTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        store = dir / "Kelvara.store";
        // A grid of 79 x 79 cells from (4, 4): a cell's box corner (4 + 79c, 4 + 79r), its
        // list-view position 21 right and 4 down from there.
        desktop.areas = {{0, 0, 1920, 1040}};
        desktop.addIcon(u"Alpha", 600, 300)
            .addIcon(u"Bravo", 130, 710)
            .addIcon(u"Charlie", 1000, 90);
        desktop.addIcon(u"Delta", 47, 512);
    }

    // A store that names the icons with these counts, at places that are not theirs.
    void writeStoreWithCounts(const std::vector<std::pair<std::string, std::uint32_t>>& counts) {
        std::ostringstream bytes;
        bytes << "1:1\n100:100\n99:99\n0:0\n";
        for (const auto& [name, usage] : counts)
            bytes << name << "\n-500:-500\n75:75\n" << usage << "\n";
        std::ofstream(store, std::ios::binary) << bytes.str();
    }
    std::string storeBytes() const {
        std::ifstream in(store, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::uint32_t storedUsage(const std::u16string& name) const {
        const DesktopProxy stored = desktop_access::readStore(store);
        for (const desktop_access::IconRecord& record : stored.icons)
            if (record.name == name)
                return record.usage;
        ADD_FAILURE() << "no stored record for the icon";
        return 0;
    }
    desktop_access::Point positionOf(int index) const {
        return desktop.items[std::size_t(index)].position;
    }
    static desktop_access::Point cellPosition(int column, int row) {
        return {4 + 79 * column + 21, 4 + 79 * row + 4};
    }
    int storeLocksHeld() { return fake::locksHeld[winapi::storeLockName]; }

    // An isLocked that counts its calls and proves the snapshot (which holds the store lock
    // from before the desktop is read until the store is written) is alive when it is asked.
    std::function<bool()> lockSetting(bool locked) {
        return [this, locked, threadsBefore = fake::glidesStarted] {
            ++lockQueries;
            EXPECT_EQ(storeLocksHeld(), 1) << "the lock setting is read while the snapshot lives";
            EXPECT_EQ(fake::glidesStarted, threadsBefore) << "and before any icon moves";
            return locked;
        };
    }

    test_support::ScratchFolder scratch{"arrangement"};
    const std::filesystem::path& dir = scratch.path;
    std::filesystem::path store;
    Desktop desktop;
    int lockQueries = 0;
};

TEST_F(ArrangementTest, EachMethodValueHasItsStrategyAndNoOtherValueHasOne) {
    const desktop_access::ShellFacts facts = fake::factsOf(desktop);
    const auto sorter = [&](std::int32_t method) { return organizers::makeSorter(method, facts); };
    EXPECT_EQ(&dynamic_cast<sorting::NameSorter&>(*sorter(0)).facts, &facts);
    EXPECT_NE(dynamic_cast<sorting::UsageSorter*>(sorter(1).get()), nullptr);
    EXPECT_EQ(&dynamic_cast<sorting::AgeSorter&>(*sorter(2)).facts, &facts);

    const auto placerType = [](std::int32_t method) -> const std::type_info& {
        const auto placer = organizers::makePlacer(method);
        EXPECT_TRUE(placer);
        EXPECT_FALSE(placer->locked);
        return typeid(*placer);
    };
    // Exact types: the mirrored aligners derive from the plain ones.
    EXPECT_EQ(placerType(0), typeid(placement::AutoGroup));
    EXPECT_EQ(placerType(1), typeid(placement::LeftAlign));
    EXPECT_EQ(placerType(2), typeid(placement::RightAlign));
    EXPECT_EQ(placerType(3), typeid(placement::TopAlign));
    EXPECT_EQ(placerType(4), typeid(placement::BottomAlign));

    for (const std::int32_t outside : {-1, 3, 50, INT_MIN, INT_MAX})
        EXPECT_FALSE(sorter(outside)) << outside;
    for (const std::int32_t outside : {-1, 5, 50, INT_MIN, INT_MAX})
        EXPECT_FALSE(organizers::makePlacer(outside)) << outside;
}

TEST_F(ArrangementTest, AMethodOutsideItsRangeMovesNothingButTheStoreIsWritten) {
    for (const auto& [sort, arrange] : {std::pair{3, 1}, {0, 5}, {-1, -1}, {50, 0}, {2, INT_MIN}}) {
        SCOPED_TRACE(testing::Message() << "sort " << sort << ", arrange " << arrange);
        fake::reset();
        writeStoreWithCounts({{"Bravo", 4}});
        EXPECT_FALSE(component::arrange(store, desktop, sort, arrange, lockSetting(false)));
        EXPECT_TRUE(desktop.moves.empty());
        EXPECT_EQ(fake::glidesStarted, 0);
        EXPECT_EQ(lockQueries, 0) << "nothing is placed, so the lock setting is not asked";
        EXPECT_EQ(storeLocksHeld(), 0);

        // Rewritten from the live desktop: every icon, where it stands, counts carried over.
        const DesktopProxy written = desktop_access::readStore(store);
        ASSERT_EQ(written.icons.size(), 4u);
        EXPECT_EQ(written.cellWidth, 79);
        EXPECT_EQ(written.icons[0].left, 600);
        EXPECT_EQ(written.icons[0].top, 300);
        EXPECT_EQ(written.icons[1].usage, 4u);
    }
}

TEST_F(ArrangementTest, UsageOrderAlongTheLeftEdgeWithCountsFromTheStore) {
    writeStoreWithCounts({{"Delta", 2}, {"Charlie", 9}, {"Gone", 50}});
    ASSERT_TRUE(component::arrange(store, desktop, component::SortUsage, component::ArrangeLeft,
                                   lockSetting(false)));
    EXPECT_EQ(lockQueries, 1);
    EXPECT_EQ(fake::glidesStarted, 1) << "one moving thread";
    EXPECT_EQ(storeLocksHeld(), 0);
    EXPECT_EQ(positionOf(2), cellPosition(0, 0)) << "Charlie, 9 openings";
    EXPECT_EQ(positionOf(3), cellPosition(0, 1)) << "Delta, 2 openings";
    for (const int unused : {0, 1}) {
        const desktop_access::Point at = positionOf(unused);
        EXPECT_EQ(at.x, cellPosition(0, 0).x);
        EXPECT_TRUE(at.y == cellPosition(0, 2).y || at.y == cellPosition(0, 3).y);
    }

    // The store holds the new places in the sorted order, and forgets the icon that is gone.
    const DesktopProxy written = desktop_access::readStore(store);
    ASSERT_EQ(written.icons.size(), 4u);
    EXPECT_EQ(written.icons[0].name, u"Charlie");
    EXPECT_EQ(written.icons[0].left, 4);
    EXPECT_EQ(written.icons[0].top, 4);
    EXPECT_EQ(written.icons[0].usage, 9u);
    EXPECT_EQ(written.icons[1].name, u"Delta");
    EXPECT_EQ(written.icons[1].top, 83);
}

TEST_F(ArrangementTest, TheLockSettingReachesTheAutomaticPlacement) {
    const auto arrangeAuto = [&](bool locked) {
        ASSERT_TRUE(component::arrange(store, desktop, component::SortUsage, component::ArrangeAuto,
                                       lockSetting(locked)));
    };
    arrangeAuto(false); // the first store: the grid the next calls compare with
    arrangeAuto(false);
    const desktop_access::Point settled = positionOf(1);
    EXPECT_EQ(settled, cellPosition(2, 9)) << "snapped onto the cell where it stood";

    // Dragged away by the user: locked, it goes back; unlocked, it stays where it was put.
    desktop.items[1].position = cellPosition(7, 5);
    arrangeAuto(true);
    EXPECT_EQ(positionOf(1), settled);
    desktop.items[1].position = cellPosition(7, 5);
    arrangeAuto(false);
    EXPECT_EQ(positionOf(1), cellPosition(7, 5));
    EXPECT_EQ(lockQueries, 4);
}

TEST_F(ArrangementTest, EachArrangementCountsTheIconsThatDidNotTakeTheirPlacesAfresh) {
    desktop.droppedSets[1] = -1; // another program keeps Bravo where it is
    ASSERT_TRUE(component::arrange(store, desktop, component::SortIconName, component::ArrangeTop,
                                   lockSetting(false)));
    EXPECT_EQ(desktop_access::iconsNotTaken(), 1u);
    EXPECT_EQ(component::notTakenDescription(1), "1 icon did not take its place");
    desktop.droppedSets.clear();
    ASSERT_TRUE(component::arrange(store, desktop, component::SortIconName, component::ArrangeTop,
                                   lockSetting(false)));
    EXPECT_EQ(desktop_access::iconsNotTaken(), 0u) << "not the count of the earlier arrangement";
    EXPECT_EQ(component::notTakenDescription(3), "3 icons did not take their places");
}

TEST_F(ArrangementTest, NoSnapshotMeansNoLockQueryAndNoStore) {
    desktop.failRequest = "count";
    EXPECT_THROW(component::arrange(store, desktop, 1, 1, lockSetting(false)),
                 desktop_access::DesktopAccessError);
    EXPECT_THROW(component::countActivation(store, desktop, 0), desktop_access::DesktopAccessError);
    desktop.failRequest.reset();
    fake::failLocks = true;
    EXPECT_THROW(component::arrange(store, desktop, 1, 1, lockSetting(false)), winapi::Error);
    EXPECT_THROW(component::countActivation(store, desktop, 0), winapi::Error);

    EXPECT_EQ(lockQueries, 0);
    EXPECT_FALSE(std::filesystem::exists(store));
    EXPECT_TRUE(desktop.moves.empty());
}

TEST_F(ArrangementTest, AnEmptyStorePathArrangesWithoutAStore) {
    writeStoreWithCounts({{"Alpha", 7}});
    ASSERT_TRUE(component::arrange({}, desktop, component::SortUsage, component::ArrangeTop,
                                   lockSetting(false)));
    EXPECT_FALSE(desktop.moves.empty());
    component::countActivation({}, desktop, 0);
    EXPECT_EQ(storedUsage(u"Alpha"), 7u) << "the store elsewhere is neither read nor written";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no file was made";
}

TEST_F(ArrangementTest, AnActivationRaisesExactlyThatIconsCount) {
    writeStoreWithCounts({{"Alpha", 1}, {"Bravo", 5}, {"Charlie", 0xFFFFFFFEu}});
    component::countActivation(store, desktop, 1);
    EXPECT_EQ(storedUsage(u"Alpha"), 1u);
    EXPECT_EQ(storedUsage(u"Bravo"), 6u);
    EXPECT_EQ(storedUsage(u"Delta"), 0u);

    // At the top, a count stays there rather than falling back to 0.
    component::countActivation(store, desktop, 2);
    EXPECT_EQ(storedUsage(u"Charlie"), 0xFFFFFFFFu);
    component::countActivation(store, desktop, 2);
    EXPECT_EQ(storedUsage(u"Charlie"), 0xFFFFFFFFu);

    EXPECT_TRUE(desktop.moves.empty());
    EXPECT_EQ(fake::glidesStarted, 0);
    EXPECT_EQ(storeLocksHeld(), 0);
}

TEST_F(ArrangementTest, AnIndexOutsideTheDesktopRaisesNothingButTheStoreIsWritten) {
    for (const std::int32_t index : {-1, 4, 5, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(index);
        writeStoreWithCounts({{"Alpha", 1}, {"Bravo", 5}, {"Charlie", 3}, {"Delta", 0}});
        component::countActivation(store, desktop, index);
        const DesktopProxy written = desktop_access::readStore(store);
        ASSERT_EQ(written.icons.size(), 4u);
        const std::uint32_t expected[] = {1, 5, 3, 0};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(written.icons[i].usage, expected[i]) << "list-view order";
            EXPECT_EQ(written.icons[i].left, desktop.boxOf(int(i)).left) << "the live places";
        }
    }
}

// While another program holds the store, the counts taken here are kept by the process and reach
// the file with the next write that succeeds, on top of whatever the file holds by then.
TEST_F(ArrangementTest, CountsThatCouldNotBeSavedAreAddedToTheNextWriteOnce) {
    writeStoreWithCounts({{"Alpha", 3}, {"Bravo", 1}});
    const std::string before = storeBytes();
    fake::inUseReplaces = -1;
    for (int k = 0; k < 2; ++k) {
        try {
            component::countActivation(store, desktop, 0);
            ADD_FAILURE() << "the count was saved";
        } catch (const desktop_access::StoreWriteError& error) {
            EXPECT_NE(std::string(error.what()).find("in use by another program"),
                      std::string::npos);
            EXPECT_NE(std::string(error.what()).find("kept"), std::string::npos);
        }
    }
    // An arrangement sees the kept counts, and its own failed write keeps them still.
    EXPECT_THROW(component::arrange(store, desktop, component::SortUsage, component::ArrangeLeft,
                                    lockSetting(false)),
                 desktop_access::StoreWriteError);
    EXPECT_EQ(positionOf(0), cellPosition(0, 0)) << "Alpha, 3 stored and 2 kept";
    EXPECT_EQ(storeBytes(), before) << "the store is whole, as it was";
    EXPECT_EQ(storeLocksHeld(), 0);

    // Meanwhile another process counted and saved its counts.
    fake::inUseReplaces = 0;
    writeStoreWithCounts({{"Alpha", 10}, {"Bravo", 1}});
    component::countActivation(store, desktop, 1);
    EXPECT_EQ(storedUsage(u"Alpha"), 12u) << "the other process's 10 and the 2 kept here";
    EXPECT_EQ(storedUsage(u"Bravo"), 2u);
    component::countActivation(store, desktop, 3);
    EXPECT_EQ(storedUsage(u"Alpha"), 12u) << "saved once, never added again";
    EXPECT_EQ(storedUsage(u"Delta"), 1u);
}

// A call that an error leaves after its snapshot was taken still writes the store, with the
// counts the process kept.
// Counts a store held open could not take go to the journal beside it, so that they outlive the
// process that counted them; the next save that works takes them in once, and a journal left
// over other store bytes (a store written since) counts nothing.
TEST_F(ArrangementTest, CountsKeptInTheJournalAreTakenInOnce) {
    writeStoreWithCounts({{"Alpha", 3}, {"Bravo", 1}});
    const std::filesystem::path journal = desktop_access::usageJournalPathFor(store);
    fake::heldOpen = store;
    for (int k = 0; k < 2; ++k)
        EXPECT_THROW(component::countActivation(store, desktop, 0),
                     desktop_access::StoreWriteError);
    fake::heldOpen.clear();
    std::ifstream in(journal, std::ios::binary);
    const std::string kept{std::istreambuf_iterator<char>(in), {}};
    in.close();
    EXPECT_EQ(kept.substr(0, 21), "Kelvara usage 1\nover ");
    EXPECT_NE(kept.find("\n2 Alpha\nend\n"), std::string::npos) << kept;
    component::countActivation(store, desktop, 1);
    EXPECT_EQ(storedUsage(u"Alpha"), 5u);
    EXPECT_EQ(storedUsage(u"Bravo"), 2u);
    EXPECT_FALSE(std::filesystem::exists(journal));
    for (const std::string& left : {kept, std::string("Kelvara usage 1\nover 1\nbroken\n")}) {
        std::ofstream(journal, std::ios::binary) << left;
        component::countActivation(store, desktop, 1);
        EXPECT_EQ(storedUsage(u"Alpha"), 5u) << left;
    }
    EXPECT_EQ(storedUsage(u"Bravo"), 4u);
}

// A rename moves what the old label had to the new one: its count (also a count kept while the
// store was held, and a rename made then), its places in the layouts, the last display and the
// restore points; renamed to a label another icon has, the two counts add up.
TEST_F(ArrangementTest, ARenameMovesTheCountAndEveryPlaceToTheNewLabel) {
    using desktop_access::Place;
    using desktop_access::StoreSession;
    writeStoreWithCounts({{"Alpha", 3}, {"Bravo", 1}, {"Charlie", 2}});
    const desktop_access::DisplayConfiguration display{{{0, 0, 1920, 1040}}, 79, 79};
    desktop_access::Layouts layouts;
    layouts.remember(display, {{u"Alpha", 4, 4}, {u"Charlie", 83, 4}, {u"Bravo", 4, 83}});
    desktop_access::writeLayouts(desktop_access::layoutsPathFor(store), layouts);
    desktop_access::writeLastDisplay(desktop_access::lastDisplayPathFor(store),
                                     {display, 0, false, {{u"Alpha", 4, 4}}});
    desktop_access::History history;
    history.record({0, desktop_access::Trigger::other, 0, 0, display, {{u"Alpha", 9, 9}}});
    desktop_access::writeHistory(desktop_access::historyPathFor(store), history);

    fake::heldOpen = store;
    EXPECT_THROW(component::countActivation(store, desktop, 0), desktop_access::StoreWriteError);
    EXPECT_THROW(StoreSession(store).rename(u"Alpha", u"Alef"), desktop_access::StoreWriteError);
    fake::heldOpen.clear();
    StoreSession(store).rename(u"Bravo", u"Charlie");
    StoreSession(store).rename(u"Alef", u"Aleph");
    EXPECT_EQ(storedUsage(u"Charlie"), 3u);
    EXPECT_EQ(desktop_access::unsavedUsage(store), (desktop_access::UsageByLabel{{u"Aleph", 4}}))
        << "the count kept while the store was held follows every rename";

    const auto labels = [](const std::vector<Place>& places) {
        std::vector<std::u16string> named;
        for (const Place& place : places)
            named.push_back(place.label);
        return named;
    };
    const auto readLayouts = desktop_access::readLayouts(desktop_access::layoutsPathFor(store));
    EXPECT_EQ(labels(*readLayouts->find(display)),
              (std::vector<std::u16string>{u"Aleph", u"Charlie"}))
        << "one place per label: the icon that had the label keeps its place";
    EXPECT_EQ(
        labels(desktop_access::readLastDisplay(desktop_access::lastDisplayPathFor(store))->pending),
        std::vector<std::u16string>{u"Aleph"});
    EXPECT_EQ(labels(desktop_access::readHistory(desktop_access::historyPathFor(store))
                         ->undo.front()
                         .places),
              std::vector<std::u16string>{u"Aleph"});
}

TEST_F(ArrangementTest, AnErrorAfterTheSnapshotStillWritesTheStore) {
    writeStoreWithCounts({{"Charlie", 2}});
    fake::inUseReplaces = -1;
    EXPECT_THROW(component::countActivation(store, desktop, 2), desktop_access::StoreWriteError);
    fake::inUseReplaces = 0;
    const auto failingLock = []() -> bool { throw std::runtime_error("the settings are gone"); };
    EXPECT_THROW(component::arrange(store, desktop, component::SortUsage, component::ArrangeLeft,
                                    failingLock),
                 std::runtime_error);
    EXPECT_TRUE(desktop.moves.empty());
    EXPECT_EQ(storedUsage(u"Charlie"), 3u);
    EXPECT_EQ(desktop_access::readStore(store).icons.size(), 4u);
    EXPECT_EQ(storeLocksHeld(), 0);
}

} // namespace

namespace {

// A taskbar that moves, grows or hides: every icon a screen still shows whole stays where it
// stood, the others take free places on the screen, and the display before comes back exactly.
TEST_F(ArrangementTest, ATaskbarChangeMovesOnlyTheIconsUnderIt) {
    const auto arrange = [&] {
        component::arrange(store, desktop, component::SortUsage, component::ArrangeAuto,
                           [] { return false; });
    };
    for (int column = 0; column < 24; column += 5)
        for (int row = 0; row < 13; row += 4) {
            const desktop_access::Point at = cellPosition(column, row);
            desktop.addIcon(u"at " + std::u16string(1, char16_t(u'a' + column * 13 + row)), at.x,
                            at.y);
        }
    arrange();
    fake::now += desktop_access::settleTime; // the display holds: it is remembered
    const std::vector<Desktop::Item> before = desktop.items;
    for (const desktop_access::Rect& moved :
         {desktop_access::Rect{0, 40, 1920, 1080}, desktop_access::Rect{62, 0, 1920, 1080},
          desktop_access::Rect{0, 0, 1858, 1080}, desktop_access::Rect{0, 0, 1920, 1078},
          desktop_access::Rect{0, 0, 1920, 960}}) {
        SCOPED_TRACE(testing::Message() << moved.left << "," << moved.top << "," << moved.right
                                        << "," << moved.bottom);
        desktop.areas = {moved};
        arrange();
        std::set<std::pair<int, int>> places;
        for (std::size_t index = 0; index < before.size(); ++index) {
            const desktop_access::Rect box = desktop.boxOf(std::int32_t(index));
            const desktop_access::Rect was = {
                box.left - desktop.items[index].position.x + before[index].position.x,
                box.top - desktop.items[index].position.y + before[index].position.y, 0, 0};
            const bool shown = was.left >= moved.left && was.top >= moved.top &&
                               was.left + 75 <= moved.right && was.top + 75 <= moved.bottom;
            EXPECT_EQ(desktop.items[index].position == before[index].position, shown) << index;
            EXPECT_TRUE(box.left >= moved.left && box.top >= moved.top &&
                        box.right <= moved.right && box.bottom <= moved.bottom);
            EXPECT_TRUE(places.insert({box.left, box.top}).second);
        }
        desktop.areas = {{0, 0, 1920, 1040}};
        arrange();
        for (std::size_t index = 0; index < before.size(); ++index)
            EXPECT_EQ(desktop.items[index].position, before[index].position);
    }
}

} // namespace
