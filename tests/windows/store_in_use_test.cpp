// IconActivated while another program holds the icon store open (file_holder.exe, with each of
// the sharings such programs use): a store let go within the retry time gets the count; one held
// longer fails the call, keeps the old store whole, and the count arrives with the next call.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "component/error_info_win32.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/unsaved_usage.h"
#include "tests/windows/component_support.h"
#include "tests/windows/test_support.h"
#include "winapi/handle_win32.h"

namespace {

using Microsoft::WRL::ComPtr;
using test_support::storedUsage;

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // ASCII here
}

class StoreInUseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::registerComponent();
        test_support::removeSettings();
        test_support::removeStore(store);
        held =
            winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.fileHeld"));
        go = winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.fileGo"));
        test_support::HostDescription description;
        description.workAreas = {{0, 0, 1280, 984}};
        description.icons = {{L"Alpha", 700, 420}, {L"Bravo", 130, 610}, {L"Charlie", 1030, 90}};
        host = std::make_unique<test_support::DesktopHost>(description);
        tessora = test_support::createTessora();
        // An order the counts do not change; a dragged icon goes back to its place.
        EXPECT_EQ(tessora->SetSortMethod(SortIconName), S_OK);
        EXPECT_EQ(tessora->SetArrangeMethod(ArrangeLeft), S_OK);
        EXPECT_EQ(tessora->Refresh(), S_OK);
    }

    // Starts the holder on the store and waits until it holds it.
    test_support::Process hold(const std::wstring& sharing) {
        ResetEvent(winapi::raw(held));
        ResetEvent(winapi::raw(go));
        test_support::Process holder = test_support::startProgram(
            L"file_holder.exe", L"\"" + store.wstring() + L"\" " + sharing);
        EXPECT_EQ(WaitForSingleObject(winapi::raw(held), 20000), WAIT_OBJECT_0);
        return holder;
    }
    void release(const test_support::Process& holder) {
        SetEvent(winapi::raw(go));
        EXPECT_EQ(holder.wait(), 0u);
    }
    // The last reference waits for the object's moving threads: no icon moves after this.
    void settle() {
        tessora.Reset();
        tessora = test_support::createTessora();
    }
    static long long millisecondsSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    }

    test_support::Apartment apartment;
    test_support::SavedKey settings;
    const std::filesystem::path store = test_support::userStorePath();
    test_support::SavedStore savedStore{store};
    const std::filesystem::path temporary = store.wstring() + L".new";
    winapi::SharedHandle held;
    winapi::SharedHandle go;
    std::unique_ptr<test_support::DesktopHost> host;
    ComPtr<ITessora> tessora;
};

TEST_F(StoreInUseTest, AStoreLetGoWithinTheRetryTimeGetsTheCount) {
    constexpr long long heldFor = 500;
    std::ofstream(temporary, std::ios::binary) << "left by a write that was killed";
    for (const std::wstring sharing : {L"r", L"rw", L"rwd"}) {
        SCOPED_TRACE(testing::Message() << "sharing " << narrow(sharing));
        const std::uint32_t before = storedUsage(store)[L"Bravo"];
        const test_support::Process holder = hold(sharing);
        std::thread letGo([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(heldFor));
            release(holder);
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(tessora->IconActivated(1), S_OK);
        const long long took = millisecondsSince(start);
        letGo.join();
        EXPECT_GE(took, heldFor) << "the call waited for the file";
        EXPECT_EQ(storedUsage(store).at(L"Bravo"), before + 1);
        std::printf("sharing %s: let go after %lld ms, IconActivated returned after %lld ms\n",
                    narrow(sharing).c_str(), heldFor, took);
    }
    EXPECT_FALSE(std::filesystem::exists(temporary));
}

TEST_F(StoreInUseTest, AStoreHeldLongerFailsTheCallKeepsTheOldStoreAndTheCountArrivesLater) {
    for (const std::wstring sharing : {L"r", L"rw", L"rwd"}) {
        SCOPED_TRACE(testing::Message() << "sharing " << narrow(sharing));
        const auto counts = storedUsage(store);
        const test_support::Process holder = hold(sharing);
        const std::string before = test_support::fileBytes(store);
        settle();
        desktop_access::setIconPosition({&desktop_access::getDesktop(), 2}, 600, 500); // dragged

        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(tessora->IconActivated(1), E_FAIL);
        const long long took = millisecondsSince(start);
        const component::ErrorDescription error = component::takeErrorDescription();
        const std::wstring& description = error.description;
        EXPECT_NE(description.find(L"in use by another program"), std::wstring::npos)
            << "description: " << narrow(description);
        EXPECT_EQ(error.kind, component::FailureKind::notSaved)
            << "the opening was counted: the hook must not count it again";
        EXPECT_GE(took, 2000) << "the file was waited for";
        EXPECT_EQ(test_support::fileBytes(store), before) << "the old store is whole";
        EXPECT_FALSE(std::filesystem::exists(temporary)) << "the new content was removed";
        test_support::waitForGlides(); // an arrangement started by mistake would have ended
        EXPECT_EQ(test_support::hostPositions(*host)[2].x, 600) << "no arrangement ran";
        std::printf("sharing %s: held, IconActivated failed after %lld ms\n",
                    narrow(sharing).c_str(), took);
        release(holder);

        EXPECT_EQ(tessora->IconActivated(0), S_OK);
        const auto after = storedUsage(store);
        EXPECT_EQ(after.at(L"Alpha"), counts.at(L"Alpha") + 1);
        EXPECT_EQ(after.at(L"Bravo"), counts.at(L"Bravo") + 1) << "the count kept by the process";
        EXPECT_EQ(after.at(L"Charlie"), counts.at(L"Charlie"));
    }
}

} // namespace

namespace {

// Counts a short-lived client could not save outlive it: 20 openings reported by another process
// while the store is held all fail, that process ends, and once the file is let go one Refresh
// from here finds all 20.
TEST_F(StoreInUseTest, CountsOfAClientThatEndedArriveWithTheNextSaveElsewhere) {
    constexpr int calls = 20;
    const auto counts = storedUsage(store);
    const test_support::Process holder = hold(L"rw");
    const test_support::Process client = test_support::startActivator(calls);
    EXPECT_EQ(client.wait(120000), 5u) << "its calls failed, and it ended";
    release(holder);
    EXPECT_EQ(storedUsage(store), counts) << "nothing saved while held";

    EXPECT_EQ(tessora->Refresh(), S_OK);
    const auto after = storedUsage(store);
    EXPECT_EQ(after.at(L"Alpha"), counts.at(L"Alpha") + calls / 2);
    EXPECT_EQ(after.at(L"Bravo"), counts.at(L"Bravo") + calls / 2);
    EXPECT_FALSE(std::filesystem::exists(desktop_access::usageJournalPathFor(store)));
}

} // namespace
