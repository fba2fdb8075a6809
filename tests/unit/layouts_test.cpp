#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"

#include <cstring>
#include <random>

#include <gtest/gtest.h>

namespace {

using desktop_access::configurationOf;
using desktop_access::decodeLayouts;
using desktop_access::DisplayConfiguration;
using desktop_access::encodeLayouts;
using desktop_access::Layouts;
using desktop_access::Place;

DisplayConfiguration display(std::int32_t width, std::int32_t height) {
    return configurationOf({{0, 0, width, height}}, 79, 79);
}

TEST(LayoutsTest, AConfigurationIsItsSortedWorkAreasAndItsCellSize) {
    const DisplayConfiguration twoMonitors =
        configurationOf({{1920, 0, 3200, 984}, {0, 0, 1920, 1040}}, 79, 79);
    EXPECT_EQ(twoMonitors, configurationOf({{0, 0, 1920, 1040}, {1920, 0, 3200, 984}}, 79, 79));
    EXPECT_NE(twoMonitors, configurationOf({{0, 0, 1920, 1040}, {1920, 0, 3200, 984}}, 80, 79));
    EXPECT_NE(display(1920, 1040), display(1920, 1080));
}

TEST(LayoutsTest, RememberingKeepsTheSixteenMostRecentlyUsed) {
    Layouts layouts;
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(layouts.remember(display(1000 + i, 700), {{u"a", i, i}}));
    ASSERT_EQ(layouts.configurations().size(), Layouts::capacity);
    EXPECT_EQ(*layouts.mostRecent(), display(1019, 700));
    EXPECT_EQ(layouts.find(display(1003, 700)), nullptr) << "used least recently: forgotten";
    ASSERT_NE(layouts.find(display(1004, 700)), nullptr);

    // Using an old one again makes it the most recent; the same places again change nothing.
    EXPECT_TRUE(layouts.remember(display(1004, 700), {{u"a", 1, 1}, {u"a", 9, 9}}));
    EXPECT_EQ(*layouts.mostRecent(), display(1004, 700));
    EXPECT_EQ(*layouts.find(display(1004, 700)), (std::vector<Place>{{u"a", 1, 1}}))
        << "the first place of a label counts";
    EXPECT_FALSE(layouts.remember(display(1004, 700), {{u"a", 1, 1}}));
    EXPECT_EQ(layouts.configurations().size(), Layouts::capacity);
}

TEST(LayoutsTest, AnyUtf16LabelReadsBackUnchanged) {
    std::mt19937 random(7);
    Layouts layouts;
    for (int configuration = 0; configuration < 8; ++configuration) {
        std::vector<Place> places;
        for (int i = 0; i < 50; ++i) {
            std::u16string label;
            const int length = std::uniform_int_distribution<int>(0, 40)(random);
            for (int unit = 0; unit < length; ++unit) {
                // Every kind of unit: controls, backslashes, Latin, CJK, surrogates paired or not.
                static const char16_t kinds[] = {u'\0', u'\n', u'\r',  u'\\',  u'a',   u' ',
                                                 0x7F,  0xE9,  0x4E2D, 0xD83D, 0xDE00, 0xFFFF};
                label.push_back(
                    std::uniform_int_distribution<int>(0, 1)(random)
                        ? kinds[std::uniform_int_distribution<int>(0, 11)(random)]
                        : char16_t(std::uniform_int_distribution<int>(0, 0xFFFF)(random)));
            }
            places.push_back({label, std::uniform_int_distribution<std::int32_t>()(random),
                              -std::uniform_int_distribution<std::int32_t>(0, 5000)(random)});
        }
        layouts.remember(
            configurationOf({{-1280, 0, 0, 1024}, {0, 0, 1920, 1040 + configuration}}, 79, 75),
            places);
    }
    const std::string bytes = encodeLayouts(layouts);
    const std::optional<Layouts> read = decodeLayouts(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, layouts);
    EXPECT_EQ(encodeLayouts(*read), bytes);
}

TEST(LayoutsTest, ADamagedFileReadsAsNothingRemembered) {
    Layouts layouts;
    layouts.remember(display(1920, 1040), {{u"Notes", 4, 4}, {u"Mail\\box", 83, 4}});
    layouts.remember(display(1280, 984), {{u"Notes", 4, 83}});
    const std::string bytes = encodeLayouts(layouts);
    // Every cut short of the whole file is damage: no half-read configuration stands.
    for (std::size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(decodeLayouts(std::string_view(bytes).substr(0, length))) << length;
    for (const char* damaged : {"Kelvara layouts 2\n", "garbage\n", "Kelvara layouts 1\r\n",
                                "Kelvara layouts 1\nconfiguration 1 79 79 0 0\narea 0 0 10\nend\n",
                                "Kelvara layouts 1\nconfiguration 0 79 79 0 0\n"
                                "configuration 0 79 79 0 0\nend\n",
                                "Kelvara layouts 1\nconfiguration 2 79 79 0 0\narea 5 0 9 9\n"
                                "area 0 0 4 4\nend\n",
                                "Kelvara layouts 1\nconfiguration 0 79 79 99999999999 0\nend\n",
                                "Kelvara layouts 1\nconfiguration 0 79 79 1 99\n4 4 a\nend\n",
                                "Kelvara layouts 1\nconfiguration 0 79 79 1 4\n4 4 aend\n"})
        EXPECT_FALSE(decodeLayouts(damaged)) << damaged;
    // A place that cannot be read forgets only its own display, when it is first asked for; the
    // record is not written again.
    for (const char* place : {"4 4 bad\\q\n", "4 4 \xC3\x28\n", "4 x Notes\n"}) {
        const std::optional<Layouts> read =
            decodeLayouts(std::string("Kelvara layouts 1\nconfiguration 0 79 79 1 ") +
                          std::to_string(std::strlen(place)) + "\n" + place +
                          "configuration 0 80 80 1 9\n4 4 Mail\nend\n");
        ASSERT_TRUE(read) << place;
        EXPECT_EQ(read->find(configurationOf({}, 79, 79)), nullptr) << place;
        ASSERT_NE(read->find(configurationOf({}, 80, 80)), nullptr);
        EXPECT_EQ(encodeLayouts(*read),
                  "Kelvara layouts 1\nconfiguration 0 80 80 1 9\n4 4 Mail\nend\n");
    }
    // Random damage never crashes, and what still reads is a sound file again.
    std::mt19937 random(11);
    for (int round = 0; round < 2000; ++round) {
        std::string copy = bytes;
        copy[std::uniform_int_distribution<std::size_t>(0, copy.size() - 1)(random)] =
            char(std::uniform_int_distribution<int>(0, 255)(random));
        if (const std::optional<Layouts> read = decodeLayouts(copy)) {
            for (const DisplayConfiguration& configuration : read->configurations())
                read->find(configuration);
            const std::optional<Layouts> again = decodeLayouts(encodeLayouts(*read));
            ASSERT_TRUE(again);
            EXPECT_EQ(encodeLayouts(*again), encodeLayouts(*read));
        }
    }
}

TEST(LayoutsTest, AFileWithMoreThanSixteenConfigurationsKeepsTheMostRecent) {
    std::string bytes = "Kelvara layouts 1\n";
    for (int i = 0; i < 20; ++i)
        bytes += "configuration 1 79 79 1 10\narea 0 0 " + std::to_string(1000 + i) +
                 " 700\n4 4 Notes\n";
    bytes += "end\n";
    const std::optional<Layouts> read = decodeLayouts(bytes);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->configurations().size(), Layouts::capacity);
    EXPECT_EQ(*read->mostRecent(), display(1000, 700));
    EXPECT_EQ(read->configurations().back(), display(1015, 700));
}

} // namespace

