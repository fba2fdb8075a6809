// The desktop's items in the shell namespace, keyed by display name (the label the list view
// shows; exact, case-sensitive). Nothing is cached: every call enumerates the desktop folder as
// it is at that moment. Where two items share a display name, the one enumerated later counts.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include "desktop_access/desktop_win32.h"

namespace desktop_access {

// An item identifier list relative to the desktop folder, freed with CoTaskMemFree by its last
// holder.
using ItemIdList = std::shared_ptr<ITEMIDLIST>;

// A desktop folder that cannot be enumerated gives an empty map; an item that cannot be made a
// shell item ends the enumeration with what was gathered so far.
std::unordered_map<std::u16string, Microsoft::WRL::ComPtr<IShellItem>>
shellItemsByName(Desktop& desktop);
std::unordered_map<std::u16string, ItemIdList> itemIdsByName(Desktop& desktop);

} // namespace desktop_access
