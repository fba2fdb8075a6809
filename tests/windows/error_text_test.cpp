#include "winapi/error.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(ErrorText, IsTheSystemsOwnDescription) {
    char* raw = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, ERROR_ACCESS_DENIED, 0, reinterpret_cast<char*>(&raw), 0, nullptr);
    ASSERT_GT(length, 0u);
    const std::string systemText(raw, length);
    LocalFree(raw);

    EXPECT_EQ(winapi::errorText(ERROR_ACCESS_DENIED), "Error 5: " + systemText);
    const winapi::Error error(ERROR_ACCESS_DENIED, "Can't open key.");
    EXPECT_EQ(std::string(error.what()), "Can't open key. Winapi: Error 5: " + systemText);
}

TEST(ErrorText, CodeWithoutTextGivesNothing) {
    EXPECT_EQ(winapi::errorText(0x2BADC0DE), "");
    EXPECT_STREQ(winapi::Error(0x2BADC0DE, "Failed to lock").what(), "Failed to lock Winapi: ");
}

} // namespace
