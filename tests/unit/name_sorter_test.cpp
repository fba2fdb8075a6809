#include "organizers/sorting/name_sorter.h"

#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/fake_desktop.h"
#include "tests/support/grid_builder.h"

namespace {

using desktop_access::IconRecord;
using organizers::sorting::NameSorter;

std::vector<IconRecord> iconsNamed(const std::vector<std::u16string>& names) {
    std::vector<IconRecord> icons;
    for (const auto& name : names)
        icons.push_back(fake::iconAt(name, 0, 0));
    return icons;
}

std::vector<std::u16string> namesOf(const std::vector<IconRecord>& icons) {
    std::vector<std::u16string> names;
    for (const auto& icon : icons)
        names.push_back(icon.name);
    return names;
}

TEST(NameSorterTest, ComparesCodeUnitsWithoutCaseLocaleOrNumbers) {
    desktop_access::Desktop desktop;
    // U+1F600 is stored as the surrogates D83D DE00, which come before U+FF21 by code unit,
    // though the character itself comes after it.
    auto icons = iconsNamed({u"apple", u"file9", u"\u00c4rger", u"Zebra", u"abcd", u"file10",
                             u"\U0001F600", u"\uFF21", u"abc"});
    NameSorter(fake::factsOf(desktop)).sort(icons);
    EXPECT_EQ(namesOf(icons),
              (std::vector<std::u16string>{u"Zebra", u"abc", u"abcd", u"apple", u"file10", u"file9",
                                           u"\u00c4rger", u"\U0001F600", u"\uFF21"}));
}

TEST(NameSorterTest, ItemsOutsideTheFileSystemComeFirst) {
    desktop_access::Desktop desktop;
    desktop.fileSystem = {{u"a", true}, {u"b", true}, {u"z", false}, {u"Unused", true}};
    // "ghost" names no desktop item and counts as outside the file system.
    auto icons = iconsNamed({u"b", u"z", u"a", u"ghost"});
    NameSorter(fake::factsOf(desktop)).sort(icons);
    EXPECT_EQ(namesOf(icons), (std::vector<std::u16string>{u"ghost", u"z", u"a", u"b"}));
}

TEST(NameSorterTest, AnEmptyListStaysEmpty) {
    desktop_access::Desktop desktop;
    std::vector<IconRecord> icons;
    NameSorter(fake::factsOf(desktop)).sort(icons);
    EXPECT_TRUE(icons.empty());
}

// Random labels (ASCII of both cases, digits, Latin-1, surrogate pairs, shared prefixes and
// duplicates) and random flags: the result holds the same labels, and each neighbour pair
// is in order by an independent reading of the relation.
TEST(NameSorterTest, SweepKeepsLabelsAndOrdersNeighbours) {
    std::mt19937 random(7);
    const std::u16string alphabet = u"aAbZz09\u00e9\u00c4\xD83D\xDE00~";
    for (int round = 0; round < 200; ++round) {
        desktop_access::Desktop desktop;
        std::vector<IconRecord> icons;
        const int count = std::uniform_int_distribution<int>(0, 40)(random);
        for (int i = 0; i < count; ++i) {
            std::u16string name;
            const int length = std::uniform_int_distribution<int>(0, 5)(random);
            for (int k = 0; k < length; ++k)
                name += alphabet[random() % alphabet.size()];
            icons.push_back(fake::iconAt(name, i, -i));
            if (random() % 3 != 0)
                desktop.fileSystem[name] = random() % 2 == 0;
        }
        auto sorted = icons;
        NameSorter(fake::factsOf(desktop)).sort(sorted);

        auto before = namesOf(icons), after = namesOf(sorted);
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        ASSERT_EQ(after, before);
        const auto flag = [&](const std::u16string& name) {
            const auto found = desktop.fileSystem.find(name);
            return found != desktop.fileSystem.end() && found->second;
        };
        const auto units = [](const std::u16string& name) {
            return std::vector<std::uint16_t>(name.begin(), name.end());
        };
        for (std::size_t i = 1; i < sorted.size(); ++i) {
            const auto& a = sorted[i - 1];
            const auto& b = sorted[i];
            if (flag(a.name) != flag(b.name))
                EXPECT_FALSE(flag(a.name)) << "round " << round;
            else
                EXPECT_LE(units(a.name), units(b.name)) << "round " << round;
        }
    }
}

} // namespace