namespace {

using desktop_access::LastDisplay;

// A display is remembered only once it has held for 5 s: at a later arrangement on it, or, with
// the places its last arrangement left, at the first arrangement after it. A clock set back
// starts the wait again.
TEST(LastDisplayTest, OnlyADisplayThatHeldFiveSecondsIsRemembered) {
    const DisplayConfiguration a = display(1920, 1040), b = display(1280, 984),
                               c = display(1600, 860), d = display(1024, 728);
    struct Step {
        const DisplayConfiguration* shown;
        std::uint64_t seconds;
        std::vector<const DisplayConfiguration*> remembered; // most recent first
    };
    const std::vector<Step> steps = {
        {&a, 100, {}},       {&a, 103, {}},       {&a, 106, {&a}},     {&b, 107, {&a}},
        {&a, 109, {&a}},     {&b, 110, {&a}},     {&c, 116, {&b, &a}}, {&a, 117, {&a, &b}},
        {&d, 120, {&a, &b}}, {&d, 105, {&a, &b}}, {&d, 109, {&a, &b}}, {&d, 111, {&d, &a, &b}},
    };
    Layouts layouts;
    std::optional<LastDisplay> last;
    for (std::size_t step = 0; step < steps.size(); ++step) {
        const std::vector<Place> places{{u"icon", std::int32_t(step), 4}};
        desktop_access::rememberArranged(layouts, last, *steps[step].shown, places,
                                         steps[step].seconds * 10'000'000);
        std::vector<DisplayConfiguration> expected;
        for (const DisplayConfiguration* configuration : steps[step].remembered)
            expected.push_back(*configuration);
        EXPECT_EQ(layouts.configurations(), expected) << "step " << step;
        ASSERT_TRUE(last);
        EXPECT_EQ(last->configuration, *steps[step].shown);
        EXPECT_EQ(last->remembered, layouts.contains(*steps[step].shown)) << "step " << step;
        EXPECT_EQ(last->pending, last->remembered ? std::vector<Place>{} : places);
    }
    // The display left after 6 s is remembered as its last arrangement (step 5) left it.
    EXPECT_EQ(*layouts.find(b), (std::vector<Place>{{u"icon", 5, 4}}));
}

TEST(LastDisplayTest, TheFileReadsBackAndAnythingElseReadsAsNone) {
    const LastDisplay pending{configurationOf({{0, 0, 1920, 1040}, {1920, 0, 3200, 984}}, 79, 79),
                              134412985510000000ull,
                              false,
                              {{u"Notes\n\\", 4, -83}}};
    const LastDisplay remembered{display(1280, 984), 7, true, {}};
    for (const LastDisplay& shown : {pending, remembered}) {
        const std::string bytes = desktop_access::encodeLastDisplay(shown);
        EXPECT_EQ(desktop_access::decodeLastDisplay(bytes), shown) << bytes;
        for (std::size_t length = 0; length < bytes.size(); ++length)
            EXPECT_FALSE(
                desktop_access::decodeLastDisplay(std::string_view(bytes).substr(0, length)))
                << length;
    }
    EXPECT_EQ(desktop_access::encodeLastDisplay(remembered),
              "Kelvara display 1\nsince 7 remembered\nconfiguration 1 79 79 0 0\n"
              "area 0 0 1280 984\nend\n");
    for (const char* damaged :
         {"Kelvara display 1\nsince 7 settled\nconfiguration 0 79 79 0 0\nend\n",
          "Kelvara display 1\nsince -7 pending\nconfiguration 0 79 79 0 0\nend\n",
          "Kelvara display 1\nsince 7 remembered\nconfiguration 0 79 79 1 6\n4 4 a\nend\n",
          "Kelvara display 1\nsince 7 pending\nend\n",
          "Kelvara display 1\nsince 7 pending\nconfiguration 0 79 79 0 0\n"
          "configuration 0 80 80 0 0\nend\n"})
        EXPECT_FALSE(desktop_access::decodeLastDisplay(damaged)) << damaged;
}

} // namespace
