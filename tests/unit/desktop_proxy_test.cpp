#include "desktop_access/desktop_proxy.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "desktop_access/icon_store.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/scratch_folder.h"
#include "winapi/error.h"

namespace {

using desktop_access::Desktop;
using organizers::DesktopProxy;

class DesktopProxyTest : public ::testing::Test {
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

    test_support::ScratchFolder scratch{"proxy"};
    const std::filesystem::path& dir = scratch.path;
    std::filesystem::path store;
    Desktop desktop;
};

TEST_F(DesktopProxyTest, ReadsEveryIconInIndexOrder) {
    desktop.addIcon(u"First", 4, 4).addIcon(u"Second", -300, 900);
    desktop.items[1].box = {-10, -2, 80, 60}; // a wider label
    desktop.items[1].position = {-290, 902};
    const DesktopProxy proxy(store, desktop);
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
    EXPECT_EQ(fake::glideWaits, 1) << "a glide still running anywhere ends first";
}

TEST_F(DesktopProxyTest, AnIconStillGlidingIsReadOnceItStands) {
    desktop.addIcon(u"Still", 4, 4).addIcon(u"Gliding", 500, 500);
    // Another arrangement moves it while it is read: every request finds it further along.
    desktop.items[1].glide = {{400, 400}, {300, 300}, {200, 200}, {100, 100}, {90, 90}};
    const DesktopProxy proxy(store, desktop);
    const auto& gliding = proxy.icons[1];
    EXPECT_EQ(gliding.left, 90 - 21);
    EXPECT_EQ(gliding.top, 90 - 4);
    EXPECT_EQ(gliding.offsetX, 21) << "box and position from the same moment";
    EXPECT_EQ(gliding.offsetY, 4);
    EXPECT_GT(fake::pauses, 0) << "it waited for the icon between readings";

    fake::reset();
    for (int step = 0; step < 200; ++step) // it never stands still long enough
        desktop.items[1].glide.push_back({step, step});
    const DesktopProxy patient(store, desktop);
    EXPECT_LE(fake::pauses, 30) << "the snapshot does not wait for ever";
}

TEST_F(DesktopProxyTest, GridComesFromWorkAreasAndTheLargestIcon) {
    desktop.addIcon(u"A", 4, 4).addIcon(u"B", 100, 4);
    desktop.items[1].box = {0, 0, 90, 80};
    const DesktopProxy proxy(store, desktop);
    EXPECT_EQ(proxy.cellWidth, 94);
    EXPECT_EQ(proxy.cellHeight, 84);
    EXPECT_EQ(proxy.originX, 4);
    EXPECT_EQ(proxy.originY, 4);
    EXPECT_EQ(proxy.areaWidth, 1920);
    EXPECT_EQ(proxy.areaHeight, 1036);
    EXPECT_EQ(proxy.columns, 20); // 1920 / 94 = 20.4
    EXPECT_EQ(proxy.rows, 12);    // 1036 / 84 = 12.3
}

TEST_F(DesktopProxyTest, UnionOfWorkAreasAlwaysHoldsTheOrigin) {
    desktop.addIcon(u"A", 4, 4);
    desktop.areas = {{100, 200, 800, 600}};
    const DesktopProxy right(store, desktop);
    EXPECT_EQ(right.originX, 4);
    EXPECT_EQ(right.originY, 4);
    EXPECT_EQ(right.areaWidth, 800);
    EXPECT_EQ(right.areaHeight, 596);

    desktop.areas = {{0, 0, 1920, 1040}, {-1920, -200, 0, 880}};
    const DesktopProxy left(store, desktop);
    EXPECT_EQ(left.originX, -1916);
    EXPECT_EQ(left.originY, -196);
    EXPECT_EQ(left.areaWidth, 3840);
    EXPECT_EQ(left.areaHeight, 1236);
    EXPECT_EQ(left.columns, 3840 / 79);
}

TEST_F(DesktopProxyTest, NoIconsAndNoWorkAreas) {
    desktop.areas.clear();
    {
        const DesktopProxy proxy(store, desktop);
        EXPECT_EQ(proxy.cellWidth, 4);
        EXPECT_EQ(proxy.cellHeight, 4);
        EXPECT_EQ(proxy.areaWidth, 0);
        EXPECT_EQ(proxy.areaHeight, -4);
        EXPECT_EQ(proxy.columns, 0);
        EXPECT_EQ(proxy.rows, -1); // -4 / 4: no room for a row
    }
    const DesktopProxy written(store);
    EXPECT_TRUE(written.icons.empty());
    EXPECT_EQ(written.cellWidth, 4);
}

TEST_F(DesktopProxyTest, UsageCountsCarryOverByLabelFirstDuplicateWinning) {
    writeStoreFile("1:1\n1920:1036\n79:79\n4:4\n"
                   "Gone\n0:0\n75:75\n99\n"
                   "Mail\n0:0\n75:75\n7\n"
                   "Mail\n0:0\n75:75\n8\n"
                   "mail\n0:0\n75:75\n5\n"
                   "Notes\n500:500\n75:75\n4294967295\n");
    desktop.addIcon(u"Notes", 4, 4).addIcon(u"Mail", 4, 83).addIcon(u"New", 4, 162);
    const DesktopProxy proxy(store, desktop);
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

TEST_F(DesktopProxyTest, DestructionWritesStoreAndReleasesLock) {
    desktop.addIcon(u"A", 10, 20);
    {
        DesktopProxy proxy(store, desktop);
        EXPECT_EQ(storeLocksHeld(), 1);
        proxy.icons[0].usage = 3;
        proxy.icons[0].left = 4;
        EXPECT_FALSE(std::filesystem::exists(store));
    }
    EXPECT_EQ(storeLocksHeld(), 0);
    const DesktopProxy written(store);
    ASSERT_EQ(written.icons.size(), 1u);
    EXPECT_EQ(written.icons[0].usage, 3u);
    EXPECT_EQ(written.icons[0].left, 4);
    EXPECT_EQ(written.columns, 24);
}

TEST_F(DesktopProxyTest, FailingRequestWritesNothingAndReleasesLock) {
    writeStoreFile("1:1\n1920:1036\n79:79\n4:4\nA\n0:0\n75:75\n7\n");
    desktop.addIcon(u"A", 4, 4).addIcon(u"B", 4, 83);
    for (const char* request : {"count", "box", "position", "text", "workAreas"}) {
        SCOPED_TRACE(request);
        desktop.failRequest = request;
        desktop.failIndex = 1;
        EXPECT_THROW(DesktopProxy(store, desktop), desktop_access::DesktopAccessError);
        EXPECT_EQ(storeLocksHeld(), 0);
    }
    const DesktopProxy untouched(store);
    ASSERT_EQ(untouched.icons.size(), 1u);
    EXPECT_EQ(untouched.icons[0].usage, 7u);
}

TEST_F(DesktopProxyTest, LockFailureStopsBeforeReading) {
    writeStoreFile("garbage that must stay");
    desktop.addIcon(u"A", 4, 4);
    fake::failLocks = true;
    EXPECT_THROW(DesktopProxy(store, desktop), winapi::Error);
    std::ifstream in(store);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "garbage that must stay");
}

TEST_F(DesktopProxyTest, EmptyStorePathReadsAndWritesNothing) {
    desktop.addIcon(u"A", 4, 4);
    {
        const DesktopProxy proxy({}, desktop);
        ASSERT_TRUE(proxy.previous);
        EXPECT_TRUE(proxy.previous->icons.empty());
        EXPECT_EQ(proxy.icons[0].usage, 0u);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(DesktopProxyTest, ApplyMovesEveryIconToItsRecordsPlace) {
    desktop.addIcon(u"A", 4, 4).addIcon(u"B", 300, 300);
    {
        DesktopProxy proxy(store, desktop);
        proxy.icons[0].left = 83;
        proxy.icons[1].top = 4;
        std::swap(proxy.icons[0], proxy.icons[1]); // sorters reorder; the icon goes with its record
        proxy.apply();
    }
    EXPECT_EQ(fake::glidesStarted, 1);
    EXPECT_EQ(desktop.boxOf(0), (desktop_access::Rect{83, 4, 158, 79}));
    EXPECT_EQ(desktop.boxOf(1), (desktop_access::Rect{300, 4, 375, 79}));
}

TEST_F(DesktopProxyTest, ApplyFailsBeforeStartingWhenAPositionCannotBeRead) {
    desktop.addIcon(u"A", 4, 4);
    DesktopProxy proxy(store, desktop);
    desktop.failRequest = "position";
    EXPECT_THROW(proxy.apply(), desktop_access::DesktopAccessError);
    EXPECT_EQ(fake::glidesStarted, 0);
}

} // namespace
