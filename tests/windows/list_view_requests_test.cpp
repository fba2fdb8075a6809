#include <gtest/gtest.h>

#include "desktop_access/desktop_win32.h"
#include "desktop_access/errors.h"
#include "tests/windows/desktop_host.h"
#include "tests/windows/test_support.h"
#include "winapi/error.h"
#include "winapi/remote_allocator_win32.h"
#include "winapi/text_win32.h"

namespace {

using desktop_access::Desktop;
using desktop_access::Icon;
using test_support::DesktopHost;
using test_support::HostDescription;

RECT toRECT(const desktop_access::Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

class ListViewRequests : public ::testing::Test {
  protected:
    void start(HostDescription description) {
        host = std::make_unique<DesktopHost>(std::move(description));
        desktop = &desktop_access::getDesktop();
    }
    Icon icon(int index) const { return {desktop, index}; }

    std::unique_ptr<DesktopHost> host;
    Desktop* desktop = nullptr;
};

TEST_F(ListViewRequests, ReadKnownIcons) {
    HostDescription description;
    description.icons = {
        {L"Notes.txt", 120, 80}, {L"Trash", 640, 300}, {L"Ünïcode ✓ 名前", 33, 700}};
    description.workAreas = {{0, 0, 1920, 1040}};
    start(description);
    const test_support::HostReport held = host->report();

    ASSERT_EQ(desktop_access::iconCount(*desktop), 3);
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        const auto& expected = description.icons[index];
        EXPECT_EQ(desktop_access::iconText(icon(index)), winapi::fromWide(expected.label));
        const desktop_access::Point position = desktop_access::iconPosition(icon(index));
        EXPECT_EQ((POINT{position.x, position.y}), (POINT{expected.x, expected.y}));
        EXPECT_EQ(toRECT(desktop_access::iconBoundingBox(icon(index))), held.icons[index].box);
    }
}

TEST_F(ListViewRequests, LongLabelsComeBackWholeUpTo259Characters) {
    const std::wstring longest(259, L'x');
    HostDescription description;
    description.icons = {{longest, 100, 100},
                         {std::wstring(258, L'y') + L"z" + L"beyond", 300, 100}};
    start(description);
    EXPECT_EQ(desktop_access::iconText(icon(0)), winapi::fromWide(longest));
    EXPECT_EQ(desktop_access::iconText(icon(1)), winapi::fromWide(std::wstring(258, L'y') + L"z"));
}

TEST_F(ListViewRequests, SetPositionSendsSixteenBitsPerCoordinate) {
    HostDescription description;
    description.icons = {{L"A", 100, 100}, {L"B", 200, 100}};
    start(description);
    desktop_access::setIconPosition(icon(1), 345, 678);
    EXPECT_EQ(host->report().icons[1].position, (POINT{345, 678}));
    // Beyond 32767 a coordinate wraps within its 16 bits.
    desktop_access::setIconPosition(icon(0), 40000, 65536 + 20);
    EXPECT_EQ(host->report().icons[0].position, (POINT{40000 - 65536, 20}));
    EXPECT_EQ(host->report().icons[1].position, (POINT{345, 678}));
}

TEST_F(ListViewRequests, WorkAreasAsTheListViewReportsThem) {
    HostDescription description;
    description.icons = {{L"A", 100, 100}};
    description.workAreas = {{0, 0, 1920, 1040}, {1920, -200, 3200, 824}, {-1280, 0, 0, 1024}};
    start(description);
    std::vector<desktop_access::Rect> areas = desktop_access::workAreas(*desktop);
    ASSERT_EQ(areas.size(), 3u);
    for (std::size_t i = 0; i < areas.size(); ++i)
        EXPECT_EQ(toRECT(areas[i]), description.workAreas[i]);

    host->setWorkAreas({{0, 0, 1280, 984}});
    areas = desktop_access::workAreas(*desktop);
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(toRECT(areas[0]), (RECT{0, 0, 1280, 984}));

    // No work area: the buffer would have no size, which the system refuses.
    host->setWorkAreas({});
    EXPECT_EQ(test_support::messageOf<winapi::RemoteAllocatorError>(
                  [&] { desktop_access::workAreas(*desktop); }),
              "Failed to allocate or access remote process");
}

TEST_F(ListViewRequests, ListViewThatDoesNotAnswerHasNoWorkAreas) {
    HostDescription description;
    description.icons = {{L"A", 100, 100}};
    description.nativeWorkAreas = true; // Wine's own list view writes nothing back
    start(description);
    EXPECT_THROW(desktop_access::workAreas(*desktop), winapi::RemoteAllocatorError);
}

TEST_F(ListViewRequests, WorkAreaCountIsCappedAtTheListViewsMaximum) {
    HostDescription description;
    for (LONG i = 0; i < 20; ++i)
        description.workAreas.push_back({i * 100, 0, i * 100 + 100, 100});
    start(description);
    const auto areas = desktop_access::workAreas(*desktop);
    ASSERT_EQ(areas.size(), 16u);
    EXPECT_EQ(toRECT(areas[15]), description.workAreas[15]);
}

TEST_F(ListViewRequests, IndexOutOfRange) {
    HostDescription description;
    description.icons = {{L"A", 100, 100}};
    start(description);
    for (int index : {1, -1, 1000}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(test_support::messageOf<desktop_access::DesktopAccessError>(
                      [&] { desktop_access::iconBoundingBox(icon(index)); }),
                  "Failed to get icon bounding box.");
        EXPECT_EQ(test_support::messageOf<desktop_access::DesktopAccessError>(
                      [&] { desktop_access::iconPosition(icon(index)); }),
                  "Failed to get icon position");
        EXPECT_EQ(test_support::messageOf<desktop_access::DesktopAccessError>(
                      [&] { desktop_access::setIconPosition(icon(index), 5, 5); }),
                  "Failed to set icon position");
    }
    EXPECT_EQ(desktop_access::iconText(icon(1)), u"");
}

TEST_F(ListViewRequests, IconWithoutDesktop) {
    const Icon orphan{nullptr, 0};
    for (const auto& request :
         std::vector<std::function<void()>>{[&] { desktop_access::iconText(orphan); },
                                            [&] { desktop_access::iconBoundingBox(orphan); },
                                            [&] { desktop_access::iconPosition(orphan); },
                                            [&] { desktop_access::setIconPosition(orphan, 1, 1); }})
        EXPECT_EQ(test_support::messageOf<desktop_access::UninitializedDesktopError>(request),
                  "Uninitialized desktop");
}

// Committed private memory of a process, region by region.
SIZE_T privateBytes(HANDLE process) {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (auto* at = static_cast<char*>(nullptr);
         VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
         at += region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
    }
    return total;
}

TEST_F(ListViewRequests, RequestsLeaveNothingAllocatedInTheShell) {
    HostDescription description;
    description.icons = {{L"A", 100, 100}};
    start(description);
    const winapi::SharedHandle shell = winapi::ownHandle(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, host->processId()));
    ASSERT_TRUE(shell);
    auto requestAll = [&](int rounds) {
        for (int i = 0; i < rounds; ++i) {
            EXPECT_EQ(desktop_access::iconText(icon(0)), u"A");
            desktop_access::iconBoundingBox(icon(0));
            EXPECT_THROW(desktop_access::iconBoundingBox(icon(7)),
                         desktop_access::DesktopAccessError);
            EXPECT_THROW(desktop_access::iconPosition(icon(7)), desktop_access::DesktopAccessError);
            EXPECT_THROW(desktop_access::workAreas(*desktop), winapi::RemoteAllocatorError);
        }
    };
    requestAll(10); // whatever the first requests make the shell allocate for itself
    const SIZE_T before = privateBytes(winapi::raw(shell));
    requestAll(100);
    // Every buffer left behind would hold at least one page: 500 of them here, failed or not.
    EXPECT_LT(privateBytes(winapi::raw(shell)), before + 50 * 4096);
}

