#include "desktop_access/unsaved_usage.h"

#include "desktop_access/kept_per_store.h"

namespace desktop_access {

UsageByLabel unsavedUsage(const std::filesystem::path& store) {
    return KeptPerStore<UsageByLabel>::instance().find(store).value_or(UsageByLabel{});
}

void keepUnsavedUsage(const std::filesystem::path& store, UsageByLabel increments) {
    if (increments.empty())
        KeptPerStore<UsageByLabel>::instance().forget(store);
    else
        KeptPerStore<UsageByLabel>::instance().keep(store, std::move(increments));
}

} // namespace desktop_access
