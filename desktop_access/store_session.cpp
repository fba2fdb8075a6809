#include "desktop_access/store_session.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <unordered_set>

#include "desktop_access/busy_file.h"
#include "desktop_access/desktop_seam.h"
#include "desktop_access/errors.h"
#include "desktop_access/icon_store.h"
#include "desktop_access/kept_per_store.h"
#include "desktop_access/labels.h"
#include "desktop_access/renames.h"
#include "desktop_access/text_lines.h"
#include "winapi/error.h"

namespace desktop_access {
namespace {

std::u16string_view labelOf(const IconRecord& icon) {
    return icon.name;
}

// For each label, the count of its first record (the one the store's reader takes) above the
// count of the first stored record of that label.
UsageByLabel incrementsOver(const DesktopProxy& stored, const DesktopProxy& state) {
    std::unordered_map<std::u16string_view, std::uint32_t> before;
    for (const auto& [label, position] : firstOfEachLabel(stored.icons, labelOf))
        before.emplace(label, stored.icons[position].usage);
    UsageByLabel increments;
    for (const auto& [label, position] : firstOfEachLabel(state.icons, labelOf)) {
        const auto found = before.find(label);
        const std::uint32_t was = found == before.end() ? 0 : found->second;
        const std::uint32_t now = state.icons[position].usage;
        if (now > was)
            increments.emplace(std::u16string(label), now - was);
    }
    return increments;
}

// The layouts and the last display this process could not write, with what the two files held
// (fileIdentity) when the write failed: while they still hold that, the next session goes on from
// these, and its save writes them, so no display remembered meanwhile is lost. Files another
// process has written since win.
struct KeptPlaces {
    std::uint64_t layoutsFrom = 0;
    std::uint64_t lastDisplayFrom = 0;
    Layouts layouts;
    std::optional<LastDisplay> lastDisplay;
};
KeptPerStore<KeptPlaces>& keptPlaces() {
    return KeptPerStore<KeptPlaces>::instance();
}

} // namespace

StoreSession::StoreSession(std::filesystem::path storePath, Reads reads)
    : storePath_(std::move(storePath)),
      lock_(std::make_unique<winapi::NamedLock>(winapi::storeLockName)), reads_(reads) {
    if (reads_ == Reads::besideOnly) {
        stored_ = std::make_shared<DesktopProxy>();
        return;
    }
    // Icons an earlier arrangement still glides would be read halfway, and that glide's last
    // moves would land after this call's: it finishes first.
    awaitGlides();
    stored_ = std::make_shared<DesktopProxy>(readStore(storePath_));
    if (storePath_.empty())
        return;
    if (std::optional<Layouts> read = readLayouts(layoutsPathFor(storePath_)))
        layouts_ = std::move(*read);
    lastDisplay_ = readLastDisplay(lastDisplayPathFor(storePath_));
    if (const std::optional<KeptPlaces> kept = keptPlaces().find(storePath_)) {
        if (kept->layoutsFrom == fileIdentity(layoutsPathFor(storePath_)) &&
            kept->lastDisplayFrom == fileIdentity(lastDisplayPathFor(storePath_))) {
            layouts_ = kept->layouts;
            lastDisplay_ = kept->lastDisplay;
            placesUnsaved_ = true;
        } else {
            keptPlaces().forget(storePath_);
        }
    }
    unsaved_ = unsavedUsage(storePath_);
}

StoreSession::~StoreSession() = default;

bool StoreSession::displayChanged(const DesktopProxy& live) const {
    return desktop_access::displayChanged(layouts_, *stored_, live.grid(), live.configuration(),
                                          lastDisplay_ ? &lastDisplay_->configuration : nullptr);
}

void StoreSession::save(const DesktopProxy& state, bool remember) {
    if (reads_ == Reads::besideOnly)
        throw std::logic_error("a session that read only the files beside the store saved it");
    if (storePath_.empty())
        return;
    bool layoutsChanged = false;
    bool lastDisplayChanged = false;
    if (remember) {
        const std::optional<LastDisplay> before = lastDisplay_;
        layoutsChanged = rememberArranged(layouts_, lastDisplay_, state.configuration(),
                                          placesOf(state.icons), currentFileTime());
        lastDisplayChanged = lastDisplay_ != before;
    }
    const std::optional<LayoutsWriteError> layoutsFailed =
        writePlaces(layoutsChanged, lastDisplayChanged);
    // The counts of icons that have left stay kept, beside the store, until the next save: an
    // icon renamed meanwhile (its old label gone from the desktop before the rename reached the
    // store) takes its count along, and a file that comes back at once has its count again.
    UsageByLabel left;
    std::unordered_set<std::u16string_view> present;
    for (const IconRecord& icon : state.icons)
        present.insert(icon.name);
    for (const auto& [label, position] : firstOfEachLabel(stored_->icons, labelOf))
        if (!present.count(label) && stored_->icons[position].usage > 0)
            left.emplace(std::u16string(label), stored_->icons[position].usage);
    writeStoreKeepingCounts(state, {}, left, layoutsFailed);
}

std::optional<LayoutsWriteError> StoreSession::writePlaces(bool layoutsChanged,
                                                           bool lastDisplayChanged) {
    std::optional<LayoutsWriteError> failed;
    try {
        if (layoutsChanged || placesUnsaved_)
            writeLayouts(layoutsPathFor(storePath_), layouts_);
    } catch (const LayoutsWriteError& error) {
        failed = error;
    }
    try {
        if (lastDisplay_ && (lastDisplayChanged || placesUnsaved_))
            writeLastDisplay(lastDisplayPathFor(storePath_), *lastDisplay_);
    } catch (const LayoutsWriteError& error) {
        failed = failed.value_or(error);
    }
    if (failed) {
        // Neither file was changed by a write that failed: what they hold now is what a later
        // session must find to go on from these.
        keptPlaces().keep(storePath_,
                          {fileIdentity(layoutsPathFor(storePath_)),
                           fileIdentity(lastDisplayPathFor(storePath_)), layouts_, lastDisplay_});
        placesUnsaved_ = true;
    } else if (placesUnsaved_) {
        keptPlaces().forget(storePath_);
        placesUnsaved_ = false;
    }
    return failed;
}

void StoreSession::writeStoreKeepingCounts(const DesktopProxy& state, UsageByLabel stillKept,
                                           const UsageByLabel& keptIfWritten,
                                           const std::optional<LayoutsWriteError>& placesFailed) {
    try {
        writeStore(storePath_, state);
    } catch (const StoreWriteError& error) {
        for (auto& [label, increment] : incrementsOver(*stored_, state))
            stillKept[label] += std::min(increment, UINT32_MAX - stillKept[label]);
        keepUnsavedUsage(storePath_, std::move(stillKept));
        noteSaveOutcome(false, error.systemError());
        throw StoreWriteError(std::string(error.what()) +
                                  " The new usage counts are kept and saved with Kelvara's next "
                                  "change to the store.",
                              error.systemError());
    }
    for (const auto& [label, count] : keptIfWritten)
        stillKept[label] += std::min(count, UINT32_MAX - stillKept[label]);
    keepUnsavedUsage(storePath_, std::move(stillKept));
    noteSaveOutcome(!placesFailed, placesFailed ? placesFailed->systemError() : 0);
    if (placesFailed)
        throw LayoutsWriteError(std::string(placesFailed->what()) +
                                    " The arrangement is kept by this program and saved with "
                                    "its next change to the store.",
                                placesFailed->systemError());
}

void StoreSession::rename(const std::u16string& from, const std::u16string& to) {
    if (reads_ == Reads::besideOnly)
        throw std::logic_error("a session that read only the files beside the store renamed");
    if (storePath_.empty() || from == to)
        return;
    const bool layoutsChanged = layouts_.rename(from, to);
    const bool lastDisplayChanged = lastDisplay_ && renamePlaces(lastDisplay_->pending, from, to);
    const std::optional<LayoutsWriteError> layoutsFailed =
        writePlaces(layoutsChanged, lastDisplayChanged);
    std::optional<HistoryWriteError> historyFailed;
    try {
        if (renameInHistory(history(), from, to))
            saveHistory();
    } catch (const HistoryWriteError& error) {
        historyFailed = error;
    }
    // The store as a save writes it: the counts kept for its records taken in. Counts kept for a
    // label it has no record of (an icon renamed while its store was held) stay kept, under the
    // new label if it was that one.
    DesktopProxy state = *stored_;
    UsageByLabel stillKept;
    for (const auto& [label, increment] : unsaved_) {
        bool taken = false;
        for (IconRecord& record : state.icons)
            if (record.name == label) {
                record.usage += std::min(increment, UINT32_MAX - record.usage);
                taken = true;
            }
        if (!taken) {
            std::uint32_t& kept = stillKept[label == from ? to : label];
            kept += std::min(increment, UINT32_MAX - kept);
        }
    }
    if (renameRecords(state.icons, from, to)) {
        writeStoreKeepingCounts(state, std::move(stillKept), {}, layoutsFailed);
    } else {
        if (const auto kept = unsaved_.find(from); kept != unsaved_.end()) {
            UsageByLabel renamed = unsaved_; // the store unchanged: every kept count stays kept
            renamed.erase(from);
            std::uint32_t& moved = renamed[to];
            moved += std::min(kept->second, UINT32_MAX - moved);
            keepUnsavedUsage(storePath_, std::move(renamed));
        }
        if (layoutsFailed)
            throw *layoutsFailed;
    }
    if (historyFailed)
        throw *historyFailed;
}

namespace {

// A history this process could not write (another program held the file), with the bytes the
// file held when it was read: while the file still holds them, the next session goes on from
// the kept history instead, so no restore point is lost. A file another process has written
// since wins.
struct KeptHistory {
    std::optional<std::string> readFrom;
    History history;
};
KeptPerStore<KeptHistory>& keptHistories() {
    return KeptPerStore<KeptHistory>::instance();
}

} // namespace

History& StoreSession::history() {
    if (!history_) {
        std::optional<History> read;
        if (!storePath_.empty()) {
            FileBytes file = readWhenFree(historyPathFor(storePath_), maxPlacesFileBytes);
            historyUnreadable_ = file.state == FileBytes::State::unreadable;
            if (file.state == FileBytes::State::read)
                historyBytes_ = std::move(file.bytes);
            // An unreadable file gives nothing to go on from, and nothing is written over it.
            const std::optional<KeptHistory> kept = keptHistories().find(storePath_);
            if (!historyUnreadable_ && kept && kept->readFrom == historyBytes_)
                read = kept->history;
            else if (historyBytes_)
                read = decodeHistory(*historyBytes_);
        }
        history_ = read ? std::move(*read) : History{};
    }
    return *history_;
}

void StoreSession::saveHistory() {
    if (storePath_.empty())
        return;
    History& current = history();
    if (historyUnreadable_)
        throw HistoryWriteError(std::string(historyNotSaved) +
                                ": the file could not be read, as another program holds it; it "
                                "keeps what it held, and this arrangement has no restore point.");
    try {
        writeHistory(historyPathFor(storePath_), current);
    } catch (const HistoryWriteError& error) {
        keptHistories().keep(storePath_, {historyBytes_, current});
        throw HistoryWriteError(std::string(error.what()) +
                                " The restore point is kept by this program and saved with its "
                                "next arrangement.");
    }
    keptHistories().forget(storePath_);
}

NamedLayouts& StoreSession::namedLayouts() {
    if (!named_) {
        std::optional<NamedLayouts> read;
        if (!storePath_.empty()) {
            const FileBytes file =
                readWhenFree(namedLayoutsPathFor(storePath_), maxPlacesFileBytes);
            if (file.state == FileBytes::State::unreadable)
                throw FileReadError("Kelvara could not read the named layouts: the file is in use "
                                    "by another program.");
            if (file.state == FileBytes::State::read) {
                read = decodeNamedLayouts(file.bytes);
                namedDamaged_ = !read;
            }
        }
        named_ = read ? std::move(*read) : NamedLayouts{};
    }
    return *named_;
}

void StoreSession::saveNamedLayouts() {
    if (storePath_.empty())
        return;
    const std::filesystem::path file = namedLayoutsPathFor(storePath_);
    if (namedDamaged_) {
        // Layouts a user named are not written over: a damaged file is set aside first, for
        // whoever wants to mend it.
        std::filesystem::path aside = file;
        aside += ".damaged";
        std::error_code error;
        std::filesystem::rename(file, aside, error);
        if (error)
            throw HistoryWriteError(std::string(namedLayoutsNotSaved) +
                                    ": the damaged file could not be set aside (" +
                                    error.message() + ").");
        namedDamaged_ = false;
    }
    writeNamedLayouts(file, namedLayouts());
}

} // namespace desktop_access
