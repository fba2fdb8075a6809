#include "component/arrangement.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "desktop_access/icon_moving.h"
#include "desktop_access/snapshot.h"
#include "desktop_access/store_session.h"
#include "organizers/restore.h"
#include "winapi/error.h"

namespace component {
namespace {

// An error after the desktop was read still leaves the counts it carried over saved, with the
// icons where they stand.
void saveAsRead(desktop_access::StoreSession& session,
                const desktop_access::DesktopProxy& snapshot) noexcept {
    try {
        session.save(snapshot, false);
    } catch (...) {
        // The counts are kept by the process; the error that brought us here is the one to tell.
    }
}

} // namespace

bool arrange(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
             std::int32_t sortMethod, std::int32_t arrangeMethod,
             const std::function<bool()>& isLocked, desktop_access::Trigger trigger,
             std::int32_t monitors) {
    desktop_access::resetIconsNotTaken();
    if (!desktop_access::iconsShown(desktop))
        return true;
    desktop_access::StoreSession session(storePath);
    const desktop_access::DesktopProxy snapshot =
        desktop_access::readDesktop(desktop, session, organizers::shellNeedsOf(sortMethod));
    if (!organizers::knowsMethods(sortMethod, arrangeMethod) ||
        !organizers::knowsMonitors(monitors)) {
        session.save(snapshot, false);
        return false;
    }
    desktop_access::DesktopProxy arranged;
    bool recorded = false;
    try {
        const organizers::Settings settings{sortMethod, arrangeMethod, isLocked(), monitors};
        const organizers::placement::Memory memory = memoryOf(session, snapshot);
        static_cast<desktop_access::Grid&>(arranged) = snapshot.grid();
        arranged.workAreas = snapshot.workAreas;
        arranged.icons = std::move(*organizers::plan(snapshot, memory, settings));
        std::vector<desktop_access::Place> before = desktop_access::placesOf(snapshot.icons);
        if (organizers::placesDiffer(before, desktop_access::placesOf(arranged.icons))) {
            session.history().record({desktop_access::currentFileTime(), trigger, sortMethod,
                                      arrangeMethod, snapshot.configuration(), std::move(before)});
            recorded = true;
        }
        desktop_access::applyPlaces(snapshot.icons, arranged.icons);
    } catch (...) {
        saveAsRead(session, snapshot);
        throw;
    }
    // The history is written first; one that cannot be written is told once the store and the
    // layouts are saved, as the arrangement itself was made.
    std::optional<desktop_access::HistoryWriteError> historyFailed;
    if (recorded) {
        try {
            session.saveHistory();
        } catch (const desktop_access::HistoryWriteError& error) {
            historyFailed = error;
        }
    }
    session.save(arranged, true);
    if (historyFailed)
        throw *historyFailed;
    return true;
}

organizers::placement::Memory memoryOf(const desktop_access::StoreSession& session,
                                       const desktop_access::DesktopProxy& snapshot) {
    const desktop_access::LastDisplay* last = session.lastDisplay();
    return {&session.layouts(), session.displayChanged(snapshot),
            last ? &last->configuration : nullptr,
            last && !last->remembered ? &last->pending : nullptr};
}

std::string notTakenDescription(std::uint32_t count) {
    return count == 1 ? "1 icon did not take its place"
                      : std::to_string(count) + " icons did not take their places";
}

void countActivation(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                     std::int32_t index) {
    desktop_access::StoreSession session(storePath);
    desktop_access::DesktopProxy snapshot = desktop_access::readDesktop(desktop, session);
    // The records are in list-view index order as read.
    if (static_cast<std::uint32_t>(index) < snapshot.icons.size()) {
        std::uint32_t& usage = snapshot.icons[static_cast<std::size_t>(index)].usage;
        if (usage != UINT32_MAX) // at the top a count stays there rather than falling back to 0
            ++usage;
    }
    session.save(snapshot, false);
}

} // namespace component
