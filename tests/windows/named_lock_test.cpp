#include "winapi/named_lock.h"
#include "winapi/text_win32.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/windows/test_support.h"
#include "winapi/handle_win32.h"

namespace {

using namespace std::chrono_literals;

class StoreLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        held = winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.held"));
        go = winapi::ownHandle(CreateEventW(nullptr, TRUE, FALSE, L"Local\\KelvaraTest.go"));
        ResetEvent(winapi::raw(held));
        ResetEvent(winapi::raw(go));
    }

    // Starts the holder and waits until it holds the lock.
    test_support::Process startHolder(const wchar_t* mode) {
        test_support::Process holder = test_support::startProgram(L"lock_holder.exe", mode);
        EXPECT_EQ(WaitForSingleObject(winapi::raw(held), 20000), WAIT_OBJECT_0);
        return holder;
    }

    winapi::SharedHandle held;
    winapi::SharedHandle go;
};

TEST_F(StoreLockTest, BlocksASecondProcessUntilReleased) {
    test_support::Process holder = startHolder(L"release");
    const winapi::SharedHandle mutex = winapi::ownHandle(
        CreateMutexW(nullptr, FALSE, (L"Local\\" + winapi::toWide(winapi::storeLockName)).c_str()));
    ASSERT_TRUE(mutex);
    EXPECT_EQ(WaitForSingleObject(winapi::raw(mutex), 0), DWORD(WAIT_TIMEOUT))
        << "the lock is held by the other process";
    std::atomic<bool> acquired = false;
    std::atomic<bool> acquiredAfterRelease = false;
    std::thread waiter([&] {
        winapi::NamedLock lock(winapi::storeLockName);
        acquiredAfterRelease = WaitForSingleObject(winapi::raw(go), 0) == WAIT_OBJECT_0;
        acquired = true;
    });
    SetEvent(winapi::raw(go)); // the holder releases it
    waiter.join();
    EXPECT_TRUE(acquired);
    EXPECT_TRUE(acquiredAfterRelease) << "the waiter got it only once the holder let go";
    EXPECT_EQ(holder.wait(), 0u);
}

TEST_F(StoreLockTest, RecoveredAfterItsHolderDied) {
    test_support::Process holder = startHolder(L"die");
    std::atomic<bool> acquired = false;
    std::thread waiter([&] {
        winapi::NamedLock lock(winapi::storeLockName); // waiting when the holder dies: abandoned
        acquired = true;
    });
    Sleep(200);
    SetEvent(winapi::raw(go));
    EXPECT_EQ(holder.wait(), 3u);
    waiter.join();
    EXPECT_TRUE(acquired);
    // And it is free again for whoever comes next.
    std::thread next([] { winapi::NamedLock lock(winapi::storeLockName); });
    next.join();
}

TEST_F(StoreLockTest, SameThreadMayTakeItTwice) {
    winapi::NamedLock outer(winapi::storeLockName);
    winapi::NamedLock inner(winapi::storeLockName);
    EXPECT_EQ(inner.name(), std::u16string(winapi::storeLockName));
    EXPECT_TRUE(inner.held());
}

} // namespace
