// One call's hold on what Kelvara remembers. A session takes the store lock for its whole life,
// waits for any glide still running (desktop_seam.h), and reads up front, once, everything an
// arrangement needs that is not on the desktop: the icon store (usage counts, the last
// arrangement's grid and places), the arrangements remembered per display (the layouts file
// beside the store) and the usage counts this process took but could not save yet
// (unsaved_usage.h). It writes them back once, at the end, each file through the same wait for a
// program that holds it (busy_file.h).
//
// The history of arrangements (history.h) and the named layouts (named_layouts.h) beside the
// store are read only when first asked for, under the same lock, and written only when asked to.
//
// The last display file (last_display.h) decides which display the last arrangement was made on;
// without it the layouts' most recent display, and only without both the store's grid (a change
// of the area's size). All three are written by save, the layouts first, then the last display,
// and either failing fails the save as a store that cannot be written does, so they never
// disagree unnoticed. A display is remembered in the layouts only once it has held (settleTime).
// What a save could not write of the two is kept by the process, as the counts are: the next
// session in it goes on from what was kept while the files still hold what they held, and its save
// writes them. Every save tells its outcome (noteSaveOutcome, desktop_seam.h).
#pragma once

#include <filesystem>
#include <memory>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/errors.h"
#include "desktop_access/history.h"
#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"
#include "desktop_access/named_layouts.h"
#include "desktop_access/unsaved_usage.h"
#include "winapi/named_lock.h"

namespace desktop_access {

class StoreSession {
  public:
    // What a session reads when it starts: everything an arrangement needs, or, for a call that
    // only lists or changes the history or the named layouts, nothing (it neither waits for
    // glides nor reads the store, the layouts and the unsaved counts: stored() is then an empty
    // desktop, layouts() holds none, and save must not be called).
    enum class Reads { everything, besideOnly };

    // Takes the lock (throws winapi::Error "Failed to create lock" or "Failed to lock"), waits
    // for glides (throws DesktopAccessError), then reads. An empty store path reads and writes
    // no file, and there are no unsaved counts for it.
    explicit StoreSession(std::filesystem::path storePath, Reads reads = Reads::everything);
    // Releases the lock. Writes nothing: what is to be saved is saved by save.
    ~StoreSession();

    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    const std::filesystem::path& storePath() const { return storePath_; }
    // What the store held: its grid and every record, in file order.
    const DesktopProxy& stored() const { return *stored_; }
    // The arrangements remembered per display (none when the file is missing or damaged).
    const Layouts& layouts() const { return layouts_; }
    // The display the last arrangement was made on; null when not known.
    const LastDisplay* lastDisplay() const { return lastDisplay_ ? &*lastDisplay_ : nullptr; }
    // The increments this process keeps for the store's counts.
    const UsageByLabel& unsaved() const { return unsaved_; }

    // Whether the live snapshot's display differs from the one the last arrangement was made on
    // (displayChanged of layouts.h).
    bool displayChanged(const DesktopProxy& live) const;

    // Saves the snapshot: its grid and icons (counts and places, in their order) to the store,
    // and, when `remember` (an arrangement was made), first its display and places to the
    // layouts and the last display (rememberArranged; each file written only when that changes
    // it). The store is written even when the
    // layouts could not be. A store written forgets this process's unsaved increments of it and
    // keeps, until the next save, the counts of icons that have left the desktop (a rename that
    // reaches the store after them finds its count there); one that could not be written keeps
    // every count above the stored one as the new increments. Throws
    // StoreWriteError (the counts kept) or LayoutsWriteError after writing what it could.
    void save(const DesktopProxy& state, bool remember);
    // An icon renamed (renames.h): its count in the store, its places in the layouts, the last
    // display and the history follow the new label, and each file that changes is written (the
    // store as save writes it, the counts kept when it cannot be). Throws StoreWriteError,
    // LayoutsWriteError or HistoryWriteError after writing what it could.
    void rename(const std::u16string& from, const std::u16string& to);

    // The history of arrangements, read when first asked for (empty when the file is missing or
    // damaged), and its writing (HistoryWriteError; the file then holds what it held, and this
    // process keeps the history to go on from while the file stays so). A file another program
    // keeps from being read past the wait is never written over: its saving then fails.
    History& history();
    void saveHistory();
    // The named layouts, read when first asked for (none when the file is missing; FileReadError
    // when another program keeps it from being read past the wait), and their writing. A damaged
    // file reads as none and is set aside as Kelvara.named.damaged before the next write.
    NamedLayouts& namedLayouts();
    void saveNamedLayouts();

  private:
    // Writes the layouts when changed and the last display when changed, both when they are
    // kept from a save that failed; what failed is kept for the next session (and returned).
    std::optional<LayoutsWriteError> writePlaces(bool layoutsChanged, bool lastDisplayChanged);
    // Writes the store; on success the counts kept for it are stillKept and keptIfWritten, else
    // stillKept and the state's counts above the stored ones. Tells the save's outcome
    // (noteSaveOutcome: not saved when placesFailed, the layouts' failure, which it then throws).
    void writeStoreKeepingCounts(const DesktopProxy& state, UsageByLabel stillKept,
                                 const UsageByLabel& keptIfWritten = {},
                                 const std::optional<LayoutsWriteError>& placesFailed = {});

    std::filesystem::path storePath_;
    std::unique_ptr<winapi::NamedLock> lock_;
    Reads reads_;
    std::shared_ptr<const DesktopProxy> stored_;
    Layouts layouts_;
    std::optional<LastDisplay> lastDisplay_;
    UsageByLabel unsaved_;
    std::optional<History> history_;
    std::optional<std::string> historyBytes_; // the history file's bytes as read
    bool historyUnreadable_ = false;
    std::optional<NamedLayouts> named_;
    bool namedDamaged_ = false;
    bool placesUnsaved_ = false; // layouts_ and lastDisplay_ hold what a failed save kept
};

} // namespace desktop_access
