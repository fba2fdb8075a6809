// The edge aligners: let the sorter order the icons, then fill grid cells in that order from one
// edge of the usable area. LeftAlign fills column by column from the top-left cell, TopAlign row
// by row; RightAlign and BottomAlign are the same fills with each cell position mirrored to the
// opposite edge. More icons than cells simply run on past the area. Where the icons stood before
// and the lock setting make no difference.
#pragma once

#include <functional>

#include "desktop_access/geometry.h"
#include "organizers/placement/placer.h"

namespace organizers::placement {

using PointTransform =
    std::function<desktop_access::Point(const desktop_access::Point&, const DesktopProxy&)>;

desktop_access::Point keepPoint(const desktop_access::Point& point, const DesktopProxy& proxy);
// Reflects a cell position within the usable area (which starts left of zero when a monitor
// lies left of the primary one): column 0 becomes the rightmost column.
desktop_access::Point mirrorX(const desktop_access::Point& point, const DesktopProxy& proxy);
// The same for rows: row 0 becomes the bottom row.
desktop_access::Point mirrorY(const desktop_access::Point& point, const DesktopProxy& proxy);

struct LeftAlign : Placer {
    void place(DesktopProxy& proxy, sorting::Sorter& sorter) override;
    virtual PointTransform transform() const;
};

struct RightAlign : LeftAlign {
    PointTransform transform() const override;
};

struct TopAlign : Placer {
    void place(DesktopProxy& proxy, sorting::Sorter& sorter) override;
    virtual PointTransform transform() const;
};

struct BottomAlign : TopAlign {
    PointTransform transform() const override;
};

} // namespace organizers::placement
