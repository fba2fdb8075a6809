#include "desktop_access/unsaved_usage.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "desktop_access/busy_file.h"
#include "desktop_access/kept_per_store.h"
#include "desktop_access/labels.h"
#include "desktop_access/text_lines.h"

namespace desktop_access {
namespace {

constexpr std::string_view header = "Kelvara usage 1";
constexpr std::string_view trailer = "end";

} // namespace

std::string encodeUsageJournal(const UsageByLabel& increments, std::uint64_t identity) {
    std::string bytes(header);
    bytes += "\nover " + std::to_string(identity) + "\n";
    // By label, so that equal increments are equal bytes.
    std::vector<const UsageByLabel::value_type*> sorted;
    for (const auto& entry : increments)
        sorted.push_back(&entry);
    std::sort(sorted.begin(), sorted.end(),
              [](const auto* a, const auto* b) { return a->first < b->first; });
    for (const auto* entry : sorted) {
        const auto& [label, count] = *entry;
        bytes += std::to_string(count);
        bytes += ' ';
        appendLayoutsLabel(bytes, label);
        bytes += '\n';
    }
    bytes += trailer;
    bytes += '\n';
    return bytes;
}

std::optional<UsageByLabel> decodeUsageJournal(std::string_view bytes, std::uint64_t identity) {
    LineReader reader(bytes);
    if (reader.line() != header)
        return std::nullopt;
    std::optional<std::string_view> line = reader.line();
    std::uint64_t over = 0;
    if (!line || field(*line) != "over" || !number(*line, over) || over != identity)
        return std::nullopt;
    UsageByLabel increments;
    while ((line = reader.line()) && *line != trailer) {
        std::uint32_t count = 0;
        std::optional<std::u16string> label;
        if (!number(field(*line), count) ||
            !(label = decodeLayoutsLabel(*line, maxFileLabelUnits)) ||
            !increments.emplace(std::move(*label), count).second)
            return std::nullopt;
    }
    if (!line || !reader.atEnd())
        return std::nullopt;
    return increments;
}

std::filesystem::path usageJournalPathFor(const std::filesystem::path& store) {
    std::filesystem::path journal = store;
    journal.replace_extension(".usage");
    return journal;
}

UsageByLabel unsavedUsage(const std::filesystem::path& store) {
    UsageByLabel increments =
        KeptPerStore<UsageByLabel>::instance().find(store).value_or(UsageByLabel{});
    if (store.empty())
        return increments;
    const std::optional<std::string> journal =
        readWholeFile(usageJournalPathFor(store), maxPlacesFileBytes);
    if (!journal)
        return increments;
    // A journal over other bytes than the store's was folded into it already (a store written
    // since whose journal could not be removed) or is damaged: it counts nothing.
    for (auto& [label, count] :
         decodeUsageJournal(*journal, fileIdentity(store)).value_or(UsageByLabel{}))
        increments[label] += count;
    return increments;
}

void keepUnsavedUsage(const std::filesystem::path& store, UsageByLabel increments) {
    KeptPerStore<UsageByLabel>& kept = KeptPerStore<UsageByLabel>::instance();
    const std::filesystem::path journal = usageJournalPathFor(store);
    if (increments.empty()) {
        kept.forget(store);
        std::error_code ignored;
        if (!store.empty())
            std::filesystem::remove(journal, ignored);
        return;
    }
    if (!store.empty()) {
        const std::string bytes = encodeUsageJournal(increments, fileIdentity(store));
        // Kept in the file, they outlive this process; only where it cannot be written are they
        // kept in this process's memory alone.
        if (!replaceWhenFree(journal, bytes, "Kelvara could not keep the usage counts")) {
            kept.forget(store);
            return;
        }
    }
    kept.keep(store, std::move(increments));
}

} // namespace desktop_access
