// What one Refresh and one IconActivated do with the desktop, apart from COM and the registry:
// a store session (the lock, and what Kelvara remembers, read once), one reading of the desktop,
// the decision (organizers::plan), the glide, and one save.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "desktop_access/desktop_seam.h"
#include "desktop_access/errors.h"
#include "desktop_access/history.h"
#include "desktop_access/store_session.h"
#include "organizers/plan.h"

namespace component {

using organizers::ArrangeAuto;
using organizers::ArrangeBottom;
using organizers::ArrangeLeft;
using organizers::ArrangeMethod;
using organizers::ArrangeRight;
using organizers::ArrangeTop;
using organizers::SortAge;
using organizers::SortIconName;
using organizers::SortMethod;
using organizers::SortUsage;

// Arranges the desktop: session, snapshot, the lock setting (asked only after the desktop has
// been read), plan, the glide, save. The count of icons that did not take their places
// (desktop_access::iconsNotTaken) starts again from 0. Returns false, having moved nothing but
// still saved the store, when a method lies outside its enumeration. Desktop and lock errors
// propagate; nothing is written when the snapshot could not be read, and the store is still
// written, as read, when an error comes after it. A file that cannot be saved is
// desktop_access::StoreWriteError (the counts then kept by the process), LayoutsWriteError or
// HistoryWriteError, once the desktop has been arranged.
//
// An arrangement that moves at least one icon first records the desktop as it was, with the
// time, the trigger (what started it) and the methods, as the newest restore point of the
// history (desktop_access/history.h), and nothing can be redone any more. While the desktop's
// icons are hidden nothing is arranged, read or written, and the call returns true.
//
// monitors is the setting "Monitors" (organizers/placement/monitors.h); a value outside its
// enumeration is treated as a method outside its enumeration is.
bool arrange(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
             std::int32_t sortMethod, std::int32_t arrangeMethod,
             const std::function<bool()>& isLocked,
             desktop_access::Trigger trigger = desktop_access::Trigger::other,
             std::int32_t monitors = organizers::MonitorsAll);

// What the plan of an arrangement is decided with besides the snapshot: what the session read.
organizers::placement::Memory memoryOf(const desktop_access::StoreSession& session,
                                       const desktop_access::DesktopProxy& snapshot);

// What a client is told when icons of an arrangement did not take their places: "1 icon did not
// take its place", "3 icons did not take their places".
std::string notTakenDescription(std::uint32_t count);

// Adds 1 to the usage count of the icon at a list-view index (nothing for an index outside the
// desktop, -1 included) and saves the store. StoreWriteError means the count was taken and is
// kept by the process, to be saved with the next write of the store that succeeds.
void countActivation(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                     std::int32_t index);

} // namespace component
