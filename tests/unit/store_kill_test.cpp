// A writer of the icon store killed at any moment leaves the old store or the new one, whole: a
// child process rewrites a store of 2,000 icons in a loop, alternating between two contents, and
// is killed at random moments; after every kill the file is one of the two, byte for byte, and
// the next write takes the place of a temporary file the killed one left.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/icon_store.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/scratch_folder.h"

namespace {

using desktop_access::DesktopProxy;

void fill(DesktopProxy& proxy, std::uint32_t salt) {
    proxy.columns = 24;
    proxy.rows = 13;
    for (std::uint32_t n = 0; n < 2000; ++n) {
        desktop_access::IconRecord record;
        record.name = u"Document " + std::u16string(1, char16_t(u'A' + n % 26)) +
                      (n % 7 == 0 ? u" \u6587" : u"") + u" " +
                      std::u16string(n % 13 + 1, char16_t(u'0' + salt));
        record.left = static_cast<std::int32_t>(4 + 79 * ((n + salt) % 24));
        record.top = static_cast<std::int32_t>(4 + 79 * (n % 13));
        record.width = 75;
        record.height = 75;
        record.usage = n * salt;
        proxy.icons.push_back(std::move(record));
    }
}

std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(StoreKillTest, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewStoreWhole) {
    fake::reset();
    const test_support::ScratchFolder scratch("kill");
    const std::filesystem::path store = scratch.path / "Kelvara.store";
    const std::filesystem::path temporary = scratch.path / "Kelvara.store.new";
    DesktopProxy first;
    DesktopProxy second;
    fill(first, 1);
    fill(second, 2);
    const std::string firstBytes = desktop_access::encodeStore(first);
    const std::string secondBytes = desktop_access::encodeStore(second);
    ASSERT_NE(firstBytes, secondBytes);

    // The kills fall anywhere within a few writes' time.
    const auto start = std::chrono::steady_clock::now();
    desktop_access::writeStore(store, second);
    desktop_access::writeStore(store, first);
    const auto oneWrite = (std::chrono::steady_clock::now() - start) / 2;
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(oneWrite * 2).count());

    // Half the kills come at a random moment after the writer has begun, the other half as soon
    // as its temporary file appears, so that many certainly fall in the middle of a write. The
    // temporary file is removed before each writer starts: one found after a kill is that
    // writer's.
    constexpr int kills = 120;
    int duringAWrite = 0;
    for (int k = 0; k < kills; ++k) {
        std::filesystem::remove(temporary);
        int started[2];
        ASSERT_EQ(pipe(started), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(started[0]);
            const char go = 1;
            if (write(started[1], &go, 1) != 1)
                _exit(2);
            try {
                for (;;) {
                    desktop_access::writeStore(store, second);
                    desktop_access::writeStore(store, first);
                }
            } catch (...) {
            }
            _exit(1);
        }
        close(started[1]);
        char go = 0;
        ASSERT_EQ(read(started[0], &go, 1), 1) << "the writer started";
        close(started[0]);
        if (k % 2 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        } else {
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!std::filesystem::exists(temporary) && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::yield();
        }
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own (seed " << seed << ")";
        const std::string bytes = bytesOf(store);
        ASSERT_TRUE(bytes == firstBytes || bytes == secondBytes)
            << "kill " << k << " left a store of " << bytes.size() << " bytes (seed " << seed
            << ")";
        duringAWrite += std::filesystem::exists(temporary);
    }
    std::printf("%d kills, %d of them while the temporary file was being written; every store "
                "whole\n",
                kills, duringAWrite);
    EXPECT_GT(duringAWrite, 0) << "no kill came while a write was under way";

    // A temporary file left by a killed write is taken over by the next write.
    std::ofstream(temporary, std::ios::binary) << "left by a killed write";
    desktop_access::writeStore(store, second);
    EXPECT_EQ(bytesOf(store), secondBytes);
    EXPECT_FALSE(std::filesystem::exists(temporary));
}

} // namespace
