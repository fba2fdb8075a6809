#include "launcher/tray_menu_win32.h"

#include <memory>

#include "winapi/error.h"

namespace launcher {
namespace {

// In the order of the methods' values.
constexpr const wchar_t* sortNames[sortMethodCount] = {L"Name", L"Usage", L"Age"};
constexpr const wchar_t* arrangeNames[arrangeMethodCount] = {
    L"Automatically", L"Along the left edge", L"Along the right edge", L"Along the top edge",
    L"Along the bottom edge"};

// A menu of its own until it is handed to the menu that holds it.
struct MenuDestroyer {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using OwnMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

OwnMenu newPopup() {
    OwnMenu menu(CreatePopupMenu());
    if (!menu)
        throw winapi::Error(GetLastError(), "Failed to make the menu");
    return menu;
}

void append(HMENU menu, MENUITEMINFOW item) {
    item.cbSize = sizeof item;
    if (!InsertMenuItemW(menu, UINT(GetMenuItemCount(menu)), TRUE, &item))
        throw winapi::Error(GetLastError(), "Failed to make the menu");
}

void appendItem(HMENU menu, UINT id, const wchar_t* text, UINT type = MFT_STRING,
                UINT state = MFS_ENABLED) {
    MENUITEMINFOW item{};
    item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    item.fType = type;
    item.fState = state;
    item.wID = id;
    item.dwTypeData = const_cast<wchar_t*>(text);
    append(menu, item);
}

void appendSeparator(HMENU menu) {
    MENUITEMINFOW item{};
    item.fMask = MIIM_FTYPE;
    item.fType = MFT_SEPARATOR;
    append(menu, item);
}

// A submenu of radio items, one per method, with the current one marked.
template <std::size_t count>
void appendChoice(HMENU menu, const wchar_t* title, const wchar_t* const (&names)[count], UINT base,
                  std::int32_t current) {
    OwnMenu choices = newPopup();
    for (std::size_t value = 0; value < count; ++value)
        appendItem(choices.get(), base + UINT(value), names[value], MFT_STRING | MFT_RADIOCHECK,
                   std::int32_t(value) == current ? MFS_CHECKED : MFS_UNCHECKED);
    MENUITEMINFOW item{};
    item.fMask = MIIM_STRING | MIIM_SUBMENU;
    item.hSubMenu = choices.get();
    item.dwTypeData = const_cast<wchar_t*>(title);
    append(menu, item);
    choices.release(); // destroyed with the menu that now holds it
}

} // namespace

winapi::Shared<HMENU> makeTrayMenu(const MenuSettings& settings) {
    OwnMenu menu = newPopup();
    appendItem(menu.get(), commandArrangeNow, L"Arrange now", MFT_STRING,
               MFS_ENABLED | MFS_DEFAULT);
    appendSeparator(menu.get());
    appendChoice(menu.get(), L"Sort by", sortNames, commandSortBase, settings.sortMethod);
    appendChoice(menu.get(), L"Arrange", arrangeNames, commandArrangeBase, settings.arrangeMethod);
    appendItem(menu.get(), commandLock, L"Lock the arrangement", MFT_STRING,
               settings.locked ? MFS_CHECKED : MFS_UNCHECKED);
    appendSeparator(menu.get());
    appendItem(menu.get(), commandQuit, L"Quit Kelvara");
    return winapi::own<DestroyMenu>(menu.release());
}

} // namespace launcher
