#include "organizers/placement/group_relayout.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "desktop_access/labels.h"

namespace organizers::placement {

using desktop_access::add32;
using desktop_access::Rect;
using desktop_access::sub32;
using desktop_access::truncToInt32;
using desktop_access::wrap32;

namespace {

// A group's box in pixels, kept wide so that absurd positions compare correctly.
struct Box {
    std::int64_t left;
    std::int64_t top;
    std::int64_t right; // largest left + cellWidth
    std::int64_t bottom;
};

Box boxOf(const IconRecord& icon, const Grid& grid) {
    return {icon.left, icon.top, std::int64_t{icon.left} + grid.cellWidth,
            std::int64_t{icon.top} + grid.cellHeight};
}

void grow(Box& box, const IconRecord& icon, const Grid& grid) {
    const Box added = boxOf(icon, grid);
    box = {std::min(box.left, added.left), std::min(box.top, added.top),
           std::max(box.right, added.right), std::max(box.bottom, added.bottom)};
}

std::optional<Box> boxOf(const IconGroup& group) {
    if (group.icons.empty())
        return std::nullopt;
    Box box = boxOf(group.icons.front(), group.grid);
    for (const IconRecord& icon : group.icons)
        grow(box, icon, group.grid);
    return box;
}

// Within one cell and 10 pixels of the box, measured from the icon's centre.
bool reaches(const Box& box, const IconRecord& icon, const Grid& grid) {
    const std::int64_t width = grid.cellWidth;
    const std::int64_t height = grid.cellHeight;
    const std::int64_t x = icon.left + width / 2;
    const std::int64_t y = icon.top + height / 2;
    return box.left - width - 10 <= x && x < box.right + width + 10 && box.top - height - 10 <= y &&
           y < box.bottom + height + 10;
}

std::int32_t nearest(double value) {
    return truncToInt32(std::floor(value + 0.5));
}

// Reorders the group's icons the way the reflow fills its target, keeping a block's shape: a
// wide target by (row, column), any other by (column, row).
void orderForReflow(IconGroup& group, bool wide) {
    std::vector<Cell> cells;
    cells.reserve(group.icons.size());
    for (const IconRecord& icon : group.icons)
        cells.push_back(cellOf(icon, group.grid));
    std::vector<std::size_t> order(cells.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Cell& ca = cells[a];
        const Cell& cb = cells[b];
        if (wide)
            return ca.row != cb.row ? ca.row < cb.row : ca.column < cb.column;
        return ca.column != cb.column ? ca.column < cb.column : ca.row < cb.row;
    });
    std::vector<IconRecord> ordered;
    ordered.reserve(group.icons.size());
    for (std::size_t index : order)
        ordered.push_back(std::move(group.icons[index]));
    group.icons.swap(ordered);
}

void reflow(IconGroup& group, const Rect& target, bool wide) {
    orderForReflow(group, wide);
    std::int64_t column = target.left;
    std::int64_t row = target.top;
    for (IconRecord& icon : group.icons) {
        placeInCell(icon, group.grid, {wrap32(column), wrap32(row)});
        if (wide) {
            if (++column >= target.right) {
                column = target.left;
                ++row;
            }
        } else if (++row >= target.bottom) {
            row = target.top;
            ++column;
        }
    }
}

// The group's target on the live grid, from the edges of the stored grid it touched.
Rect rescaledTarget(const IconGroup& group, const Grid& live, const Grid& stored) {
    const Rect bounds = cellBounds(group);
    const std::int32_t w = sub32(bounds.right, bounds.left);
    const std::int32_t h = sub32(bounds.bottom, bounds.top);
    const double n = static_cast<double>(group.icons.size());
    const std::int32_t C = live.columns;
    const std::int32_t R = live.rows;
    const std::int32_t left =
        nearest(desktop_access::mul32(C, bounds.left) / double(stored.columns));
    const std::int32_t top = nearest(desktop_access::mul32(R, bounds.top) / double(stored.rows));
    const auto has = [&](std::uint32_t edge) { return (group.edges & edge) != 0; };

    if (has(EdgeNone) || group.edges == 0)
        return {left, top, add32(left, w), add32(top, h)};
    if (has(EdgeLeft) && has(EdgeRight)) {
        const std::int32_t k = truncToInt32(std::ceil(n / C));
        return has(EdgeBottom) ? Rect{0, sub32(R, k), C, R} : Rect{0, top, C, add32(top, k)};
    }
    if (has(EdgeTop) && has(EdgeBottom)) {
        const std::int32_t k = truncToInt32(std::ceil(n / R));
        return has(EdgeRight) ? Rect{sub32(C, k), 0, C, R} : Rect{left, 0, add32(left, k), R};
    }
    switch (group.edges) {
    case EdgeLeft | EdgeTop:
        return {0, 0, w, h};
    case EdgeLeft | EdgeBottom:
        return {0, sub32(R, h), w, R};
    case EdgeTop | EdgeRight:
        return {sub32(C, w), 0, C, h};
    case EdgeRight | EdgeBottom:
        return {sub32(C, w), sub32(R, h), C, R};
    case EdgeLeft:
        return {0, top, nearest(n / h), add32(top, h)};
    case EdgeTop:
        return {left, 0, add32(left, w), nearest(n / w)};
    case EdgeRight:
        return {sub32(C, nearest(n / h)), top, C, add32(top, h)};
    default: // EdgeBottom
        return {left, sub32(R, nearest(n / w)), add32(left, w), R};
    }
}

// Pulls a group that sticks out of the grid back in: past the right or bottom end it is shifted,
// past the left or top end its near side is pinned at 0 and it is reflowed.
void clampToGrid(IconGroup& group, std::int32_t C, std::int32_t R) {
    const Rect bounds = cellBounds(group);
    std::int32_t left = bounds.left;
    std::int32_t right = bounds.right;
    if (bounds.left < 0) {
        moveGroup(group, {0, bounds.top, bounds.right, bounds.bottom});
        left = 0;
    } else if (bounds.right >= C) {
        left = add32(bounds.left, sub32(C, bounds.right));
        right = C;
        moveGroup(group, {left, bounds.top, right, bounds.bottom});
    }
    if (bounds.top < 0)
        moveGroup(group, {left, 0, right, bounds.bottom});
    else if (bounds.bottom >= R)
        moveGroup(group, {left, add32(bounds.top, sub32(R, bounds.bottom)), right, R});
}

// The live records by label, built once for a relayout: the first record of each label, and for
// every record the next one of its label (none: npos).
struct LiveLabels {
    static constexpr std::size_t none = static_cast<std::size_t>(-1);
    explicit LiveLabels(const std::vector<IconRecord>& icons) : next(icons.size(), none) {
        first.reserve(icons.size());
        std::vector<std::size_t> last(icons.size(), none); // by first record: the latest so far
        for (std::size_t index = 0; index < icons.size(); ++index) {
            const auto [found, added] = first.try_emplace(icons[index].name, index);
            if (!added)
                next[last[found->second]] = index;
            last[found->second] = index;
        }
    }
    std::size_t firstOf(std::u16string_view label) const {
        const auto found = first.find(label);
        return found == first.end() ? none : found->second;
    }
    std::unordered_map<std::u16string_view, std::size_t> first;
    std::vector<std::size_t> next;
};

void restoreStored(DesktopProxy& live, const LiveLabels& labels) {
    for (const IconRecord& stored : live.previous->icons) {
        if (const std::size_t index = labels.firstOf(stored.name); index != LiveLabels::none) {
            live.icons[index].left = stored.left;
            live.icons[index].top = stored.top;
        }
    }
}

std::u16string_view labelOf(const IconRecord& icon) {
    return icon.name;
}

// Every live record of each label of the group (the first icon of a label in the group counts)
// takes that icon's place.
void applyGroup(const IconGroup& group, DesktopProxy& live, const LiveLabels& labels) {
    const std::vector<bool> firsts = desktop_access::firstsOfTheirLabels(group.icons, labelOf);
    for (std::size_t index = 0; index < group.icons.size(); ++index) {
        if (!firsts[index])
            continue;
        const IconRecord& icon = group.icons[index];
        for (std::size_t at = labels.firstOf(icon.name); at != LiveLabels::none;
             at = labels.next[at]) {
            live.icons[at].left = icon.left;
            live.icons[at].top = icon.top;
        }
    }
}

// The old groups with the live records of their labels, in live order, measured in the live grid.
std::vector<IconGroup> carryOver(const std::vector<IconGroup>& oldGroups, const DesktopProxy& live,
                                 const LiveLabels& labels) {
    // (first live record of a label, group) for every label of every group, once each.
    std::vector<std::pair<std::size_t, std::size_t>> memberships;
    for (std::size_t group = 0; group < oldGroups.size(); ++group)
        for (const IconRecord& icon : oldGroups[group].icons)
            if (const std::size_t first = labels.firstOf(icon.name); first != LiveLabels::none)
                memberships.emplace_back(first, group);
    std::sort(memberships.begin(), memberships.end());
    memberships.erase(std::unique(memberships.begin(), memberships.end()), memberships.end());

    std::vector<IconGroup> groups(oldGroups.size());
    for (std::size_t index = 0; index < groups.size(); ++index) {
        groups[index].edges = oldGroups[index].edges;
        groups[index].grid = live.grid();
    }
    // Each live record's first record of its label, so that every record finds its label's
    // groups among the memberships, which are ordered by that first record.
    std::vector<std::size_t> firstOfRecord(live.icons.size());
    for (const auto& [label, first] : labels.first)
        for (std::size_t at = first; at != LiveLabels::none; at = labels.next[at])
            firstOfRecord[at] = first;
    for (std::size_t index = 0; index < live.icons.size(); ++index) {
        auto member = std::lower_bound(memberships.begin(), memberships.end(),
                                       std::pair{firstOfRecord[index], std::size_t{0}});
        for (; member != memberships.end() && member->first == firstOfRecord[index]; ++member)
            groups[member->second].icons.push_back(live.icons[index]);
    }
    return groups;
}

} // namespace

