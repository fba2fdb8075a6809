// The usage counts taken but not saved yet, by store file and label.
//
// A snapshot whose store cannot be replaced (another program holds the file open, say) still
// counted what it counted, and the caller has been told the write failed. Writing the count
// again later is not the caller's business, and counting the opening again would count it twice
// once the earlier write is found to have been lost: so the increments are kept, the next live
// snapshot of the same store, in any process, adds them to the counts it reads, and a write that
// succeeds clears them.
//
// They are kept in a journal beside the store (Kelvara.usage), so that they outlive the process
// that counted them (a script, the command line). The journal names the store bytes it is over,
// and counts only while the store still holds them: a store written since has taken them in. Only
// where the journal cannot be written does the process keep them in its memory
// (kept_per_store.h), for as long as it lives.
//
// A save that works also keeps there, until the next save, the counts of the icons that have
// just left the desktop, as increments of labels the store no longer has: an icon renamed whose
// old label left before the rename reached the store takes its count along (renames.h), and a
// file that comes back at once has its count again.
//
// Format (UTF-8 lines ending in a line feed): "Kelvara usage 1", "over HASH" (FNV-1a of the
// store's bytes, in decimal), one "COUNT LABEL" line per label (the label as the layouts file
// writes it), "end".
//
// The record holds increments over the stored counts, not counts: another process may save its
// own counts in between, and adding the increments to whatever the file then holds keeps both.
// Only a live snapshot reads or changes it, while holding the store lock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace desktop_access {

using UsageByLabel = std::unordered_map<std::u16string, std::uint32_t>;

// The journal beside a store file: the same folder and name, ".usage" for ".store".
std::filesystem::path usageJournalPathFor(const std::filesystem::path& store);
// The journal's bytes for the increments over store bytes of the identity, and the increments
// read back: nothing when the bytes are damaged or over another identity.
std::string encodeUsageJournal(const UsageByLabel& increments, std::uint64_t identity);
std::optional<UsageByLabel> decodeUsageJournal(std::string_view bytes, std::uint64_t identity);
// The increments kept for the store file (none when there are none).
UsageByLabel unsavedUsage(const std::filesystem::path& store);
// Replaces the increments kept for the store file with these, over the store as it now stands (an
// empty set forgets them).
void keepUnsavedUsage(const std::filesystem::path& store, UsageByLabel increments);

} // namespace desktop_access
