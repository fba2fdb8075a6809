#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// The system's words come in UTF-8 in the user's language; a byte of no UTF-8 sequence stays the
// character of its value, so nothing is lost.
TEST(CommandLineTest, NarrowMessagesAreReadAsUtf8) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"Access denied.", u"Access denied."},
        {"Odmowa dost\xC4\x99pu.", u"Odmowa dostępu."},
        {"\xE3\x82\xA2\xE3\x82\xAF\xE3\x82\xBB\xE3\x82\xB9", u"アクセス"},
        {"\xF0\x9F\x99\x82!", u"\U0001F642!"},
        {"Zugriff \xFC\xE4 ok", u"Zugriff \u00FC\u00E4 ok"},           // Latin-1 bytes
        {"cut \xE3\x82", u"cut \u00E3\u0082"},                         // a sequence cut short
        {"\xC0\x80 \xED\xA0\x80", u"\u00C0\u0080 \u00ED\u00A0\u0080"}, // overlong, surrogate
        {"\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080"},             // beyond Unicode
    };
    for (const auto& [narrow, wide] : cases)
        EXPECT_EQ(cmdline::widen(narrow), wide);
}

// The commands of the history and the layouts: a number restores a point, anything else a
// layout of that name; names and files are taken as they are.
TEST(CommandLineTest, HistoryAndLayoutCommands) {
    using cmdline::Action;
    using cmdline::Request;
    const std::pair<std::vector<std::u16string>, std::optional<Request>> cases[] = {
        {{u"UNDO"}, Request(Action::undo)},
        {{u"redo"}, Request(Action::redo)},
        {{u"history"}, Request(Action::history)},
        {{u"restore", u"3"}, Request(Action::restorePoint, 3, u"3")},
        {{u"restore", u"3rd"}, Request(Action::restoreLayout, 0, u"3rd")},
        {{u"restore", u"Work \u00E9"}, Request(Action::restoreLayout, 0, u"Work \u00E9")},
        {{u"save", u"Desk"}, Request(Action::save, 0, u"Desk")},
        {{u"layouts"}, Request(Action::layouts)},
        {{u"forget", u"Desk"}, Request(Action::forget, 0, u"Desk")},
        {{u"export", u"a.txt"}, Request(Action::exportLayout, 0, u"a.txt")},
        {{u"export", u"a.txt", u"Desk"}, Request(Action::exportLayout, 0, u"a.txt", u"Desk")},
        {{u"import", u"a.txt", u"New"}, Request(Action::importLayout, 0, u"a.txt", u"New")},
        {{u"icons", u"Show"}, Request(Action::icons, 1)},
        {{u"icons", u"hide"}, Request(Action::icons, 0)},
        {{u"icons", u"off"}, std::nullopt},
        {{u"Quit"}, Request(Action::quit)},
        {{u"quit", u"now"}, std::nullopt},
        {{u"undo", u"2"}, std::nullopt},
        {{u"restore"}, std::nullopt},
        {{u"save"}, std::nullopt},
        {{u"export"}, std::nullopt},
        {{u"import", u"a", u"b", u"c"}, std::nullopt},
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(cmdline::parseArguments(arguments), expected)
            << std::string(arguments.front().begin(), arguments.front().end());
}

// The README shows the usage a user gets in English (KelvaraCmd prints the file for the
// language); the two must not drift apart.
TEST(CommandLineTest, TheReadmeShowsTheUsageAsPrinted) {
    const auto read = [](const char* path) {
        std::ifstream file(path, std::ios::binary);
        EXPECT_TRUE(file) << path;
        return std::string{std::istreambuf_iterator<char>(file), {}};
    };
    const std::string usage = read(KELVARA_SOURCE_DIR "/resources/help/en.txt");
    EXPECT_NE(read(KELVARA_SOURCE_DIR "/README.md").find("```\n" + usage + "```\n"),
              std::string::npos)
        << usage;
}

} // namespace
