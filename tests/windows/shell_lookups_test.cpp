#include "desktop_access/shell_lookups_win32.h"

#include <gtest/gtest.h>

#include "tests/windows/desktop_host.h"

namespace {

using test_support::DesktopHost;
using test_support::HostDescription;

// Two files on the prefix's desktop, with the creation times the host gives them.
HostDescription twoFiles() {
    HostDescription description;
    description.icons = {{L"Kelvara note.txt", 100, 100}, {L"zebra.TXT", 200, 100}};
    description.files = {{L"Kelvara note.txt", 132000000000000000ull}, {L"zebra.TXT", 0}};
    return description;
}

TEST(ShellLookups, DesktopFilesAreFoundByNameAndLieInTheFileSystem) {
    DesktopHost host(twoFiles());
    desktop_access::Desktop& desktop = desktop_access::getDesktop();

    const auto items = desktop_access::shellItemsByName(desktop);
    const auto ids = desktop_access::itemIdsByName(desktop);
    ASSERT_EQ(items.size(), ids.size());
    for (const auto& [name, item] : items) {
        EXPECT_TRUE(item);
        ASSERT_TRUE(ids.contains(name));
        EXPECT_TRUE(ids.at(name));
    }

    const auto flags = desktop_access::fileSystemFlagsByName(desktop);
    EXPECT_EQ(flags.size(), items.size());
    // Names are the labels exactly, extension and case included.
    EXPECT_EQ(flags.count(u"Kelvara note.txt"), 1u);
    EXPECT_EQ(flags.count(u"Kelvara note"), 0u);
    EXPECT_TRUE(flags.at(u"Kelvara note.txt"));
    EXPECT_TRUE(flags.at(u"zebra.TXT"));
    // The namespace's own items are there, outside the file system.
    EXPECT_FALSE(flags.at(u"My Computer"));
    EXPECT_FALSE(flags.at(u"Trash"));
}

TEST(ShellLookups, EveryCallSeesTheDesktopFolderAsItIsNow) {
    auto host = std::make_unique<DesktopHost>(twoFiles());
    desktop_access::Desktop& desktop = desktop_access::getDesktop();
    EXPECT_TRUE(desktop_access::fileSystemFlagsByName(desktop).contains(u"zebra.TXT"));
    host->quit(); // removes its files
    EXPECT_FALSE(desktop_access::fileSystemFlagsByName(desktop).contains(u"zebra.TXT"));
    EXPECT_FALSE(desktop_access::itemIdsByName(desktop).contains(u"zebra.TXT"));
}

// Wine reports a creation time of 0 for every desktop item, whatever the file holds, so only the
// way from the shell to the age sorter's seam is checked here; the ordering by age is tested with
// the in-memory desktop.
TEST(ShellLookups, CreationTimesReachTheSeam) {
    DesktopHost host(twoFiles());
    desktop_access::Desktop& desktop = desktop_access::getDesktop();
    const auto times = desktop_access::creationTimesByName(desktop);
    EXPECT_EQ(times.size(), desktop_access::itemIdsByName(desktop).size());
    for (const char16_t* name : {u"Kelvara note.txt", u"zebra.TXT"}) {
        ASSERT_TRUE(times.contains(name));
        ASSERT_TRUE(times.at(name).has_value()) << "the shell has find data for a file";
        const std::uint64_t created = *times.at(name);
        EXPECT_TRUE(created == 0 || created <= desktop_access::currentFileTime());
    }
    const std::uint64_t given = *times.at(u"Kelvara note.txt");
    EXPECT_TRUE(given == 0 || given == 132000000000000000ull) << given;
}

} // namespace
