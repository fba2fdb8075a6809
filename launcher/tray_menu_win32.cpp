#include "launcher/tray_menu_win32.h"

#include <memory>
#include <utility>

#include "resources/strings/ids.h"
#include "winapi/error.h"

namespace launcher {
namespace {

// The texts of the methods, in the order of their values.
constexpr UINT sortNames[sortMethodCount] = {IDS_SORT_NAME, IDS_SORT_USAGE, IDS_SORT_AGE};
constexpr UINT arrangeNames[arrangeMethodCount] = {
    IDS_ARRANGE_AUTO, IDS_ARRANGE_LEFT, IDS_ARRANGE_RIGHT, IDS_ARRANGE_TOP, IDS_ARRANGE_BOTTOM};
constexpr UINT monitorsNames[monitorsCount] = {IDS_MONITORS_ALL, IDS_MONITORS_PRIMARY,
                                               IDS_MONITORS_EACH};

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

void appendItem(HMENU menu, UINT id, const std::wstring& text, UINT type = MFT_STRING,
                UINT state = MFS_ENABLED) {
    MENUITEMINFOW item{};
    item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    item.fType = type;
    item.fState = state;
    item.wID = id;
    item.dwTypeData = const_cast<wchar_t*>(text.c_str());
    append(menu, item);
}

void appendSubmenu(HMENU menu, const std::wstring& title, OwnMenu submenu) {
    MENUITEMINFOW item{};
    item.fMask = MIIM_STRING | MIIM_SUBMENU;
    item.hSubMenu = submenu.get();
    item.dwTypeData = const_cast<wchar_t*>(title.c_str());
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
void appendChoice(HMENU menu, const std::wstring& title, const winapi::UiText& text,
                  const UINT (&names)[count], UINT base, std::int32_t current, bool fixed) {
    OwnMenu choices = newPopup();
    for (std::size_t value = 0; value < count; ++value)
        appendItem(choices.get(), base + UINT(value), text(names[value]),
                   MFT_STRING | MFT_RADIOCHECK,
                   (std::int32_t(value) == current ? MFS_CHECKED : MFS_UNCHECKED) |
                       (fixed ? MFS_GRAYED : MFS_ENABLED));
    appendSubmenu(menu, title, std::move(choices));
}

// "Undo sort by name (14:02)", or "Undo" greyed when there is nothing to undo.
void appendStep(HMENU menu, UINT id, const winapi::UiText& text, UINT verb, UINT step,
                const std::wstring& what) {
    appendItem(menu, id, what.empty() ? text(verb) : text(step, what), MFT_STRING,
               what.empty() ? MFS_GRAYED : MFS_ENABLED);
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

void appendLayouts(HMENU menu, const MenuSettings& settings, const winapi::UiText& text) {
    OwnMenu layouts = newPopup();
    appendItem(layouts.get(), commandSaveLayout, text(IDS_SAVE_LAYOUT));
    if (!settings.layouts.empty()) {
        appendSeparator(layouts.get());
        for (std::size_t index = 0; index < settings.layouts.size(); ++index)
            appendItem(layouts.get(), commandLayoutBase + UINT(index),
                       menuText(settings.layouts[index]));
    }
    if (!settings.restorePoints.empty()) {
        appendSeparator(layouts.get());
        OwnMenu points = newPopup();
        for (std::size_t index = 0;
             index < settings.restorePoints.size() && index < restorePointsShown; ++index)
            appendItem(points.get(), commandRestorePointBase + UINT(index + 1),
                       menuText(settings.restorePoints[index]));
        appendSubmenu(layouts.get(), text(IDS_RESTORE_EARLIER), std::move(points));
    }
    appendSubmenu(menu, text(IDS_LAYOUTS), std::move(layouts));
}

} // namespace

winapi::Shared<HMENU> makeTrayMenu(const MenuSettings& settings, const winapi::UiText& text) {
    OwnMenu menu = newPopup();
    appendItem(menu.get(), commandArrangeNow, text(IDS_ARRANGE_NOW), MFT_STRING,
               MFS_ENABLED | MFS_DEFAULT);
    appendStep(menu.get(), commandUndo, text, IDS_UNDO, IDS_UNDO_STEP, settings.undo);
    appendStep(menu.get(), commandRedo, text, IDS_REDO, IDS_REDO_STEP, settings.redo);
    appendSeparator(menu.get());
    appendChoice(menu.get(), text(IDS_SORT_BY), text, sortNames, commandSortBase,
                 settings.sortMethod, settings.sortFixed);
    appendChoice(menu.get(), text(IDS_ARRANGE), text, arrangeNames, commandArrangeBase,
                 settings.arrangeMethod, settings.arrangeFixed);
    appendChoice(menu.get(), text(IDS_MONITORS), text, monitorsNames, commandMonitorsBase,
                 settings.monitors, settings.monitorsFixed);
    appendLayouts(menu.get(), settings, text);
    appendItem(menu.get(), commandLock, text(IDS_LOCK), MFT_STRING,
               (settings.locked ? MFS_CHECKED : MFS_UNCHECKED) |
                   (settings.lockFixed ? MFS_GRAYED : MFS_ENABLED));
    appendItem(menu.get(), commandShowIcons, text(IDS_SHOW_ICONS), MFT_STRING,
               settings.iconsShown ? MFS_CHECKED : MFS_UNCHECKED);
    appendSeparator(menu.get());
    appendItem(menu.get(), commandQuit, text(IDS_QUIT));
    return winapi::own<DestroyMenu>(menu.release());
}

} // namespace launcher