Rect cellBounds(const IconGroup& group) {
    if (group.icons.empty())
        return {};
    const Cell first = cellOf(group.icons.front(), group.grid);
    Rect bounds{first.column, first.row, first.column, first.row};
    for (const IconRecord& icon : group.icons) {
        const Cell cell = cellOf(icon, group.grid);
        bounds = {std::min(bounds.left, cell.column), std::min(bounds.top, cell.row),
                  std::max(bounds.right, cell.column), std::max(bounds.bottom, cell.row)};
    }
    bounds.right = add32(bounds.right, 1);
    bounds.bottom = add32(bounds.bottom, 1);
    return bounds;
}

Rect boxBounds(const IconGroup& group) {
    const std::optional<Box> box = boxOf(group);
    if (!box)
        return {};
    return {wrap32(box->left), wrap32(box->top), wrap32(box->right), wrap32(box->bottom)};
}

bool isNear(const IconGroup& group, const IconRecord& icon) {
    const std::optional<Box> box = boxOf(group);
    return box && reaches(*box, icon, group.grid);
}

std::vector<IconGroup> findGroups(std::vector<IconRecord> icons, const Grid& grid) {
    std::vector<double> distance;
    distance.reserve(icons.size());
    for (const IconRecord& icon : icons)
        distance.push_back(std::sqrt(double(icon.left) * icon.left + double(icon.top) * icon.top));
    std::vector<std::size_t> order(icons.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return distance[a] < distance[b]; });

    std::vector<IconGroup> groups;
    std::vector<Box> boxes; // each group's box, grown as icons join
    for (std::size_t index : order) {
        IconRecord& icon = icons[index];
        std::size_t joined = 0;
        while (joined < groups.size() && !reaches(boxes[joined], icon, grid))
            ++joined;
        if (joined == groups.size()) {
            groups.push_back({0, {}, grid});
            boxes.push_back(boxOf(icon, grid));
        } else {
            grow(boxes[joined], icon, grid);
        }
        groups[joined].icons.push_back(std::move(icon));
    }

    for (IconGroup& group : groups) {
        const Rect bounds = cellBounds(group);
        std::uint32_t edges = 0;
        if (bounds.left == 0)
            edges |= EdgeLeft;
        if (bounds.top == 0)
            edges |= EdgeTop;
        if (bounds.right >= grid.columns)
            edges |= EdgeRight;
        if (bounds.bottom >= grid.rows)
            edges |= EdgeBottom;
        group.edges = edges == 0 ? EdgeNone : edges;
    }
    return groups;
}

