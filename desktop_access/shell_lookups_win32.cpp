// The shell-namespace side of the seam: which desktop items lie in the file system, and when
// they were created.
#include "desktop_access/shell_lookups_win32.h"

#include <cwchar>

#include "winapi/handle_win32.h"
#include "winapi/text_win32.h"

namespace desktop_access {
namespace {

using Microsoft::WRL::ComPtr;

// Calls visit(display name, identifier list, shell item) for every item of the desktop folder,
// in the order the folder lists them.
template <typename Visit> void enumerateDesktop(Desktop& desktop, Visit visit) {
    const ComPtr<IShellFolder> folder = desktopFolder(desktop);
    ComPtr<IEnumIDList> items;
    if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.GetAddressOf()) !=
            S_OK ||
        !items)
        return;
    for (;;) {
        LPITEMIDLIST next = nullptr;
        if (items->Next(1, &next, nullptr) != S_OK)
            break;
        ItemIdList id = winapi::own<CoTaskMemFree>(next);
        ComPtr<IShellItem> item;
        if (FAILED(SHCreateShellItem(nullptr, folder.Get(), id.get(), item.GetAddressOf())))
            break;
        LPWSTR shown = nullptr;
        if (FAILED(item->GetDisplayName(SIGDN_NORMALDISPLAY, &shown)) || shown == nullptr)
            continue; // an item without a name can match no label
        const winapi::Shared<LPWSTR> owned = winapi::own<CoTaskMemFree>(shown);
        visit(winapi::fromWide(shown, std::wcslen(shown)), std::move(id), std::move(item));
    }
}

std::uint64_t toCount(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

} // namespace

std::unordered_map<std::u16string, ComPtr<IShellItem>> shellItemsByName(Desktop& desktop) {
    std::unordered_map<std::u16string, ComPtr<IShellItem>> items;
    enumerateDesktop(desktop, [&](std::u16string name, ItemIdList, ComPtr<IShellItem> item) {
        items[std::move(name)] = std::move(item);
    });
    return items;
}

std::unordered_map<std::u16string, ItemIdList> itemIdsByName(Desktop& desktop) {
    std::unordered_map<std::u16string, ItemIdList> ids;
    enumerateDesktop(desktop, [&](std::u16string name, ItemIdList id, ComPtr<IShellItem>) {
        ids[std::move(name)] = std::move(id);
    });
    return ids;
}

std::unordered_map<std::u16string, bool> fileSystemFlagsByName(Desktop& desktop) {
    std::unordered_map<std::u16string, bool> flags;
    for (const auto& [name, item] : shellItemsByName(desktop)) {
        SFGAOF attributes = 0;
        // S_FALSE still answers for the bit that was asked about.
        const HRESULT result = item->GetAttributes(SFGAO_FILESYSTEM, &attributes);
        flags[name] = SUCCEEDED(result) && (attributes & SFGAO_FILESYSTEM) != 0;
    }
    return flags;
}

std::unordered_map<std::u16string, std::optional<std::uint64_t>>
creationTimesByName(Desktop& desktop) {
    std::unordered_map<std::u16string, std::optional<std::uint64_t>> times;
    const auto ids = itemIdsByName(desktop);
    const ComPtr<IShellFolder> folder = desktopFolder(desktop);
    for (const auto& [name, id] : ids) {
        WIN32_FIND_DATAW found{};
        if (FAILED(SHGetDataFromIDListW(folder.Get(), id.get(), SHGDFIL_FINDDATA, &found,
                                        sizeof found)))
            times[name] = std::nullopt;
        else
            times[name] = toCount(found.ftCreationTime);
    }
    return times;
}

} // namespace desktop_access
