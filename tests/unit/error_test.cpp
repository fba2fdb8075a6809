#include "desktop_access/errors.h"
#include "winapi/error.h"

#include <gtest/gtest.h>

#include "tests/support/fake_desktop.h"

namespace {

class ErrorTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::reset(); }
};

TEST_F(ErrorTest, ComposesContextCodeAndSystemText) {
    fake::systemMessages[5] = "Access is denied.\r\n";
    const winapi::Error error(5, "Can't open key.");
    EXPECT_STREQ(error.what(), "Can't open key. Winapi: Error 5: Access is denied.\r\n");
    EXPECT_EQ(error.code(), 5u);
}

TEST_F(ErrorTest, CodeWithTopBitSetPrintsNegative) {
    fake::systemMessages[0x80004005] = "Unspecified error\n";
    const winapi::Error error(0x80004005, "Failed to lock");
    EXPECT_STREQ(error.what(), "Failed to lock Winapi: Error -2147467259: Unspecified error\n");
    EXPECT_EQ(error.code(), 0x80004005u);
}

TEST_F(ErrorTest, CodeWithoutSystemTextEndsAfterWinapi) {
    const winapi::Error error(0xDEAD, "Failed to create lock");
    EXPECT_STREQ(error.what(), "Failed to create lock Winapi: ");
    EXPECT_EQ(winapi::errorText(0xDEAD), "");
}

TEST_F(ErrorTest, MessageOnlyErrorIsExact) {
    const winapi::Error error("Max recursion reached");
    EXPECT_STREQ(error.what(), "Max recursion reached");
}

TEST_F(ErrorTest, CopiesKeepTheCodeAndThrowingKeepsTheType) {
    const winapi::Error original(183, "Can't set key value.");
    const winapi::Error copy = original;
    EXPECT_EQ(copy.code(), 183u);
    EXPECT_STREQ(copy.what(), original.what());

    EXPECT_THROW(throw desktop_access::UninitializedDesktopError("Uninitialized desktop"),
                 desktop_access::DesktopAccessError);
    EXPECT_THROW(throw desktop_access::UninitializedDesktopError("Uninitialized desktop"),
                 std::runtime_error);
    EXPECT_THROW(throw winapi::RemoteAllocatorError("x"), std::runtime_error);
    try {
        throw winapi::Error(7, "ctx");
    } catch (const std::runtime_error& caught) {
        const auto* asError = dynamic_cast<const winapi::Error*>(&caught);
        ASSERT_NE(asError, nullptr);
        EXPECT_EQ(asError->code(), 7u);
    }
}

} // namespace
