#include "tests/support/fake_desktop.h"

#include "desktop_access/errors.h"
#include "desktop_access/labels.h"
#include "winapi/error.h"

namespace desktop_access {
namespace {

void maybeFail(const Desktop& desktop, const std::string& request, std::int32_t index) {
    if (desktop.failRequest == request &&
        (index < 0 || desktop.failIndex < 0 || desktop.failIndex == index))
        throw DesktopAccessError("fake failure of " + request);
}

const Desktop::Item& itemOf(const Icon& icon, const std::string& request) {
    if (icon.desktop == nullptr)
        throw UninitializedDesktopError("Uninitialized desktop");
    maybeFail(*icon.desktop, request, icon.index);
    if (icon.index < 0 || static_cast<std::size_t>(icon.index) >= icon.desktop->items.size())
        throw DesktopAccessError("Failed to get icon position");
    return icon.desktop->items[static_cast<std::size_t>(icon.index)];
}

} // namespace

Desktop& Desktop::addIcon(std::u16string label, std::int32_t left, std::int32_t top) {
    Item item;
    item.label = std::move(label);
    item.position = {left - item.box.left, top - item.box.top};
    items.push_back(std::move(item));
    return *this;
}

Rect Desktop::boxOf(std::int32_t index) const {
    const Item& item = items.at(static_cast<std::size_t>(index));
    return {item.position.x + item.box.left, item.position.y + item.box.top,
            item.position.x + item.box.right, item.position.y + item.box.bottom};
}

std::int32_t iconCount(Desktop& desktop) {
    maybeFail(desktop, "count", -1);
    return static_cast<std::int32_t>(desktop.items.size());
}

Rect iconBoundingBox(const Icon& icon) {
    itemOf(icon, "box");
    return icon.desktop->boxOf(icon.index);
}

Point iconPosition(const Icon& icon) {
    itemOf(icon, "position");
    Desktop::Item& item = icon.desktop->items[static_cast<std::size_t>(icon.index)];
    if (!item.glide.empty()) {
        item.position = item.glide.front();
        item.glide.erase(item.glide.begin());
    }
    ++icon.desktop->positionReads;
    return item.position;
}

std::u16string iconText(const Icon& icon) {
    return itemOf(icon, "text").label.substr(0, maxLabelLength);
}

bool iconsShown(Desktop& desktop) {
    maybeFail(desktop, "shown", -1);
    return desktop.shown;
}

void showIcons(Desktop& desktop, bool shown) {
    maybeFail(desktop, "shown", -1);
    desktop.shown = shown;
}

std::vector<Rect> workAreas(Desktop& desktop) {
    maybeFail(desktop, "workAreas", -1);
    return desktop.areas;
}

void setIconPosition(const Icon& icon, std::int32_t x, std::int32_t y) {
    itemOf(icon, "set");
    Desktop& desktop = *icon.desktop;
    desktop.moves.push_back({icon.index, x, y});
    if (const auto dropped = desktop.droppedSets.find(icon.index);
        dropped != desktop.droppedSets.end() && dropped->second != 0) {
        if (dropped->second > 0)
            --dropped->second;
        return;
    }
    desktop.items[static_cast<std::size_t>(icon.index)].position = {x, y};
}

std::unordered_map<std::u16string, bool> fileSystemFlagsByName(Desktop& desktop) {
    ++desktop.shellLookups;
    return desktop.fileSystem;
}

std::unordered_map<std::u16string, std::optional<std::uint64_t>>
creationTimesByName(Desktop& desktop) {
    ++desktop.shellLookups;
    return desktop.creationTimes;
}

} // namespace desktop_access
