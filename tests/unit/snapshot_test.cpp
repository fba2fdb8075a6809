// A live snapshot as an arrangement reads it (desktop_access/snapshot.h) and the store session it
// is read in (desktop_access/store_session.h): what is read, once, and what a save writes.
#include "desktop_access/snapshot.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "desktop_access/busy_file.h"
#include "desktop_access/errors.h"
#include "desktop_access/icon_moving.h"
#include "desktop_access/icon_store.h"
#include "desktop_access/store_session.h"
#include "desktop_access/text_lines.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/scratch_folder.h"
#include "winapi/error.h"
#include "winapi/named_lock.h"

namespace {

using desktop_access::Desktop;
using desktop_access::DesktopProxy;
using desktop_access::StoreSession;

class SnapshotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        store = dir / "Kelvara.store";
        desktop.areas = {{0, 0, 1920, 1040}};
    }

    void writeStoreFile(const std::string& bytes) {
        std::ofstream(store, std::ios::binary) << bytes;
    }
    int storeLocksHeld() { return fake::locksHeld[winapi::storeLockName]; }
    DesktopProxy read(desktop_access::ShellNeeds needs = {}) {
        const StoreSession session(store);
        return desktop_access::readDesktop(desktop, session, needs);
    }

    test_support::ScratchFolder scratch{"snapshot"};
    const std::filesystem::path& dir = scratch.path;
    std::filesystem::path store;
    Desktop desktop;
};

TEST_F(SnapshotTest, ReadsEveryIconInIndexOrderWithThreeRequestsEach) {
    desktop.addIcon(u"First", 4, 4).addIcon(u"Second", -300, 900);
    desktop.items[1].box = {-10, -2, 80, 60}; // a wider label
    desktop.items[1].position = {-290, 902};
    const DesktopProxy proxy = read();
    ASSERT_EQ(proxy.icons.size(), 2u);
    const auto& second = proxy.icons[1];
    EXPECT_EQ(second.name, u"Second");
    EXPECT_EQ(second.icon.desktop, &desktop);
    EXPECT_EQ(second.icon.index, 1);
    EXPECT_EQ(second.left, -300);
    EXPECT_EQ(second.top, 900);
    EXPECT_EQ(second.offsetX, 10);
    EXPECT_EQ(second.offsetY, 2);
    EXPECT_EQ(second.width, 90);
    EXPECT_EQ(second.height, 62);
    EXPECT_EQ(second.usage, 0u);
    EXPECT_EQ(proxy.icons[0].offsetX, 21);
    EXPECT_EQ(proxy.icons[0].offsetY, 4);
    EXPECT_EQ(desktop.positionReads, 2) << "one position request per icon";
    EXPECT_EQ(fake::glideWaits, 1) << "a glide still running anywhere ends first";
    EXPECT_EQ(desktop.shellLookups, 0) << "no sort asked for the shell's facts";
}

TEST_F(SnapshotTest, TheShellsFactsComeWithTheSnapshotWhenTheSortNeedsThem) {
    desktop.addIcon(u"Notes", 4, 4);
    desktop.fileSystem = {{u"Notes", true}};
    desktop.creationTimes = {{u"Notes", 1234}};
    fake::now = 99999;
    const DesktopProxy byName = read({true, false});
    EXPECT_EQ(byName.shell.fileSystem, fake::factsOf(desktop).fileSystem);
    EXPECT_TRUE(byName.shell.creationTimes.empty());
    const DesktopProxy byAge = read({false, true});
    EXPECT_EQ(byAge.shell.creationTimes, fake::factsOf(desktop).creationTimes);
    EXPECT_EQ(byAge.shell.now, 99999u);
    EXPECT_EQ(desktop.shellLookups, 2);
}

