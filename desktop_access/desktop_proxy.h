// The organizers' snapshot of the desktop: every icon's label, box, position and usage count,
// the grid the work area offers, and the state stored by the previous run. A live snapshot holds
// the store lock from construction to destruction and writes itself to the store, with save or,
// when save has not run (an error left the call), when it is destroyed. Usage counts that a live
// snapshot could not save are kept by the process (desktop_access/unsaved_usage.h) and carried
// into the next live snapshot of the same store.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "desktop_access/desktop_seam.h"
#include "desktop_access/grid.h"
#include "desktop_access/icon_record.h"
#include "desktop_access/layouts.h"
#include "winapi/named_lock.h"

namespace organizers {

class DesktopProxy {
  public:
    // An empty snapshot: no icons, no previous state, a grid of zeros, nothing written.
    DesktopProxy();
    // The state held by a store file; a file that cannot be opened gives an empty snapshot.
    explicit DesktopProxy(const std::filesystem::path& storeFile);
    // A live snapshot of the desktop: takes the store lock, waits for any glide still running
    // (desktop_access::awaitGlides), reads the stored state, every icon
    // and the work areas, computes the grid and carries the stored usage counts over by label,
    // with the increments this process kept unsaved added. An empty storePath reads and writes
    // no store.
    DesktopProxy(std::filesystem::path storePath, desktop_access::Desktop& desktop);
    // Writes the store when storePath is set (desktop_access::writeStore). For a live snapshot a
    // write that succeeds forgets the process's unsaved increments of this store; one that fails
    // keeps every count this snapshot holds above the stored one as the new unsaved increments,
    // and throws StoreWriteError. Either way the destructor writes no more.
    void save();
    // Saves as save does, when save has not run, without throwing; then releases the store lock.
    ~DesktopProxy();

    DesktopProxy(const DesktopProxy&) = delete;
    DesktopProxy& operator=(const DesktopProxy&) = delete;

    // Starts moving every real icon to (left + offsetX, top + offsetY) of its record on a thread
    // of its own; returns without waiting.
    void apply();

    // The grid of the members below, as one value.
    Grid grid() const;

    // The display this snapshot was taken on: its work areas, sorted, and its cell size.
    desktop_access::DisplayConfiguration configuration() const;
    // The arrangements remembered per display (the layouts file beside the store), read when
    // first asked for, under the store lock; empty without a store.
    const desktop_access::Layouts& rememberedLayouts();
    // Remembers every icon's place for this snapshot's display, as an arrangement left it; the
    // layouts file is written with the store, when this changed it.
    void rememberLayout();

    std::shared_ptr<DesktopProxy> previous;
    std::filesystem::path storePath;
    std::vector<IconRecord> icons;
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::int32_t areaWidth = 0;
    std::int32_t areaHeight = 0;
    std::int32_t cellWidth = 0;
    std::int32_t cellHeight = 0;
    std::int32_t originX = 0;
    std::int32_t originY = 0;
    std::unique_ptr<winapi::NamedLock> storeLock;
    // The list view's work areas as a live snapshot read them; none in a snapshot read from the
    // store, which does not keep them.
    std::vector<desktop_access::Rect> workAreas;

  private:
    std::optional<desktop_access::Layouts> layouts_;
    bool layoutsChanged_ = false;

    void writeLayouts() const noexcept;
    void readIcons(desktop_access::Desktop& desktop);
    void setGrid(const Grid& grid);
    void mergeStoredUsage();
    void keepUnsavedCounts() const;

    bool saved_ = false;
    // A live snapshot's stored count by label (the first record of a label counts).
    std::unordered_map<std::u16string, std::uint32_t> storedUsage_;
};

} // namespace organizers
