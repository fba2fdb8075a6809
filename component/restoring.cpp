#include "component/restoring.h"

#include <optional>
#include <utility>

#include "desktop_access/busy_file.h"
#include "desktop_access/icon_moving.h"
#include "desktop_access/snapshot.h"
#include "desktop_access/store_session.h"
#include "desktop_access/text_lines.h"
#include "organizers/restore.h"

namespace component {
namespace {

using desktop_access::DesktopProxy;
using desktop_access::RestorePoint;
using desktop_access::StoreSession;
using desktop_access::Trigger;

constexpr std::uintmax_t maxImportBytes = std::uintmax_t{64} << 20;
constexpr char badName[] = "A layout's name is 1 to 64 characters, without line breaks or other "
                           "control characters.";

void requireShown(desktop_access::Desktop& desktop) {
    if (!desktop_access::iconsShown(desktop))
        throw RestoreError("The desktop icons are hidden: show them first.");
}

// The desktop as it stands, as a restore point of an arrangement started by trigger.
RestorePoint pointOf(const DesktopProxy& snapshot, Trigger trigger) {
    RestorePoint point;
    point.time = desktop_access::currentFileTime();
    point.trigger = trigger;
    point.display = snapshot.configuration();
    point.places = desktop_access::placesOf(snapshot.icons);
    return point;
}

// Moves the icons to the places restoring the saved desktop gives them and saves: the history
// (kept when it cannot be written, and told after the rest is saved), then the store and layouts.
void restoreTo(StoreSession& session, const DesktopProxy& snapshot,
               const organizers::SavedDesktop& saved) {
    DesktopProxy restored;
    static_cast<desktop_access::Grid&>(restored) = snapshot.grid();
    restored.workAreas = snapshot.workAreas;
    restored.icons = organizers::restorePlaces(snapshot, saved);
    desktop_access::applyPlaces(snapshot.icons, restored.icons);
    std::optional<desktop_access::HistoryWriteError> historyFailed;
    try {
        session.saveHistory();
    } catch (const desktop_access::HistoryWriteError& error) {
        historyFailed = error;
    }
    session.save(restored, true);
    if (historyFailed)
        throw *historyFailed;
}

// A new arrangement that restores: recorded before it, like any other that moves an icon.
void restoreAsNew(StoreSession& session, const DesktopProxy& snapshot,
                  const organizers::SavedDesktop& saved, Trigger trigger) {
    const std::vector<desktop_access::IconRecord> places =
        organizers::restorePlaces(snapshot, saved);
    if (!organizers::placesDiffer(desktop_access::placesOf(snapshot.icons),
                                  desktop_access::placesOf(places)))
        return; // already so: nothing to record, nothing to move
    RestorePoint point = pointOf(snapshot, trigger);
    point.arrangeMethod = desktop_access::restoreMethod;
    session.history().record(std::move(point));
    restoreTo(session, snapshot, saved);
}

std::u16string exportName(const std::filesystem::path& file) {
    std::u16string name = file.stem().u16string();
    if (name.size() > desktop_access::maxLayoutNameLength)
        name.resize(desktop_access::maxLayoutNameLength);
    return desktop_access::validLayoutName(name) ? name : u"Exported layout";
}

} // namespace

void stepHistory(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                 Step step) {
    requireShown(desktop);
    desktop_access::resetIconsNotTaken();
    StoreSession session(storePath);
    const DesktopProxy snapshot = desktop_access::readDesktop(desktop, session);
    desktop_access::History& history = session.history();
    RestorePoint current = pointOf(snapshot, Trigger::other);
    const std::optional<RestorePoint> target = step == Step::undo
                                                   ? history.stepBack(std::move(current))
                                                   : history.stepForward(std::move(current));
    if (!target)
        throw RestoreError(step == Step::undo ? "There is nothing to undo."
                                              : "There is nothing to redo.");
    restoreTo(session, snapshot, {target->display, target->places});
}

std::vector<RestorePoint> restorePoints(const std::filesystem::path& storePath) {
    StoreSession session(storePath, StoreSession::Reads::besideOnly);
    std::vector<RestorePoint> points = session.history().undo;
    std::reverse(points.begin(), points.end());
    return points;
}

std::optional<RestorePoint> nextRedo(const std::filesystem::path& storePath) {
    StoreSession session(storePath, StoreSession::Reads::besideOnly);
    const std::vector<RestorePoint>& redo = session.history().redo;
    return redo.empty() ? std::nullopt : std::optional<RestorePoint>(redo.back());
}

void restorePoint(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                  std::size_t number, Trigger trigger) {
    requireShown(desktop);
    desktop_access::resetIconsNotTaken();
    StoreSession session(storePath);
    const std::vector<RestorePoint>& undo = session.history().undo;
    if (number == 0 || number > undo.size())
        throw RestoreError(undo.empty() ? "There is no restore point yet."
                                        : "There is no restore point of that number: they go "
                                          "from 1 to " +
                                              std::to_string(undo.size()) + ".");
    const RestorePoint target = undo[undo.size() - number];
    const DesktopProxy snapshot = desktop_access::readDesktop(desktop, session);
    restoreAsNew(session, snapshot, {target.display, target.places}, trigger);
}

void restoreLayout(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                   std::u16string_view name, Trigger trigger) {
    requireShown(desktop);
    desktop_access::resetIconsNotTaken();
    StoreSession session(storePath);
    const desktop_access::NamedLayout* layout = session.namedLayouts().find(name);
    if (layout == nullptr)
        throw RestoreError("There is no layout of that name.");
    const organizers::SavedDesktop saved{layout->display, layout->places};
    const DesktopProxy snapshot = desktop_access::readDesktop(desktop, session);
    restoreAsNew(session, snapshot, saved, trigger);
}

void saveLayout(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                std::u16string_view name) {
    if (!desktop_access::validLayoutName(name))
        throw RestoreError(badName);
    StoreSession session(storePath);
    const DesktopProxy snapshot = desktop_access::readDesktop(desktop, session);
    desktop_access::NamedLayout layout{std::u16string(name), snapshot.configuration(),
                                       desktop_access::placesOf(snapshot.icons)};
    if (!session.namedLayouts().save(std::move(layout)))
        throw RestoreError("Kelvara keeps at most 64 layouts: forget one first.");
    session.saveNamedLayouts();
}

void forgetLayout(const std::filesystem::path& storePath, std::u16string_view name) {
    StoreSession session(storePath, StoreSession::Reads::besideOnly);
    if (!session.namedLayouts().forget(name))
        throw RestoreError("There is no layout of that name.");
    session.saveNamedLayouts();
}

std::vector<std::u16string> layoutNames(const std::filesystem::path& storePath) {
    StoreSession session(storePath, StoreSession::Reads::besideOnly);
    std::vector<std::u16string> names;
    for (const desktop_access::NamedLayout& layout : session.namedLayouts().layouts)
        names.push_back(layout.name);
    return names;
}

void exportLayout(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                  const std::filesystem::path& file, std::u16string_view name) {
    StoreSession session(storePath);
    desktop_access::NamedLayout layout;
    if (name.empty()) {
        const DesktopProxy snapshot = desktop_access::readDesktop(desktop, session);
        layout = {exportName(file), snapshot.configuration(),
                  desktop_access::placesOf(snapshot.icons)};
    } else if (const desktop_access::NamedLayout* found = session.namedLayouts().find(name)) {
        layout = *found;
    } else {
        throw RestoreError("There is no layout of that name.");
    }
    if (const std::optional<desktop_access::NotWritten> failed =
            desktop_access::replaceWhenFree(file, desktop_access::encodeExportedLayout(layout),
                                            "Kelvara could not export the layout"))
        throw RestoreError(failed->reason);
}

std::u16string importLayout(const std::filesystem::path& storePath,
                            const std::filesystem::path& file, std::u16string_view name) {
    if (!name.empty() && !desktop_access::validLayoutName(name))
        throw RestoreError(badName);
    const std::optional<std::string> bytes = desktop_access::readWholeFile(file, maxImportBytes);
    if (!bytes)
        throw RestoreError("The file cannot be read as a layout: it is missing, unreadable or "
                           "larger than 64 MiB.");
    std::variant<desktop_access::NamedLayout, std::string> read =
        desktop_access::decodeExportedLayout(*bytes);
    if (const std::string* why = std::get_if<std::string>(&read))
        throw RestoreError("The file is not a Kelvara layout: " + *why + ".");
    desktop_access::NamedLayout layout = std::get<desktop_access::NamedLayout>(std::move(read));
    if (!name.empty())
        layout.name = std::u16string(name);
    const std::u16string savedAs = layout.name;
    StoreSession session(storePath);
    if (!session.namedLayouts().save(std::move(layout)))
        throw RestoreError("Kelvara keeps at most 64 layouts: forget one first.");
    session.saveNamedLayouts();
    return savedAs;
}

} // namespace component
