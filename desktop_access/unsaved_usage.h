// The usage counts that this process has taken but could not save yet, by store file and label.
//
// A snapshot whose store cannot be replaced (another program holds the file open, say) still
// counted what it counted, and the caller has been told the write failed. Writing the count
// again later is not the caller's business, and counting the opening again would count it twice
// once the earlier write is found to have been lost: so the process keeps the increments here,
// the next live snapshot of the same store adds them to the counts it reads, and a write that
// succeeds clears them. The record lives as long as the process (kept_per_store.h).
//
// The record holds increments over the stored counts, not counts: another process may save its
// own counts in between, and adding our increments to whatever the file then holds keeps both.
// Only a live snapshot reads or changes it, while holding the store lock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>

namespace desktop_access {

using UsageByLabel = std::unordered_map<std::u16string, std::uint32_t>;

// The increments kept for the store file (none when there are none).
UsageByLabel unsavedUsage(const std::filesystem::path& store);
// Replaces the increments kept for the store file with these (an empty set forgets them).
void keepUnsavedUsage(const std::filesystem::path& store, UsageByLabel increments);

} // namespace desktop_access
