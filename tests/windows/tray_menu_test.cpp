// The notification-area menu as Kelvara.exe makes it, for every combination of the settings it
// shows, including stored methods Kelvara does not know (a script can store any number).
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "launcher/tray_menu_win32.h"

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
                         (info.fState & MFS_DEFAULT) != 0, info.hSubMenu});
    }
    return items;
}

// The submenu's texts, with the one radio-marked item (-1: none).
void expectChoices(HMENU submenu, const std::vector<std::wstring>& texts, UINT base,
                   std::int32_t current) {
    const std::vector<Item> items = itemsOf(submenu);
    ASSERT_EQ(items.size(), texts.size());
    for (std::size_t value = 0; value < items.size(); ++value) {
        SCOPED_TRACE(testing::Message() << "item " << value);
        EXPECT_EQ(items[value].text, texts[value]);
        EXPECT_EQ(items[value].id, base + value) << "the id names the method";
        EXPECT_TRUE(items[value].radio);
        EXPECT_EQ(items[value].checked, std::int32_t(value) == current);
        EXPECT_EQ(items[value].submenu, nullptr);
    }
}

TEST(TrayMenuTest, EveryCombinationOfSettingsHasItsMarks) {
    for (const std::int32_t sort : {0, 1, 2, 7, -1})
        for (const std::int32_t arrange : {0, 1, 2, 3, 4, 5, -3})
            for (const bool locked : {false, true}) {
                SCOPED_TRACE(testing::Message() << "sort " << sort << ", arrange " << arrange
                                                << (locked ? ", locked" : ""));
                const auto menu = launcher::makeTrayMenu({sort, arrange, locked});
                ASSERT_TRUE(menu);
                const std::vector<Item> items = itemsOf(menu.get());
                ASSERT_EQ(items.size(), 7u);

                EXPECT_EQ(items[0].text, L"Arrange now");
                EXPECT_EQ(items[0].id, launcher::commandArrangeNow);
                EXPECT_TRUE(items[0].isDefault) << "drawn bold, and what a double-click does";
                EXPECT_EQ(GetMenuDefaultItem(menu.get(), FALSE, 0), launcher::commandArrangeNow);
                EXPECT_TRUE(items[1].separator);

                EXPECT_EQ(items[2].text, L"Sort by");
                ASSERT_NE(items[2].submenu, nullptr);
                expectChoices(items[2].submenu, {L"Name", L"Usage", L"Age"},
                              launcher::commandSortBase, sort);
                EXPECT_EQ(items[3].text, L"Arrange");
                ASSERT_NE(items[3].submenu, nullptr);
                expectChoices(items[3].submenu,
                              {L"Automatically", L"Along the left edge", L"Along the right edge",
                               L"Along the top edge", L"Along the bottom edge"},
                              launcher::commandArrangeBase, arrange);

                EXPECT_EQ(items[4].text, L"Lock the arrangement");
                EXPECT_EQ(items[4].id, launcher::commandLock);
                EXPECT_EQ(items[4].checked, locked);
                EXPECT_FALSE(items[4].radio);
                EXPECT_TRUE(items[5].separator);
                EXPECT_EQ(items[6].text, L"Quit Kelvara");
                EXPECT_EQ(items[6].id, launcher::commandQuit);
                EXPECT_FALSE(items[6].checked);
                for (const std::size_t plain : {0u, 6u})
                    EXPECT_FALSE(items[plain].checked || items[plain].radio);
            }
}

} // namespace
