#include "organizers/sorting/usage_sorter.h"

#include <vector>

#include <gtest/gtest.h>

#include "tests/support/grid_builder.h"

namespace {

TEST(UsageSorterTest, HighestCountFirstAsUnsigned) {
    std::vector<desktop_access::IconRecord> icons;
    for (std::uint32_t usage : {5u, 0u, 0x80000000u, 12u, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
        icons.push_back(fake::iconAt(u"icon", 0, 0));
        icons.back().usage = usage;
    }
    organizers::sorting::UsageSorter().sort(icons);
    std::vector<std::uint32_t> order;
    for (const auto& icon : icons)
        order.push_back(icon.usage);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 12, 5, 0}));
}

} // namespace