TEST_F(SnapshotTest, GridComesFromWorkAreasAndTheLargestIcon) {
    desktop.addIcon(u"A", 4, 4).addIcon(u"B", 100, 4);
    desktop.items[1].box = {0, 0, 90, 80};
    const DesktopProxy proxy = read();
    EXPECT_EQ(proxy.cellWidth, 94);
    EXPECT_EQ(proxy.cellHeight, 84);
    EXPECT_EQ(proxy.originX, 4);
    EXPECT_EQ(proxy.originY, 4);
    EXPECT_EQ(proxy.areaWidth, 1920);
    EXPECT_EQ(proxy.areaHeight, 1036);
    EXPECT_EQ(proxy.columns, 20); // 1920 / 94 = 20.4
    EXPECT_EQ(proxy.rows, 12);    // 1036 / 84 = 12.3
}

TEST_F(SnapshotTest, UnionOfWorkAreasAlwaysHoldsTheOrigin) {
    desktop.addIcon(u"A", 4, 4);
    desktop.areas = {{100, 200, 800, 600}};
    const DesktopProxy right = read();
    EXPECT_EQ(right.originX, 4);
    EXPECT_EQ(right.originY, 4);
    EXPECT_EQ(right.areaWidth, 800);
    EXPECT_EQ(right.areaHeight, 596);

    desktop.areas = {{0, 0, 1920, 1040}, {-1920, -200, 0, 880}};
    const DesktopProxy left = read();
    EXPECT_EQ(left.originX, -1916);
    EXPECT_EQ(left.originY, -196);
    EXPECT_EQ(left.areaWidth, 3840);
    EXPECT_EQ(left.areaHeight, 1236);
    EXPECT_EQ(left.columns, 3840 / 79);
}

TEST_F(SnapshotTest, NoIconsAndNoWorkAreas) {
    desktop.areas.clear();
    {
        StoreSession session(store);
        const DesktopProxy proxy = desktop_access::readDesktop(desktop, session);
        EXPECT_EQ(proxy.cellWidth, 4);
        EXPECT_EQ(proxy.cellHeight, 4);
        EXPECT_EQ(proxy.areaWidth, 0);
        EXPECT_EQ(proxy.areaHeight, -4);
        EXPECT_EQ(proxy.columns, 0);
        EXPECT_EQ(proxy.rows, -1); // -4 / 4: no room for a row
        session.save(proxy, true);
    }
    const DesktopProxy written = desktop_access::readStore(store);
    EXPECT_TRUE(written.icons.empty());
    EXPECT_EQ(written.cellWidth, 4);
}

TEST_F(SnapshotTest, UsageCountsCarryOverByLabelFirstDuplicateWinning) {
    writeStoreFile("1:1\n1920:1036\n79:79\n4:4\n"
                   "Gone\n0:0\n75:75\n99\n"
                   "Mail\n0:0\n75:75\n7\n"
                   "Mail\n0:0\n75:75\n8\n"
                   "mail\n0:0\n75:75\n5\n"
                   "Notes\n500:500\n75:75\n4294967295\n");
    desktop.addIcon(u"Notes", 4, 4).addIcon(u"Mail", 4, 83).addIcon(u"New", 4, 162);
    const DesktopProxy proxy = read();
    EXPECT_EQ(proxy.icons[0].usage, 4294967295u);
    EXPECT_EQ(proxy.icons[1].usage, 7u);
    EXPECT_EQ(proxy.icons[2].usage, 0u);
    EXPECT_EQ(proxy.icons[0].left, 4) << "only the count is taken over";

    ASSERT_TRUE(proxy.previous);
    ASSERT_EQ(proxy.previous->icons.size(), 3u)
        << "stored labels no longer on the desktop are dropped";
    EXPECT_EQ(proxy.previous->icons[0].name, u"Mail");
    EXPECT_EQ(proxy.previous->icons[2].name, u"Notes");
    EXPECT_EQ(proxy.previous->areaWidth, 1920);
}

