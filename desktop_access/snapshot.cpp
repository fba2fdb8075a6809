#include "desktop_access/snapshot.h"

#include <algorithm>
#include <unordered_set>

#include "desktop_access/labels.h"

namespace desktop_access {
namespace {

std::vector<IconRecord> readIcons(Desktop& desktop) {
    const std::int32_t count = iconCount(desktop);
    std::vector<IconRecord> icons;
    icons.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t index = 0; index < count; ++index) {
        const Icon icon{&desktop, index};
        const Rect box = iconBoundingBox(icon);
        const Point position = iconPosition(icon);
        IconRecord record;
        record.left = box.left;
        record.top = box.top;
        record.offsetX = sub32(position.x, box.left);
        record.offsetY = sub32(position.y, box.top);
        record.width = sub32(box.right, box.left);
        record.height = sub32(box.bottom, box.top);
        record.name = iconText(icon);
        record.icon = icon;
        icons.push_back(std::move(record));
    }
    return icons;
}

Grid gridFor(const std::vector<Rect>& workAreas, const std::vector<IconRecord>& icons) {
    // The largest box decides the cell size (an absurd list view may report negative sizes).
    std::int32_t widest = icons.empty() ? 0 : icons.front().width;
    std::int32_t tallest = icons.empty() ? 0 : icons.front().height;
    for (const IconRecord& icon : icons) {
        widest = std::max(widest, icon.width);
        tallest = std::max(tallest, icon.height);
    }
    return Grid::measure(workAreas, widest, tallest);
}

// The stored state without the records of labels no longer on the desktop.
std::shared_ptr<DesktopProxy> storedOnTheDesktop(const DesktopProxy& stored,
                                                 const std::vector<IconRecord>& live) {
    auto kept = std::make_shared<DesktopProxy>();
    static_cast<Grid&>(*kept) = stored.grid();
    std::unordered_set<std::u16string_view> labels;
    for (const IconRecord& icon : live)
        labels.insert(icon.name);
    std::copy_if(stored.icons.begin(), stored.icons.end(), std::back_inserter(kept->icons),
                 [&](const IconRecord& record) { return labels.contains(record.name); });
    return kept;
}

void carryUsageOver(std::vector<IconRecord>& icons, const DesktopProxy& stored,
                    const UsageByLabel& unsaved) {
    const auto first = firstOfEachLabel(
        stored.icons, [](const IconRecord& record) { return std::u16string_view(record.name); });
    for (IconRecord& icon : icons) {
        if (const auto found = first.find(icon.name); found != first.end())
            icon.usage = stored.icons[found->second].usage;
        if (const auto kept = unsaved.find(icon.name); kept != unsaved.end())
            icon.usage += std::min(kept->second, UINT32_MAX - icon.usage);
    }
}

} // namespace

DesktopProxy readDesktop(Desktop& desktop, const StoreSession& session, ShellNeeds needs) {
    DesktopProxy live;
    live.icons = readIcons(desktop);
    live.workAreas = workAreas(desktop);
    static_cast<Grid&>(live) = gridFor(live.workAreas, live.icons);
    live.previous = storedOnTheDesktop(session.stored(), live.icons);
    carryUsageOver(live.icons, *live.previous, session.unsaved());
    if (needs.fileSystem)
        live.shell.fileSystem = inNameOrder(fileSystemFlagsByName(desktop));
    if (needs.creationTimes) {
        live.shell.creationTimes = inNameOrder(creationTimesByName(desktop));
        live.shell.now = currentFileTime();
    }
    return live;
}

} // namespace desktop_access
