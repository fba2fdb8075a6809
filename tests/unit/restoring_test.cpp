// Undo, redo, restore points and named layouts against the arrangement functions, on the fake
// desktop with real files.
#include "component/restoring.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <utility>

#include <gtest/gtest.h>

#include "component/arrangement.h"
#include "component/history_text.h"
#include "desktop_access/history.h"
#include "desktop_access/icon_store.h"
#include "desktop_access/last_display.h"
#include "desktop_access/named_layouts.h"
#include "organizers/placement/on_screen.h"
#include "organizers/restore.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using component::Step;
using desktop_access::Desktop;
using desktop_access::Place;
using desktop_access::Point;
using desktop_access::RestorePoint;
using desktop_access::Trigger;

std::vector<Point> positions(const Desktop& desktop) {
    std::vector<Point> out;
    for (const Desktop::Item& item : desktop.items)
        out.push_back(item.position);
    return out;
}

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class RestoringTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        desktop.areas = {{0, 0, 1920, 1040}};
        // Labels any text may be, and two icons share one.
        const std::u16string labels[] = {u"Alpha", u"Bravo",   u"line\nbreak",      u"\xD800 lone",
                                         u"Bravo", u"\\u0041", u"\U0001F600 Smile", u"Echo"};
        for (std::size_t i = 0; i < std::size(labels); ++i)
            desktop.addIcon(labels[i], 60 + 137 * std::int32_t(i), 90 + 61 * std::int32_t(i % 5));
    }
    bool arrange(std::int32_t sort, std::int32_t method, bool locked = false) {
        return component::arrange(
            store, desktop, sort, method, [locked] { return locked; }, Trigger::menu);
    }
    desktop_access::History history() const {
        return desktop_access::readHistory(desktop_access::historyPathFor(store))
            .value_or(desktop_access::History{});
    }

    test_support::ScratchFolder scratch{"restoring"};
    const fs::path store = scratch.path / "Kelvara.store";
    Desktop desktop;
};

// Random sequences of arrangements, hand moves, undos and redos, against a model of the two
// lists: after every undo the desktop is exactly as it was before the arrangement undone, after
// every redo as it was after it.
TEST_F(RestoringTest, RandomSequencesUndoAndRedoToExactlyTheDesktopsBefore) {
    int undos = 0;
    int redos = 0;
    int arrangements = 0;
    constexpr int sequences = 60;
    for (unsigned seed = 1; seed <= sequences; ++seed) {
        fake::reset();
        fs::remove_all(scratch.path);
        fs::create_directories(scratch.path);
        desktop = Desktop{};
        SetUp();
        std::mt19937 random(seed);
        std::vector<std::vector<Point>> past;
        std::vector<std::vector<Point>> future;
        bool justStepped = false; // nothing moved since the last undo or redo
        for (int step = 0; step < 45; ++step) {
            const bool stepped = std::exchange(justStepped, false);
            const std::vector<Point> before = positions(desktop);
            switch (random() % 6) {
            case 0:
            case 1: {
                ASSERT_TRUE(arrange(std::int32_t(random() % 3), std::int32_t(random() % 5),
                                    random() % 4 == 0));
                ++arrangements;
                if (positions(desktop) != before) {
                    past.push_back(before);
                    if (past.size() > desktop_access::History::capacity)
                        past.erase(past.begin());
                    future.clear();
                }
                break;
            }
            case 2: { // a hand move, onto a cell of its own
                Desktop::Item& item = desktop.items[random() % desktop.items.size()];
                const Point to{std::int32_t(random() % 1800), std::int32_t(random() % 900)};
                if (std::none_of(desktop.items.begin(), desktop.items.end(),
                                 [&](const auto& other) {
                                     return std::abs(other.position.x - to.x) < 79 &&
                                            std::abs(other.position.y - to.y) < 79;
                                 }))
                    item.position = to;
                break;
            }
            case 3:
            case 4: {
                const bool undo = random() % 3 != 0;
                std::vector<std::vector<Point>>& from = undo ? past : future;
                std::vector<std::vector<Point>>& to = undo ? future : past;
                if (from.empty()) {
                    EXPECT_THROW(
                        component::stepHistory(store, desktop, undo ? Step::undo : Step::redo),
                        component::RestoreError);
                    EXPECT_EQ(positions(desktop), before);
                    break;
                }
                component::stepHistory(store, desktop, undo ? Step::undo : Step::redo);
                ASSERT_EQ(positions(desktop), from.back())
                    << "seed " << seed << " step " << step << (undo ? " undo" : " redo");
                to.push_back(before);
                from.pop_back();
                ++(undo ? undos : redos);
                justStepped = true;
                break;
            }
            default: // the automatic arrangement leaves what an undo restored as it is
                if (stepped) {
                    ASSERT_TRUE(arrange(1, 0, true));
                    EXPECT_EQ(positions(desktop), before) << "locked stays locked";
                    justStepped = true;
                }
            }
        }
        EXPECT_EQ(history().undo.size(), past.size());
        EXPECT_EQ(history().redo.size(), future.size());
    }
    std::cout << "[ figures  ] " << sequences << " sequences: " << arrangements << " arrangements, "
              << undos << " undos and " << redos << " redos, each exactly the desktop before\n";
    EXPECT_GT(undos, 100);
    EXPECT_GT(redos, 20);
}

