#include "component/arrangement.h"

#include <cstdint>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/icon_moving.h"
#include "organizers/placement/auto_group.h"
#include "organizers/placement/edge_align.h"
#include "organizers/sorting/age_sorter.h"
#include "organizers/sorting/name_sorter.h"
#include "organizers/sorting/usage_sorter.h"

namespace component {

using namespace organizers;

std::unique_ptr<sorting::Sorter> makeSorter(std::int32_t sortMethod,
                                            desktop_access::Desktop& desktop) {
    switch (sortMethod) {
    case SortIconName:
        return std::make_unique<sorting::NameSorter>(desktop);
    case SortUsage:
        return std::make_unique<sorting::UsageSorter>();
    case SortAge:
        return std::make_unique<sorting::AgeSorter>(desktop);
    default:
        return nullptr;
    }
}

std::unique_ptr<placement::Placer> makePlacer(std::int32_t arrangeMethod) {
    switch (arrangeMethod) {
    case ArrangeAuto:
        return std::make_unique<placement::AutoGroup>();
    case ArrangeLeft:
        return std::make_unique<placement::LeftAlign>();
    case ArrangeRight:
        return std::make_unique<placement::RightAlign>();
    case ArrangeTop:
        return std::make_unique<placement::TopAlign>();
    case ArrangeBottom:
        return std::make_unique<placement::BottomAlign>();
    default:
        return nullptr;
    }
}

bool arrange(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
             std::int32_t sortMethod, std::int32_t arrangeMethod,
             const std::function<bool()>& isLocked) {
    desktop_access::resetIconsNotTaken();
    DesktopProxy proxy(storePath, desktop);
    const std::unique_ptr<sorting::Sorter> sorter = makeSorter(sortMethod, desktop);
    const std::unique_ptr<placement::Placer> placer = sorter ? makePlacer(arrangeMethod) : nullptr;
    if (!placer) {
        proxy.save();
        return false;
    }
    placer->locked = isLocked();
    placer->place(proxy, *sorter);
    proxy.rememberLayout();
    proxy.apply();
    proxy.save();
    return true;
}

std::string notTakenDescription(std::uint32_t count) {
    return count == 1 ? "1 icon did not take its place"
                      : std::to_string(count) + " icons did not take their places";
}

void countActivation(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                     std::int32_t index) {
    DesktopProxy proxy(storePath, desktop);
    // Right after construction the records are in list-view index order.
    if (static_cast<std::uint32_t>(index) < proxy.icons.size()) {
        std::uint32_t& usage = proxy.icons[static_cast<std::size_t>(index)].usage;
        if (usage != UINT32_MAX) // at the top a count stays there rather than falling back to 0
            ++usage;
    }
    proxy.save();
}

} // namespace component
