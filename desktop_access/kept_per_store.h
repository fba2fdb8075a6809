// What this process keeps for a store file from one call to the next: for each kind of value,
// one record in the process, by store file, that lives as long as the process (the component's
// library is never unloaded) and is never destroyed, so it outlives every caller. Callers read
// and change it while holding the store lock; the mutex inside only keeps the memory sound for
// callers on different threads.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace desktop_access {

template <typename Value> class KeptPerStore {
  public:
    static KeptPerStore& instance() {
        static KeptPerStore* const kept = new KeptPerStore;
        return *kept;
    }

    std::optional<Value> find(const std::filesystem::path& store) const {
        const std::lock_guard lock(mutex_);
        const auto found = byStore_.find(store);
        return found == byStore_.end() ? std::nullopt : std::optional<Value>(found->second);
    }
    void keep(const std::filesystem::path& store, Value value) {
        const std::lock_guard lock(mutex_);
        byStore_.insert_or_assign(store, std::move(value));
    }
    void forget(const std::filesystem::path& store) {
        const std::lock_guard lock(mutex_);
        byStore_.erase(store);
    }

  private:
    KeptPerStore() = default;

    mutable std::mutex mutex_;
    std::map<std::filesystem::path, Value> byStore_;
};

} // namespace desktop_access
