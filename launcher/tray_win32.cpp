#include "launcher/tray_win32.h"

#include <algorithm>
#include <optional>

#include "component/client_win32.h"
#include "component/configuration_win32.h"
#include "component/phrases_win32.h"
#include "launcher/layout_name_dialog_win32.h"
#include "launcher/tray_menu_win32.h"
#include "resources/strings/ids.h"
#include "winapi/bstr_win32.h"
#include "winapi/error.h"
#include "winapi/text_win32.h"

namespace launcher {
namespace {

VARIANT menuTrigger() {
    VARIANT trigger;
    VariantInit(&trigger);
    trigger.vt = VT_I4;
    trigger.lVal = TriggerMenu;
    return trigger;
}

// A word of the component's history ("sort by name", "menu") in the user's language.
std::wstring spoken(const std::wstring& word) {
    return winapi::toWide(component::ownPhraseBook()(winapi::fromWide(word)));
}

// An undo or redo description, "sort by name (14:02)", with what was done in the user's
// language.
std::wstring spokenStep(const std::wstring& step) {
    const std::size_t time = step.rfind(L" (");
    return time == std::wstring::npos ? spoken(step)
                                      : spoken(step.substr(0, time)) + step.substr(time);
}

// The lines of a text the component gives, each ending in a line feed.
std::vector<std::wstring> linesOf(std::wstring_view text) {
    std::vector<std::wstring> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(L'\n'), text.size());
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

// A history line without its number, "<TAB>2026-12-09 14:02:31<TAB>menu<TAB>sort by name<TAB>24
// icons", as the menu shows it: "2026-12-09 14:02  sort by name (menu)".
std::wstring restorePointText(const std::wstring& line) {
    std::vector<std::wstring> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find(L'\t', start)) != std::wstring::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    if (fields.size() < 4)
        return line;
    return fields[1].substr(0, 16) + L"  " + spoken(fields[3]) + L" (" + spoken(fields[2]) + L")";
}

} // namespace

Tray::Tray(HWND window, UINT callbackMessage, ITessora* tessora)
    : window_(window), tessora_(tessora), icon_(window, callbackMessage, text_(IDS_TIP)) {
    tessora_->QueryInterface(IID_ITessora2, &tessora2_);
}

void Tray::iconEvent(LPARAM lParam) {
    switch (LOWORD(lParam)) {
    case WM_RBUTTONUP:
        showMenu();
        break;
    case WM_LBUTTONDBLCLK:
        arrange();
        break;
    default:
        break;
    }
}

void Tray::command(UINT id) {
    if (id == commandArrangeNow) {
        arrange();
    } else if (id >= commandSortBase && id < commandSortBase + sortMethodCount) {
        if (attempt(tessora_->SetSortMethod(static_cast<::SortMethod>(id - commandSortBase)),
                    IDS_SORT_NOT_STORED))
            arrange();
    } else if (id >= commandArrangeBase && id < commandArrangeBase + arrangeMethodCount) {
        if (attempt(
                tessora_->SetArrangeMethod(static_cast<::ArrangeMethod>(id - commandArrangeBase)),
                IDS_ARRANGE_NOT_STORED))
            arrange();
    } else if (id >= commandMonitorsBase && id < commandMonitorsBase + monitorsCount) {
        if (tessora2_ && attempt(tessora2_->put_Monitors(LONG(id - commandMonitorsBase)),
                                 IDS_MONITORS_NOT_STORED))
            arrange();
    } else if (id == commandLock) {
        attempt(tessora_->ToggleLock(), IDS_LOCK_NOT_CHANGED);
    } else if (id == commandQuit) {
        PostQuitMessage(0);
    } else if (tessora2_) {
        layoutCommand(id);
    }
}

void Tray::layoutCommand(UINT id) {
    if (id == commandUndo) {
        attempt(tessora2_->Undo(), IDS_NOT_UNDONE);
    } else if (id == commandRedo) {
        attempt(tessora2_->Redo(), IDS_NOT_REDONE);
    } else if (id == commandShowIcons) {
        VARIANT_BOOL shown = VARIANT_TRUE;
        tessora2_->get_IconsShown(&shown);
        attempt(tessora2_->put_IconsShown(shown ? VARIANT_FALSE : VARIANT_TRUE),
                shown ? IDS_ICONS_NOT_HIDDEN : IDS_ICONS_NOT_SHOWN);
    } else if (id == commandSaveLayout) {
        if (const std::optional<std::wstring> name = askLayoutName(window_, layoutNames(), text_))
            attempt(tessora2_->SaveLayout(winapi::Bstr(*name).get()), IDS_LAYOUT_NOT_SAVED);
    } else if (id >= commandLayoutBase && id < commandRestorePointBase) {
        const std::vector<std::wstring> names =
            shownLayouts_.empty() ? layoutNames() : shownLayouts_;
        if (id - commandLayoutBase < names.size())
            attempt(tessora2_->RestoreLayout(winapi::Bstr(names[id - commandLayoutBase]).get(),
                                             menuTrigger()),
                    IDS_LAYOUT_NOT_RESTORED);
    } else if (id > commandRestorePointBase && id <= commandRestorePointBase + restorePointsShown) {
        const std::optional<LONG> number = pointNumber(id);
        if (!number)
            icon_.tell(text_(IDS_POINT_GONE));
        else
            attempt(tessora2_->RestorePoint(*number, menuTrigger()), IDS_POINT_NOT_RESTORED);
    }
}

