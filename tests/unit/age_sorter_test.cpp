#include "organizers/sorting/age_sorter.h"

#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/fake_desktop.h"
#include "tests/support/grid_builder.h"

namespace {

using desktop_access::IconRecord;
using organizers::sorting::ageInDays;
using organizers::sorting::AgeSorter;

constexpr std::uint64_t day = 864'000'000'000;
constexpr std::uint64_t hour = day / 24;
constexpr std::uint64_t now = 133'500'000'000'000'000; // in 2024

TEST(AgeSorterTest, WholeDaysAndTheWrapAround) {
    EXPECT_EQ(ageInDays(now, now), 0u);
    EXPECT_EQ(ageInDays(now, now - day + 1), 0u);
    EXPECT_EQ(ageInDays(now, now - day), 1u);
    EXPECT_EQ(ageInDays(now, now - 10 * day - 23 * hour), 10u);
    // The future wraps round to a huge age.
    EXPECT_EQ(ageInDays(now, now + 1), 213503u);
    EXPECT_EQ(ageInDays(now, now + day), 213502u);
    EXPECT_EQ(ageInDays(now, std::nullopt), std::numeric_limits<std::uint64_t>::max());
}

TEST(AgeSorterTest, NewestFirstThenFutureThenNoFindData) {
    desktop_access::Desktop desktop;
    fake::now = now;
    desktop.creationTimes = {
        {u"b", now - 23 * hour},    {u"a", now - 60'000'000}, {u"old", now - 3 * day},
        {u"older", now - 40 * day}, {u"future", now + 1},     {u"nodata1", std::nullopt},
        {u"nodata0", std::nullopt},
    };
    std::vector<IconRecord> icons;
    for (auto name : {u"nodata1", u"future", u"older", u"b", u"nodata0", u"Ghost", u"old", u"a"})
        icons.push_back(fake::iconAt(name, 0, 0));
    AgeSorter(fake::factsOf(desktop)).sort(icons);
    std::vector<std::u16string> names;
    for (const auto& icon : icons)
        names.push_back(icon.name);
    // "Ghost" names no desktop item: age 0, among the newest, by name.
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Ghost", u"a", u"b", u"old", u"older", u"future",
                                                  u"nodata0", u"nodata1"}));
}

} // namespace
