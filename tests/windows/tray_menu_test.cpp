// The notification-area menu as Kelvara.exe makes it, for every combination of the settings it
// shows, including stored methods Kelvara does not know (a script can store any number).
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "launcher/tray_menu_win32.h"
#include "tests/windows/test_support.h"

namespace {

using launcher::MenuSettings;

struct Item {
    std::wstring text; // empty for a separator
    UINT id = 0;
    bool separator = false;
    bool radio = false;
    bool checked = false;
    bool isDefault = false;
    HMENU submenu = nullptr;
    bool greyed = false;
};

std::vector<Item> itemsOf(HMENU menu) {
    std::vector<Item> items;
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = 128;
        EXPECT_TRUE(GetMenuItemInfoW(menu, UINT(position), TRUE, &info));
        items.push_back({text, info.wID, (info.fType & MFT_SEPARATOR) != 0,
                         (info.fType & MFT_RADIOCHECK) != 0, (info.fState & MFS_CHECKED) != 0,
                         (info.fState & MFS_DEFAULT) != 0, info.hSubMenu,
                         (info.fState & MFS_GRAYED) != 0});
    }
    return items;
}

// The submenu's texts, with the one radio-marked item (-1: none), all greyed when fixed by a
// policy.
void expectChoices(HMENU submenu, const std::vector<std::wstring>& texts, UINT base,
                   std::int32_t current, bool fixed = false) {
    const std::vector<Item> items = itemsOf(submenu);
    ASSERT_EQ(items.size(), texts.size());
    for (std::size_t value = 0; value < items.size(); ++value) {
        SCOPED_TRACE(testing::Message() << "item " << value);
        EXPECT_EQ(items[value].text, texts[value]);
        EXPECT_EQ(items[value].id, base + value) << "the id names the method";
        EXPECT_TRUE(items[value].radio);
        EXPECT_EQ(items[value].checked, std::int32_t(value) == current);
        EXPECT_EQ(items[value].submenu, nullptr);
        EXPECT_EQ(items[value].greyed, fixed);
    }
}

// Without anything to undo, layouts or restore points, and with all of them.
MenuSettings withHistory(std::int32_t sort, std::int32_t arrange, bool locked, bool full) {
    MenuSettings settings;
    settings.sortMethod = sort;
    settings.arrangeMethod = arrange;
    settings.locked = locked;
    settings.monitors = full ? 2 : 9;
    // Fixed by policies: two settings in each form of the menu.
    settings.sortFixed = settings.lockFixed = full;
    settings.arrangeFixed = settings.monitorsFixed = !full;
    if (full) {
        settings.undo = L"sort by name (14:02)";
        settings.redo = L"tidy (14:05)";
        settings.layouts = {L"Work & play", L"\u00C9t\u00E9"};
        for (int point = 1; point <= 7; ++point)
            settings.restorePoints.push_back(L"point " + std::to_wstring(point));
        settings.iconsShown = false;
    }
    return settings;
}

TEST(TrayMenuTest, EveryCombinationOfSettingsHasItsMarks) {
    const test_support::ProgramResources kelvara(L"Kelvara.exe");
    const winapi::UiText english(kelvara.module, winapi::kelvaraLanguages[0]);
    for (const std::int32_t sort : {0, 1, 2, 7, -1})
        for (const std::int32_t arrange : {0, 1, 2, 3, 4, 5, -3})
            for (const bool locked : {false, true})
                for (const bool full : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << "sort " << sort << ", arrange " << arrange
                                 << (locked ? ", locked" : "") << (full ? ", with a history" : ""));
                    const auto menu =
                        launcher::makeTrayMenu(withHistory(sort, arrange, locked, full), english);
                    ASSERT_TRUE(menu);
                    const std::vector<Item> items = itemsOf(menu.get());
                    ASSERT_EQ(items.size(), 12u);

                    EXPECT_EQ(items[0].text, L"Arrange now");
                    EXPECT_EQ(items[0].id, launcher::commandArrangeNow);
                    EXPECT_TRUE(items[0].isDefault) << "drawn bold, and what a double-click does";
                    EXPECT_EQ(GetMenuDefaultItem(menu.get(), FALSE, 0),
                              launcher::commandArrangeNow);
                    EXPECT_EQ(items[1].text, full ? L"Undo sort by name (14:02)" : L"Undo");
                    EXPECT_EQ(items[2].text, full ? L"Redo tidy (14:05)" : L"Redo");
                    for (const UINT step : {launcher::commandUndo, launcher::commandRedo})
                        EXPECT_EQ((GetMenuState(menu.get(), step, MF_BYCOMMAND) & MF_GRAYED) != 0,
                                  !full);
                    EXPECT_TRUE(items[3].separator);

                    EXPECT_EQ(items[4].text, L"Sort by");
                    ASSERT_NE(items[4].submenu, nullptr);
                    expectChoices(items[4].submenu, {L"Name", L"Usage", L"Age"},
                                  launcher::commandSortBase, sort, full);
                    EXPECT_EQ(items[5].text, L"Arrange");
                    ASSERT_NE(items[5].submenu, nullptr);
                    expectChoices(items[5].submenu,
                                  {L"Automatically", L"Along the left edge",
                                   L"Along the right edge", L"Along the top edge",
                                   L"Along the bottom edge"},
                                  launcher::commandArrangeBase, arrange, !full);
                    EXPECT_EQ(items[6].text, L"Monitors");
                    ASSERT_NE(items[6].submenu, nullptr);
                    expectChoices(items[6].submenu,
                                  {L"All monitors as one", L"The primary monitor",
                                   L"Each monitor on its own"},
                                  launcher::commandMonitorsBase, full ? 2 : 9, !full);

                    EXPECT_EQ(items[7].text, L"Layouts");
                    ASSERT_NE(items[7].submenu, nullptr);
                    const std::vector<Item> layouts = itemsOf(items[7].submenu);
                    ASSERT_EQ(layouts.size(), full ? 6u : 1u);
                    EXPECT_EQ(layouts[0].text, L"Save current layout\u2026");
                    EXPECT_EQ(layouts[0].id, launcher::commandSaveLayout);
                    if (full) {
                        EXPECT_TRUE(layouts[1].separator && layouts[4].separator);
                        EXPECT_EQ(layouts[2].text, L"Work && play") << "an & is no mnemonic";
                        EXPECT_EQ(layouts[3].id, launcher::commandLayoutBase + 1);
                        EXPECT_EQ(layouts[5].text, L"Restore an earlier arrangement");
                        const std::vector<Item> points = itemsOf(layouts[5].submenu);
                        ASSERT_EQ(points.size(), launcher::restorePointsShown);
                        EXPECT_EQ(points[0].text, L"point 1");
                        EXPECT_EQ(points[4].id, launcher::commandRestorePointBase + 5);
                    }

                    EXPECT_EQ(items[8].text, L"Lock the arrangement");
                    EXPECT_EQ(items[8].id, launcher::commandLock);
                    EXPECT_EQ(items[8].checked, locked);
                    EXPECT_EQ(items[8].greyed, full);
                    EXPECT_FALSE(items[8].radio);
                    EXPECT_EQ(items[9].text, L"Show desktop icons");
                    EXPECT_EQ(items[9].checked, !full);
                    EXPECT_TRUE(items[10].separator);
                    EXPECT_EQ(items[11].text, L"Quit Kelvara");
                    EXPECT_EQ(items[11].id, launcher::commandQuit);
                    for (const std::size_t plain : {0u, 1u, 2u, 11u})
                        EXPECT_FALSE(items[plain].checked || items[plain].radio);
                }
}

} // namespace