void moveGroup(IconGroup& group, const Rect& target) {
    const Rect bounds = cellBounds(group);
    const std::int64_t width = std::int64_t{target.right} - target.left;
    const std::int64_t height = std::int64_t{target.bottom} - target.top;
    if (width == std::int64_t{bounds.right} - bounds.left &&
        height == std::int64_t{bounds.bottom} - bounds.top) {
        const std::int32_t dx = sub32(target.left, bounds.left);
        const std::int32_t dy = sub32(target.top, bounds.top);
        for (IconRecord& icon : group.icons) {
            const Cell cell = cellOf(icon, group.grid);
            placeInCell(icon, group.grid, {add32(cell.column, dx), add32(cell.row, dy)});
        }
        return;
    }
    reflow(group, target, width > height);
}

void restoreStored(DesktopProxy& live) {
    if (live.previous)
        restoreStored(live, LiveLabels(live.icons));
}

void relayoutGroups(DesktopProxy& live) {
    if (!live.previous)
        return;
    const Grid grid = live.grid();
    const Grid storedGrid = live.previous->grid();
    const LiveLabels labels(live.icons);
    restoreStored(live, labels);
    // Without cells on either side there is nothing to measure groups in or carry them to.
    if (!grid.hasCells() || !storedGrid.hasCells())
        return;

    std::vector<IconGroup> groups =
        carryOver(findGroups(live.previous->icons, storedGrid), live, labels);
    for (IconGroup& group : groups) {
        if (group.icons.empty())
            continue;
        moveGroup(group, rescaledTarget(group, grid, storedGrid));
        clampToGrid(group, grid.columns, grid.rows);
    }
    for (const IconGroup& group : groups)
        applyGroup(group, live, labels);
}

} // namespace organizers::placement