TEST_F(ListViewRequests, AShellThatDoesNotAnswerFailsTheRequestWithinItsBound) {
    HostDescription description;
    description.icons = {{L"A", 100, 100}};
    start(description);
    host->freeze(60000);
    EXPECT_EQ(test_support::messageOf<desktop_access::DesktopAccessError>(
                  [&] { desktop_access::iconCount(*desktop); }),
              "The desktop does not answer");
    EXPECT_TRUE(host->stillFrozen()) << "the request did not wait for the shell to answer";
    // Every kind of request has the same bound; the system now counts the host as hung, so they
    // give up at once.
    EXPECT_THROW(desktop_access::iconText(icon(0)), desktop_access::DesktopAccessError);
    EXPECT_THROW(desktop_access::setIconPosition(icon(0), 5, 5),
                 desktop_access::DesktopAccessError);
    EXPECT_THROW(desktop_access::repaintIcons(*desktop), desktop_access::DesktopAccessError);
    ASSERT_TRUE(host->thaw());
    EXPECT_EQ(desktop_access::iconCount(*desktop), 1) << "answered again";
}

// A request that timed out is still the shell's to handle: when it comes to it, it writes into
// the buffer the request gave it, which must still be there.
TEST_F(ListViewRequests, ABufferOfARequestThatTimedOutIsLeftToTheShell) {
    HostDescription description;
    description.icons = {{L"A", 100, 100}, {L"B", 300, 100}};
    start(description);
    for (const UINT message : {LVM_GETITEMPOSITION, LVM_GETITEMTEXTW}) {
        SCOPED_TRACE(message);
        host->freeze(60000, message);
        EXPECT_EQ(test_support::messageOf<desktop_access::DesktopAccessError>([&] {
                      if (message == LVM_GETITEMPOSITION)
                          desktop_access::iconPosition(icon(1));
                      else
                          desktop_access::iconText(icon(1));
                  }),
                  "The desktop does not answer");
        ASSERT_TRUE(host->thaw());
        EXPECT_EQ(host->report().staleAddresses, 0);
        EXPECT_EQ(desktop_access::iconText(icon(1)), u"B");
    }
}

TEST(RemoteAllocator, RemoteAndLocalBuffersCarryTheirValues) {
    // A handle opened for memory access only cannot tell its process id: the buffer is remote
    // even inside this process.
    const winapi::SharedHandle memoryOnly = winapi::ownHandle(OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, GetCurrentProcessId()));
    const winapi::SharedHandle full =
        winapi::ownHandle(OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId()));
    for (const auto& process : {memoryOnly, full}) {
        winapi::RemoteAllocator<RECT> buffer(process, 3 * sizeof(RECT));
        EXPECT_EQ(buffer.isLocal(), process == full);
        EXPECT_EQ(buffer.remote() != nullptr, process == memoryOnly);
        const RECT values[3] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {-9, -10, 11, 12}};
        buffer.write(values, 3);
        // The address given to the window holds what was written.
        EXPECT_EQ(static_cast<RECT*>(buffer.address())[2], values[2]);
        static_cast<RECT*>(buffer.address())[1].left = 55;
        EXPECT_EQ(buffer.read()[1], (RECT{55, 6, 7, 8}));
        EXPECT_THROW(buffer.write(values, 2), std::logic_error);
    }
    EXPECT_THROW(winapi::RemoteAllocator<RECT>(memoryOnly, 0), winapi::RemoteAllocatorError);
    EXPECT_NO_THROW(winapi::RemoteAllocator<RECT>(full, 0));
}

} // namespace
