// Sorting records by a key worked out once per record: the strategies look each name up once
// instead of at every comparison.
#pragma once

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <vector>

#include "organizers/snapshot.h"

namespace organizers::sorting {

// Reorders icons so that before(keys[a], icons[a], keys[b], icons[b]) holds for every a placed
// before b; keys[i] belongs to icons[i].
template <class Key, class Before>
void sortByKey(std::vector<IconRecord>& icons, const std::vector<Key>& keys, Before before) {
    std::vector<std::size_t> order(icons.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return before(keys[a], icons[a], keys[b], icons[b]);
    });
    // Every allocation happens before the first record is moved, so running out of memory
    // leaves the records whole.
    std::vector<IconRecord> sorted;
    sorted.reserve(icons.size());
    for (std::size_t index : order)
        sorted.push_back(std::move(icons[index]));
    icons.swap(sorted);
}

} // namespace organizers::sorting