std::vector<std::wstring> Tray::historyLines() {
    winapi::Bstr history;
    if (FAILED(tessora2_->get_History(history.out())))
        return {};
    std::vector<std::wstring> lines = linesOf(history.view());
    for (std::wstring& line : lines)
        line.erase(0, line.find(L'\t')); // the number, which the next point changes
    return lines;
}

// The restore point the item showed, by its number now; nothing when it has left the history.
std::optional<LONG> Tray::pointNumber(UINT id) {
    const std::size_t shown = id - commandRestorePointBase - 1;
    if (shownPoints_.empty())
        return LONG(shown + 1); // no menu was made: the number as it stands
    if (shown >= shownPoints_.size())
        return std::nullopt;
    const std::vector<std::wstring> lines = historyLines();
    const auto found = std::find(lines.begin(), lines.end(), shownPoints_[shown]);
    return found == lines.end() ? std::nullopt
                                : std::optional<LONG>(LONG(found - lines.begin() + 1));
}

std::vector<std::wstring> Tray::layoutNames() {
    winapi::Bstr names;
    if (FAILED(tessora2_->get_Layouts(names.out())))
        return {};
    return linesOf(names.view());
}

MenuSettings Tray::menuSettings() {
    const component::Settings settings = component::readSettings(tessora_);
    MenuSettings menu;
    menu.sortMethod = settings.sortMethod;
    menu.arrangeMethod = settings.arrangeMethod;
    menu.locked = settings.locked != 0;
    menu.monitors = settings.monitors;
    menu.sortFixed = component::policyOf(component::sortSetting).has_value();
    menu.arrangeFixed = component::policyOf(component::arrangeSetting).has_value();
    menu.lockFixed = component::policyOf(component::lockedSetting).has_value();
    menu.monitorsFixed = component::policyOf(component::monitorsSetting).has_value();
    if (!tessora2_)
        return menu;
    winapi::Bstr undo;
    winapi::Bstr redo;
    if (SUCCEEDED(tessora2_->get_UndoDescription(undo.out())))
        menu.undo = spokenStep(std::wstring(undo.view()));
    if (SUCCEEDED(tessora2_->get_RedoDescription(redo.out())))
        menu.redo = spokenStep(std::wstring(redo.view()));
    menu.layouts = shownLayouts_ = layoutNames();
    shownPoints_.clear();
    for (const std::wstring& line : historyLines())
        if (menu.restorePoints.size() < restorePointsShown) {
            menu.restorePoints.push_back(restorePointText(line));
            shownPoints_.push_back(line);
        }
    VARIANT_BOOL shown = VARIANT_TRUE;
    tessora2_->get_IconsShown(&shown);
    menu.iconsShown = shown != VARIANT_FALSE;
    return menu;
}

void Tray::showMenu() {
    const winapi::Shared<HMENU> menu = makeTrayMenu(menuSettings(), text_);
    POINT at{};
    GetCursorPos(&at);
    // A menu closes at a click elsewhere only when its window is in the foreground, and the
    // message posted after it keeps the next opening from closing again at once.
    SetForegroundWindow(window_);
    const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    TrackPopupMenuEx(menu.get(), align | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, at.x, at.y, window_,
                     nullptr);
    PostMessageW(window_, WM_NULL, 0, 0);
}

bool Tray::attempt(HRESULT result, UINT what) {
    if (SUCCEEDED(result))
        return true;
    const component::CallFailure failure = component::failureOf(tessora_, result);
    std::u16string line =
        component::ownPhraseBook().failureLine(winapi::fromWide(text_(what)), failure.reason);
    line.pop_back(); // a balloon's text needs no line end
    if (failure.kind == component::FailureKind::notSaved)
        tellNotSaved(winapi::toWide(line));
    else
        icon_.tell(winapi::toWide(line));
    return false;
}

void Tray::saveOutcome(bool saved, DWORD systemError) {
    if (saved) {
        notSavedTold_ = false;
        return;
    }
    std::u16string line = component::ownPhraseBook().failureLine(
        winapi::fromWide(text_(IDS_CANNOT_SAVE)),
        component::resultText(HRESULT_FROM_WIN32(systemError)));
    line.pop_back();
    tellNotSaved(winapi::toWide(line) + L" " + text_(IDS_KEPT_UNTIL_SAVED));
}

void Tray::tellNotSaved(const std::wstring& text) {
    if (!notSavedTold_)
        icon_.tell(text);
    notSavedTold_ = true;
}

void Tray::arrange() {
    attempt(component::arrangeFor(tessora_, TriggerMenu), IDS_NOT_ARRANGED);
}

} // namespace launcher
