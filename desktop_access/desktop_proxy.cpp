#include "desktop_access/desktop_proxy.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "desktop_access/icon_moving.h"
#include "desktop_access/icon_store.h"
#include "desktop_access/unsaved_usage.h"
#include "winapi/error.h"

namespace organizers {

using desktop_access::Rect;

namespace {

// How often an icon is read at most while it keeps moving: about a second of gliding.
constexpr int maxReadings = 25;

} // namespace

DesktopProxy::DesktopProxy() = default;

DesktopProxy::DesktopProxy(const std::filesystem::path& storeFile) {
    desktop_access::readStore(*this, storeFile);
}

DesktopProxy::DesktopProxy(std::filesystem::path path, desktop_access::Desktop& desktop) {
    // The lock comes first, so the stored state is never read while another process writes it.
    storeLock = std::make_unique<winapi::NamedLock>(winapi::storeLockName);
    // Icons an earlier arrangement still glides would be read halfway, and that glide's last
    // moves would land after this arrangement's: it finishes first.
    desktop_access::awaitGlides();
    previous = std::make_shared<DesktopProxy>(path);
    storePath = std::move(path);
    readIcons(desktop);
    workAreas = desktop_access::workAreas(desktop);
    // The largest box decides the cell size (an absurd list view may report negative sizes).
    std::int32_t widest = icons.empty() ? 0 : icons.front().width;
    std::int32_t tallest = icons.empty() ? 0 : icons.front().height;
    for (const IconRecord& icon : icons) {
        widest = std::max(widest, icon.width);
        tallest = std::max(tallest, icon.height);
    }
    setGrid(Grid::measure(workAreas, widest, tallest));
    mergeStoredUsage();
}

DesktopProxy::~DesktopProxy() {
    if (!saved_) {
        try {
            save();
        } catch (...) {
            // Counts that could not be saved are kept by the process; nothing else can be done.
        }
    }
    storeLock.reset();
}

void DesktopProxy::save() {
    saved_ = true;
    if (storePath.empty())
        return;
    // The remembered arrangements first: a store that cannot be written keeps its counts in the
    // process, but the arrangement just made is remembered all the same.
    writeLayouts();
    try {
        desktop_access::writeStore(*this);
    } catch (const desktop_access::StoreWriteError& error) {
        if (!previous)
            throw;
        keepUnsavedCounts();
        throw desktop_access::StoreWriteError(std::string(error.what()) +
                                              " The new usage counts are kept and saved with "
                                              "Kelvara's next change to the store.");
    }
    if (previous)
        desktop_access::keepUnsavedUsage(storePath, {});
}

void DesktopProxy::readIcons(desktop_access::Desktop& desktop) {
    const std::int32_t count = desktop_access::iconCount(desktop);
    icons.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t index = 0; index < count; ++index) {
        const desktop_access::Icon icon{&desktop, index};
        // An icon that another arrangement's animation still moves would pair a box of one
        // moment with a position of the next, and every later move would carry that error: its
        // position is read before and after its box, until the two agree (or the glide outlasts
        // the patience, and the last reading stands).
        desktop_access::Point position = desktop_access::iconPosition(icon);
        Rect box = desktop_access::iconBoundingBox(icon);
        for (int reading = 1;; ++reading) {
            const desktop_access::Point after = desktop_access::iconPosition(icon);
            if (after == position || reading == maxReadings)
                break;
            desktop_access::sleepMilliseconds(desktop_access::animationPauseMs);
            position = desktop_access::iconPosition(icon);
            box = desktop_access::iconBoundingBox(icon);
        }
        IconRecord record;
        record.left = box.left;
        record.top = box.top;
        record.offsetX = desktop_access::sub32(position.x, box.left);
        record.offsetY = desktop_access::sub32(position.y, box.top);
        record.width = desktop_access::sub32(box.right, box.left);
        record.height = desktop_access::sub32(box.bottom, box.top);
        record.name = desktop_access::iconText(icon);
        record.icon = icon;
        icons.push_back(std::move(record));
    }
}

void DesktopProxy::setGrid(const Grid& grid) {
    columns = grid.columns;
    rows = grid.rows;
    areaWidth = grid.areaWidth;
    areaHeight = grid.areaHeight;
    cellWidth = grid.cellWidth;
    cellHeight = grid.cellHeight;
    originX = grid.originX;
    originY = grid.originY;
}

Grid DesktopProxy::grid() const {
    return {columns, rows, areaWidth, areaHeight, cellWidth, cellHeight, originX, originY};
}

desktop_access::DisplayConfiguration DesktopProxy::configuration() const {
    return desktop_access::configurationOf(workAreas, cellWidth, cellHeight);
}

const desktop_access::Layouts& DesktopProxy::rememberedLayouts() {
    if (!layouts_) {
        layouts_.emplace();
        if (!storePath.empty())
            if (auto read = desktop_access::readLayouts(desktop_access::layoutsPathFor(storePath)))
                layouts_ = std::move(*read);
    }
    return *layouts_;
}

void DesktopProxy::rememberLayout() {
    rememberedLayouts();
    std::vector<desktop_access::Place> places;
    places.reserve(icons.size());
    for (const IconRecord& icon : icons)
        places.push_back({icon.name, icon.left, icon.top});
    if (layouts_->remember(configuration(), places))
        layoutsChanged_ = true;
}

void DesktopProxy::writeLayouts() const noexcept {
    if (layoutsChanged_ && layouts_)
        desktop_access::writeLayouts(desktop_access::layoutsPathFor(storePath), *layouts_);
}

void DesktopProxy::mergeStoredUsage() {
    std::unordered_map<std::u16string, const IconRecord*> live;
    for (const IconRecord& record : icons)
        live.emplace(record.name, &record);
    std::erase_if(previous->icons,
                  [&](const IconRecord& stored) { return !live.contains(stored.name); });

    for (const IconRecord& stored : previous->icons)
        storedUsage_.emplace(stored.name, stored.usage); // the first of two equal names counts
    const desktop_access::UsageByLabel unsaved = desktop_access::unsavedUsage(storePath);
    for (IconRecord& record : icons) {
        if (auto found = storedUsage_.find(record.name); found != storedUsage_.end())
            record.usage = found->second;
        if (auto found = unsaved.find(record.name); found != unsaved.end())
            record.usage += std::min(found->second, UINT32_MAX - record.usage);
    }
}

// What the store will not hold: for each label, the count of its first record (the one the
// store's reader takes) above the count stored for it.
void DesktopProxy::keepUnsavedCounts() const {
    desktop_access::UsageByLabel increments;
    std::unordered_set<std::u16string> seen;
    for (const IconRecord& record : icons) {
        if (!seen.insert(record.name).second)
            continue;
        const auto stored = storedUsage_.find(record.name);
        const std::uint32_t before = stored == storedUsage_.end() ? 0 : stored->second;
        if (record.usage > before)
            increments.emplace(record.name, record.usage - before);
    }
    desktop_access::keepUnsavedUsage(storePath, std::move(increments));
}

void DesktopProxy::apply() {
    std::vector<desktop_access::IconMove> moves;
    moves.reserve(icons.size());
    for (const IconRecord& record : icons) {
        const desktop_access::Point current = desktop_access::iconPosition(record.icon);
        moves.push_back({record.icon, current.x, current.y,
                         desktop_access::add32(record.left, record.offsetX),
                         desktop_access::add32(record.top, record.offsetY)});
    }
    desktop_access::startAnimation(std::move(moves));
}

} // namespace organizers