TEST_F(SnapshotTest, TheSessionHoldsTheLockAndASaveWritesTheStore) {
    desktop.addIcon(u"A", 10, 20);
    {
        StoreSession session(store);
        EXPECT_EQ(storeLocksHeld(), 1);
        DesktopProxy proxy = desktop_access::readDesktop(desktop, session);
        proxy.icons[0].usage = 3;
        proxy.icons[0].left = 4;
        EXPECT_FALSE(std::filesystem::exists(store));
        session.save(proxy, false);
        EXPECT_FALSE(std::filesystem::exists(desktop_access::layoutsPathFor(store)))
            << "nothing arranged, nothing remembered";
    }
    EXPECT_EQ(storeLocksHeld(), 0);
    const DesktopProxy written = desktop_access::readStore(store);
    ASSERT_EQ(written.icons.size(), 1u);
    EXPECT_EQ(written.icons[0].usage, 3u);
    EXPECT_EQ(written.icons[0].left, 4);
    EXPECT_EQ(written.columns, 24);
}

TEST_F(SnapshotTest, FailingRequestWritesNothingAndReleasesLock) {
    writeStoreFile("1:1\n1920:1036\n79:79\n4:4\nA\n0:0\n75:75\n7\n");
    desktop.addIcon(u"A", 4, 4).addIcon(u"B", 4, 83);
    for (const char* request : {"count", "box", "position", "text", "workAreas"}) {
        SCOPED_TRACE(request);
        desktop.failRequest = request;
        desktop.failIndex = 1;
        EXPECT_THROW(read(), desktop_access::DesktopAccessError);
        EXPECT_EQ(storeLocksHeld(), 0);
    }
    const DesktopProxy untouched = desktop_access::readStore(store);
    ASSERT_EQ(untouched.icons.size(), 1u);
    EXPECT_EQ(untouched.icons[0].usage, 7u);
}

TEST_F(SnapshotTest, LockFailureStopsBeforeReading) {
    writeStoreFile("garbage that must stay");
    desktop.addIcon(u"A", 4, 4);
    fake::failLocks = true;
    EXPECT_THROW(read(), winapi::Error);
    EXPECT_EQ(fake::glideWaits, 0);
    std::ifstream in(store);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "garbage that must stay");
}

