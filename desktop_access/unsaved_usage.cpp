#include "desktop_access/unsaved_usage.h"

#include <map>
#include <mutex>

namespace desktop_access {
namespace {

struct UnsavedRecord {
    std::mutex mutex;
    std::map<std::filesystem::path, UsageByLabel> byStore;
};

UnsavedRecord& record() {
    static UnsavedRecord* const unsaved = new UnsavedRecord; // outlives every snapshot
    return *unsaved;
}

} // namespace

UsageByLabel unsavedUsage(const std::filesystem::path& store) {
    UnsavedRecord& unsaved = record();
    const std::lock_guard lock(unsaved.mutex);
    const auto found = unsaved.byStore.find(store);
    return found == unsaved.byStore.end() ? UsageByLabel{} : found->second;
}

void keepUnsavedUsage(const std::filesystem::path& store, UsageByLabel increments) {
    UnsavedRecord& unsaved = record();
    const std::lock_guard lock(unsaved.mutex);
    if (increments.empty())
        unsaved.byStore.erase(store);
    else
        unsaved.byStore[store] = std::move(increments);
}

} // namespace desktop_access
