#include "launcher/tray_menu_win32.h"

#include <memory>
#include <utility>

#include "winapi/error.h"

namespace launcher {
namespace {

// In the order of the methods' values.
constexpr const wchar_t* sortNames[sortMethodCount] = {L"Name", L"Usage", L"Age"};
constexpr const wchar_t* arrangeNames[arrangeMethodCount] = {
    L"Automatically", L"Along the left edge", L"Along the right edge", L"Along the top edge",
    L"Along the bottom edge"};
constexpr const wchar_t* monitorsNames[monitorsCount] = {
    L"All monitors as one", L"The primary monitor", L"Each monitor on its own"};

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

void appendSubmenu(HMENU menu, const wchar_t* title, OwnMenu submenu) {
    MENUITEMINFOW item{};
    item.fMask = MIIM_STRING | MIIM_SUBMENU;
    item.hSubMenu = submenu.get();
    item.dwTypeData = const_cast<wchar_t*>(title);
    append(menu, item);
    submenu.release(); // destroyed with the menu that now holds it
}

void appendSeparator(HMENU menu) {
    MENUITEMINFOW item{};
    item.fMask = MIIM_FTYPE;
    item.fType = MFT_SEPARATOR;
    append(menu, item);
}

// A submenu of radio items, one per method, with the current one marked; greyed when a policy
// fixes the setting.
template <std::size_t count>
void appendChoice(HMENU menu, const wchar_t* title, const wchar_t* const (&names)[count], UINT base,
                  std::int32_t current, bool fixed) {
    OwnMenu choices = newPopup();
    for (std::size_t value = 0; value < count; ++value)
        appendItem(choices.get(), base + UINT(value), names[value], MFT_STRING | MFT_RADIOCHECK,
                   (std::int32_t(value) == current ? MFS_CHECKED : MFS_UNCHECKED) |
                       (fixed ? MFS_GRAYED : MFS_ENABLED));
    appendSubmenu(menu, title, std::move(choices));
}

// "Undo sort by name (14:02)", or "Undo" greyed when there is nothing to undo.
void appendStep(HMENU menu, UINT id, const wchar_t* verb, const std::wstring& what) {
    const std::wstring text = what.empty() ? verb : std::wstring(verb) + L" " + what;
    appendItem(menu, id, text.c_str(), MFT_STRING, what.empty() ? MFS_GRAYED : MFS_ENABLED);
}

// A name may hold "&", which a menu would take for a mnemonic.
std::wstring menuText(const std::wstring& text) {
    std::wstring out;
    for (const wchar_t unit : text) {
        out += unit;
        if (unit == L'&')
            out += L'&';
    }
    return out;
}

void appendLayouts(HMENU menu, const MenuSettings& settings) {
    OwnMenu layouts = newPopup();
    appendItem(layouts.get(), commandSaveLayout, L"Save current layout\u2026");
    if (!settings.layouts.empty()) {
        appendSeparator(layouts.get());
        for (std::size_t index = 0; index < settings.layouts.size(); ++index)
            appendItem(layouts.get(), commandLayoutBase + UINT(index),
                       menuText(settings.layouts[index]).c_str());
    }
    if (!settings.restorePoints.empty()) {
        appendSeparator(layouts.get());
        OwnMenu points = newPopup();
        for (std::size_t index = 0;
             index < settings.restorePoints.size() && index < restorePointsShown; ++index)
            appendItem(points.get(), commandRestorePointBase + UINT(index + 1),
                       menuText(settings.restorePoints[index]).c_str());
        appendSubmenu(layouts.get(), L"Restore an earlier arrangement", std::move(points));
    }
    appendSubmenu(menu, L"Layouts", std::move(layouts));
}

} // namespace

winapi::Shared<HMENU> makeTrayMenu(const MenuSettings& settings) {
    OwnMenu menu = newPopup();
    appendItem(menu.get(), commandArrangeNow, L"Arrange now", MFT_STRING,
               MFS_ENABLED | MFS_DEFAULT);
    appendStep(menu.get(), commandUndo, L"Undo", settings.undo);
    appendStep(menu.get(), commandRedo, L"Redo", settings.redo);
    appendSeparator(menu.get());
    appendChoice(menu.get(), L"Sort by", sortNames, commandSortBase, settings.sortMethod,
                 settings.sortFixed);
    appendChoice(menu.get(), L"Arrange", arrangeNames, commandArrangeBase, settings.arrangeMethod,
                 settings.arrangeFixed);
    appendChoice(menu.get(), L"Monitors", monitorsNames, commandMonitorsBase, settings.monitors,
                 settings.monitorsFixed);
    appendLayouts(menu.get(), settings);
    appendItem(menu.get(), commandLock, L"Lock the arrangement", MFT_STRING,
               (settings.locked ? MFS_CHECKED : MFS_UNCHECKED) |
                   (settings.lockFixed ? MFS_GRAYED : MFS_ENABLED));
    appendItem(menu.get(), commandShowIcons, L"Show desktop icons", MFT_STRING,
               settings.iconsShown ? MFS_CHECKED : MFS_UNCHECKED);
    appendSeparator(menu.get());
    appendItem(menu.get(), commandQuit, L"Quit Kelvara");
    return winapi::own<DestroyMenu>(menu.release());
}

} // namespace launcher
