// The six desktop requests over the shell's list view. The list view dereferences the pointers
// of its messages in the shell's process, so every structure travels in a buffer placed there.
// The structures are the target's own: each build talks to a shell of its own bitness. Every
// message waits for the shell's answer at most answerTimeoutMs (sendToShell).
#include <algorithm>
#include <cstddef>

#include <windows.h>

#include <commctrl.h>

#include "desktop_access/desktop_win32.h"
#include "desktop_access/errors.h"
#include "desktop_access/labels.h"
#include "winapi/error.h"
#include "winapi/remote_allocator_win32.h"
#include "winapi/text_win32.h"

namespace desktop_access {
namespace {

template <typename T> using Remote = winapi::RemoteAllocator<T>;

// Label buffers hold a label and its null; the list view cuts longer labels.
constexpr int labelCapacity = int(labelBufferLength);

// The list view accepts an LVITEMW in its first published form, the fields up to and including
// puColumns. Its size comes from the target's own structure: 52 bytes on 32-bit Windows, 72 on
// 64-bit (pointer fields and their alignment grow).
constexpr std::uint32_t itemSize = offsetof(LVITEMW, puColumns) + sizeof(LVITEMW::puColumns);
static_assert(sizeof(void*) != 4 || itemSize == 52);
static_assert(sizeof(RECT) == sizeof(Rect) && sizeof(POINT) == sizeof(Point));

// The list view holds at most this many work areas (LV_MAX_WORKAREAS).
constexpr UINT maxWorkAreas = 16;

const Desktop& desktopOf(const Icon& icon) {
    if (icon.desktop == nullptr)
        throw UninitializedDesktopError("Uninitialized desktop");
    ensureCurrent(*icon.desktop);
    return *icon.desktop;
}

LRESULT send(const Desktop& desktop, UINT message, WPARAM wParam, LPARAM lParam) {
    return sendToShell(desktop.listView, message, wParam, lParam);
}

// A message that carries addresses of buffers in the shell's process. When the shell does not
// answer in time it still has the message and may handle it later, writing into the buffers:
// those are then left to it rather than freed under it.
template <typename... Buffers>
LRESULT send(const Desktop& desktop, UINT message, WPARAM wParam, const void* address,
             Buffers&... written) {
    try {
        return send(desktop, message, wParam, reinterpret_cast<LPARAM>(address));
    } catch (...) {
        (written.abandon(), ...);
        throw;
    }
}

WPARAM itemOf(const Icon& icon) {
    return WPARAM(icon.index); // an index below 0 goes as the list view's own WPARAM would
}

Rect toRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

} // namespace

std::int32_t iconCount(Desktop& desktop) {
    ensureCurrent(desktop);
    return static_cast<std::int32_t>(send(desktop, LVM_GETITEMCOUNT, 0, LPARAM{0}));
}

std::vector<Rect> workAreas(Desktop& desktop) {
    ensureCurrent(desktop);
    UINT count = 0;
    {
        Remote<UINT> countBuffer(desktop.processIsThis, processHandle(desktop));
        // A list view that does not answer leaves the buffer as it was: 0 then, not garbage.
        countBuffer.write(0u);
        send(desktop, LVM_GETNUMBEROFWORKAREAS, 0, countBuffer.address(), countBuffer);
        count = std::min(*countBuffer.read(), maxWorkAreas);
    }
    std::vector<Rect> areas(count);
    // With no work areas the buffer has no size, which the system refuses: the request fails
    // rather than hand back a desktop without a usable area.
    Remote<RECT> areaBuffer(desktop.processIsThis, processHandle(desktop), count * sizeof(RECT));
    send(desktop, LVM_GETWORKAREAS, count, areaBuffer.address(), areaBuffer);
    const RECT* read = areaBuffer.read();
    std::transform(read, read + count, areas.begin(), toRect);
    return areas;
}

std::u16string iconText(const Icon& icon) {
    const Desktop& desktop = desktopOf(icon);
    Remote<wchar_t> label(desktop.processIsThis, processHandle(desktop),
                          labelCapacity * sizeof(wchar_t));
    Remote<LVITEMW> item(desktop.processIsThis, processHandle(desktop), itemSize);
    LVITEMW request{};
    request.mask = LVIF_TEXT;
    request.iItem = icon.index;
    request.iSubItem = 0;
    request.pszText = static_cast<LPWSTR>(label.address());
    request.cchTextMax = labelCapacity;
    item.write(request);
    send(desktop, LVM_GETITEMTEXTW, itemOf(icon), item.address(), item, label);
    const wchar_t* text = label.read();
    // Never past the buffer, whatever the list view left in it.
    return winapi::fromWide(text, std::find(text, text + labelCapacity, L'\0') - text);
}

Rect iconBoundingBox(const Icon& icon) {
    const Desktop& desktop = desktopOf(icon);
    Remote<RECT> box(desktop.processIsThis, processHandle(desktop));
    box.write(RECT{LVIR_BOUNDS, 0, 0, 0});
    if (send(desktop, LVM_GETITEMRECT, itemOf(icon), box.address(), box) == 0)
        throw DesktopAccessError("Failed to get icon bounding box.");
    return toRect(*box.read());
}

Point iconPosition(const Icon& icon) {
    const Desktop& desktop = desktopOf(icon);
    Remote<POINT> position(desktop.processIsThis, processHandle(desktop));
    if (send(desktop, LVM_GETITEMPOSITION, itemOf(icon), position.address(), position) == 0)
        throw DesktopAccessError("Failed to get icon position");
    const POINT* read = position.read();
    return {read->x, read->y};
}

void setIconPosition(const Icon& icon, std::int32_t x, std::int32_t y) {
    const Desktop& desktop = desktopOf(icon);
    // Each coordinate travels in 16 bits; the list view reads them back signed.
    const LPARAM packed = MAKELPARAM(static_cast<WORD>(x & 0xFFFF), static_cast<WORD>(y & 0xFFFF));
    if (send(desktop, LVM_SETITEMPOSITION, itemOf(icon), packed) == 0)
        throw DesktopAccessError("Failed to set icon position");
}

} // namespace desktop_access