TEST_F(SnapshotTest, EmptyStorePathReadsAndWritesNothing) {
    desktop.addIcon(u"A", 4, 4);
    {
        StoreSession session({});
        const DesktopProxy proxy = desktop_access::readDesktop(desktop, session);
        ASSERT_TRUE(proxy.previous);
        EXPECT_TRUE(proxy.previous->icons.empty());
        EXPECT_EQ(proxy.icons[0].usage, 0u);
        session.save(proxy, true);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

// The layouts file decides which display the last arrangement was made on; without one, a change
// of the area's size tells.
TEST_F(SnapshotTest, WhetherTheDisplayChangedIsDecidedOnce) {
    desktop.addIcon(u"A", 4, 4);
    const auto changedOn = [&](desktop_access::Rect area) {
        desktop.areas = {area};
        StoreSession session(store);
        const DesktopProxy live = desktop_access::readDesktop(desktop, session);
        const bool changed = session.displayChanged(live);
        session.save(live, true);
        return changed;
    };
    const desktop_access::Rect plain{0, 0, 1920, 1040};
    EXPECT_TRUE(changedOn(plain)) << "nothing stored: a first arrangement";
    EXPECT_FALSE(changedOn(plain));
    EXPECT_TRUE(changedOn({0, 0, 1880, 1080})) << "the taskbar moved to the right";
    EXPECT_TRUE(changedOn(plain)) << "and back";

    std::filesystem::remove(desktop_access::layoutsPathFor(store));
    EXPECT_FALSE(changedOn(plain)) << "without the layouts, the stored area's size decides";
    std::filesystem::remove(desktop_access::layoutsPathFor(store));
    EXPECT_TRUE(changedOn({0, 0, 1280, 984}));
}

// Both files are written by one save, each with the same wait for a program that holds it; a
// layouts file that could not be written is told as a store that could not be is, and the store
// is written all the same.
TEST_F(SnapshotTest, ALayoutsFileThatCannotBeWrittenFailsTheSaveButTheStoreIsWritten) {
    desktop.addIcon(u"A", 10, 20);
    StoreSession session(store);
    DesktopProxy proxy = desktop_access::readDesktop(desktop, session);
    proxy.icons[0].usage = 5;
    fake::inUseReplaces = 1; // the first file written stays in use for one try
    EXPECT_NO_THROW(session.save(proxy, true)) << "let go in time";
    EXPECT_EQ(fake::replaceCalls, 3);

    fake::reset();
    proxy.icons[0].left = 83; // another place to remember
    fake::inUseReplaces = -1;
    try {
        session.save(proxy, true);
        ADD_FAILURE() << "saved";
    } catch (const desktop_access::StoreWriteError& error) {
        EXPECT_NE(std::string(error.what()).find("kept"), std::string::npos);
    }
    // The last display, the store and the journal that keeps the counts.
    EXPECT_EQ(fake::pausedMilliseconds, 3u * desktop_access::busyFileWaitMilliseconds)
        << "each file waited for as long";
    fake::inUseReplaces = 0;
    fake::replaceError = 5;
    EXPECT_THROW(session.save(proxy, true), desktop_access::StoreWriteError);
}

// A full disk or a folder Kelvara may not write to: every file fails alike, so the counts and the
// displays remembered meanwhile live in the process until a save works, which writes them all.
TEST_F(SnapshotTest, WhatASaveCouldNotWriteIsWrittenByTheNextSaveThatWorks) {
    for (const std::uint32_t error : {112u /* disk full */, 5u /* access denied */}) {
        SCOPED_TRACE(error);
        fake::reset();
        store = dir / std::to_string(error) / "Kelvara.store"; // no file yet
        std::filesystem::create_directories(store.parent_path());
        desktop.areas = {{0, 0, 1920, 1040}};
        desktop.items.clear();
        desktop.addIcon(u"A", 10, 20).addIcon(u"B", 200, 20);
        const auto arrange = [&](bool remember, std::uint32_t opened) {
            StoreSession session(store);
            DesktopProxy proxy = desktop_access::readDesktop(desktop, session);
            proxy.icons[0].usage += opened;
            session.save(proxy, remember);
            return proxy.configuration();
        };
        const desktop_access::DisplayConfiguration first = arrange(true, 0);
        fake::now += desktop_access::settleTime; // the first display has held
        const auto stored = desktop_access::readWholeFile(store, 1 << 20);

        fake::replaceError = error;
        EXPECT_THROW(arrange(true, 2), desktop_access::StoreWriteError);
        desktop.areas = {{0, 0, 1280, 984}}; // another display, while nothing can be saved
        EXPECT_THROW(arrange(true, 1), desktop_access::StoreWriteError);
        EXPECT_EQ(desktop_access::readWholeFile(store, 1 << 20), stored);

        fake::replaceError = 0;
        arrange(false, 0); // an opening counted: no arrangement, but a save that works
        EXPECT_EQ(desktop_access::readStore(store).icons[0].usage, 3u);
        const std::optional<desktop_access::Layouts> layouts =
            desktop_access::readLayouts(desktop_access::layoutsPathFor(store));
        ASSERT_TRUE(layouts);
        EXPECT_TRUE(layouts->contains(first)) << "the display left while nothing was saved";
        EXPECT_EQ(fake::saveOutcomes, (std::vector<std::uint32_t>{0, error, error, 0}));
    }
}

TEST_F(SnapshotTest, AppliedPlacesGlideFromWhereTheIconsWereRead) {
    desktop.addIcon(u"A", 4, 4).addIcon(u"B", 300, 300);
    const DesktopProxy snapshot = read();
    std::vector<desktop_access::IconRecord> placed = snapshot.icons;
    placed[0].left = 83;
    placed[1].top = 4;
    std::swap(placed[0], placed[1]); // sorters reorder; the icon goes with its record
    const int readsBefore = desktop.positionReads;
    desktop_access::applyPlaces(snapshot.icons, placed);
    EXPECT_EQ(fake::glidesStarted, 1);
    EXPECT_EQ(desktop.boxOf(0), (desktop_access::Rect{83, 4, 158, 79}));
    EXPECT_EQ(desktop.boxOf(1), (desktop_access::Rect{300, 4, 375, 79}));
    EXPECT_EQ(desktop.positionReads - readsBefore, 2) << "only the glide's check of its places";
}

} // namespace