// Restoring on another display: 0 icons off every screen, no two in a cell; a newcomer goes to
// a free cell, an icon gone is skipped.
TEST_F(RestoringTest, APointOfAnotherDisplayIsCarriedOntoTheScreens) {
    ASSERT_TRUE(arrange(0, 1)); // along the left edge
    const RestorePoint saved{0,
                             Trigger::menu,
                             0,
                             1,
                             desktop_access::configurationOf({{0, 0, 1920, 1040}}, 79, 79),
                             desktop_access::placesOf(desktop_access::readStore(store).icons)};
    const std::vector<std::vector<desktop_access::Rect>> displays = {
        {{0, 0, 1024, 728}},
        {{0, 0, 640, 200}},
        {{0, 0, 1280, 984}, {1280, 200, 2304, 968}},
        {{-1024, 0, 0, 728}, {0, 0, 1920, 1040}},
    };
    for (const std::vector<desktop_access::Rect>& areas : displays) {
        desktop.areas = areas;
        desktop.addIcon(u"Newcomer", 100, 100);
        desktop_access::StoreSession session(store);
        const desktop_access::DesktopProxy snapshot = desktop_access::readDesktop(desktop, session);
        const std::vector<desktop_access::IconRecord> placed =
            organizers::restorePlaces(snapshot, {saved.display, saved.places});
        std::set<std::pair<std::int32_t, std::int32_t>> cells;
        for (const desktop_access::IconRecord& icon : placed) {
            EXPECT_TRUE(organizers::placement::onScreen(icon, areas)) << areas.size();
            const desktop_access::Cell cell = desktop_access::cellOf(icon, snapshot.grid());
            EXPECT_TRUE(cells.insert({cell.column, cell.row}).second) << "two icons in one cell";
        }
        desktop.items.pop_back();
    }
}

TEST_F(RestoringTest, FilesRoundTripAnyLabelAndADamagedOneReadsAsNothing) {
    ASSERT_TRUE(arrange(0, 1));
    ASSERT_TRUE(arrange(2, 3));
    desktop_access::History written = history();
    ASSERT_EQ(written.undo.size(), 2u);
    written.undo[1].time = UINT64_MAX; // any FILETIME count, the highest too
    const std::string bytes = desktop_access::encodeHistory(written);
    EXPECT_EQ(desktop_access::decodeHistory(bytes), written);
    // Cut short anywhere, or one byte changed where it matters: nothing.
    for (std::size_t length = 0; length < bytes.size(); length += 7)
        EXPECT_FALSE(desktop_access::decodeHistory(bytes.substr(0, length))) << length;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"undo 2", "undo 3"},
                                   {"history 1", "history 2"},
                                   {"\nend\n", "\nend\nx"},
                                   {"point ", "point -"},
                                   {"area 0", "area +0"}}) {
        std::string damaged = bytes;
        damaged.replace(damaged.find(from), from.size(), to);
        EXPECT_FALSE(desktop_access::decodeHistory(damaged)) << to;
    }

    // A damaged history reads as empty and the next arrangement replaces it; the store and
    // layouts are untouched by it.
    std::ofstream(desktop_access::historyPathFor(store), std::ios::binary) << bytes.substr(0, 90);
    EXPECT_THROW(component::stepHistory(store, desktop, Step::undo), component::RestoreError);
    desktop.items[0].position = {1500, 800};
    ASSERT_TRUE(arrange(0, 0));
    EXPECT_EQ(history().undo.size(), 1u);

    desktop_access::NamedLayouts layouts;
    ASSERT_TRUE(
        layouts.save({u"Work \u2014 \xDBFF", written.undo[0].display, written.undo[0].places}));
    for (const std::u16string& bad : {std::u16string(65, u'x'), std::u16string(u"two\nlines")})
        EXPECT_FALSE(layouts.save({bad, {}, {}}));
    EXPECT_EQ(desktop_access::decodeNamedLayouts(desktop_access::encodeNamedLayouts(layouts)),
              layouts);
}

