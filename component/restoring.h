// Undo and redo, restoring an earlier arrangement, and the named layouts, apart from COM. Each
// call that moves icons is one arrangement: a store session (the lock, and what Kelvara
// remembers, read once), one reading of the desktop, the decision (organizers/restore.h), the
// glide and one save, the restored desktop becoming the last arrangement (store and layouts) so
// that the automatic arrangement keeps it, locked or not.
//
// Undo and redo move between the history's two lists (desktop_access/history.h) and record
// nothing new; restoring a point or a named layout is a new arrangement, recorded before it
// like any other (and so it clears what could be redone).
#pragma once

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_access/desktop_seam.h"
#include "desktop_access/history.h"
#include "desktop_access/named_layouts.h"

namespace component {

// What the user asked cannot be done as things are, in plain words (nothing to undo, no layout
// of that name, the icons hidden, an import not of the form): nothing was changed.
class RestoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Step { undo, redo };

// Undo: the desktop as it was before the last arrangement; redo: as the last undo found it.
// RestoreError "There is nothing to undo." / "There is nothing to redo.", or while the icons are
// hidden. A history that cannot be saved is desktop_access::HistoryWriteError once the desktop
// has been restored.
void stepHistory(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                 Step step);

// The restore points that can be undone, newest first (restore point 1 is the desktop before
// the last arrangement), and the next to redo (nothing when there is none).
std::vector<desktop_access::RestorePoint> restorePoints(const std::filesystem::path& storePath);
std::optional<desktop_access::RestorePoint> nextRedo(const std::filesystem::path& storePath);

// Restores restore point `number` (1 the newest) or the named layout, asked by trigger (the
// restore point before it tells "restore" and who asked). RestoreError when there is no such
// point or layout, or while the icons are hidden.
void restorePoint(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                  std::size_t number, desktop_access::Trigger trigger);
void restoreLayout(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                   std::u16string_view name, desktop_access::Trigger trigger);

// Saves the desktop as it stands under the name, replacing a layout of that name. RestoreError
// when the name is not 1 to 64 characters, or 64 other layouts are kept.
void saveLayout(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                std::u16string_view name);
// RestoreError when no layout has that name.
void forgetLayout(const std::filesystem::path& storePath, std::u16string_view name);
// The names, in the order they were first saved.
std::vector<std::u16string> layoutNames(const std::filesystem::path& storePath);

// Writes the named layout, or the desktop as it stands when the name is empty (named after the
// file), to a file (named_layouts.h's export form), replacing it whole. RestoreError when there
// is no such layout or the file cannot be written.
void exportLayout(const std::filesystem::path& storePath, desktop_access::Desktop& desktop,
                  const std::filesystem::path& file, std::u16string_view name);
// Reads an exported layout and keeps it under the name (the file's own when empty), replacing
// a layout of that name; returns the name. RestoreError, changing nothing, when the file cannot
// be read or is not exactly of the form (saying where and why).
std::u16string importLayout(const std::filesystem::path& storePath,
                            const std::filesystem::path& file, std::u16string_view name);

} // namespace component
