#include "desktop_access/desktop_proxy.h"

#include <algorithm>
#include <unordered_map>

#include "component/icon_store.h"
#include "desktop_access/icon_moving.h"

namespace organizers {

using desktop_access::Rect;

DesktopProxy::DesktopProxy() = default;

DesktopProxy::DesktopProxy(const std::filesystem::path& storeFile) {
    component::readStore(*this, storeFile);
}

DesktopProxy::DesktopProxy(std::filesystem::path path, desktop_access::Desktop& desktop) {
    // The lock comes first, so the stored state is never read while another process writes it.
    storeLock = std::make_unique<winapi::NamedLock>(winapi::storeLockName);
    previous = std::make_shared<DesktopProxy>(path);
    storePath = std::move(path);
    readIcons(desktop);
    computeGrid(desktop_access::workAreas(desktop));
    mergeStoredUsage();
}

DesktopProxy::~DesktopProxy() {
    if (!storePath.empty())
        component::writeStore(*this);
    storeLock.reset();
}

void DesktopProxy::readIcons(desktop_access::Desktop& desktop) {
    const std::int32_t count = desktop_access::iconCount(desktop);
    icons.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t index = 0; index < count; ++index) {
        const desktop_access::Icon icon{&desktop, index};
        const Rect box = desktop_access::iconBoundingBox(icon);
        const desktop_access::Point position = desktop_access::iconPosition(icon);
        IconRecord record;
        record.left = box.left;
        record.top = box.top;
        record.offsetX = desktop_access::sub32(position.x, box.left);
        record.offsetY = desktop_access::sub32(position.y, box.top);
        record.width = desktop_access::sub32(box.right, box.left);
        record.height = desktop_access::sub32(box.bottom, box.top);
        record.name = desktop_access::iconText(icon);
        record.icon = icon;
        icons.push_back(std::move(record));
    }
}

void DesktopProxy::computeGrid(const std::vector<Rect>& areas) {
    // The union of the work areas, always including the origin of the primary monitor.
    Rect area;
    for (const Rect& r : areas) {
        area.left = std::min(area.left, r.left);
        area.top = std::min(area.top, r.top);
        area.right = std::max(area.right, r.right);
        area.bottom = std::max(area.bottom, r.bottom);
    }
    std::int32_t widest = 0;
    std::int32_t tallest = 0;
    if (!icons.empty()) {
        widest = std::max_element(icons.begin(), icons.end(), [](auto& a, auto& b) {
                     return a.width < b.width;
                 })->width;
        tallest = std::max_element(icons.begin(), icons.end(), [](auto& a, auto& b) {
                      return a.height < b.height;
                  })->height;
    }
    cellWidth = desktop_access::add32(widest, 4);
    cellHeight = desktop_access::add32(tallest, 4);
    originX = desktop_access::add32(area.left, 4);
    originY = desktop_access::add32(area.top, 4);
    areaWidth = desktop_access::sub32(area.right, area.left);
    areaHeight = desktop_access::sub32(desktop_access::sub32(area.bottom, area.top), 4);
    // A cell of no size (only a list view reporting absurd boxes gives one) means no grid.
    columns = cellWidth > 0 ? desktop_access::truncToInt32(double(areaWidth) / cellWidth) : 0;
    rows = cellHeight > 0 ? desktop_access::truncToInt32(double(areaHeight) / cellHeight) : 0;
}

void DesktopProxy::mergeStoredUsage() {
    std::unordered_map<std::u16string, const IconRecord*> live;
    for (const IconRecord& record : icons)
        live.emplace(record.name, &record);
    std::erase_if(previous->icons,
                  [&](const IconRecord& stored) { return !live.contains(stored.name); });

    std::unordered_map<std::u16string, std::uint32_t> storedUsage;
    for (const IconRecord& stored : previous->icons)
        storedUsage.emplace(stored.name, stored.usage); // the first of two equal names counts
    for (IconRecord& record : icons)
        if (auto found = storedUsage.find(record.name); found != storedUsage.end())
            record.usage = found->second;
}

void DesktopProxy::apply() {
    std::vector<desktop_access::IconMove> moves;
    moves.reserve(icons.size());
    for (const IconRecord& record : icons) {
        const desktop_access::Point current = desktop_access::iconPosition(record.icon);
        moves.push_back({record.icon, current.x, current.y,
                         desktop_access::add32(record.left, record.offsetX),
                         desktop_access::add32(record.top, record.offsetY)});
    }
    desktop_access::startAnimation(std::move(moves));
}

} // namespace organizers
