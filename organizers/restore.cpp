#include "organizers/restore.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "organizers/placement/group_relayout.h"
#include "organizers/placement/on_screen.h"

namespace organizers {
namespace {

using desktop_access::Place;

// For each live icon, in order, the saved place it meets, if any.
std::vector<std::optional<std::size_t>> meet(const std::vector<IconRecord>& icons,
                                             const std::vector<Place>& places) {
    struct Queue {
        std::vector<std::size_t> places;
        std::size_t next = 0;
    };
    std::unordered_map<std::u16string_view, Queue> byLabel;
    byLabel.reserve(places.size());
    for (std::size_t index = 0; index < places.size(); ++index)
        byLabel[places[index].label].places.push_back(index);
    std::vector<std::optional<std::size_t>> met(icons.size());
    for (std::size_t index = 0; index < icons.size(); ++index) {
        const auto found = byLabel.find(icons[index].name);
        if (found != byLabel.end() && found->second.next < found->second.places.size())
            met[index] = found->second.places[found->second.next++];
    }
    return met;
}

// The relayout knows icons by label. Icons sharing one are told apart there by a key no label
// can hold (labels end at their first null): the label, a null, and the icon's ordinal.
std::u16string distinctKey(const std::u16string& label, std::size_t ordinal) {
    std::u16string key = label;
    key += u'\0';
    key += static_cast<char16_t>(ordinal & 0xFFFF);
    key += static_cast<char16_t>(ordinal >> 16);
    return key;
}

void carryOver(std::vector<IconRecord>& icons, const std::vector<std::optional<std::size_t>>& met,
               const DesktopProxy& snapshot, const SavedDesktop& saved) {
    DesktopProxy carried;
    static_cast<Grid&>(carried) = snapshot.grid();
    carried.workAreas = snapshot.workAreas;
    auto before = std::make_shared<DesktopProxy>();
    static_cast<Grid&>(*before) = gridOf(saved.display);
    before->workAreas = saved.display.workAreas;
    std::vector<std::size_t> members;
    std::unordered_map<std::u16string_view, std::size_t> seen;
    for (std::size_t index = 0; index < icons.size(); ++index) {
        if (!met[index])
            continue;
        IconRecord live = icons[index];
        const std::size_t ordinal = seen[icons[index].name]++;
        if (ordinal > 0)
            live.name = distinctKey(live.name, ordinal);
        IconRecord stored = live;
        stored.left = saved.places[*met[index]].left;
        stored.top = saved.places[*met[index]].top;
        carried.icons.push_back(std::move(live));
        before->icons.push_back(std::move(stored));
        members.push_back(index);
    }
    carried.previous = std::move(before);
    placement::relayoutGroups(carried);
    placement::keepOnScreen(carried.icons, carried.grid(), carried.workAreas);
    for (std::size_t member = 0; member < members.size(); ++member) {
        icons[members[member]].left = carried.icons[member].left;
        icons[members[member]].top = carried.icons[member].top;
    }
}

} // namespace

std::vector<IconRecord> restorePlaces(const DesktopProxy& snapshot, const SavedDesktop& saved) {
    std::vector<IconRecord> icons = snapshot.icons;
    const std::vector<std::optional<std::size_t>> met = meet(icons, saved.places);
    if (saved.display == snapshot.configuration()) {
        for (std::size_t index = 0; index < icons.size(); ++index) {
            if (met[index]) {
                icons[index].left = saved.places[*met[index]].left;
                icons[index].top = saved.places[*met[index]].top;
            }
        }
    } else {
        carryOver(icons, met, snapshot, saved);
    }
    std::vector<bool> newcomers(icons.size());
    for (std::size_t index = 0; index < icons.size(); ++index)
        newcomers[index] = !met[index];
    placement::placeNewIcons(icons, snapshot.grid(), snapshot.workAreas, newcomers);
    return icons;
}

Grid gridOf(const desktop_access::DisplayConfiguration& display) {
    // Any numbers an imported file holds: the margin is taken off without overflowing.
    return Grid::measure(display.workAreas, desktop_access::sub32(display.cellWidth, gridMargin),
                         desktop_access::sub32(display.cellHeight, gridMargin));
}

bool placesDiffer(const std::vector<Place>& before, const std::vector<Place>& after) {
    if (before.size() != after.size())
        return true;
    const auto sorted = [](const std::vector<Place>& places) {
        std::vector<const Place*> order;
        order.reserve(places.size());
        for (const Place& place : places)
            order.push_back(&place);
        std::sort(order.begin(), order.end(), [](const Place* a, const Place* b) {
            return std::tie(a->label, a->left, a->top) < std::tie(b->label, b->left, b->top);
        });
        return order;
    };
    const std::vector<const Place*> a = sorted(before);
    const std::vector<const Place*> b = sorted(after);
    return !std::equal(a.begin(), a.end(), b.begin(), b.end(),
                       [](const Place* x, const Place* y) { return *x == *y; });
}

} // namespace organizers
