#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "cmdline/command_line.h"
#include "cmdline/output_text.h"

namespace {

// Messages of the error family carry the system's own line end, and some end in a full stop.
TEST(CommandLineTest, AFailureIsOneLineEndingInOneFullStop) {
    using cmdline::failureLine;
    EXPECT_EQ(failureLine(u"Kelvara could not read its icon store",
                          u"Failed to lock Winapi: Error 5: Access denied.\r\n"),
              u"Kelvara could not read its icon store: Failed to lock Winapi: Error 5: Access "
              u"denied.\n");
    EXPECT_EQ(failureLine(u"Kelvara could not arrange the desktop",
                          u"  3 icons did not\r\n\ttake their places  "),
              u"Kelvara could not arrange the desktop: 3 icons did not take their places.\n");
    EXPECT_EQ(failureLine(u"KelvaraCmd could not write its output", u" \r\n"),
              u"KelvaraCmd could not write its output.\n");
}

// The README shows the usage a user gets; the two must not drift apart.
TEST(CommandLineTest, TheReadmeShowsTheUsageAsPrinted) {
    std::ifstream readme(KELVARA_SOURCE_DIR "/README.md", std::ios::binary);
    ASSERT_TRUE(readme);
    const std::string text{std::istreambuf_iterator<char>(readme), {}};
    std::string usage;
    for (char16_t unit : cmdline::usageText())
        usage.push_back(static_cast<char>(unit)); // plain ASCII
    EXPECT_NE(text.find("```\n" + usage + "```\n"), std::string::npos) << usage;
}

} // namespace