// Layouts a user named are never written over: a damaged file is set aside, whole.
TEST_F(RestoringTest, ADamagedFileOfNamedLayoutsIsSetAsideBeforeTheNextSave) {
    const fs::path file = desktop_access::namedLayoutsPathFor(store);
    std::ofstream(file, std::ios::binary) << "Kelvara named layouts 1\nname Mine\ndisplay 9";
    EXPECT_TRUE(component::layoutNames(store).empty());
    component::saveLayout(store, desktop, u"New");
    EXPECT_EQ(bytesOf(fs::path(file.string() + ".damaged")),
              "Kelvara named layouts 1\nname Mine\ndisplay 9");
    EXPECT_EQ(component::layoutNames(store), std::vector<std::u16string>{u"New"});
}

TEST_F(RestoringTest, AnImportNotExactlyOfTheFormChangesNothingAndSaysWhere) {
    const desktop_access::NamedLayout layout{
        u"Home", desktop_access::configurationOf({{0, 0, 1920, 1040}}, 79, 79), {{u"A", 4, 4}}};
    const std::string good = desktop_access::encodeExportedLayout(layout);
    const auto decoded = desktop_access::decodeExportedLayout(good);
    ASSERT_TRUE(std::holds_alternative<desktop_access::NamedLayout>(decoded));
    EXPECT_EQ(std::get<desktop_access::NamedLayout>(decoded), layout);
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string bytes = good;
        bytes.replace(bytes.find(from), from.size(), to);
        return bytes;
    };
    const fs::path file = scratch.path / "layout.txt";
    for (const auto& [bytes, where] : std::vector<std::pair<std::string, std::string>>{
             {"", "line 1"},
             {replaced("Kelvara layout 1", "Kelvara layout 2"), "line 1"},
             {replaced("name Home", "name " + std::string(65, 'x')), "line 2"},
             {replaced("display 1", "display 2"), "line"},
             {replaced("4 4 A", "4 A"), "line 5"},
             {good.substr(0, good.size() - 1), "line"},
             {good + "more\n", "line 7"}}) {
        std::ofstream(file, std::ios::binary) << bytes;
        try {
            component::importLayout(store, file, u"");
            ADD_FAILURE() << "imported " << bytes;
        } catch (const component::RestoreError& error) {
            EXPECT_NE(std::string(error.what()).find(where), std::string::npos) << error.what();
        }
    }
    EXPECT_TRUE(component::layoutNames(store).empty());
    EXPECT_FALSE(fs::exists(desktop_access::namedLayoutsPathFor(store)));
}

// A history that cannot be written: the arrangement is made and the store saved, then the
// failure is told; the file keeps the history it held, and no restore point is lost.
TEST_F(RestoringTest, AHistoryThatCannotBeWrittenIsToldAfterTheRestIsSaved) {
    ASSERT_TRUE(arrange(0, 1));
    const std::string held = bytesOf(desktop_access::historyPathFor(store));
    fake::heldOpen = desktop_access::historyPathFor(store);
    EXPECT_THROW(arrange(0, 3), desktop_access::HistoryWriteError);
    fake::heldOpen.clear();
    EXPECT_EQ(bytesOf(desktop_access::historyPathFor(store)), held);
    EXPECT_EQ(desktop_access::readStore(store).icons.size(), desktop.items.size());
    EXPECT_NE(bytesOf(desktop_access::lastDisplayPathFor(store)), "");
    // The point the file could not take is kept by the process and saved with the next one.
    ASSERT_TRUE(arrange(1, 2));
    EXPECT_EQ(history().undo.size(), 3u);
}

TEST(HistoryText, TellsWhatWhenAndWhy) {
    // 2026-12-09 14:02:31 and 1601-01-01 00:00:00 as FILETIME counts; a leap day.
    EXPECT_EQ(component::dateAndTime(134412985510000000ull), "2026-12-09 14:02:31");
    EXPECT_EQ(component::dateAndTime(0), "1601-01-01 00:00:00");
    EXPECT_EQ(component::dateAndTime(126227808000000000ull), "2001-01-01 00:00:00");
    EXPECT_EQ(component::dateAndTime(132274080000000000ull), "2020-02-29 00:00:00");
    RestorePoint point{0, Trigger::menu, 0, 1, {}, {{u"a", 0, 0}}};
    EXPECT_EQ(component::stepDescription(point, 134412985510000000ull), "sort by name (14:02)");
    EXPECT_EQ(component::historyLine(3, point, 0),
              "3\t1601-01-01 00:00:00\tmenu\tsort by name\t1 icon");
    point.arrangeMethod = 0;
    EXPECT_EQ(component::whatItDid(point), "tidy");
    point.trigger = Trigger::displayChange;
    EXPECT_EQ(component::historyLine(1, point, 0).substr(22),
              "display change\tarrangement\t1 icon");
}

} // namespace
