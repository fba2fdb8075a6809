// What one Refresh and one IconActivated do with the desktop, apart from COM and the registry:
// take a snapshot, let the strategies chosen by the settings place the icons, start moving them,
// and let the snapshot write the store as it ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "desktop_access/desktop_seam.h"
#include "organizers/placement/placer.h"
#include "organizers/sorting/sorter.h"

namespace component {

enum SortMethod : std::int32_t { SortIconName = 0, SortUsage = 1, SortAge = 2 };
enum ArrangeMethod : std::int32_t {
    ArrangeAuto = 0,
    ArrangeLeft = 1,
    ArrangeRight = 2,
    ArrangeTop = 3,
    ArrangeBottom = 4
};

// The strategy for a method, or null when the value lies outside its enumeration.
std::unique_ptr<organizers::sorting::Sorter> makeSorter(std::int32_t sortMethod,
                                                        desktop_access::Desktop& desktop);
std::unique_ptr<organizers::placement::Placer> makePlacer(std::int32_t arrangeMethod);

// Arranges the desktop: snapshot (store lock held, stored counts carried over), sorter, placer,
// the lock setting (asked only after the desktop has been read), place, start the moves, save
// the store. The count of icons that did not take their places (desktop_access::iconsNotTaken)
// starts again from 0. Returns false, having moved nothing but still saved the store, when a
// method lies outside its enumeration. Desktop and lock errors propagate; then nothing is
// written when the snapshot could not be taken, and the store is still written when it could. A
// store that cannot be saved is desktop_access::StoreWriteError, the counts then kept by the
// process.
bool arrange(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
             std::int32_t sortMethod, std::int32_t arrangeMethod,
             const std::function<bool()>& isLocked);

// What a client is told when icons of an arrangement did not take their places: "1 icon did not
// take its place", "3 icons did not take their places".
std::string notTakenDescription(std::uint32_t count);

// Adds 1 to the usage count of the icon at a list-view index (nothing for an index outside the
// desktop, -1 included) and saves the store. StoreWriteError means the count was taken and is
// kept by the process, to be saved with the next write of the store that succeeds.
void countActivation(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                     std::int32_t index);

} // namespace component
